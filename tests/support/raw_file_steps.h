#pragma once
// What ConvertRawFile does with one raw file, for tests that feed the writer
// blocks of their own: hand them over, then finish the raw file. True when
// the raw file went through; a catalogue error leaves the writer settled.

#include <functional>

#include "engine/catalogue.h"
#include "engine/output_writer.h"

namespace korvel::test {

inline bool AsOneRawFile(OutputWriter& writer, const std::function<void()>& hand_over) {
  try {
    hand_over();
    writer.FinishRawFile();
    return true;
  } catch (const CatalogueError&) {
    return false;
  }
}

}  // namespace korvel::test

#pragma once
// What ConvertRawFile does with one raw file, for tests that feed the writer
// blocks of their own: hand them over, flush, close the kept files, send the
// rows; on a catalogue error drop what is pending and settle the rows that
// can still be settled. True when the raw file went through.

#include <functional>

#include "engine/catalogue.h"
#include "engine/output_writer.h"

namespace korvel::test {

inline bool AsOneRawFile(OutputWriter& writer, const std::function<void()>& hand_over) {
  try {
    hand_over();
    writer.FlushAll();
    writer.CloseKeptFiles();
    writer.BringRowsUpToDate();
    return true;
  } catch (const CatalogueError&) {
    writer.SettleAfterCatalogueError();
    return false;
  }
}

}  // namespace korvel::test

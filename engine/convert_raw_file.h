#pragma once
// One raw file into the output writer: the ticked channels, whole.

#include <filesystem>
#include <string>

#include "engine/conversion_host.h"
#include "engine/output_writer.h"

namespace korvel {

// 1 when at least one channel of the file was ticked and all its samples
// reached their output files, else 0: the file is not usable, holds no
// ticked channel, there is no output root, an output file could not be
// written (the writer counts it), or the host asked to stop part-way. The
// station names the section whose settings apply. The path is native, as
// listed or as given.
int ConvertRawFile(const std::string& station_section, const std::filesystem::path& path,
                   ConversionHost& host, OutputWriter& writer);

}  // namespace korvel

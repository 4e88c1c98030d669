#pragma once
// One raw file into the output writer: the ticked channels, whole.

#include <filesystem>
#include <string>

#include "engine/conversion_host.h"
#include "engine/output_writer.h"
#include "engine/raw_file.h"

namespace korvel {

// 1 when at least one channel of the file was ticked and all its samples
// reached their output files, else 0: the file is not usable, holds no
// ticked channel, the writer has no output root (the command sets it from
// tqf.ini once), an output file could not be written (the writer counts
// it), some selected data was left (the file cannot be read, or read only in
// part, or holds a ticked name twice: what was read of the first channel of
// each name is converted, the rest reported to the writer), or the host
// asked to stop part-way. The station names the section whose settings
// apply. The path is native, as listed or as given.
int ConvertRawFile(const std::string& station_section, const std::filesystem::path& path,
                   ConversionHost& host, OutputWriter& writer);

// The same for a raw file whose header and channel table were read already
// (a scan reads each file's header once): `file` stands at its first sample.
int ConvertParsedRawFile(const std::filesystem::path& path, RawFileReader& file,
                         const ParsedRawFile& parsed, ConversionHost& host, OutputWriter& writer);

}  // namespace korvel

#pragma once
// One raw file into the output writer: the ticked channels, whole.

#include <string>

#include "engine/conversion_host.h"
#include "engine/output_writer.h"

namespace korvel {

// 1 when at least one channel of the file was ticked and handed to the
// writer, else 0. The station names the section whose settings apply.
int ConvertRawFile(const std::string& station_section, const std::string& path1251,
                   ConversionHost& host, OutputWriter& writer);

}  // namespace korvel

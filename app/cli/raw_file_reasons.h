#pragma once
// Why a raw file gave nothing, one line a file on standard error: the path,
// then the reason in the words add-channels, info and files share.

#include <filesystem>
#include <optional>
#include <string>

#include "engine/conversion_host.h"
#include "engine/raw_file.h"

namespace korvel::cli {

// The reason a file is not a usable raw file; for one that does not open,
// what stands at the path.
std::string RawFileRefusalReason(const std::filesystem::path& path, RawFileRefusal refusal);

// "PATH: reason", after what was printed before it; `consequence`, when given,
// follows after "; ".
void SayRefusedFile(const std::filesystem::path& path, const std::string& reason,
                    const std::string& consequence = "");

// Why a hand-picked file gave nothing to convert for `station` (code page
// 1251): not a usable raw file, a raw file of another station, or none of
// its channels selected. Nothing when it gave something, or failed for a
// reason that was told already (an output file, a station lock, a read error).
std::optional<std::string> WhyNothingToConvert(const std::filesystem::path& path,
                                               const std::string& station,
                                               const SelectionList& selection);

}  // namespace korvel::cli

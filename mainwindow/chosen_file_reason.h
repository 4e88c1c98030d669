#pragma once
// Why a file picked for "Конв. файл(ы)..." gave nothing, in the operator's
// words: the engine's summary names the file, this says why.

#include <filesystem>
#include <optional>
#include <string>

#include "engine/conversion_host.h"

namespace korvel {

// For `station` (code page 1251) and the ticked channels: not a usable raw
// file (the reader's refusal), a raw file of a station that is not selected,
// or none of its channels ticked. Nothing when it holds a ticked channel or
// cannot be read: it failed for a reason told already (the read, an output
// file, a station lock). UTF-8.
std::optional<std::string> WhyChosenFileGaveNothing(const std::filesystem::path& path,
                                                    const std::string& station,
                                                    const SelectionList& selection);

}  // namespace korvel

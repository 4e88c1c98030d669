#pragma once
// The captions of the operator's message boxes and the shaping of their
// texts, shared by the commands and by whatever else speaks to the operator.

#include <cstddef>
#include <string>

namespace korvel {

inline constexpr const char* kCommandCaption = "KORVEL->TQF";
inline constexpr const char* kFileErrorCaption = "Korvel->TQF";
inline constexpr const char* kErrorCaption = "korvel2tqf";

// An error's own text as the operator is shown it: at most 255 characters,
// cut on a character boundary.
inline constexpr std::size_t kErrorTextLength = 255;
std::string ErrorTextForOperator(const std::string& text_utf8);

// printf with one %s (UTF-8) filled so that the text keeps within `limit`
// characters: a long value loses its beginning to "...".
std::string FormatWithin(std::size_t limit, const char* format_utf8, const std::string& value_utf8);

}  // namespace korvel

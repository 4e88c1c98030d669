#pragma once
// UTF-16 text, as the wide functions of the Windows API take and give it.
// Only the Windows build has these.

#ifdef _WIN32

#include <string>
#include <string_view>

namespace korvel {

// Invalid UTF-8 bytes become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);

// A lone surrogate (a name no other system could have made) becomes U+FFFD,
// or "\uXXXX" with `escape_lone_surrogates`, so that a name shown to the
// operator hides nothing.
std::string Utf8FromWide(std::wstring_view wide, bool escape_lone_surrogates = false);

}  // namespace korvel

#endif

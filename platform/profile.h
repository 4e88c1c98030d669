#pragma once
// Profile (ini) files with the semantics of the Windows profile functions:
// case-insensitive sections and keys, the default for a missing file, section
// or key, values cut to the buffer length minus one, integers from the leading
// decimal digits, and a write that creates the file, section or key when it
// is missing and changes only the bytes of the line it writes: every other
// byte, a byte-order mark, a symbolic link (written through) and the file's
// mode stay.
//
// Text passed in and returned is code page 1251. A file whose bytes are valid
// UTF-8 is read as UTF-8 and written back in UTF-8.

#include <filesystem>
#include <string>
#include <string_view>

namespace korvel {

// GetPrivateProfileStringA: at most `buffer_size - 1` characters.
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view default_value, std::size_t buffer_size,
                             const std::filesystem::path& file);

// The value whole and as UTF-8, for what must reach another program byte
// for byte (a password): a UTF-8 file's bytes as they are, a code page 1251
// file's converted; `default_value` (UTF-8) when there is none.
std::string GetProfileStringUtf8(std::string_view section, std::string_view key,
                                 std::string_view default_value,
                                 const std::filesystem::path& file);

// GetPrivateProfileIntA.
int GetProfileInt(std::string_view section, std::string_view key, int default_value,
                  const std::filesystem::path& file);

// WritePrivateProfileStringA; false when the file cannot be written.
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::filesystem::path& file);

}  // namespace korvel

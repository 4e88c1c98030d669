#pragma once
// Names inside the system are code page 1251 text; the file system wants its
// own encoding: UTF-8 bytes on POSIX, UTF-16 on Windows (through the wide
// functions, whatever the system's ANSI code page). Paths found on disk, raw
// files above all, stay native from the listing to the open call and are
// converted only for display.

#include <filesystem>
#include <string>
#include <string_view>

namespace korvel {

// The separator placed between path parts: the Windows program's backslash
// on Windows, "/" on POSIX.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The raw data directory when korvel2tqf.ini names none: "C:Data" on Windows
// as the program has always had it, relative to the current directory on POSIX.
#ifdef _WIN32
inline constexpr const char* kDefaultDataDirectory = "C:Data";
#else
inline constexpr const char* kDefaultDataDirectory = "Data";
#endif

// True for the native separator, and on Windows for "/" too.
bool IsPathSeparator(char c);

std::filesystem::path NativePath(std::string_view text1251);
std::string PathText(const std::filesystem::path& path);  // back to code page 1251

// A path given as UTF-8 text (a command-line argument, a catalogue value);
// on POSIX the bytes as they are.
std::filesystem::path Utf8Path(std::string_view utf8);

// A native path as UTF-8 for the operator: valid UTF-8 as it stands, every
// byte that is not part of one as "\xHH", so that nothing is hidden.
std::string DisplayPath(const std::filesystem::path& path);

// Appends the separator unless the text already ends with one; "" becomes
// the separator alone.
std::string WithTrailingSeparator(std::string text);

// "/" between the parts of a relative path (as the catalogue stores it)
// turned into the native separator.
std::string NativeSeparators(std::string text);
// The other way: a native path as code page 1251 text with "/" between its
// parts, as the catalogue stores it.
std::string CataloguePathText(const std::filesystem::path& path);

// A path as the catalogue stores it: absolute when it begins with "/" or "\".
bool IsAbsoluteStoredPath(std::string_view cpath);
// A relative stored path with a ".." part between either separator: it
// would lead out of the output root.
bool ClimbsOutOfRoot(std::string_view cpath);

}  // namespace korvel

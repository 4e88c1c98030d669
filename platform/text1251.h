#pragma once
// Names inside the system are 8-bit code page 1251 text, as in raw files and
// TQF headers. These helpers upper-case such text the way the Windows locale
// does and convert it to and from UTF-8 where the platform wants UTF-8.

#include <string>
#include <string_view>

namespace korvel {

// Upper case of one code page 1251 character: ASCII and every Cyrillic letter.
char Upper1251(char c);

// CharUpperA: a copy in upper case.
std::string CharUpper1251(std::string_view text);

// CharUpperBuffA: in place, over the first `length` bytes.
void CharUpperBuff1251(char* text, std::size_t length);

// Case-insensitive equality in code page 1251 (lstrcmpiA for our purposes).
bool EqualNoCase1251(std::string_view a, std::string_view b);

std::string Cp1251ToUtf8(std::string_view text);

// Characters with no place in code page 1251 become '?'; invalid UTF-8
// bytes are taken as code page 1251 bytes unchanged.
std::string Utf8ToCp1251(std::string_view text);

bool IsValidUtf8(std::string_view text);

// Valid UTF-8 sequences as they stand, every other byte as "\xHH": text
// from outside (a file name) made printable without hiding anything.
std::string EscapeInvalidUtf8(std::string_view bytes);

// The Russian noun form for a count: 1, 21 файл; 2-4, 22-24 файла; 5-20,
// 25-30 файлов (UTF-8 forms in, one of them out).
const char* RussianPlural(long count, const char* one, const char* few, const char* many);

// A name (code page 1251) as a line of a listing shows it, in UTF-8: control
// characters as "\xHH", so that a name from a raw header keeps to its line
// and its column.
std::string DisplayName(std::string_view text1251);

// Characters (code points) of valid UTF-8 text, and its last `count` of them.
std::size_t Utf8CharacterCount(std::string_view text);
std::string LastUtf8Characters(std::string_view text, std::size_t count);

}  // namespace korvel

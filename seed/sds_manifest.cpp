#include "seed/sds_manifest.h"

#include <xxhash.h>

#include <charconv>
#include <fstream>
#include <vector>

#include "platform/file_io.h"

namespace korvel {
namespace {

constexpr std::string_view kHashName = "XXH3-128";

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t tab; (tab = line.find('\t')) != std::string_view::npos;) {
    fields.push_back(line.substr(0, tab));
    line.remove_prefix(tab + 1);
  }
  fields.push_back(line);
  return fields;
}

template <typename Number>
bool Parse(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool IsHash(std::string_view text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

std::string ContentHash(std::string_view bytes) {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits(bytes.data(), bytes.size()));
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const unsigned char byte : canonical.digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

SdsManifest::SdsManifest(std::filesystem::path folder)
    : m_file(std::move(folder) / kSdsManifestName) {
  std::ifstream in(m_file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() != 3 || f[0].empty()) continue;
    Entry entry;
    if (f[1] == kHashName && IsHash(f[2]))
      entry.hash = std::string(f[2]);
    else if (!Parse(f[1], entry.size) || !Parse(f[2], entry.changed))
      continue;
    m_entries[std::string(f[0])] = std::move(entry);
  }
}

SdsManifest::Claim SdsManifest::ClaimOn(const std::filesystem::path& file,
                                        std::string_view bytes) const {
  const auto found = m_entries.find(file.filename().string());
  if (found == m_entries.end()) return Claim::kNone;
  const Entry& entry = found->second;
  if (!entry.hash.empty()) return entry.hash == ContentHash(bytes) ? Claim::kHash : Claim::kNone;
  std::error_code ec;
  const auto changed = std::filesystem::last_write_time(file, ec);
  const bool agree = !ec && entry.size == bytes.size() &&
                     entry.changed == static_cast<long long>(changed.time_since_epoch().count());
  return agree ? Claim::kOldStamp : Claim::kNone;
}

bool SdsManifest::Note(const std::filesystem::path& file, std::string_view bytes) {
  m_entries[file.filename().string()] = {ContentHash(bytes), 0, 0};
  std::string text;
  for (const auto& [name, entry] : m_entries) {
    text += name + '\t';
    if (entry.hash.empty())
      text += std::to_string(entry.size) + '\t' + std::to_string(entry.changed);
    else
      text += std::string(kHashName) + '\t' + entry.hash;
    text += '\n';
  }
  return ReplaceFileContents(m_file, text);
}

}  // namespace korvel

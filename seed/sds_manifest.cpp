#include "seed/sds_manifest.h"

#include <charconv>
#include <fstream>
#include <string_view>
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

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::optional<std::string> FromHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (error != std::errc() || end != text.data() + i + 2) return std::nullopt;
    bytes += static_cast<char>(value);
  }
  return bytes;
}

bool IsHash(std::string_view text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

SdsManifest::SdsManifest(std::filesystem::path folder)
    : m_file(std::move(folder) / kSdsManifestName) {
  std::ifstream in(m_file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() < 3 || f.size() > 5 || f[0].empty()) continue;
    Entry entry;
    if (f[1] == kHashName && IsHash(f[2])) {
      entry.hash = std::string(f[2]);
      std::uint64_t from = 0;
      if (f.size() >= 4 && !Parse(f[3], from)) continue;
      if (f.size() >= 4) entry.unfinished_from = from;
      const std::optional<std::string> over = FromHex(f.size() == 5 ? f[4] : "");
      if (!over) continue;
      entry.over = *over;
    } else if (f.size() != 3 || !Parse(f[1], entry.size) || !Parse(f[2], entry.changed)) {
      continue;
    }
    m_entries[std::string(f[0])] = std::move(entry);
  }
}

std::optional<std::uint64_t> SdsManifest::UnfinishedFrom(const std::filesystem::path& file) const {
  const auto found = m_entries.find(file.filename().string());
  if (found == m_entries.end()) return std::nullopt;
  return found->second.unfinished_from;
}

std::string SdsManifest::WrittenOver(const std::filesystem::path& file) const {
  const auto found = m_entries.find(file.filename().string());
  return found == m_entries.end() ? std::string() : found->second.over;
}

SdsManifest::Claim SdsManifest::ClaimOn(const std::filesystem::path& file, std::uint64_t size,
                                        const std::string& hash,
                                        const std::string& prefix_hash) const {
  const auto found = m_entries.find(file.filename().string());
  if (found == m_entries.end()) return Claim::kNone;
  const Entry& entry = found->second;
  if (entry.unfinished_from)
    return size >= *entry.unfinished_from && prefix_hash == entry.hash ? Claim::kUnfinished
                                                                       : Claim::kNone;
  if (!entry.hash.empty()) return entry.hash == hash ? Claim::kHash : Claim::kNone;
  std::error_code ec;
  const auto changed = std::filesystem::last_write_time(file, ec);
  const bool agree = !ec && entry.size == size &&
                     entry.changed == static_cast<long long>(changed.time_since_epoch().count());
  return agree ? Claim::kOldStamp : Claim::kNone;
}

bool SdsManifest::Note(const std::filesystem::path& file, const std::string& hash) {
  m_entries[file.filename().string()] = {hash, std::nullopt, {}, 0, 0};
  return Write();
}

bool SdsManifest::NoteUnfinished(const std::filesystem::path& file, std::uint64_t from,
                                 const std::string& hash, const std::string& over) {
  m_entries[file.filename().string()] = {hash, from, over, 0, 0};
  return Write();
}

bool SdsManifest::Forget(const std::filesystem::path& file) {
  m_entries.erase(file.filename().string());
  return Write();
}

bool SdsManifest::Write() const {
  std::string text;
  for (const auto& [name, entry] : m_entries) {
    text += name + '\t';
    if (entry.hash.empty()) {
      text += std::to_string(entry.size) + '\t' + std::to_string(entry.changed);
    } else {
      text += std::string(kHashName) + '\t' + entry.hash;
      if (entry.unfinished_from) text += '\t' + std::to_string(*entry.unfinished_from);
      if (!entry.over.empty()) text += '\t' + Hex(entry.over);
    }
    text += '\n';
  }
  return ReplaceFileContents(m_file, text);
}

}  // namespace korvel

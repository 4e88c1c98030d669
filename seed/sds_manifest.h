#pragma once
// What this program wrote into one folder of an SDS tree, in the folder's
// ".korvel2tqf-sds": a line for each day file, its name and the XXH3-128
// hash of its bytes (as xxh128sum prints it). A file whose bytes have the
// recorded hash is ours wherever the folder was copied to; a byte changed
// by anyone makes it another program's. Lines of older manifests (size and
// time of change, in nanoseconds) still count while both agree.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace korvel {

inline constexpr const char* kSdsManifestName = ".korvel2tqf-sds";

// The 32 hexadecimal digits of the bytes' XXH3-128 hash.
std::string ContentHash(std::string_view bytes);

class SdsManifest {
 public:
  explicit SdsManifest(std::filesystem::path folder);

  enum class Claim {
    kNone,      // not listed, or its bytes changed since: another program's
    kHash,      // its bytes are those recorded
    kOldStamp,  // an older manifest's size and time of change still agree
  };
  // `bytes` is what the file holds now.
  Claim ClaimOn(const std::filesystem::path& file, std::string_view bytes) const;

  // The file now holds `bytes`: recorded, and the manifest written anew.
  bool Note(const std::filesystem::path& file, std::string_view bytes);

 private:
  struct Entry {
    std::string hash;  // empty for an older manifest's line
    std::uintmax_t size = 0;
    long long changed = 0;
  };
  std::filesystem::path m_file;
  std::map<std::string, Entry> m_entries;
};

}  // namespace korvel

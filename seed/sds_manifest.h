#pragma once
// What this program wrote into one folder of an SDS tree, in the folder's
// ".korvel2tqf-sds": a line for each day file, its name and the XXH3-128
// hash of its bytes (seed/content_hash.h). A file whose bytes have the
// recorded hash is ours wherever the folder was copied to; a byte changed
// by anyone makes it another program's. Lines of older manifests (size and
// time of change, in nanoseconds) still count while both agree.
//
// A write that adds to a file (or makes a new one) is noted first with the
// length it starts at, and the bytes it writes over: should it never
// finish, the bytes up to there are still ours, what follows is cut off and
// the bytes written over are put back.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace korvel {

inline constexpr const char* kSdsManifestName = ".korvel2tqf-sds";

class SdsManifest {
 public:
  explicit SdsManifest(std::filesystem::path folder);

  // Where a write of ours that did not finish began, and what it wrote over.
  std::optional<std::uint64_t> UnfinishedFrom(const std::filesystem::path& file) const;
  std::string WrittenOver(const std::filesystem::path& file) const;

  enum class Claim {
    kNone,        // not listed, or its bytes changed since: another program's
    kHash,        // its bytes are those recorded
    kOldStamp,    // an older manifest's size and time of change still agree
    kUnfinished,  // ours up to UnfinishedFrom; the rest is the unfinished write
  };
  // `size` and `hash` are the file's now, `prefix_hash` that of its bytes
  // up to UnfinishedFrom.
  Claim ClaimOn(const std::filesystem::path& file, std::uint64_t size, const std::string& hash,
                const std::string& prefix_hash = {}) const;

  // Each writes the manifest anew: the file holds bytes of this hash; a
  // write begins at `from`, after bytes of this hash, over `over`; the file
  // is gone.
  bool Note(const std::filesystem::path& file, const std::string& hash);
  bool NoteUnfinished(const std::filesystem::path& file, std::uint64_t from,
                      const std::string& hash, const std::string& over = {});
  bool Forget(const std::filesystem::path& file);

 private:
  struct Entry {
    std::string hash;  // empty for an older manifest's line
    std::optional<std::uint64_t> unfinished_from;
    std::string over;  // the bytes the unfinished write began over
    std::uintmax_t size = 0;
    long long changed = 0;
  };
  bool Write() const;

  std::filesystem::path m_file;
  std::map<std::string, Entry> m_entries;
};

}  // namespace korvel

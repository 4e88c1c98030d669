#pragma once
// Which files below the output root are provably this program's, so that
// verify --fix may change, remove or catalogue them: a regular file with one
// link, below the root once links are resolved and on its file system, whose
// header (or, where it holds none yet, whose name) is one this program
// writes. Everything is asked of the file as opened without following a
// link, and a cut goes through that same descriptor.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/file_error.h"
#include "engine/time_arithmetic.h"
#include "engine/tqf_header.h"
#include "platform/file_below_root.h"

namespace korvel {

// What one of our file names (STATION/HH/DDMMYYYY-HHMMSS-CHANNEL.STATION, as
// TqfRelativePath makes it) carries; nothing for any other path.
struct TqfName {
  std::string station, channel;  // code page 1251
  EpochSeconds start = 0.0;
};
std::optional<TqfName> ParseTqfRelativePath(std::string_view relative_path);

// A file below the output root, opened for a mend.
class OwnFileCandidate {
 public:
  // `relative_path`: code page 1251, "/" between parts. kRead or kReadWrite.
  OwnFileCandidate(const RootFolder& root, std::string_view output_root,
                   std::string_view relative_path, FileAccess access);

  FileDoubt Doubt() const { return m_file.Doubt(); }
  std::uint64_t Size() const { return m_file.Facts().size; }
  // Its header, when it holds a whole one that is byte for byte what this
  // program writes.
  const std::optional<TqfHeaderFields>& OwnHeader() const { return m_header; }
  // No doubt about the file, and its header is ours and names the station
  // and channel.
  bool OursFor(std::string_view station, std::string_view channel) const;

  // Cuts the file back to `samples` samples after its header (opened for
  // writing).
  FileResult CutBack(std::uint64_t samples) const;
  // Removes the file's name.
  FileResult Remove() const;

 private:
  std::string m_full;  // code page 1251
  FileBelowRoot m_file;
  std::optional<TqfHeaderFields> m_header;
};

// What verify --fix may do with a file below a station's folder that no row
// names.
enum class OrphanMend {
  kLeave,
  // A whole header of ours naming the station, at the name this program
  // gives such a file, and whole samples, at least one.
  kRegister,
  // What a run killed as it created the file leaves (under the station's
  // lock only): at one of our names of the station, empty or our header
  // alone; or a staging file beside one of our names, empty or beginning
  // with our header for that name.
  kRemove,
};
OrphanMend JudgeOrphan(const OwnFileCandidate& file, std::string_view relative_path,
                       std::string_view station);

}  // namespace korvel

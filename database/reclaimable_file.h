#pragma once
// Which file the disk-space guard may take for a row of the other
// acquisition program. A row is only text: an absolute path, a path through a
// linked folder or a path that our own rows name as well must never let the
// guard delete a file outside the archive, one of ours, a second name of a
// file kept elsewhere or a station's lock file.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/catalogue.h"
#include "platform/file_below_root.h"

namespace korvel {

struct Reclaim {
  // Why the row and its file stay (for the operator); nothing when they may go.
  std::optional<std::string> keep_because;
  // The file to remove, its links resolved; nothing when nothing is there.
  std::optional<std::filesystem::path> file;
};

class ReclaimableRoot {
 public:
  // The output root as the files are written below it.
  explicit ReclaimableRoot(const std::filesystem::path& output_root);

  // The file that a stored CPATH (UTF-8, without the blanks of a fixed-width
  // column) names may go only when it is a regular file with one link (not a
  // link itself), lies below the output root once links are resolved, on the
  // root's file system, is no station's lock file, and is neither `in_use` by
  // the writer nor named by one of our own rows (`ours`; both take the path
  // below the root in code page 1251 with "/"). The file is judged as
  // opened without following a link, by what its descriptor says.
  Reclaim Judge(const std::string& cpath, const Catalogue::InUse& in_use,
                const std::function<bool(const std::string& relative_path)>& ours) const;

 private:
  RootFolder m_root;
};

}  // namespace korvel

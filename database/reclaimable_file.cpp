#include "database/reclaimable_file.h"

#include "platform/file_below_root.h"
#include "platform/native_path.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

Reclaim Keep(const char* reason) { return {reason, std::nullopt}; }

}  // namespace

ReclaimableRoot::ReclaimableRoot(const fs::path& output_root) : m_root(output_root) {}

Reclaim ReclaimableRoot::Judge(const std::string& cpath, const Catalogue::InUse& in_use,
                               const std::function<bool(const std::string&)>& ours) const {
  if (!m_root.Known()) return Keep("каталог TQF недоступен");
  const bool absolute = IsAbsoluteStoredPath(cpath);
  if (!absolute && ClimbsOutOfRoot(cpath)) return Keep("путь ведёт за пределы каталога TQF");
  const fs::path named = absolute ? Utf8Path(cpath) : *m_root.Real() / Utf8Path(cpath);
  // A station's lock file is never the other program's, whatever its row
  // says: taking it would let a second converter write beside the holder.
  // Judged by the name alone, before any open: closing a descriptor of the
  // lock file would drop this process's own lock.
  if (named.filename() == kStationLockFile) return Keep("это файл блокировки станции");
  const FileBelowRoot file(m_root, named, FileAccess::kLook);
  switch (file.Doubt()) {
    case FileDoubt::kNone:
      break;
    case FileDoubt::kMissing:
      // Nothing there: the row of a relative path goes alone; a path
      // elsewhere is no row of this archive's.
      if (absolute) return Keep("файла нет, а путь указывает не в каталог TQF");
      return {};
    case FileDoubt::kLink:
      return Keep("это символическая ссылка");
    case FileDoubt::kNotAFile:
      return Keep("это не файл");
    case FileDoubt::kMoreLinks:
      return Keep("у файла есть другие имена (жёсткие ссылки)");
    case FileDoubt::kOutsideRoot:
      return Keep("файл вне каталога TQF");
    case FileDoubt::kOtherFileSystem:
      return Keep("файл на другом диске");
    case FileDoubt::kUnreadable:
      return Keep("файл недоступен");
  }
  if (file.RealPath().filename() == kStationLockFile) return Keep("это файл блокировки станции");
  const std::string relative = CataloguePathText(file.Below());
  if (in_use(relative)) return Keep("файл сейчас записывается");
  if (ours(relative)) return Keep("файл записан korvel2TQF и внесён в каталог");
  return {std::nullopt, file.RealPath()};
}

}  // namespace korvel

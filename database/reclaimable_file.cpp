#include "database/reclaimable_file.h"

#include "platform/file_io.h"
#include "platform/native_path.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

Reclaim Keep(const char* reason) { return {reason, std::nullopt}; }

}  // namespace

ReclaimableRoot::ReclaimableRoot(const fs::path& output_root) {
  std::error_code ec;
  fs::path real = fs::canonical(output_root, ec);
  if (ec) return;
  m_file_system = FileSystemOf(real);
  m_real_root = std::move(real);
}

Reclaim ReclaimableRoot::Judge(const std::string& cpath, const Catalogue::InUse& in_use,
                               const std::function<bool(const std::string&)>& ours) const {
  if (!m_real_root || !m_file_system) return Keep("каталог TQF недоступен");
  const bool absolute = IsAbsoluteStoredPath(cpath);
  if (!absolute && ClimbsOutOfRoot(cpath)) return Keep("путь ведёт за пределы каталога TQF");
  const fs::path named = absolute ? Utf8Path(cpath) : *m_real_root / Utf8Path(cpath);
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(named, ec);
  if (status.type() == fs::file_type::not_found) {
    // Nothing there: the row of a relative path goes alone; a path elsewhere
    // is no row of this archive's.
    if (absolute) return Keep("файла нет, а путь указывает не в каталог TQF");
    return {};
  }
  if (ec) return Keep("файл недоступен");
  if (status.type() == fs::file_type::symlink) return Keep("это символическая ссылка");
  if (status.type() != fs::file_type::regular) return Keep("это не файл");
  const fs::path real = fs::canonical(named, ec);
  if (ec) return Keep("файл недоступен");
  const fs::path below = real.lexically_relative(*m_real_root);
  if (below.empty() || *below.begin() == "..") return Keep("файл вне каталога TQF");
  if (FileSystemOf(real) != m_file_system) return Keep("файл на другом диске");
  const std::string relative = CataloguePathText(below);
  if (in_use(relative)) return Keep("файл сейчас записывается");
  if (ours(relative)) return Keep("файл записан korvel2TQF и внесён в каталог");
  return {std::nullopt, real};
}

}  // namespace korvel

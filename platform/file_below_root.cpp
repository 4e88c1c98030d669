#include "platform/file_below_root.h"

#include <cerrno>

namespace korvel {

namespace fs = std::filesystem;

RootFolder::RootFolder(const fs::path& root) {
  m_real = korvel::RealPath(root);
  if (m_real) m_file_system = FileSystemOf(*m_real);
}

FileBelowRoot::FileBelowRoot(const RootFolder& root, const fs::path& path, FileAccess access) {
  if (!root.Known()) return;
  m_fd = OpenNotFollowing(path, access);
  if (m_fd < 0) {
    m_doubt = errno == ENOENT || errno == ENOTDIR ? FileDoubt::kMissing
              : errno == ELOOP                    ? FileDoubt::kLink
                                                  : FileDoubt::kUnreadable;
    return;
  }
  const std::optional<FileFacts> facts = FactsOf(m_fd);
  std::optional<fs::path> real = RealPathOf(m_fd, path);
  if (!facts || !real) {
    m_doubt = FileDoubt::kUnreadable;
  } else if (facts->kind != FileKind::kRegular) {
    m_doubt = FileDoubt::kNotAFile;
  } else if (facts->links != 1) {
    m_doubt = FileDoubt::kMoreLinks;
  } else {
    m_facts = *facts;
    m_real = std::move(*real);
    m_below = m_real.lexically_relative(*root.m_real);
    if (m_below.empty() || *m_below.begin() == ".." || *m_below.begin() == ".")
      m_doubt = FileDoubt::kOutsideRoot;
    else if (facts->file_system != *root.m_file_system)
      m_doubt = FileDoubt::kOtherFileSystem;
    else
      m_doubt = FileDoubt::kNone;
  }
  if (m_doubt == FileDoubt::kNone) return;
  CloseFile(m_fd);
  m_fd = -1;
}

FileBelowRoot::~FileBelowRoot() {
  if (m_fd >= 0) CloseFile(m_fd);
}

}  // namespace korvel

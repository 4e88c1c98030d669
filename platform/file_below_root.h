#pragma once
// A file that this program may change or remove below a root folder it
// writes into: opened without following a link at its last part and judged
// by what the opened descriptor says, so that a link planted at the name, a
// second name of a file elsewhere or a name swapped meanwhile is never what
// is changed.

#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/file_io.h"

namespace korvel {

// The root as the files below it are judged: its real path and its file
// system, taken once.
class RootFolder {
 public:
  explicit RootFolder(const std::filesystem::path& root);
  bool Known() const { return m_real.has_value() && m_file_system.has_value(); }
  const std::optional<std::filesystem::path>& Real() const { return m_real; }

 private:
  friend class FileBelowRoot;
  std::optional<std::filesystem::path> m_real;
  std::optional<std::uint64_t> m_file_system;
};

// Why a file may not be changed; kNone when it may.
enum class FileDoubt {
  kNone,             // a regular file with one link, below the root once links are
                     // resolved, on the root's file system
  kMissing,          // nothing at the path
  kLink,             // the name is a symbolic link (or a reparse point)
  kNotAFile,         // a folder, a pipe, a device
  kMoreLinks,        // the file has other names too: one may lie anywhere
  kOutsideRoot,      // it lies elsewhere once links are resolved
  kOtherFileSystem,  // it lies on another disk mounted below the root
  kUnreadable,       // it cannot be opened or asked
};

class FileBelowRoot {
 public:
  FileBelowRoot(const RootFolder& root, const std::filesystem::path& path, FileAccess access);
  FileBelowRoot(const FileBelowRoot&) = delete;
  FileBelowRoot& operator=(const FileBelowRoot&) = delete;
  ~FileBelowRoot();

  FileDoubt Doubt() const { return m_doubt; }
  // While open (Doubt() kNone), the file's descriptor and what it said.
  int Descriptor() const { return m_fd; }
  const FileFacts& Facts() const { return m_facts; }
  // Where it lies, links resolved, and below the root.
  const std::filesystem::path& RealPath() const { return m_real; }
  const std::filesystem::path& Below() const { return m_below; }

 private:
  int m_fd = -1;
  FileDoubt m_doubt = FileDoubt::kUnreadable;
  FileFacts m_facts;
  std::filesystem::path m_real, m_below;
};

}  // namespace korvel

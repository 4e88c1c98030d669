#pragma once
// Folders below a root, reached one name at a time from the root, and the
// files in them, reached by name from the folder: no symbolic link (Windows:
// no reparse point) met on the way takes a write elsewhere. The output root
// is shared with a group of operators, any of whom could plant a link there.
// A folder link is followed only where it is the site's own layout, a station
// moved to another disk say: the link belongs to the root's owner or to the
// superuser (Windows: to the Administrators or SYSTEM), and its target is a
// folder of the root's owner; links met on the way to the target are held to
// the same. Anything else stops the walk, with the link and the reason.
//
// POSIX: a descriptor of each folder and the *at calls, openat2 with
// RESOLVE_BENEATH where the kernel has it. Windows: the folder's path,
// each name on the way checked with the wide functions.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

namespace korvel {

// Why a walk stopped: the system's reason, or a link refused.
struct WalkFailure {
  enum class Refusal {
    kNone,             // the system's reason alone (system_error)
    kLinkOwner,        // a link another user made
    kTargetOwner,      // a link to a folder another user owns
    kTargetNotFolder,  // a link to no folder, or to nothing
  };
  int system_error = 0;  // errno; 0 for a refusal
  Refusal refusal = Refusal::kNone;
  std::filesystem::path link;  // the link refused, as reached from the root
  std::string owner;           // of the link, or of its target: a user's name or number
  std::string root_owner;      // the root's owner, likewise

  bool Refused() const { return refusal != Refusal::kNone; }
};

class WalkedFolder {
 public:
  enum class Entry { kNone, kFile, kFolder, kLink, kOther };

  WalkedFolder() = default;
  WalkedFolder(WalkedFolder&& other) noexcept;
  WalkedFolder& operator=(WalkedFolder&& other) noexcept;
  WalkedFolder(const WalkedFolder&) = delete;
  WalkedFolder& operator=(const WalkedFolder&) = delete;
  ~WalkedFolder();

  // The root itself, its own links followed: it is the site's setting.
  static WalkedFolder Root(const std::filesystem::path& root);
  // The folder `relative` names below this one, each of its names entered as
  // above; with `make`, those missing are made. A name "." or ".." or a path
  // from a root is refused (EINVAL): the walk never leaves the tree.
  WalkedFolder Below(const std::filesystem::path& relative, bool make) const;

  bool IsOpen() const { return m_handle >= 0; }
  // As reached from the root, for messages.
  const std::filesystem::path& Path() const { return m_path; }
  // Why it is not open.
  const WalkFailure& Failure() const { return m_failure; }

  // Files by a name of this folder; none of them follows a link there.
  // -1 or false with errno, as the file layer (platform/file_io.h) has it.
  // A new file, for writing; EEXIST when the name is taken, by a link too.
  int CreateNewFile(const std::filesystem::path& name) const;
  // An existing file, for writing at its start; a link fails (ELOOP).
  int OpenForExtending(const std::filesystem::path& name) const;
  // For reading and writing, made when missing (mode 0666 less the umask),
  // to be locked; a link fails (ELOOP).
  int OpenForLocking(const std::filesystem::path& name) const;
  // What the name is, a link itself and not its target.
  Entry Kind(const std::filesystem::path& name) const;
  // The name goes, a link itself and never its target; ENOENT when missing.
  bool Remove(const std::filesystem::path& name) const;
  // `from` over `to`, replacing it in one step.
  bool Move(const std::filesystem::path& from, const std::filesystem::path& to) const;
  // The folder's entries on the disk (POSIX; Windows journals names itself).
  bool Sync() const;

 private:
  WalkedFolder(std::filesystem::path path, std::string root_owner)
      : m_path(std::move(path)), m_root_owner(std::move(root_owner)) {}
  void Close();

  std::filesystem::path m_path;
  // POSIX: the folder's descriptor; Windows: 0 once its path was walked.
  std::intptr_t m_handle = -1;
  // The root's owner as the system knows it: the uid (POSIX) or the SID
  // (Windows) as bytes.
  std::string m_root_owner;
  WalkFailure m_failure;
};

}  // namespace korvel

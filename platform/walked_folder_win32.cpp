#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <cerrno>

#include "platform/file_handle_win32.h"
#include "platform/file_io.h"
#include "platform/protected_files.h"
#include "platform/walked_folder.h"
#include "platform/wide_text.h"

// Windows has no folder descriptors to walk from: each name on the way is
// looked at by its path before the next is taken, and a reparse point
// (a symbolic link or a junction) is judged by its owner and its final
// target's, which the system resolves.

namespace korvel {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct Looked {
  bool found = false;
  DWORD error = 0;
  DWORD attributes = 0;
  std::string owner;  // the SID's bytes
};

// The owner and attributes of a path: of a reparse point itself, or with
// `follow` of its final target.
Looked LookAt(const fs::path& path, bool follow) {
  Looked looked;
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE handle = CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll,
                                    nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    looked.error = GetLastError();
    return looked;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!GetFileInformationByHandle(handle, &info)) {
    looked.error = GetLastError();
  } else if (const DWORD error = GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                                 &owner, nullptr, nullptr, nullptr, &descriptor);
             error != ERROR_SUCCESS) {
    looked.error = error;
  } else {
    looked.found = true;
    looked.attributes = info.dwFileAttributes;
    if (owner != nullptr && IsValidSid(owner))
      looked.owner.assign(static_cast<const char*>(owner), GetLengthSid(owner));
  }
  if (descriptor != nullptr) LocalFree(descriptor);
  CloseHandle(handle);
  return looked;
}

PSID SidOf(const std::string& bytes) {
  return bytes.empty() ? nullptr : const_cast<char*>(bytes.data());
}

std::string AccountName(const std::string& owner) {
  const PSID sid = SidOf(owner);
  if (sid == nullptr) return "?";
  wchar_t name[256];
  wchar_t domain[256];
  DWORD name_length = 256;
  DWORD domain_length = 256;
  SID_NAME_USE use{};
  if (LookupAccountSidW(nullptr, sid, name, &name_length, domain, &domain_length, &use))
    return Utf8FromWide(domain) + "\\" + Utf8FromWide(name);
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "?";
  std::string shown = Utf8FromWide(text);
  LocalFree(text);
  return shown;
}

// The site's own: the root's owner, the Administrators or SYSTEM.
bool TrustedLinkOwner(const std::string& owner, const std::string& root_owner) {
  const PSID sid = SidOf(owner);
  if (sid == nullptr) return false;
  return owner == root_owner || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         IsWellKnownSid(sid, WinLocalSystemSid);
}

// A reparse point on the way, followed or refused.
bool Follow(const fs::path& link, const std::string& root_owner, WalkFailure& failure) {
  const auto refuse = [&](WalkFailure::Refusal refusal, const std::string& owner) {
    failure.system_error = 0;
    failure.refusal = refusal;
    failure.link = link;
    failure.owner = AccountName(owner);
    failure.root_owner = AccountName(root_owner);
    return false;
  };
  const Looked itself = LookAt(link, /*follow=*/false);
  if (!itself.found) {
    failure.system_error = ErrnoOf(itself.error);
    return false;
  }
  if (!TrustedLinkOwner(itself.owner, root_owner))
    return refuse(WalkFailure::Refusal::kLinkOwner, itself.owner);
  const Looked target = LookAt(link, /*follow=*/true);
  if (!target.found || (target.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return refuse(WalkFailure::Refusal::kTargetNotFolder, itself.owner);
  if (target.owner != root_owner) return refuse(WalkFailure::Refusal::kTargetOwner, target.owner);
  return true;
}

bool PlainName(const fs::path& part) {
  return !part.has_root_path() && part != L"." && part != L"..";
}

}  // namespace

void WalkedFolder::Close() { m_handle = -1; }

WalkedFolder WalkedFolder::Root(const fs::path& root) {
  WalkedFolder folder(root, {});
  const Looked looked = LookAt(root.empty() ? fs::path(L".") : root, /*follow=*/true);
  if (!looked.found) {
    folder.m_failure.system_error = ErrnoOf(looked.error);
  } else if ((looked.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    folder.m_failure.system_error = ENOTDIR;
  } else {
    folder.m_handle = 0;
    folder.m_root_owner = looked.owner;
  }
  return folder;
}

WalkedFolder WalkedFolder::Below(const fs::path& relative, bool make) const {
  WalkedFolder folder(m_path / relative, m_root_owner);
  if (!IsOpen()) {
    folder.m_failure = m_failure;
    return folder;
  }
  for (const fs::path& part : relative) {
    if (!part.empty() && !PlainName(part)) {
      folder.m_failure.system_error = EINVAL;
      return folder;
    }
  }
  fs::path reached = m_path;
  for (const fs::path& part : relative) {
    if (part.empty()) continue;
    reached /= part;
    DWORD attributes = GetFileAttributesW(reached.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
      if (!missing || !make) {
        folder.m_failure.system_error = ErrnoOf(error);
        return folder;
      }
      if (!CreateDirectoryW(reached.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        folder.m_failure.system_error = ErrnoOf(GetLastError());
        return folder;
      }
      attributes = GetFileAttributesW(reached.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) {
        folder.m_failure.system_error = ErrnoOf(GetLastError());
        return folder;
      }
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      if (!Follow(reached, m_root_owner, folder.m_failure)) return folder;
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      folder.m_failure.system_error = ENOTDIR;
      return folder;
    }
  }
  folder.m_handle = 0;
  return folder;
}

int WalkedFolder::CreateNewFile(const fs::path& name) const {
  const fs::path path = m_path / name;
  // Any entry of the name, a reparse point too, is a name taken.
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    errno = EEXIST;
    return -1;
  }
  return CreateFileForWriting(path, CreateMode::kExclusive);
}

int WalkedFolder::OpenForExtending(const fs::path& name) const {
  return OpenFileForExtending(m_path / name);
}

int WalkedFolder::OpenForLocking(const fs::path& name) const {
  const fs::path path = m_path / name;
  if (RefusedAsProtected(path)) return -1;
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    errno = error == ERROR_WRITE_PROTECT ? EACCES : ErrnoOf(error);
    return -1;
  }
  return DescriptorOfFileNotLink(handle);
}

WalkedFolder::Entry WalkedFolder::Kind(const fs::path& name) const {
  const DWORD attributes = GetFileAttributesW((m_path / name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Entry::kNone
                                                                          : Entry::kOther;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Entry::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Entry::kFolder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return Entry::kOther;
  return Entry::kFile;
}

bool WalkedFolder::Remove(const fs::path& name) const { return RemoveFile(m_path / name); }

bool WalkedFolder::Move(const fs::path& from, const fs::path& to) const {
  return MoveReplacing(m_path / from, m_path / to);
}

bool WalkedFolder::Sync() const { return true; }

}  // namespace korvel

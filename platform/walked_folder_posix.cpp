#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/protected_files.h"
#include "platform/walked_folder.h"

#if defined(SYS_openat2) && __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#define KORVEL_HAS_OPENAT2 1
#endif

namespace korvel {
namespace {

namespace fs = std::filesystem;

// Links followed on the way to one folder, as many as the system itself follows.
constexpr int kMostLinks = 40;

std::string OwnerBytes(uid_t uid) {
  return std::string(reinterpret_cast<const char*>(&uid), sizeof uid);
}

uid_t OwnerOf(const std::string& bytes) {
  uid_t uid = 0;
  if (bytes.size() == sizeof uid) std::memcpy(&uid, bytes.data(), sizeof uid);
  return uid;
}

std::string UserName(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  char names[1024];
  if (::getpwuid_r(uid, &entry, names, sizeof names, &found) == 0 && found != nullptr)
    return found->pw_name;
  return "uid " + std::to_string(uid);
}

int Dup(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

// The whole relative path in one call where the kernel resolves it beneath
// the folder and refuses every link on the way (Linux 5.6); -1 otherwise,
// and the walk below finds out why.
int OpenBeneath(int at, const fs::path& relative) {
#ifdef KORVEL_HAS_OPENAT2
  static std::atomic<bool> absent{false};
  if (absent.load(std::memory_order_relaxed)) return -1;
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd = ::syscall(SYS_openat2, at, relative.c_str(), &how, sizeof how);
  // A kernel without it, or a sandbox that forbids it (EPERM), never gives it.
  if (fd < 0 && (errno == ENOSYS || errno == EPERM || errno == E2BIG || errno == EINVAL))
    absent.store(true, std::memory_order_relaxed);
  return static_cast<int>(fd);
#else
  (void)at;
  (void)relative;
  return -1;
#endif
}

// One walk from a folder to one below it: each name entered without
// following a link, a link followed only as the site's own layout.
class Walk {
 public:
  Walk(uid_t root_owner, WalkFailure& failure) : m_root_owner(root_owner), m_failure(failure) {}

  // `name` in the folder `at` (the caller's to close), made first when
  // missing and `make`; `where` is its path for messages. A descriptor, or
  // -1 with the failure set.
  int Enter(int at, const fs::path& name, const fs::path& where, bool make) {
    for (bool made = false;;) {
      const int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) return fd;
      if (errno == ENOENT && make && !made) {
        if (::mkdirat(at, name.c_str(), 0777) != 0 && errno != EEXIST) return Failed(errno);
        made = true;
        continue;
      }
      // A link gives ELOOP, or ENOTDIR since no link is a folder.
      if (errno != ELOOP && errno != ENOTDIR) return Failed(errno);
      return Follow(at, name, where);
    }
  }

 private:
  int Failed(int error) {
    m_failure.system_error = error;
    return -1;
  }

  int Refused(WalkFailure::Refusal refusal, const fs::path& link, uid_t owner) {
    m_failure.system_error = 0;
    m_failure.refusal = refusal;
    m_failure.link = link;
    m_failure.owner = UserName(owner);
    m_failure.root_owner = UserName(m_root_owner);
    return -1;
  }

  // The link is held open while it is judged and read, so that another one
  // put in its place meanwhile is never what gets followed.
  int Follow(int at, const fs::path& name, const fs::path& where) {
    const int link = ::openat(at, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) return Failed(errno);
    struct stat st {};
    const bool known = ::fstat(link, &st) == 0;
    const int stat_error = errno;
    if (!known || !S_ISLNK(st.st_mode)) {
      ::close(link);
      return Failed(known ? ENOTDIR : stat_error);  // a file where a folder must be
    }
    if (st.st_uid != m_root_owner && st.st_uid != 0) {
      ::close(link);
      return Refused(WalkFailure::Refusal::kLinkOwner, where, st.st_uid);
    }
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(link, "", target.data(), target.size());
    const int read_error = errno;
    ::close(link);
    if (length < 0) return Failed(read_error);
    if (length == 0) return Failed(ENOENT);
    if (static_cast<std::size_t>(length) == target.size()) return Failed(ENAMETOOLONG);
    target.resize(static_cast<std::size_t>(length));
    if (++m_links > kMostLinks) return Failed(ELOOP);

    const int fd = Resolve(at, target, where);
    if (fd < 0) {
      if (m_failure.refusal == WalkFailure::Refusal::kNone &&
          (m_failure.system_error == ENOENT || m_failure.system_error == ENOTDIR))
        return Refused(WalkFailure::Refusal::kTargetNotFolder, where, st.st_uid);
      return -1;
    }
    struct stat folder {};
    if (::fstat(fd, &folder) != 0) {
      const int error = errno;
      ::close(fd);
      return Failed(error);
    }
    if (folder.st_uid != m_root_owner) {
      ::close(fd);
      return Refused(WalkFailure::Refusal::kTargetOwner, where, folder.st_uid);
    }
    return fd;
  }

  // A link's target, from the link's folder or from "/", each name entered
  // as any other: a link on the way is judged as the first one was.
  int Resolve(int at, const std::string& target, const fs::path& where) {
    const bool absolute = target.front() == '/';
    int current = absolute ? ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : Dup(at);
    if (current < 0) return Failed(errno);
    fs::path reached = absolute ? fs::path("/") : where.parent_path();
    for (const fs::path& part : fs::path(target)) {
      if (part.empty() || part == "." || part == "/") continue;
      reached = (reached / part).lexically_normal();
      const int next = part == ".." ? ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                    : Enter(current, part, reached, /*make=*/false);
      const int error = errno;
      ::close(current);
      if (next < 0) return part == ".." ? Failed(error) : -1;
      current = next;
    }
    return current;
  }

  uid_t m_root_owner;
  WalkFailure& m_failure;
  int m_links = 0;
};

bool PlainName(const fs::path& part) {
  return !part.has_root_path() && part != "." && part != "..";
}

}  // namespace

WalkedFolder::WalkedFolder(WalkedFolder&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_handle(std::exchange(other.m_handle, -1)),
      m_root_owner(std::move(other.m_root_owner)),
      m_failure(std::move(other.m_failure)) {}

WalkedFolder& WalkedFolder::operator=(WalkedFolder&& other) noexcept {
  if (this != &other) {
    Close();
    m_path = std::move(other.m_path);
    m_handle = std::exchange(other.m_handle, -1);
    m_root_owner = std::move(other.m_root_owner);
    m_failure = std::move(other.m_failure);
  }
  return *this;
}

WalkedFolder::~WalkedFolder() { Close(); }

void WalkedFolder::Close() {
  if (m_handle >= 0) ::close(static_cast<int>(std::exchange(m_handle, -1)));
}

WalkedFolder WalkedFolder::Root(const fs::path& root) {
  WalkedFolder folder(root, {});
  const int fd = ::open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    folder.m_failure.system_error = errno;
    if (fd >= 0) ::close(fd);
    return folder;
  }
  folder.m_handle = fd;
  folder.m_root_owner = OwnerBytes(st.st_uid);
  return folder;
}

WalkedFolder WalkedFolder::Below(const fs::path& relative, bool make) const {
  WalkedFolder folder(m_path / relative, m_root_owner);
  if (!IsOpen()) {
    folder.m_failure = m_failure;
    return folder;
  }
  bool any = false;
  for (const fs::path& part : relative) {
    if (part.empty()) continue;
    if (!PlainName(part)) {
      folder.m_failure.system_error = EINVAL;
      return folder;
    }
    any = true;
  }
  const int at = static_cast<int>(m_handle);
  int current = any ? OpenBeneath(at, relative) : Dup(at);
  if (current < 0 && any) {
    Walk walk(OwnerOf(m_root_owner), folder.m_failure);
    fs::path reached = m_path;
    for (const fs::path& part : relative) {
      if (part.empty()) continue;
      reached /= part;
      const int next = walk.Enter(current < 0 ? at : current, part, reached, make);
      if (current >= 0) ::close(current);
      current = next;
      if (current < 0) return folder;
    }
  }
  if (current < 0) folder.m_failure.system_error = errno;
  folder.m_handle = current;
  return folder;
}

int WalkedFolder::CreateNewFile(const fs::path& name) const {
  if (RefusedAsProtected(m_path / name)) return -1;
  return ::openat(static_cast<int>(m_handle), name.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

int WalkedFolder::OpenForExtending(const fs::path& name) const {
  if (RefusedAsProtected(m_path / name)) return -1;
  return ::openat(static_cast<int>(m_handle), name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
}

int WalkedFolder::OpenForLocking(const fs::path& name) const {
  if (RefusedAsProtected(m_path / name)) return -1;
  return ::openat(static_cast<int>(m_handle), name.c_str(),
                  O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
}

WalkedFolder::Entry WalkedFolder::Kind(const fs::path& name) const {
  struct stat st {};
  if (::fstatat(static_cast<int>(m_handle), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? Entry::kNone : Entry::kOther;
  if (S_ISREG(st.st_mode)) return Entry::kFile;
  if (S_ISDIR(st.st_mode)) return Entry::kFolder;
  if (S_ISLNK(st.st_mode)) return Entry::kLink;
  return Entry::kOther;
}

bool WalkedFolder::Remove(const fs::path& name) const {
  return ::unlinkat(static_cast<int>(m_handle), name.c_str(), 0) == 0;
}

bool WalkedFolder::Move(const fs::path& from, const fs::path& to) const {
  const int fd = static_cast<int>(m_handle);
  return ::renameat(fd, from.c_str(), fd, to.c_str()) == 0;
}

bool WalkedFolder::Sync() const { return ::fsync(static_cast<int>(m_handle)) == 0; }

}  // namespace korvel

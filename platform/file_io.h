#pragma once
// Files by descriptor, for the file formats and the profile writer. POSIX:
// the system's own calls. Windows: the wide (UTF-16) functions, so that any
// name reaches the disk whatever the ANSI code page, with the C runtime's
// descriptor numbers standing for the handles; files are opened sharing
// reading, writing and deleting, as a POSIX file always is. Every failure
// leaves its reason in errno (on Windows the system's error turned into the
// nearest errno value).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace korvel {

enum class CreateMode {
  kReplace,    // a file of the name is emptied
  kExclusive,  // fails with EEXIST when the name is taken
};

// -1 on failure.
int CreateFileForWriting(const std::filesystem::path& path, CreateMode mode);
// An existing file, for writing at its start.
int OpenFileForWriting(const std::filesystem::path& path);
// The same, but never through a symbolic link: a link fails (ELOOP), so
// that an output file cannot be turned into a way to write elsewhere.
int OpenFileForExtending(const std::filesystem::path& path);
// A regular file only (never a directory, a FIFO or a device: nothing that
// could hang a scan), with its size; -1 otherwise (a folder: EISDIR,
// anything else that is no regular file: EINVAL).
int OpenFileForReading(const std::filesystem::path& path, std::uint64_t& size);

// Up to `count` bytes; 0 at the end of the file, -1 on failure.
std::int64_t ReadSome(int fd, void* buffer, std::size_t count);

// Writes everything or fails; `done` counts the bytes that went out either way.
bool WriteAll(int fd, const void* data, std::size_t count, std::size_t& done);

struct WritePiece {
  const void* data = nullptr;
  std::size_t size = 0;
};
// The pieces in order, in as few calls as the system allows.
bool WriteAllGathered(int fd, std::span<const WritePiece> pieces, std::size_t& done);

bool SeekToEnd(int fd);
std::optional<std::uint64_t> FilePosition(int fd);
// Sets the length; the position stays where it was.
bool ResizeOpenFile(int fd, std::uint64_t length);
bool ResizeFile(const std::filesystem::path& path, std::uint64_t length);
bool CloseFile(int fd);
// The file's bytes (and its length) on the disk itself, not only in the
// system's cache: POSIX fdatasync, Windows FlushFileBuffers.
bool SyncFileData(int fd);
// A directory's entries on the disk, so that a new name survives a power
// cut (POSIX; Windows journals names itself, and says yes).
bool SyncDirectory(const std::filesystem::path& directory);

// The file system that holds a path (POSIX: the device; Windows: the
// volume's serial number); nothing when the path cannot be asked.
std::optional<std::uint64_t> FileSystemOf(const std::filesystem::path& path);

// Fails with EEXIST when the directory is there already.
bool MakeDirectory(const std::filesystem::path& path);
// Moves `from` over `to`, replacing it in one step.
bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Fails with ENOENT when there is no such file.
bool RemoveFile(const std::filesystem::path& path);

// Puts `bytes` in place of a file's contents. A new copy beside it takes the
// old one's permissions and owner (POSIX mode and owner; Windows attributes
// and security) and replaces it in one step, so that a crash never leaves
// half a file; where no copy can be made beside it the file is rewritten in
// place. A missing file is created.
bool ReplaceFileContents(const std::filesystem::path& file, const std::string& bytes);
// That fallback: the file emptied (or created) and written again.
bool RewriteInPlace(const std::filesystem::path& file, const std::string& bytes);

// What an open file is, asked of its descriptor: a check of the file itself,
// never again of its name, which may meanwhile name another.
enum class FileKind { kRegular, kFolder, kOther };
struct FileFacts {
  FileKind kind = FileKind::kOther;
  std::uint64_t links = 0;        // the names the file has
  std::uint64_t file_system = 0;  // as FileSystemOf tells it
  std::uint64_t size = 0;
};

enum class FileAccess {
  // Only to be looked at. Linux: O_PATH, whose closing never drops a lock
  // this process holds on the file (a POSIX lock goes with any close).
  kLook,
  kRead,
  kReadWrite,
};
// Opens a file or folder without following a link at its last part (a link
// fails with ELOOP) and without waiting on a pipe; -1 on failure.
int OpenNotFollowing(const std::filesystem::path& path, FileAccess access);
std::optional<FileFacts> FactsOf(int fd);
// The path an open file has now, every link resolved (Linux: as the system
// names the descriptor; Windows: the handle's final path; elsewhere the real
// folder of `opened_as` and its name).
std::optional<std::filesystem::path> RealPathOf(int fd, const std::filesystem::path& opened_as);
// A path with every link resolved, in the form RealPathOf gives.
std::optional<std::filesystem::path> RealPath(const std::filesystem::path& path);

}  // namespace korvel

#pragma once
// Files this process must never open itself: the embedded catalogue's SQLite
// database and its "-wal" and "-shm". SQLite's POSIX locks belong to the
// process, so closing any other descriptor of the file, even one opened only
// to read a header or guess a file's type, drops the locks of the catalogue's
// own connection: another program then writes over what it holds, and the
// connection's later writes lose that program's rows. Every open of the file
// layer asks here first.

#include <filesystem>

namespace korvel {

// `file` and its "-wal" and "-shm" beside it.
void ProtectSqliteFiles(const std::filesystem::path& file);
// By identity (device and inode, which stat reads without opening) where the
// file exists, else by its path; false for every file when none is protected.
bool IsProtectedFile(const std::filesystem::path& file);
// The same, with errno EACCES when it is: for the file layer's opens.
bool RefusedAsProtected(const std::filesystem::path& file);

}  // namespace korvel

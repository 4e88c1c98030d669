#pragma once
// File names between Qt and the file functions, without loss: POSIX names are
// bytes (Qt's encodeName), Windows names UTF-16, as each side holds them.

#include <QString>
#include <filesystem>

namespace korvel {

std::filesystem::path FsPath(const QString& path);
QString QtPath(const std::filesystem::path& path);

}  // namespace korvel

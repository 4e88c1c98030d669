#include "mainwindow/first_use_texts.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "config/config_files.h"
#include "config/settings.h"
#include "engine/operator_texts.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {

std::optional<std::string> MissingProgramIniText() {
  std::error_code ec;
  if (std::filesystem::exists(ProgramIniPath(), ec)) return std::nullopt;
  const std::filesystem::path looked_for = std::filesystem::absolute(ProgramIniPath(), ec);
  return "Нет файла настройки " + DisplayPath(ec ? ProgramIniPath() : looked_for) +
         ".\nВ нём перечислены станции ([SYSTEM] NSTA=, [STA0] NAME=...) и каталоги их "
         "файлов регистратора ([станция] DIR=); без него список станций пуст.\n"
         "Создайте его (см. README, «Your own data», шаг 5) или запустите программу в "
         "каталоге, где он есть. Время при закрытии окна не сохраняется, пока файла нет.";
}

std::optional<std::string> MissingOutputRootText(const std::string& output_root) {
  if (output_root.empty()) return std::nullopt;
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(NativePath(output_root), ec);
  if (!ec && std::filesystem::is_directory(status)) return std::nullopt;
  // Reached but not a folder: the system's own word for it.
  const std::string reason = ec ? ec.message() : std::strerror(ENOTDIR);
  return "Нет каталога для файлов TQF " + Cp1251ToUtf8(output_root) + ": " + reason +
         ".\nОн задан в " + DisplayPath(TqfIniPath()) +
         " (раздел DATA, ключ DIR). Создайте каталог или исправьте DIR.";
}

bool RefuseMissingOutputRoot(Notifier& notifier) {
  const std::optional<std::string> text = MissingOutputRootText(ReadDataRoot());
  if (!text) return false;
  notifier.Message(*text, kCommandCaption, MessageIcon::Error);
  return true;
}

}  // namespace korvel

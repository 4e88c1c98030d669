#include <windows.h>

#include <string>

#include "platform/config_folder.h"
#include "platform/wide_text.h"

namespace korvel {

std::filesystem::path EnvironmentPath(const char* name) {
  const std::wstring wide_name = WideFromUtf8(name);
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size <= 1) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  return std::filesystem::path(value);
}

std::filesystem::path SharedConfigFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryW(folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return std::filesystem::path(folder);
}

std::filesystem::path UserDataFolder() {
  if (auto local = EnvironmentPath("LOCALAPPDATA"); !local.empty()) return local;
  if (auto roaming = EnvironmentPath("APPDATA"); !roaming.empty()) return roaming;
  return std::filesystem::current_path();
}

}  // namespace korvel

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>

#include "platform/console.h"
#include "platform/wide_text.h"

namespace korvel {
namespace {

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

UINT g_old_output_code_page = 0;

void RestoreOutputCodePage() { SetConsoleOutputCP(g_old_output_code_page); }

}  // namespace

bool StandardErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

void UseUtf8Output() {
  if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE)) return;
  const UINT old = GetConsoleOutputCP();
  if (old == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  g_old_output_code_page = old;
  std::atexit(RestoreOutputCodePage);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace korvel

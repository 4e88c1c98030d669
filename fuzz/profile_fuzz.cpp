// Feeds arbitrary bytes to the profile-file reader as an ini file, in any
// encoding, and checks what a reader and a writer of it must keep to.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "platform/profile.h"

namespace {

std::filesystem::path ScratchIni() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("korvel-profile-fuzz-" + std::to_string(getpid()) + ".ini");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("ini", 0);
  if (fd < 0) return 0;
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const std::filesystem::path ini = "/proc/self/fd/" + std::to_string(fd);

  // A value never exceeds its buffer, whatever the file holds.
  for (const auto& [section, key, buffer] : {std::tuple{"SYSTEM", "TIME", 32},
                                             {"DATA", "DIR", 256},
                                             {"STA0", "NAME", 64},
                                             {"DATABASE", "ODBC", 32}})
    if (korvel::GetProfileString(section, key, "default", buffer, ini).size() >=
        static_cast<std::size_t>(buffer))
      __builtin_trap();
  (void)korvel::GetProfileInt("SYSTEM", "NSTA", 0, ini);

  // What is written is what is read back, whatever else the file holds.
  const std::filesystem::path scratch = ScratchIni();
  {
    std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::string time = "12:34:56 01/02/2007";
  if (!korvel::WriteProfileString("SYSTEM", "TIME", time, scratch)) __builtin_trap();
  if (korvel::GetProfileString("SYSTEM", "TIME", "", 32, scratch) != time) __builtin_trap();
  return 0;
}

#pragma once
// Read faults under one named file for the programs a test starts (Linux):
// while a ReadFaults lives, each of them is started with the library of
// read_faults.cpp preloaded, which makes that file's open or reads fail.

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/environment.h"

namespace korvel::test {

struct ReadFault {
  std::string file;                // the file's name, its last path component
  int open_errno = 0;              // its open fails with this, when not 0
  std::optional<long long> bytes;  // its reads fail with EIO after this many bytes
};

class ReadFaults {
 public:
  explicit ReadFaults(const ReadFault& fault) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    if (asan != nullptr) m_asan_options = asan;
    SetEnv("LD_PRELOAD", KORVEL_READ_FAULTS);
    // An address-sanitized program wants its own runtime loaded first.
    SetEnv("ASAN_OPTIONS", m_asan_options.value_or("") + ":verify_asan_link_order=0");
    SetEnv("KORVEL_FAULT_FILE", fault.file);
    if (fault.open_errno != 0) SetEnv("KORVEL_FAULT_OPEN_ERRNO", std::to_string(fault.open_errno));
    if (fault.bytes) SetEnv("KORVEL_FAULT_READ_AFTER", std::to_string(*fault.bytes));
  }
  ~ReadFaults() {
    for (const char* name :
         {"LD_PRELOAD", "KORVEL_FAULT_FILE", "KORVEL_FAULT_OPEN_ERRNO", "KORVEL_FAULT_READ_AFTER"})
      UnsetEnv(name);
    if (m_asan_options)
      SetEnv("ASAN_OPTIONS", *m_asan_options);
    else
      UnsetEnv("ASAN_OPTIONS");
  }
  ReadFaults(const ReadFaults&) = delete;
  ReadFaults& operator=(const ReadFaults&) = delete;

 private:
  std::optional<std::string> m_asan_options;
};

}  // namespace korvel::test

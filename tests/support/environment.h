#pragma once
// Environment variables set and unset by tests, the same way on every system.

#include <cstdlib>
#include <string>

namespace korvel::test {

inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
  _putenv_s(name, "");  // an empty value removes it there
#else
  unsetenv(name);
#endif
}

}  // namespace korvel::test

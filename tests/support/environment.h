#pragma once
// Environment variables set and unset by tests, the same way on every system.

#include <cstdlib>
#include <optional>
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

// Sets (or, given no value, unsets) an environment variable for as long as
// it lives, for the programs a test runs.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    value != nullptr ? SetEnv(name, value) : UnsetEnv(name);
  }
  ~ScopedVariable() { m_old ? SetEnv(m_name, *m_old) : UnsetEnv(m_name); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

}  // namespace korvel::test

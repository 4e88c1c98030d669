#pragma once
// A fresh folder for one test, removed with everything in it afterwards; the
// current directory and the configuration variables can be pointed into it.

#include <filesystem>
#include <map>
#include <string>

namespace korvel::test {

class TempDir {
 public:
  TempDir();
  // In a folder of the caller's (a small disk of its own, say).
  explicit TempDir(const std::filesystem::path& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Makes a folder the current directory and TQF_CONFIG_DIR for its lifetime.
class ConfigSandbox {
 public:
  ConfigSandbox();
  ~ConfigSandbox();
  const std::filesystem::path& path() const { return m_dir.path(); }
  void WriteTqfIni(const std::string& text) const;
  void WriteProgramIni(const std::string& text) const;

 private:
  TempDir m_dir;
  std::filesystem::path m_old_cwd;
  std::string m_old_config;
  bool m_had_config = false;
};

std::string ReadFileBytes(const std::filesystem::path& path);
// Every file below a folder, by its path relative to it, with its bytes; the
// stations' lock files are left out, being no output.
std::map<std::string, std::string> ReadTree(const std::filesystem::path& root);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace korvel::test

#include "tests/support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "engine/tqf_file.h"
#include "tests/support/environment.h"

namespace korvel::test {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path()) {}

TempDir::TempDir(const std::filesystem::path& base) {
  // A name nobody else has taken, made by this process alone.
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "korvel-test-%012llx",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    std::error_code ec;
    if (std::filesystem::create_directory(base / name, ec)) {
      m_path = base / name;
      return;
    }
    if (ec) throw std::runtime_error("cannot make a folder in " + base.string());
  }
  throw std::runtime_error("no free folder name in " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

ConfigSandbox::ConfigSandbox() : m_old_cwd(std::filesystem::current_path()) {
  if (const char* old = std::getenv("TQF_CONFIG_DIR")) {
    m_old_config = old;
    m_had_config = true;
  }
  SetEnv("TQF_CONFIG_DIR", m_dir.path().string());
  std::filesystem::current_path(m_dir.path());
}

ConfigSandbox::~ConfigSandbox() {
  std::filesystem::current_path(m_old_cwd);
  if (m_had_config)
    SetEnv("TQF_CONFIG_DIR", m_old_config);
  else
    UnsetEnv("TQF_CONFIG_DIR");
}

void ConfigSandbox::WriteTqfIni(const std::string& text) const {
  WriteFileBytes(m_dir.path() / "tqf.ini", text);
}

void ConfigSandbox::WriteProgramIni(const std::string& text) const {
  WriteFileBytes(m_dir.path() / "korvel2tqf.ini", text);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::map<std::string, std::string> ReadTree(const std::filesystem::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file() && entry.path().filename() != kStationLockFile)
      files[std::filesystem::relative(entry.path(), root).string()] = ReadFileBytes(entry.path());
  return files;
}

}  // namespace korvel::test

#include "app/cli/password_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/cli/cli_messages.h"
#include "platform/native_path.h"

namespace korvel::cli {
namespace {

constexpr const char* kPasswordVariable = "KORVEL2TQF_PASSWORD";

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// An option that is, or may have been meant as, --password (not
// --password-file, whose value is only a file's name).
bool NamesPassword(const std::string& argument) {
  if (argument.rfind("--", 0) != 0) return false;
  const std::string name = argument.substr(2, argument.find('=') - 2);
  return name != "password-file" && (name.rfind("pass", 0) == 0 || name.rfind("pwd", 0) == 0 ||
                                     EditDistance(name, "password") <= 2);
}

// Calls `secret(i, from)` for each argument that holds a password from byte `from`.
template <typename Visit>
void ForEachSecret(int count, const auto& argument_at, Visit secret) {
  for (int i = 1; i < count; ++i) {
    const std::string argument = argument_at(i);
    if (!NamesPassword(argument)) continue;
    if (const std::size_t equals = argument.find('='); equals != std::string::npos)
      secret(i, equals + 1);
    else if (i + 1 < count)
      secret(++i, std::size_t{0});
  }
}

void WarnIfOthersCanRead(const std::string& password_file) {
#ifndef _WIN32  // Windows keeps who may read a file in lists that no mode bits show
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::perms perms = fs::status(Utf8Path(password_file), ec).permissions();
  if (ec || (perms & (fs::perms::group_read | fs::perms::others_read)) == fs::perms::none) return;
  char mode[8];
  std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(perms & fs::perms::mask));
  SayWarning("the password file " + password_file + " can be read by other users (mode " + mode +
             "): chmod 600 " + password_file);
#else
  (void)password_file;
#endif
}

}  // namespace

void AddPasswordOptions(CLI::App& app, ConnectionOptions& options, std::string& password_file) {
  app.add_option("--password", options.password,
                 "database password (default: --password-file, else $KORVEL2TQF_PASSWORD, else\n"
                 "tqf.ini DATABASE/PASSWORD); it is wiped from the process's command line once\n"
                 "read, but a shell's history keeps it: prefer the other two");
  app.add_option("--password-file", password_file,
                 "read the database password from the first line of FILE (keep it readable by\n"
                 "you alone)");
}

void WipePasswordArguments(int argc, char** argv) {
  ForEachSecret(
      argc, [&](int i) { return std::string(argv[i]); },
      [&](int i, std::size_t from) {
        for (char* c = argv[i] + from; *c != '\0'; ++c) *c = 'x';
      });
}

std::vector<std::string> ArgumentsWithoutPasswords(const std::vector<std::string>& arguments) {
  std::vector<std::string> masked = arguments;
  ForEachSecret(
      static_cast<int>(masked.size()), [&](int i) { return masked[static_cast<std::size_t>(i)]; },
      [&](int i, std::size_t from) {
        std::string& argument = masked[static_cast<std::size_t>(i)];
        if (argument.size() > from) argument = argument.substr(0, from) + "***";
      });
  return masked;
}

std::string UsageErrorWithoutPasswords(CLI::App& app, const CLI::ParseError& error,
                                       const std::vector<std::string>& arguments) {
  std::vector<std::string> masked = ArgumentsWithoutPasswords(arguments);
  if (masked == arguments) return error.what();
  std::vector<char*> argv;
  for (std::string& argument : masked) argv.push_back(argument.data());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& again) {
    return again.what();
  }
  // Only the password's own value made the error: CLI11's words may hold it.
  return "the value of --password cannot be read; give it as --password=VALUE, or use "
         "--password-file or KORVEL2TQF_PASSWORD";
}

bool TakePasswordFromElsewhere(ConnectionOptions& options, const std::string& password_file) {
  if (!options.password.empty()) {
    options.password_from = "given with --password";
    return true;
  }
  if (!password_file.empty()) {
    options.password_from = "read from --password-file " + password_file;
    std::ifstream in(Utf8Path(password_file), std::ios::binary);
    if (!in) {
      SayError("cannot read the password file " + password_file + ": " + std::strerror(errno));
      return false;
    }
    std::getline(in, options.password);
    if (!options.password.empty() && options.password.back() == '\r') options.password.pop_back();
    // An empty first line is a mistake, never a reason to try tqf.ini's password instead.
    if (options.password.empty()) {
      SayError("the password file " + password_file +
               " holds no password: write it on the file's first line");
      return false;
    }
    WarnIfOthersCanRead(password_file);
    return true;
  }
  if (const char* given = std::getenv(kPasswordVariable)) {
    options.password = given;
    options.password_from = std::string("in ") + kPasswordVariable;
  }
  return true;
}

}  // namespace korvel::cli

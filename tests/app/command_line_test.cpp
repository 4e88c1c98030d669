#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup_options.h"

namespace korvel {
namespace {

StartupOptions Parse(std::string_view line) {
  StartupOptions options;
  ParseCommandLine(line, options);
  return options;
}

TEST(CommandLine, TokensByTheFirstRuleThatApplies) {
  StartupOptions o = Parse("KIR ODBC=SEISM -CHKDB");
  EXPECT_EQ(o.initial_station, "KIR");
  EXPECT_EQ(o.odbc_dsn, "SEISM");
  EXPECT_TRUE(o.check_database);

  o = Parse("  USER=op   PASSWORD=secret  ");
  EXPECT_EQ(o.odbc_user, "op");
  EXPECT_EQ(o.odbc_password, "secret");
  EXPECT_FALSE(o.check_database);
  EXPECT_EQ(o.initial_station, "");

  EXPECT_EQ(Parse("ODBC=").odbc_dsn, "");
  EXPECT_EQ(Parse("ODBC=A ODBC=B").odbc_dsn, "B");  // the last value wins
  EXPECT_EQ(Parse("/ODBC=X").odbc_dsn, "");         // the slash form knows only CHKDB
  for (const char* token : {"-CHKDB", "/CHKDB", "CHKDB", "/xCHKDBx"})
    EXPECT_TRUE(Parse(token).check_database) << token;
  EXPECT_FALSE(Parse("chkdb").check_database);
  EXPECT_EQ(Parse("chkdb").initial_station, "CHKDB");
  EXPECT_EQ(Parse("kir kuda").initial_station, "KUDA");
  EXPECT_EQ(Parse("\xEA\xE8\xF0").initial_station, "\xCA\xC8\xD0");  // кир -> КИР
  // Tabs and quotes are ordinary characters.
  EXPECT_EQ(Parse("\"kir\tx\"").initial_station, "\"KIR\tX\"");
  // Substring tests: the key is expected first, the value is taken from the
  // sixth (or tenth) character whatever precedes it.
  EXPECT_EQ(Parse("xODBC=abc").odbc_dsn, "=abc");
  EXPECT_EQ(Parse("ODBCUSER=x").odbc_user, "SER=x");
  EXPECT_FALSE(Parse("-odbc").check_database);
}

TEST(CommandLine, ParsingResetsTheConnectionButNotTheStation) {
  StartupOptions o;
  o.odbc_dsn = "old";
  o.check_database = true;
  o.initial_station = "KEEP";
  EXPECT_FALSE(ParseCommandLine("USER=u", o));
  EXPECT_EQ(o.odbc_dsn, "");
  EXPECT_FALSE(o.check_database);
  EXPECT_EQ(o.initial_station, "KEEP");
  EXPECT_TRUE(ParseCommandLine("kir", o));
}

// A password is never cut: the server would refuse what is left of it.
TEST(CommandLine, OverLongTextsAreCutToTheirFieldsButThePassword) {
  StartupOptions o = Parse("ODBC=" + std::string(40, 'd') + " USER=" + std::string(80, 'u') +
                           " PASSWORD=" + std::string(80, 'p') + " " + std::string(30, 's'));
  EXPECT_EQ(o.odbc_dsn, std::string(31, 'd'));
  EXPECT_EQ(o.odbc_user, std::string(63, 'u'));
  EXPECT_EQ(o.odbc_password, std::string(80, 'p'));
  EXPECT_EQ(o.initial_station, std::string(19, 'S'));
  // Only the first 1023 characters of the line are looked at.
  o = Parse(std::string(1020, ' ') + "kir CHKDB");
  EXPECT_EQ(o.initial_station, "KIR");
  EXPECT_FALSE(o.check_database);
}

// What `ps` shows of the window's own arguments once they are read.
TEST(CommandLine, ThePasswordIsWipedFromTheArgumentsAndNothingElse) {
  std::string words[] = {"korvel2tqf", "KIR", "PASSWORD=pässwörd", "USER=op",
                         "ODBC=X PASSWORD=a;b USER=me"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  WipePasswordTokens(static_cast<int>(argv.size()), argv.data());
  EXPECT_STREQ(argv[1], "KIR");
  EXPECT_STREQ(argv[2], "PASSWORD=xxxxxxxxxx");  // every byte of the UTF-8 text
  EXPECT_STREQ(argv[3], "USER=op");
  EXPECT_STREQ(argv[4], "ODBC=X PASSWORD=xxx USER=me");
}

TEST(CommandLine, VersionAndHelpAreWholeTokensTheWindowsRulesIgnore) {
  using enum InformationRequest;
  const std::pair<std::string, InformationRequest> cases[] = {
      {"--version", kVersion},
      {"KIR  --help ODBC=X", kHelp},
      {"--help --version", kHelp},
      {"--version --help", kVersion},
      {"", kNone},
      {"-version", kNone},
      {"--VERSION", kNone},
      {"version help", kNone},
      {"x--version --help=1", kNone},
      {std::string(1020, ' ') + "--version", kNone},
  };
  for (const auto& [line, request] : cases)
    EXPECT_EQ(FindInformationRequest(line), request) << "'" << line << "'";
  // The tokens still parse as the window has always read them.
  const StartupOptions o = Parse("--version kir --help ODBC=S");
  EXPECT_EQ(o.initial_station, "KIR");
  EXPECT_EQ(o.odbc_dsn, "S");
  EXPECT_FALSE(o.check_database);
}

}  // namespace
}  // namespace korvel

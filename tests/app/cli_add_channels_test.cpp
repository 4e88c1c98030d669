// korvel2tqf-cli add-channels on each server: the SITECHAN rows a new
// catalogue is missing, learnt from raw files, added once; rows that are
// there stay as they are; a file that is not a usable raw file is named.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "database/statement.h"
#include "engine/raw_file.h"
#include "platform/number_text.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

constexpr const char* kColumns[] = {"STA", "NGROUP", "CHANINDEX", "EDEPH", "LAT",      "LON",
                                    "SPS", "HANG",   "VANG",      "DESCR", "CALIBFILE"};

// Every SITECHAN row by "STA CHAN": its other columns as the driver gives
// them as text, NULL as nothing, and LDDATE.
struct SiteChanRow {
  std::vector<std::optional<std::string>> columns;
  std::optional<SQL_TIMESTAMP_STRUCT> lddate;
};

class AddChannelsTest : public ConversionTest {
 protected:
  std::map<std::string, SiteChanRow> SiteChan(std::size_t& row_count) {
    CDatabase reader;
    EXPECT_EQ(reader.OpenEx(TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
    CStatement s(reader);
    std::string select = "SELECT CHAN";
    for (const char* column : kColumns) select += std::string(", ") + column;
    s.ExecDirect(select + ", LDDATE FROM SITECHAN");
    std::map<std::string, SiteChanRow> rows;
    row_count = 0;
    while (s.Fetch()) {
      SiteChanRow row;
      const std::string chan = s.Get<std::string>(1).value_or("<null>");
      for (std::size_t c = 0; c < std::size(kColumns); ++c)
        row.columns.push_back(s.Get<std::string>(static_cast<int>(c) + 2));
      row.lddate = s.Get<SQL_TIMESTAMP_STRUCT>(std::size(kColumns) + 2);
      rows[row.columns[0].value_or("<null>") + " " + chan] = row;
      ++row_count;
    }
    return rows;
  }
  static bool SameTime(const std::optional<SQL_TIMESTAMP_STRUCT>& a,
                       const std::optional<SQL_TIMESTAMP_STRUCT>& b) {
    if (!a || !b) return !a && !b;
    return a->year == b->year && a->month == b->month && a->day == b->day && a->hour == b->hour &&
           a->minute == b->minute && a->second == b->second;
  }
};

TEST_P(AddChannelsTest, AddsTheMissingRowsOnceAndLeavesTheRowsThatAreThere) {
  // One listed row carries every column, as an administrator filled it.
  db.ExecuteSQL(
      "UPDATE SITECHAN SET NGROUP = 2, CHANINDEX = 1, EDEPH = 0.5, LAT = 55.75, LON = 37.5, "
      "HANG = 0, VANG = 90, DESCR = 'vertical', CALIBFILE = 'kir.cal', LDDATE = '2001-02-03 "
      "04:05:06' WHERE STA = 'KIR' AND CHAN = 'Z'");
  std::size_t count_before = 0;
  const auto before = SiteChan(count_before);

  // Lower-case names and a dotted station, as recorders write them; the
  // conversion compares upper case.
  RawFile("kir.01", {"z", "SH Z", "bhz"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  RawFile("KUDA", {"Z", "N-S", "E-W"}, kMarch1, 50.0, 100).WriteTo(Raw("KUDA/b.raw"));
  RawFile("\xEA\xE8\xF0", {"\xFF"}, kMarch1, 20.0, 100).WriteTo(Raw("c.raw"));  // кир, я
  const std::vector<std::string> args = {"--dsn",          GetParam(),        "add-channels",
                                         Raw("KIR/a.raw"), Raw("KUDA/b.raw"), Raw("c.raw")};
  const auto first = Cli(args);
  EXPECT_EQ(first.exit_status, 0) << first.err;
  EXPECT_EQ(first.out, "KIR\tBHZ\t100.000\nKUDA\tN-S\t50.000\nKUDA\tE-W\t50.000\nКИР\tЯ\t20.000\n");
  EXPECT_NE(first.err.find("SITECHAN: rows added 4, already listed 3; files refused 0 of 3"),
            std::string::npos)
      << first.err;

  std::size_t count = 0;
  const auto after = SiteChan(count);
  EXPECT_EQ(count, count_before + 4);
  for (const auto& [key, row] : before) {
    ASSERT_TRUE(after.contains(key)) << key;
    EXPECT_EQ(after.at(key).columns, row.columns) << key;
    EXPECT_TRUE(SameTime(after.at(key).lddate, row.lddate)) << key;
  }
  const std::pair<const char*, double> added[] = {
      {"KIR BHZ", 100.0}, {"KUDA N-S", 50.0}, {"KUDA E-W", 50.0}, {"КИР Я", 20.0}};
  for (const auto& [key, sps] : added) {
    ASSERT_TRUE(after.contains(key)) << key;
    const SiteChanRow& row = after.at(key);
    for (std::size_t c = 1; c < std::size(kColumns); ++c) {
      if (std::string(kColumns[c]) != "SPS") {
        EXPECT_EQ(row.columns[c], std::nullopt) << key << " " << kColumns[c];
      }
    }
    EXPECT_EQ(ParseNumber(row.columns[6].value_or("0")), sps) << key;
    ASSERT_TRUE(row.lddate) << key;
    std::tm local{};
    local.tm_year = row.lddate->year - 1900;
    local.tm_mon = row.lddate->month - 1;
    local.tm_mday = row.lddate->day;
    local.tm_hour = row.lddate->hour;
    local.tm_min = row.lddate->minute;
    local.tm_sec = row.lddate->second;
    local.tm_isdst = -1;
    EXPECT_LT(std::abs(std::difftime(std::time(nullptr), std::mktime(&local))), 120.0) << key;
  }

  // Again: nothing is missing, nothing changes.
  const auto again = Cli(args);
  EXPECT_EQ(again.exit_status, 0) << again.err;
  EXPECT_EQ(again.out, "");
  EXPECT_NE(again.err.find("rows added 0, already listed 7"), std::string::npos) << again.err;
  std::size_t count_again = 0;
  const auto unchanged = SiteChan(count_again);
  EXPECT_EQ(count_again, count);
  for (const auto& [key, row] : after) {
    EXPECT_EQ(unchanged.at(key).columns, row.columns) << key;
    EXPECT_TRUE(SameTime(unchanged.at(key).lddate, row.lddate)) << key;
  }

  // The added rows are what the conversion ticks and finds: KUDA's new N-S
  // and E-W convert without naming a channel.
  const auto converted = Cli({"files", "--station", "KUDA", Raw("KUDA/b.raw")});
  EXPECT_EQ(converted.exit_status, 0) << converted.err;
  std::vector<std::string> channels;
  for (const CatalogueRow& row : Rows()) channels.push_back(row.ch);
  EXPECT_EQ(channels, (std::vector<std::string>{"E-W", "N-S", "Z"}));
}

TEST_P(AddChannelsTest, RefusesAFileThatIsNotAUsableRawFileByNameAndGoesOn) {
  struct Damaged {
    const char* name;
    RawFileBuilder file;
    const char* reason;
  };
  const Damaged damaged[] = {
      {"month13.raw", RawFile("KIR", {"BHZ"}, kMarch1, 100.0, 10).Date(1, 13, 7),
       RawFileRefusalText(RawFileRefusal::kNoStartDate)},
      {"header.raw", RawFile("KIR", {"BHZ"}, kMarch1, 100.0, 10).TruncateTo(100),
       RawFileRefusalText(RawFileRefusal::kHeaderCut)},
      {"table.raw", RawFile("KIR", {"BHZ", "BHN"}, kMarch1, 100.0, 10).TruncateTo(120 + 72 + 8),
       RawFileRefusalText(RawFileRefusal::kChannelTableCut)},
      {"no-rate.raw", RawFile("KIR", {"BHZ"}, kMarch1, 100.0, 10).SampleInterval(0.0),
       RawFileRefusalText(RawFileRefusal::kNoSampleInterval)},
      {"tiny-interval.raw", RawFile("KIR", {"BHZ"}, kMarch1, 100.0, 10).SampleInterval(1e-320),
       "the sampling rate is too high to be a number"},
      {"no-station.raw", RawFile("", {"BHZ"}, kMarch1, 100.0, 10), "the header names no station"},
  };
  std::vector<std::string> args = {"--dsn", GetParam(), "add-channels"};
  for (const Damaged& d : damaged) {
    d.file.WriteTo(Raw(d.name));
    args.push_back(Raw(d.name));
  }
  args.push_back(Raw("missing.raw"));
  std::filesystem::create_directory(Raw("folder.raw"));
  args.push_back(Raw("folder.raw"));
  RawFile("KUDA", {"N-S", ""}, kMarch1, 50.0, 10).WriteTo(Raw("good.raw"));
  args.push_back(Raw("good.raw"));

  const auto r = Cli(args);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "KUDA\tN-S\t50.000\n");  // the good file's channel, after the refusals
  for (const Damaged& d : damaged)
    EXPECT_NE(r.err.find(Raw(d.name) + ": " + d.reason + "; nothing added from it\n"),
              std::string::npos)
        << d.name << "\n"
        << r.err;
  for (const char* name : {"missing.raw: no such file", "folder.raw: is a directory"})
    EXPECT_NE(r.err.find(Raw(name)), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(Raw("good.raw") + ": channel 2 has no name; not added\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("files refused 8 of 9"), std::string::npos) << r.err;
  std::size_t count = 0;
  const auto rows = SiteChan(count);
  EXPECT_EQ(count, 6u);  // the five of the fixture and KUDA N-S
  EXPECT_FALSE(rows.contains("KIR BHZ"));
}

// Three runs at once over the same recordings, again and again: each channel
// is listed once, whichever run finds it missing first.
TEST_P(AddChannelsTest, RunsSideBySideListEachChannelOnce) {
  std::vector<std::string> channels;
  for (int c = 0; c < 12; ++c) channels.push_back("C" + std::to_string(c));
  RawFile("NEW", channels, kMarch1, 100.0, 10).WriteTo(Raw("new.raw"));
  const std::vector<std::string> args = {"--dsn", GetParam(), "add-channels", Raw("new.raw")};
  for (int round = 0; round < 8; ++round) {
    db.ExecuteSQL("DELETE FROM SITECHAN WHERE STA = 'NEW'");
    CommandResult second, third;
    const auto first = RunCommand("korvel2tqf-cli", args, [&](pid_t) {
      second = RunCommand("korvel2tqf-cli", args, [&](pid_t) { third = Cli(args); });
    });
    for (const CommandResult& r : {first, second, third}) EXPECT_EQ(r.exit_status, 0) << r.err;
    std::size_t rows = 0;
    const auto listed = SiteChan(rows);
    std::size_t added = 0;
    for (const auto& [name, row] : listed) added += name.rfind("NEW ", 0) == 0;
    EXPECT_EQ(added, channels.size()) << "round " << round;
    EXPECT_EQ(rows, listed.size()) << "round " << round << ": a channel listed twice";
  }
}

// MariaDB's named lock held elsewhere for longer than the run waits: the run
// fails and adds nothing, where it once inserted after its wait ran out.
TEST_P(AddChannelsTest, ALockNotObtainedIsAnErrorAndAddsNothing) {
  if (db.GetDbmsKind() != DbmsKind::MySql) GTEST_SKIP() << "a named lock of MariaDB's";
  RawFile("NEW", {"Z"}, kMarch1, 100.0, 10).WriteTo(Raw("new.raw"));
  std::size_t before = 0;
  SiteChan(before);
  CDatabase holder;
  ASSERT_EQ(holder.OpenEx(TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
  holder.ExecuteSQL("SELECT GET_LOCK('korvel2tqf.sitechan', 0)");
  const auto r = Cli({"--dsn", GetParam(), "add-channels", Raw("new.raw")});
  EXPECT_EQ(r.exit_status, 4) << r.err;
  EXPECT_NE(r.err.find("another add-channels run held the server's lock korvel2tqf.sitechan"),
            std::string::npos)
      << r.err;
  std::size_t after = 0;
  SiteChan(after);
  EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(Drivers, AddChannelsTest, ::testing::ValuesIn(TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(AddChannelsTest);

}  // namespace
}  // namespace korvel::test

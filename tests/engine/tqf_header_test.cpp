// TQF4.0 headers read back: the frozen reference files, other programs' ways
// of writing the same lines, and damaged headers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/tqf_header.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

TqfHeader HeaderOf(const std::string& text) {
  TqfHeader header;
  header.fill(' ');
  std::copy(text.begin(), text.begin() + static_cast<long>(std::min(text.size(), header.size())),
            header.begin());
  if (text.size() < header.size()) header[text.size()] = '\0';
  return header;
}

std::string TextOf(const TqfHeader& header) {
  return std::string(header.data(), strnlen(header.data(), 512));
}

TEST(TqfHeader, TheFrozenReferenceFilesReadBackAsTheirRowsSay) {
  const fs::path data = test::TestDataDir();
  std::ifstream rows(data / "expected" / "rows.tsv");
  std::string line;
  std::getline(rows, line);  // the column names
  int checked = 0;
  while (std::getline(rows, line)) {
    std::istringstream cells(line);
    std::string sta, ch, cpath, tbegin, tqty, sps;
    std::getline(cells, sta, '\t');
    std::getline(cells, ch, '\t');
    std::getline(cells, cpath, '\t');
    std::getline(cells, tbegin, '\t');
    std::getline(cells, tqty, '\t');
    std::getline(cells, sps, '\t');
    const auto head = ReadTqfFileHead(fs::path(data) / "expected" / "tqf" / Utf8Path(cpath));
    ASSERT_TRUE(head && head->header) << cpath;
    const ParsedTqfHeader parsed = ParseTqfHeader(*head->header);
    ASSERT_TRUE(parsed.fields) << cpath << ": " << parsed.defect;
    const TqfHeaderFields& f = *parsed.fields;
    EXPECT_EQ(Cp1251ToUtf8(f.station), sta);
    EXPECT_EQ(Cp1251ToUtf8(f.channel), ch);
    EXPECT_EQ(f.sampling_rate, ParseNumber(sps).value());
    EXPECT_EQ(f.sampling_rate_text, sps);
    EXPECT_EQ(f.data_offset, 512);
    EXPECT_EQ(f.start, std::floor(ParseNumber(tbegin).value())) << cpath;  // whole seconds only
    EXPECT_TRUE(IsOwnTqfHeader(*head->header, f));
    EXPECT_EQ(head->size,
              512 + 4 * static_cast<std::uint64_t>(std::llround(ParseNumber(tqty).value() * ParseNumber(sps).value())));
    ++checked;
  }
  EXPECT_EQ(checked, 4);
}

TEST(TqfHeader, AnotherProgramsSpellingReadsButIsNotOurs) {
  const ParsedTqfHeader parsed = ParseTqfHeader(
      HeaderOf("[TQF4.0]\nDATA OFFSET = 512\nstart time=6 12 0\nStart date= 7 3 2007\n"
               "SpS=20.5\nStation=KIR\nChannel=SH Z\nComment=anything\n"));
  ASSERT_TRUE(parsed.fields) << parsed.defect;
  EXPECT_EQ(parsed.fields->channel, "SH Z");
  EXPECT_EQ(parsed.fields->sampling_rate, 20.5);
  EXPECT_EQ(parsed.fields->start, ToEpochSeconds(2007, 3, 7, 6, 12, 0.0f));
  EXPECT_FALSE(
      IsOwnTqfHeader(HeaderOf(TextOf(BuildHeader("KIR", "SH Z", 20.5, 0.0))), *parsed.fields));
  const TqfHeader ours = BuildHeader("KIR", "SH Z", 20.5, parsed.fields->start);
  const ParsedTqfHeader again = ParseTqfHeader(ours);
  ASSERT_TRUE(again.fields);
  EXPECT_TRUE(IsOwnTqfHeader(ours, *again.fields));
  // One byte beyond the NUL makes it another program's.
  TqfHeader padded = ours;
  padded[511] = 'x';
  EXPECT_FALSE(IsOwnTqfHeader(padded, *again.fields));
}

TEST(TqfHeader, ADamagedLineIsNamed) {
  const std::string good = TextOf(BuildHeader("KIR", "Z", 100.0, 1173247920.0));
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  const struct {
    std::string text;
    const char* defect;
  } cases[] = {
      {replaced("[TQF4.0]", "[TQF3.0]"), "[TQF4.0]"},
      {"", "[TQF4.0]"},
      {replaced("Data offset=512", "Data offset=5l2"), "Data offset"},
      {replaced("Data offset=512", "Data offset=-1"), "Data offset"},
      {replaced("Start time=06 12 00", "Start time=24 12 00"), "Start time"},
      {replaced("Start time=06 12 00", "Start time=06 12"), "Start time"},
      {replaced("Start time=06 12 00", "Start time=06 12 00 1"), "Start time"},
      {replaced("Start date=07 03 2007", "Start date=07 13 2007"), "Start date"},
      {replaced("Start date=07 03 2007", "Stort date=07 03 2007"), "Start date"},
      {replaced("SpS=100.000000", "SpS=0.000000"), "SpS"},
      {replaced("SpS=100.000000", "SpS=nan"), "SpS"},
      {replaced("SpS=100.000000", "SpS=100,5"), "SpS"},
      {replaced("Station=KIR", "Station="), "Station"},
      {replaced("Channel=\"Z\"", "Channel=\"\""), "Channel"},
      {replaced("Channel=\"Z\"\r\n", ""), "Channel"},
  };
  for (const auto& c : cases) {
    const ParsedTqfHeader parsed = ParseTqfHeader(HeaderOf(c.text));
    EXPECT_FALSE(parsed.fields) << c.text;
    EXPECT_EQ(parsed.defect, c.defect) << c.text;
  }
  // Without a NUL the whole 512 bytes are the text.
  TqfHeader full;
  full.fill('x');
  EXPECT_EQ(ParseTqfHeader(full).defect, "[TQF4.0]");
}

TEST(TqfHeader, TheHeadOfAFileOnDisk) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "short", std::string(100, 'a'));
  const TqfHeader header = BuildHeader("KIR", "Z", 100.0, 0.0);
  test::WriteFileBytes(dir / "whole", std::string(header.data(), 512) + "abcd");
  const auto whole = ReadTqfFileHead(dir / "whole");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->size, 516u);
  EXPECT_EQ(whole->header, header);
  const auto cut = ReadTqfFileHead(dir / "short");
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->size, 100u);
  EXPECT_FALSE(cut->header);
  EXPECT_FALSE(ReadTqfFileHead(dir / "missing"));
  EXPECT_FALSE(ReadTqfFileHead(dir.path()));  // a folder is no file
}

}  // namespace
}  // namespace korvel

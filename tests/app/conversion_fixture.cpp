#include "tests/app/conversion_fixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

#include "database/exact_match.h"
#include "database/statement.h"
#include "engine/tqf_file.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {

void ConversionTest::SetUp() {
  LiveCatalogueTest::SetUp();
  if (IsSkipped()) return;
  ASSERT_EQ(db.OpenEx(TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
  ResetCatalogue(db);
  for (const char* row : {"('KIR', 'Z', 100)", "('KIR', 'N-S', 100)", "('KIR', 'E-W', 100)",
                          "('KIR', 'SH Z', 100)", "('KUDA', 'Z', 50)"})
    db.ExecuteSQL(std::string("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ") + row);
  out = (sandbox.path() / "out").string() + "/";
  std::filesystem::create_directories(sandbox.path() / "out");
  std::filesystem::create_directories(sandbox.path() / "raw" / "KIR");
  std::filesystem::create_directories(sandbox.path() / "raw" / "KUDA");
  sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "\n[DATABASE]\nODBC=" + GetParam() + "\n");
  WriteProgramIni();
}

void ConversionTest::WriteProgramIni(const std::string& extra) {
  sandbox.WriteProgramIni("[SYSTEM]\nNSTA=2\nTIME=00:00:00 01/03/2007\nTIMEQTY=01:00:00\n" + extra +
                          "[STA0]\nNAME=KIR\n[STA1]\nNAME=KUDA\n[KIR]\nDIR=" + Raw("KIR") +
                          "\n[KUDA]\nDIR=" + Raw("KUDA") + "\n");
}

CommandResult ConversionTest::Cli(std::vector<std::string> args) {
  return RunCommand("korvel2tqf-cli", args);
}

std::vector<CatalogueRow> ConversionTest::Rows() {
  CDatabase reader;
  EXPECT_EQ(reader.OpenEx(TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
  CStatement s(reader);
  // All 17 digits of the times and rates, as the programs read them.
  s.ExecDirect("SELECT STA, CH, CPATH, " + ExactDouble(reader, "TBEGIN") + ", " +
               ExactDouble(reader, "TQTY") + ", " + ExactDouble(reader, "SPS") +
               ", CALIB, CALPER FROM FILELIST ORDER BY CPATH");
  std::vector<CatalogueRow> rows;
  while (s.Fetch()) {
    CatalogueRow r;
    r.sta = s.Get<std::string>(1).value_or("");
    r.ch = s.Get<std::string>(2).value_or("");
    r.cpath = s.Get<std::string>(3).value_or("");
    r.tbegin = s.Get<double>(4).value_or(-1);
    r.tqty = s.Get<double>(5).value_or(-1);
    r.sps = s.Get<double>(6).value_or(-1);
    r.calib = s.Get<double>(7);
    r.calper = s.Get<double>(8);
    rows.push_back(r);
  }
  return rows;
}

void ConversionTest::ExpectFilesAgreeWithRows() {
  std::map<std::string, CatalogueRow> rows;
  for (const CatalogueRow& row : Rows()) rows[row.cpath] = row;
  const std::map<std::string, std::string> files = ReadTree(out);
  for (const auto& [rel, bytes] : files) {
    const auto row = rows.find(rel);
    if (row == rows.end()) {
      ADD_FAILURE() << rel << " is on disk without a row";
      continue;
    }
    const auto samples = static_cast<std::size_t>(std::llround(row->second.tqty * row->second.sps));
    EXPECT_EQ(bytes.size(), 512 + 4 * samples) << rel;
  }
  EXPECT_EQ(files.size(), rows.size()) << "a row names a file that is not on disk";
}

void ConversionTest::RefuseStatements(Refusal what, int inserts_allowed) {
  RefuseFileListStatements(
      db, what == Refusal::Updates ? FileListRefusal::kUpdates : FileListRefusal::kInsertsAfter,
      inserts_allowed);
}

RawFileBuilder ConversionTest::RawFile(const std::string& station,
                                       const std::vector<std::string>& channels, EpochSeconds start,
                                       double rate, std::int64_t frames, std::int64_t first_frame,
                                       int width) {
  int y, m, d, h, mi;
  float s;
  SplitEpochSeconds(start, y, m, d, h, mi, s);
  RawFileBuilder b;
  b.Station(station)
      .Date(d, m, y - 2000)
      .TimeOfDay(start - ToEpochSeconds(y, m, d, 0, 0, 0.0f))
      .SampleInterval(1.0 / rate)
      .SampleFormat(width == 2 ? 16 : 32)
      .Channels(channels)
      .Frames(frames)
      .Samples([first_frame, width](int c, std::int64_t k) {
        return DefaultSample(c, first_frame + k, width);
      });
  return b;
}

std::string ConversionTest::ExpectedTqf(const std::string& station, const std::string& channel,
                                        int c, double rate, EpochSeconds start,
                                        std::int64_t first_frame, std::int64_t frames, int width) {
  const TqfHeader header = BuildHeader(station, channel, rate, start);
  std::string bytes(header.data(), header.size());
  for (std::int64_t k = 0; k < frames; ++k) {
    const float v = static_cast<float>(DefaultSample(c, first_frame + k, width));
    bytes.append(reinterpret_cast<const char*>(&v), 4);
  }
  return bytes;
}

}  // namespace korvel::test

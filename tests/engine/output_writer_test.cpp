// The writer's own logic, against a catalogue that records its calls.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/output_writer.h"
#include "engine/tqf_file.h"
#include "tests/support/recording_catalogue.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::Call;
using test::ReadFileBytes;
using test::RecordingCatalogue;
using test::RecordingNotifier;
using test::TempDir;

class OutputWriterTest : public ::testing::Test {
 protected:
  OutputWriterTest() : writer(catalogue, notifier) {
    root = dir.path().string() + "/";
    writer.SetOutputRoot(root);
  }
  // count samples k0.. of a ramp, starting at t.
  void Append(const std::string& channel, double rate, EpochSeconds t, int count, int k0 = 0,
              double cal = 1000.0, double per = 1.0) {
    std::vector<float> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) samples[static_cast<std::size_t>(i)] = static_cast<float>(k0 + i);
    writer.AppendBlock("KIR", channel, rate, cal, per, t, count, samples.data());
  }
  std::size_t SamplesIn(const std::string& rel) {
    return (std::filesystem::file_size(root + rel) - 512) / 4;
  }

  TempDir dir;
  std::string root;
  RecordingCatalogue catalogue;
  RecordingNotifier notifier;
  OutputWriter writer;
};

constexpr EpochSeconds kT0 = 1172707200.0;  // 2007-03-01 00:00:00

TEST_F(OutputWriterTest, AnHourOfBlocksMakesOneFileThenANewOne) {
  for (int b = 0; b < 36; ++b) Append("Z", 100.0, kT0 + b * 100.0, 10000, b * 10000);
  writer.FlushAll();
  const std::string rel = "KIR/00/01032007-000000-Z.KIR";
  EXPECT_EQ(SamplesIn(rel), 360000u);
  EXPECT_EQ(catalogue.Count("register"), 1);
  EXPECT_EQ(catalogue.Count("update"), 35);
  // The guard runs at the start of every flush, empty ones too: one per
  // arriving block (the first finds nothing pending) and one at the end.
  EXPECT_EQ(catalogue.Count("guard KIR 0"), 37);
  EXPECT_EQ(catalogue.calls.front().what, "guard KIR 0");
  EXPECT_EQ(catalogue.calls.back().what, "update");
  EXPECT_EQ(catalogue.calls.back().tqty, 3600.0);
  const std::string bytes = ReadFileBytes(root + rel);
  const TqfHeader header = BuildHeader("KIR", "Z", 100.0, kT0);
  EXPECT_EQ(bytes.substr(0, 512), std::string(header.data(), 512));
  float last;
  std::memcpy(&last, bytes.data() + bytes.size() - 4, 4);
  EXPECT_EQ(last, 359999.0f);

  // Past 3599 s the file is closed: the continuing hour begins a new one.
  Append("Z", 100.0, kT0 + 3600.0, 10000);
  writer.FlushAll();
  EXPECT_EQ(catalogue.Count("register"), 2);
  EXPECT_EQ(SamplesIn("KIR/01/01032007-010000-Z.KIR"), 10000u);
}

TEST_F(OutputWriterTest, ShortBlocksMergeAndGapsSplit) {
  Append("Z", 100.0, kT0, 4000);
  Append("Z", 100.0, kT0 + 40.0, 4000);  // continues: merged, nothing written yet
  EXPECT_EQ(catalogue.Count("register"), 0);
  Append("Z", 100.0, kT0 + 80.0 + 0.01, 4000);  // one interval late still continues, but 12000 > 9900
  EXPECT_EQ(catalogue.Count("register"), 1);
  writer.FlushAll();
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-Z.KIR"), 12000u);
  EXPECT_EQ(catalogue.Count("update"), 1);
  Append("Z", 100.0, kT0 + 120.0 + 0.03, 100);  // 2 intervals late: a new file
  writer.FlushAll();
  EXPECT_EQ(catalogue.Count("register"), 2);
}

TEST_F(OutputWriterTest, SlowChannelsNeverMerge) {
  for (int b = 0; b < 3; ++b) Append("LHZ", 1.0, kT0 + b * 10.0, 10, b * 10);
  // Each block flushed the one before; the last waits for the final flush.
  EXPECT_EQ(catalogue.Count("register") + catalogue.Count("update"), 2);
  writer.FlushAll();
  EXPECT_EQ(catalogue.Count("register"), 1);
  EXPECT_EQ(catalogue.Count("update"), 2);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-LHZ.KIR"), 30u);
}

TEST_F(OutputWriterTest, AnotherRateOrCalibrationStartsAFileOfItsOwn) {
  Append("Z", 100.0, kT0, 1000);
  Append("z", 50.0, kT0 + 10.0, 500);  // continues in time, channel found without case
  writer.FlushAll();
  ASSERT_EQ(catalogue.Count("register"), 2);
  EXPECT_EQ(writer.Stations()[0].channels.size(), 1u);
  EXPECT_NE(ReadFileBytes(root + "KIR/00/01032007-000010-Z.KIR").find("SpS=50.000000\r\n"), std::string::npos);
  Append("Z", 50.0, kT0 + 20.0, 500, 0, 2000.0, 1.0);  // another calibration value
  Append("Z", 50.0, kT0 + 30.0, 500, 0, 2000.0, 0.5);  // another period
  writer.FlushAll();
  std::vector<Call> registered;
  for (const Call& c : catalogue.calls)
    if (c.what == "register") registered.push_back(c);
  ASSERT_EQ(registered.size(), 4u);
  EXPECT_EQ(registered[1].sps, 50.0);
  EXPECT_EQ(registered[2].calib, 2000.0);
  EXPECT_EQ(registered[3].calper, 0.5);
  // A difference below one part in 10^9 is the same rate.
  Append("Z", 50.0 * (1 + 1e-12), kT0 + 40.0, 500, 0, 2000.0, 0.5);
  writer.FlushAll();
  EXPECT_EQ(catalogue.Count("register"), 4);
}

TEST_F(OutputWriterTest, AFailedCreateIsReportedThenItsExtensionToo) {
  writer.SetOutputRoot(root + "missing/");
  Append("Z", 100.0, kT0, 9000);
  Append("Z", 100.0, kT0 + 90.0, 9000);
  writer.FlushAll();
  ASSERT_EQ(notifier.messages.size(), 2u);
  const std::string path = root + "missing/KIR/00/01032007-000000-Z.KIR";
  EXPECT_EQ(notifier.messages[0].text, "File create error '" + path + "'");
  EXPECT_EQ(notifier.messages[1].text, "File open error '" + path + "'");
  EXPECT_EQ(catalogue.Count("register") + catalogue.Count("update"), 0);  // nothing on disk, nothing told
  EXPECT_EQ(catalogue.Count("guard"), 3);
}

TEST_F(OutputWriterTest, AnEmptyFlushStillAsksTheGuard) {
  writer.FlushAll();
  EXPECT_EQ(catalogue.calls.size(), 0u);  // no buffers yet
  Append("Z", 100.0, kT0, 10);
  Append("N-S", 100.0, kT0, 10);
  writer.FlushAll();
  writer.FlushAll();
  EXPECT_EQ(catalogue.Count("guard"), 6);  // two arrivals, then two flushes of two channels
  EXPECT_EQ(catalogue.Count("register"), 2);
}

// Coalescing: one update per file, sent when asked, the guard still at every flush.
TEST_F(OutputWriterTest, CoalescedUpdatesSendOnlyEachFilesLatestRow) {
  writer.SetCoalesceUpdates(true);
  for (int b = 0; b < 40; ++b) Append("Z", 100.0, kT0 + b * 100.0, 10000, b * 10000);
  writer.FlushAll();
  EXPECT_EQ(catalogue.Count("guard"), 41);
  EXPECT_EQ(catalogue.Count("register"), 2);  // at once, as each file is made
  EXPECT_EQ(catalogue.Count("update"), 0);
  ASSERT_EQ(writer.StaleRows().size(), 2u);
  writer.BringRowsUpToDate();
  ASSERT_EQ(catalogue.Count("update"), 2);
  const Call& first = catalogue.calls[catalogue.calls.size() - 2];
  const Call& second = catalogue.calls.back();
  EXPECT_EQ(first.cpath, "KIR/00/01032007-000000-Z.KIR");
  EXPECT_DOUBLE_EQ(first.tqty, 3600.0);
  EXPECT_EQ(second.cpath, "KIR/01/01032007-010000-Z.KIR");
  EXPECT_DOUBLE_EQ(second.tqty, 400.0);
  EXPECT_TRUE(writer.StaleRows().empty());
  writer.BringRowsUpToDate();  // nothing held back: nothing sent
  EXPECT_EQ(catalogue.Count("update"), 2);
  EXPECT_EQ(writer.FlushCount(), 41u);
}

TEST_F(OutputWriterTest, AFileMadeAgainAtItsPathDropsTheOldFilesHeldBackRow) {
  writer.SetCoalesceUpdates(true);
  for (int b = 0; b < 3; ++b) Append("Z", 100.0, kT0 + b * 100.0, 10000, b * 10000);
  writer.FlushAll();
  ASSERT_EQ(writer.StaleRows().size(), 1u);
  // The same start again (the raw file converted a second time): a new file.
  Append("Z", 100.0, kT0, 5000);
  writer.FlushAll();
  EXPECT_TRUE(writer.StaleRows().empty());
  writer.BringRowsUpToDate();
  EXPECT_EQ(catalogue.Count("update"), 0);
  EXPECT_EQ(catalogue.calls.back().what, "register");
  EXPECT_DOUBLE_EQ(catalogue.calls.back().tqty, 50.0);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-Z.KIR"), 5000u);
}

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST_F(OutputWriterTest, WhileCoalescingAnExtendedFileStaysOpenUntilClosedOnPurpose) {
  writer.SetCoalesceUpdates(true);
  const std::size_t before = OpenDescriptors();
  for (const char* channel : {"Z", "N-S"})
    for (int b = 0; b < 3; ++b) Append(channel, 100.0, kT0 + b * 100.0, 10000, b * 10000);
  writer.FlushAll();
  EXPECT_EQ(OpenDescriptors(), before + 2);  // one kept per extended file
  writer.CloseKeptFiles();
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-Z.KIR"), 30000u);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-N-S.KIR"), 30000u);
  // A new file for the channel closes the kept one first.
  for (int b = 0; b < 2; ++b) Append("Z", 100.0, kT0 + 1000.0 + b * 100.0, 10000);
  writer.FlushAll();
  EXPECT_EQ(OpenDescriptors(), before + 1);
  writer.CloseKeptFiles();
  EXPECT_EQ(SamplesIn("KIR/00/01032007-001640-Z.KIR"), 20000u);
  EXPECT_TRUE(notifier.messages.empty());
}

class FailingUpdates : public RecordingCatalogue {
 public:
  void UpdateFileRecord(const std::string& cpath, const std::string& sta, const std::string& ch, double tbegin,
                        double tqty, double sps, int gain, int datatype) override {
    if (succeed_before_failure == 0) {
      succeed_before_failure = -1;  // one failure, then the server is back
      throw CatalogueError("server gone");
    }
    if (succeed_before_failure > 0) --succeed_before_failure;
    RecordingCatalogue::UpdateFileRecord(cpath, sta, ch, tbegin, tqty, sps, gain, datatype);
  }
  int succeed_before_failure = -1;
};

TEST(OutputWriterCoalescing, RowsNotSentOnAnErrorStayHeldBackForTheNextTry) {
  TempDir dir;
  FailingUpdates catalogue;
  RecordingNotifier notifier;
  OutputWriter writer(catalogue, notifier);
  writer.SetOutputRoot(dir.path().string() + "/");
  writer.SetCoalesceUpdates(true);
  std::vector<float> samples(10000, 1.0f);
  for (const char* channel : {"Z", "N-S"})
    for (int b = 0; b < 2; ++b) writer.AppendBlock("KIR", channel, 100.0, 1000.0, 1.0, kT0 + b * 100.0, 10000, samples.data());
  writer.FlushAll();
  ASSERT_EQ(writer.StaleRows().size(), 2u);
  catalogue.succeed_before_failure = 1;
  EXPECT_THROW(writer.BringRowsUpToDate(), CatalogueError);
  ASSERT_EQ(writer.StaleRows().size(), 1u);  // the one sent is gone, the failed one remains
  EXPECT_EQ(writer.StaleRows()[0].channel, "N-S");
  writer.BringRowsUpToDate();
  EXPECT_EQ(catalogue.Count("update"), 2);
  EXPECT_TRUE(writer.StaleRows().empty());
}

}  // namespace
}  // namespace korvel

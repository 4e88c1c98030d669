// The writer's own logic, against a catalogue that records its calls.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

#include "engine/conversion_commands.h"
#include "engine/output_writer.h"
#include "engine/tqf_file.h"
#include "platform/native_path.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/raw_file_steps.h"
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
  OutputWriterTest() : messages(notifier), writer(catalogue, messages) {
    root = dir.path().string() + "/";
    writer.SetOutputRoot(root);
  }
  // count samples k0.. of a ramp, starting at t.
  void Append(const std::string& channel, double rate, EpochSeconds t, int count, int k0 = 0,
              double cal = 1000.0, double per = 1.0) {
    std::vector<float> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      samples[static_cast<std::size_t>(i)] = static_cast<float>(k0 + i);
    writer.AppendBlock("KIR", channel, rate, cal, per, t, count, samples.data());
  }
  std::size_t SamplesIn(const std::string& rel) {
    return (std::filesystem::file_size(root + rel) - 512) / 4;
  }

  TempDir dir;
  std::string root;
  RecordingCatalogue catalogue;
  RecordingNotifier notifier;
  FileErrorMessages messages;
  OutputWriter writer;
};

constexpr EpochSeconds kT0 = 1172707200.0;  // 2007-03-01 00:00:00

TEST_F(OutputWriterTest, AnHourOfBlocksMakesOneFileThenANewOne) {
  for (int b = 0; b < 36; ++b) Append("Z", 100.0, kT0 + b * 100.0, 10000, b * 10000);
  writer.FinishRawFile();
  const std::string rel = "KIR/00/01032007-000000-Z.KIR";
  EXPECT_EQ(SamplesIn(rel), 360000u);
  EXPECT_EQ(catalogue.Count("register"), 1);
  EXPECT_EQ(catalogue.Count("update"), 35);
  // The guard runs at the start of every flush, empty ones too: one per
  // arriving block (the first finds nothing pending) and one at the end.
  EXPECT_EQ(catalogue.Count("guard KIR 0"), 37);
  EXPECT_EQ(catalogue.calls.front().what, "guard KIR 0");
  // Every row goes at the raw file's end, after every flush, in one commit.
  EXPECT_EQ(catalogue.calls[37].what, "begin");
  EXPECT_EQ(catalogue.calls.back().what, "commit");
  EXPECT_EQ(catalogue.Rows().back().what, "update");
  EXPECT_EQ(catalogue.Rows().back().tqty, 3600.0);
  const std::string bytes = ReadFileBytes(root + rel);
  const TqfHeader header = BuildHeader("KIR", "Z", 100.0, kT0);
  EXPECT_EQ(bytes.substr(0, 512), std::string(header.data(), 512));
  float last;
  std::memcpy(&last, bytes.data() + bytes.size() - 4, 4);
  EXPECT_EQ(last, 359999.0f);

  // Past 3599 s the file is closed: the continuing hour begins a new one.
  Append("Z", 100.0, kT0 + 3600.0, 10000);
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.Count("register"), 2);
  EXPECT_EQ(SamplesIn("KIR/01/01032007-010000-Z.KIR"), 10000u);
}

TEST_F(OutputWriterTest, ShortBlocksMergeAndGapsSplit) {
  Append("Z", 100.0, kT0, 4000);
  Append("Z", 100.0, kT0 + 40.0, 4000);  // continues: merged, nothing written yet
  EXPECT_FALSE(std::filesystem::exists(root + "KIR/00/01032007-000000-Z.KIR"));
  Append("Z", 100.0, kT0 + 80.0 + 0.01,
         4000);  // one interval late still continues, but 12000 > 9900
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-Z.KIR"), 8000u);
  EXPECT_EQ(catalogue.Count("register"), 0);  // owed until the raw file ends
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.Count("register"), 1);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-Z.KIR"), 12000u);
  EXPECT_EQ(catalogue.Count("update"), 1);
  Append("Z", 100.0, kT0 + 120.0 + 0.03, 100);  // 2 intervals late: a new file
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.Count("register"), 2);
}

TEST_F(OutputWriterTest, SlowChannelsNeverMerge) {
  for (int b = 0; b < 3; ++b) Append("LHZ", 1.0, kT0 + b * 10.0, 10, b * 10);
  // Each block flushed the one before; the last waits for the final flush.
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-LHZ.KIR"), 20u);
  EXPECT_EQ(catalogue.Count("register") + catalogue.Count("update"), 0);
  EXPECT_EQ(writer.RowsOwed(), 0u);  // each flush's row owed to the raw file's rows
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.Count("register"), 1);
  EXPECT_EQ(catalogue.Count("update"), 2);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-LHZ.KIR"), 30u);
}

TEST_F(OutputWriterTest, AnotherRateOrCalibrationStartsAFileOfItsOwn) {
  Append("Z", 100.0, kT0, 1000);
  Append("z", 50.0, kT0 + 10.0, 500);  // continues in time, channel found without case
  writer.FinishRawFile();
  ASSERT_EQ(catalogue.Count("register"), 2);
  EXPECT_EQ(writer.Stations()[0].channels.size(), 1u);
  EXPECT_NE(ReadFileBytes(root + "KIR/00/01032007-000010-Z.KIR").find("SpS=50.000000\r\n"),
            std::string::npos);
  Append("Z", 50.0, kT0 + 20.0, 500, 0, 2000.0, 1.0);  // another calibration value
  Append("Z", 50.0, kT0 + 30.0, 500, 0, 2000.0, 0.5);  // another period
  writer.FinishRawFile();
  std::vector<Call> registered;
  for (const Call& c : catalogue.calls)
    if (c.what == "register") registered.push_back(c);
  ASSERT_EQ(registered.size(), 4u);
  EXPECT_EQ(registered[1].sps, 50.0);
  EXPECT_EQ(registered[2].calib, 2000.0);
  EXPECT_EQ(registered[3].calper, 0.5);
  // A difference below one part in 10^9 is the same rate.
  Append("Z", 50.0 * (1 + 1e-12), kT0 + 40.0, 500, 0, 2000.0, 0.5);
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.Count("register"), 4);
}

// The samples after a refused create try a file of their own, and that is
// told as what it is, never as a missing file to extend.
TEST_F(OutputWriterTest, ARefusedCreateIsToldOnceAndNeverAsAnExtension) {
  writer.SetOutputRoot(root + "missing/");
  Append("Z", 100.0, kT0, 9000);
  Append("Z", 100.0, kT0 + 90.0, 9000);
  writer.FinishRawFile();
  writer.EndCommand();
  ASSERT_EQ(notifier.messages.size(), 2u);
  const std::string path = root + "missing/" + NativeSeparators("KIR/00/01032007-000000-Z.KIR");
  EXPECT_EQ(notifier.messages[0].text, "File create error '" + path + "'");
  EXPECT_EQ(notifier.messages[1].text, "Ещё ошибок того же рода не показано: 1");
  EXPECT_EQ(writer.OutputFailures(), 2u);
  EXPECT_EQ(catalogue.Count("register") + catalogue.Count("update"),
            0);  // nothing on disk, nothing told
  EXPECT_EQ(catalogue.Count("guard"), 3);
}

TEST_F(OutputWriterTest, AnEmptyFlushStillAsksTheGuard) {
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.calls.size(), 0u);  // no buffers yet
  Append("Z", 100.0, kT0, 10);
  Append("N-S", 100.0, kT0, 10);
  writer.FinishRawFile();
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.Count("guard"), 6);  // two arrivals, then two flushes of two channels
  EXPECT_EQ(catalogue.Count("register"), 2);
}

// Coalescing: one update per file, sent when the raw file is finished; the
// guard still at every flush.
TEST_F(OutputWriterTest, CoalescedUpdatesSendOnlyEachFilesLatestRow) {
  writer.SetCoalesceUpdates(true);
  for (int b = 0; b < 40; ++b) Append("Z", 100.0, kT0 + b * 100.0, 10000, b * 10000);
  EXPECT_EQ(catalogue.Count("register"), 0);  // owed as each file is made, sent at the end
  EXPECT_EQ(catalogue.Count("update"), 0);
  EXPECT_EQ(writer.RowsOwed(), 2u);
  writer.FinishRawFile();
  EXPECT_EQ(catalogue.Count("guard"), 41);
  EXPECT_EQ(catalogue.Count("register"), 2);
  ASSERT_EQ(catalogue.Count("update"), 2);
  const std::vector<Call> rows = catalogue.Rows();
  const Call& first = rows[rows.size() - 2];
  const Call& second = rows.back();
  EXPECT_EQ(first.cpath, "KIR/00/01032007-000000-Z.KIR");
  EXPECT_DOUBLE_EQ(first.tqty, 3600.0);
  EXPECT_EQ(second.cpath, "KIR/01/01032007-010000-Z.KIR");
  EXPECT_DOUBLE_EQ(second.tqty, 400.0);
  EXPECT_EQ(writer.RowsOwed(), 0u);
  writer.FinishRawFile();  // nothing owed: nothing sent
  EXPECT_EQ(catalogue.Count("update"), 2);
  EXPECT_EQ(writer.FlushCount(), 42u);
}

// The same start again (the raw file converted a second time in one run): the
// older file's owed row goes first, so that the older file and its row agree
// whatever becomes of the new one, and its row never overwrites the new one.
TEST_F(OutputWriterTest, AFileMadeAgainAtItsPathSettlesTheOldOneFirst) {
  writer.SetCoalesceUpdates(true);
  for (int b = 0; b < 3; ++b) Append("Z", 100.0, kT0 + b * 100.0, 10000, b * 10000);
  Append("Z", 100.0, kT0, 5000);
  writer.FinishRawFile();
  writer.FinishStagedFiles("KIR");  // the run ends: the new file takes the name
  ASSERT_EQ(catalogue.Count("update"), 1);
  const auto update = std::find_if(catalogue.calls.begin(), catalogue.calls.end(),
                                   [](const Call& c) { return c.what == "update"; });
  EXPECT_DOUBLE_EQ(update->tqty, 300.0);
  EXPECT_EQ(catalogue.Rows().back().what, "register");
  EXPECT_DOUBLE_EQ(catalogue.Rows().back().tqty, 50.0);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-Z.KIR"), 5000u);
}

// The new file registered but unable to take the older one's place (on
// Windows another program may hold it open; here a folder takes the older
// file's name while the row goes in): the row just made names neither, so it
// goes.
TEST_F(OutputWriterTest, ANewFileThatCannotTakeItsPlaceLeavesNoRow) {
  Append("Z", 100.0, kT0, 9000);
  writer.FinishRawFile();
  RecordingCatalogue meddling;
  const std::string name = root + "KIR/00/01032007-000000-Z.KIR";
  meddling.on_register = [&] {
    std::filesystem::remove(name);
    std::filesystem::create_directories(name + "/inside");
  };
  OutputWriter again(meddling, messages);
  again.SetOutputRoot(root);
  std::vector<float> block(9000, 2.0f);
  again.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kT0, 9000, block.data());
  again.FinishRawFile();
  again.FinishStagedFiles("KIR");
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text,
            "File write error '" + root + NativeSeparators("KIR/00/01032007-000000-Z.KIR") + "'");
  const std::vector<Call> rows = meddling.Rows();
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows[rows.size() - 2].what, "register");
  EXPECT_EQ(rows.back().what, "forget");
  EXPECT_EQ(rows.back().cpath, "KIR/00/01032007-000000-Z.KIR");
  EXPECT_FALSE(std::filesystem::exists(name + ".part"));
}

// Files this process holds open: its descriptors on POSIX. Windows (and
// Wine) give no count of a process's handles everywhere; there it is the
// files below `root` that cannot be opened without sharing them.
std::size_t OpenDescriptors([[maybe_unused]] const std::string& root) {
  std::size_t n = 0;
#ifdef _WIN32
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const HANDLE alone = CreateFileW(entry.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (alone == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) ++n;
    if (alone != INVALID_HANDLE_VALUE) CloseHandle(alone);
  }
#else
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++n;
#endif
  return n;
}

TEST_F(OutputWriterTest, WhileCoalescingAnExtendedFileStaysOpenUntilTheRawFileEnds) {
  writer.SetCoalesceUpdates(true);
  const std::size_t before = OpenDescriptors(root);
  for (const char* channel : {"Z", "N-S"})
    for (int b = 0; b < 3; ++b) Append(channel, 100.0, kT0 + b * 100.0, 10000, b * 10000);
  EXPECT_EQ(OpenDescriptors(root), before + 2);  // one kept per extended file
  // A new file for the channel closes the kept one first.
  for (int b = 0; b < 2; ++b) Append("Z", 100.0, kT0 + 1000.0 + b * 100.0, 10000);
  EXPECT_EQ(OpenDescriptors(root), before + 1);
  writer.FinishRawFile();
  EXPECT_EQ(OpenDescriptors(root), before);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-Z.KIR"), 30000u);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-N-S.KIR"), 30000u);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-001640-Z.KIR"), 20000u);
  EXPECT_TRUE(notifier.messages.empty());
}

// A catalogue that refuses chosen statements, as a database that goes away
// or a trigger that rejects a row would.
class RefusingCatalogue : public RecordingCatalogue {
 public:
  void RegisterNewFile(const std::string& cpath, const std::string& sta, const std::string& ch,
                       double tbegin, double tqty, double sps, double calib, double calper,
                       int gain, int datatype) override {
    if (Count("register") == refuse_register_after) throw CatalogueError("insert refused");
    RecordingCatalogue::RegisterNewFile(cpath, sta, ch, tbegin, tqty, sps, calib, calper, gain,
                                        datatype);
  }
  void UpdateFileRecord(const std::string& cpath, const std::string& sta, const std::string& ch,
                        double tbegin, double tqty, double sps, int gain, int datatype) override {
    if (Count("update") == refuse_update_after) throw CatalogueError("update refused");
    RecordingCatalogue::UpdateFileRecord(cpath, sta, ch, tbegin, tqty, sps, gain, datatype);
  }
  int refuse_register_after = -1;
  int refuse_update_after = -1;
};

class OutputWriterAgreement : public ::testing::TestWithParam<bool> {
 protected:
  OutputWriterAgreement() : messages(notifier), writer(catalogue, messages) {
    root = dir.path().string() + "/";
    writer.SetOutputRoot(root);
    writer.SetCoalesceUpdates(GetParam());
  }
  // Blocks from..to-1 of `count` samples at 100 sps, block b at b x count / 100 s.
  void Blocks(const char* channel, int from, int to, int count = 10000) {
    std::vector<float> samples(static_cast<std::size_t>(count), 1.0f);
    for (int b = from; b < to; ++b)
      writer.AppendBlock("KIR", channel, 100.0, 1000.0, 1.0, kT0 + b * count / 100.0, count,
                         samples.data());
  }
  bool RawFile(const std::vector<const char*>& channels, int from, int to, int count = 10000) {
    return test::AsOneRawFile(writer, [&] {
      for (const char* channel : channels) Blocks(channel, from, to, count);
    });
  }
  // Every file on disk holds exactly the samples its latest row says.
  void ExpectFilesAgreeWithRows() {
    std::map<std::string, double> tqty = catalogue.CommittedRows();
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      ++files;
      const std::string rel = std::filesystem::relative(entry.path(), root).generic_string();
      ASSERT_TRUE(tqty.contains(rel)) << rel << " has no row";
      EXPECT_EQ((entry.file_size() - 512) / 4,
                static_cast<std::uintmax_t>(std::llround(tqty[rel] * 100.0)))
          << rel;
    }
    EXPECT_EQ(files, tqty.size());
  }
  std::uintmax_t Samples(const std::string& channel) {
    return (std::filesystem::file_size(root + "KIR/00/01032007-000000-" + channel + ".KIR") - 512) /
           4;
  }

  TempDir dir;
  std::string root;
  RefusingCatalogue catalogue;
  RecordingNotifier notifier;
  FileErrorMessages messages;
  OutputWriter writer;
};

TEST_P(OutputWriterAgreement, ARefusedUpdateCutsTheFileBackToItsRow) {
  ASSERT_TRUE(RawFile({"Z", "N-S"}, 0, 2));
  catalogue.refuse_update_after = catalogue.Count("update") + 1;  // the second update from now
  EXPECT_FALSE(RawFile({"Z", "N-S"}, 2, 4));
  ExpectFilesAgreeWithRows();
  EXPECT_EQ(writer.RowsOwed(), 0u);
  // The refusal takes back the whole raw file, and nothing of it is sent again.
  EXPECT_EQ(Samples("Z"), 20000u);
  EXPECT_EQ(Samples("N-S"), 20000u);
  EXPECT_EQ(catalogue.calls.back().what, "refused");
  // A file cut back is no longer extended: what follows begins a file of its own.
  catalogue.refuse_update_after = -1;
  const int registered = catalogue.Count("register");
  EXPECT_TRUE(RawFile({"N-S"}, 4, 6));
  EXPECT_EQ(catalogue.Count("register"), registered + 1);
  ExpectFilesAgreeWithRows();
}

TEST_P(OutputWriterAgreement, ARefusedRegistrationLeavesNoFileAndAnOlderOneWhole) {
  ASSERT_TRUE(RawFile({"Z"}, 0, 1));
  const std::string path = root + "KIR/00/01032007-000000-Z.KIR";
  const std::string before = ReadFileBytes(path);
  // The same raw file again, in a new process: the same path, refused.
  OutputWriter again(catalogue, messages);
  again.SetOutputRoot(root);
  catalogue.refuse_register_after = catalogue.Count("register");
  std::vector<float> other(5000, 2.0f);
  again.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kT0, 5000, other.data());
  again.FinishRawFile();
  EXPECT_THROW(again.FinishStagedFiles("KIR"), CatalogueError);
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  // A new path refused: nothing stays on disk.
  again.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kT0 + 1000.0, 5000, other.data());
  EXPECT_THROW(again.FinishRawFile(), CatalogueError);
  EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(root + "KIR"), {}),
            2);  // 00 and the first file
}

TEST_P(OutputWriterAgreement, AFailedWriteLeavesTheFileAsItsRowSays) {
  if (!test::FileSizeLimit::kAvailable) GTEST_SKIP() << "no file size limit to stop a write here";
  // Room for three blocks of 10000: the fourth block's write, or the first
  // blocks a kept file gathered, stop short. Room for 33 blocks of 9000: the
  // write as the file reaches an hour (40 blocks) and is closed stops short.
  for (const auto& [channel, blocks, count] : {std::tuple{"Z", 3, 10000}, {"N-S", 33, 9000}}) {
    test::FileSizeLimit limit(512 + 4 * count * blocks + 100);
    EXPECT_TRUE(RawFile({channel}, 0, 42, count)) << channel;
  }
  EXPECT_GE(writer.OutputFailures(), 2u);
  ASSERT_FALSE(notifier.messages.empty());
  EXPECT_EQ(notifier.messages[0].text,
            "File write error '" + root + NativeSeparators("KIR/00/01032007-000000-Z.KIR") + "'");
  ExpectFilesAgreeWithRows();
}

// A file that is not as this writer left it is never extended: not the older
// file of a name whose new file could not be made, nor a file that another
// program grew between two raw files. The samples after the failure begin a
// file of their own.
TEST_P(OutputWriterAgreement, AFileNotAsThisWriterLeftItIsNeverExtended) {
  ASSERT_TRUE(RawFile({"Z"}, 0, 1));
  const std::string path = root + "KIR/00/01032007-000000-Z.KIR";
  const std::string second = root + "KIR/00/01032007-000140-Z.KIR";  // block 1, at 100 s
  const std::string older = ReadFileBytes(path);

  // The same raw file again in a new process, its staged copy unmakeable.
  std::filesystem::create_directory(path + ".part");
  OutputWriter again(catalogue, messages);
  again.SetOutputRoot(root);
  again.SetCoalesceUpdates(GetParam());
  std::vector<float> samples(10000, 2.0f);
  EXPECT_TRUE(test::AsOneRawFile(again, [&] {
    for (int b = 0; b < 2; ++b)
      again.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kT0 + b * 100.0, 10000, samples.data());
  }));
  EXPECT_EQ(ReadFileBytes(path), older);
  ASSERT_FALSE(notifier.messages.empty());
  EXPECT_EQ(notifier.messages.back().text,
            "File create error '" + root + NativeSeparators("KIR/00/01032007-000000-Z.KIR") + "'");
  EXPECT_EQ((std::filesystem::file_size(second) - 512) / 4, 10000u);
  std::filesystem::remove(path + ".part");

  // Another program appends to the second file between two raw files.
  const std::string grown = ReadFileBytes(second) + "more";
  test::WriteFileBytes(second, grown);
  EXPECT_TRUE(test::AsOneRawFile(again, [&] {
    for (int b = 2; b < 4; ++b)
      again.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kT0 + b * 100.0, 10000, samples.data());
  }));
  EXPECT_EQ(ReadFileBytes(second), grown);
  EXPECT_EQ(notifier.messages.back().text,
            "File open error '" + root + NativeSeparators("KIR/00/01032007-000140-Z.KIR") + "'");
  EXPECT_EQ((std::filesystem::file_size(root + "KIR/00/01032007-000500-Z.KIR") - 512) / 4,
            10000u);  // block 3, at 300 s
}

// A writer that never finishes its raw file (a command that forgot to, an
// exception of another kind) leaves no file longer than its row.
TEST_P(OutputWriterAgreement, AWriterEndedMidRawFileLeavesEveryFileAsItsRowSays) {
  {
    OutputWriter unfinished(catalogue, messages);
    unfinished.SetOutputRoot(root);
    unfinished.SetCoalesceUpdates(GetParam());
    std::vector<float> samples(10000, 1.0f);
    const auto blocks = [&](int from, int to) {
      for (int b = from; b < to; ++b)
        for (const char* channel : {"Z", "N-S"})
          unfinished.AppendBlock("KIR", channel, 100.0, 1000.0, 1.0, kT0 + b * 100.0, 10000,
                                 samples.data());
    };
    ASSERT_TRUE(test::AsOneRawFile(unfinished, [&] { blocks(0, 2); }));
    blocks(2, 12);
    EXPECT_EQ(unfinished.RowsOwed(), GetParam() ? 2u : 0u);
  }
  // Nothing of the unfinished raw file was sent: its files are back to the
  // rows of the one before.
  ExpectFilesAgreeWithRows();
  EXPECT_EQ(Samples("Z"), 20000u);
}

INSTANTIATE_TEST_SUITE_P(CoalescedOrNot, OutputWriterAgreement, ::testing::Bool());

// No current file is a state of its own: a start at 0 (a clock reset to
// 1970-01-01 00:00:00) or an interval longer than the start time is a file
// like any other.
TEST_F(OutputWriterTest, ClockResetToTheEpochAndHugeIntervalsMakeFiles) {
  Append("Z", 100.0, 0.0, 10000);
  Append("Z", 100.0, 100.0, 500, 10000);
  Append("LHZ", 1e-12, 5.0, 3);  // one sample per 10^12 s
  writer.FinishRawFile();
  EXPECT_TRUE(notifier.messages.empty());
  EXPECT_EQ(SamplesIn("KIR/00/01011970-000000-Z.KIR"), 10500u);
  EXPECT_EQ(SamplesIn("KIR/00/01011970-000005-LHZ.KIR"), 3u);
  EXPECT_EQ(catalogue.Count("register"), 2);
}

// Names are written into file names injectively, whatever order they are met
// in: "SH Z" and "SH_Z" (or stations "K/R" and "K_R") never share a file.
TEST_F(OutputWriterTest, NamesNeverMeetInAFileName) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"KIR", "SH_Z"}, {"KIR", "SH Z"}, {"KIR", "SH/Z"}, {"KIR", "5%"},
      {"K/R", "Z"},    {"K_R", "Z"},    {"K.", "Z"},     {"..", "Z"}};
  const std::vector<std::string> expected = {
      "KIR/00/01032007-000000-SH_Z.KIR",   "KIR/00/01032007-000000-SH%20Z.KIR",
      "KIR/00/01032007-000000-SH%2FZ.KIR", "KIR/00/01032007-000000-5%25.KIR",
      "K%2FR/00/01032007-000000-Z.K%2FR",  "K_R/00/01032007-000000-Z.K_R",
      "K%2E/00/01032007-000000-Z.K%2E",    ".%2E/00/01032007-000000-Z..%2E"};
  for (const bool reversed : {false, true}) {
    TempDir out;
    const std::string here = out.path().string() + "/";
    RecordingCatalogue rows;
    OutputWriter alone(rows, messages);
    alone.SetOutputRoot(here);
    for (std::size_t n = 0; n < names.size(); ++n) {
      const std::size_t i = reversed ? names.size() - 1 - n : n;
      std::vector<float> marked(100, static_cast<float>(i));
      alone.AppendBlock(names[i].first, names[i].second, 100.0, 1000.0, 1.0, kT0, 100,
                        marked.data());
    }
    alone.FinishRawFile();
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string bytes = ReadFileBytes(here + expected[i]);
      ASSERT_EQ(bytes.size(), 912u) << expected[i];
      float first;
      std::memcpy(&first, bytes.data() + 512, 4);
      EXPECT_EQ(first, static_cast<float>(i)) << expected[i];
      // The header still names the channel as the raw file does.
      EXPECT_NE(bytes.find("Channel=\"" + names[i].second + "\""), std::string::npos);
    }
    EXPECT_EQ(rows.Count("register"), static_cast<int>(names.size()));
  }
  EXPECT_TRUE(notifier.messages.empty());
}

// While coalescing, at most KeptFileLimit() extended files stay open; the
// least recently written is closed first and opened again when needed.
TEST_F(OutputWriterTest, KeptFilesAreBounded) {
  writer.SetCoalesceUpdates(true);
  const std::size_t before = OpenDescriptors(root);
  const int channels = static_cast<int>(writer.KeptFileLimit()) + 6;
  for (int round = 0; round < 3; ++round)
    for (int c = 0; c < channels; ++c)
      Append(std::string("C").append(std::to_string(c)), 100.0, kT0 + round * 100.0, 10000);
  EXPECT_EQ(OpenDescriptors(root), before + writer.KeptFileLimit());
  writer.FinishRawFile();
  EXPECT_TRUE(notifier.messages.empty());
  for (int c = 0; c < channels; ++c)
    EXPECT_EQ(SamplesIn("KIR/00/01032007-000000-C" + std::to_string(c) + ".KIR"), 30000u);
}

// A catalogue that commits a raw file's rows together, and may refuse it.
using GroupingCatalogue = RecordingCatalogue;

// Each raw file's rows in one group, committed after its bytes; a refused
// commit takes every file of the group back to its committed row: an
// extended file is cut back, a file made in the group is removed.
TEST(OutputWriterGroupTest, ARawFilesRowsAreCommittedTogetherOrNotAtAll) {
  TempDir dir;
  const std::string root = dir.path().string() + "/";
  GroupingCatalogue catalogue;
  RecordingNotifier notifier;
  FileErrorMessages messages(notifier);
  OutputWriter writer(catalogue, messages);
  writer.SetOutputRoot(root);
  writer.SetCoalesceUpdates(true);
  const auto raw_file = [&](const std::vector<std::string>& channels, EpochSeconds t, int k0) {
    return test::AsOneRawFile(writer, [&] {
      std::vector<float> block(10000);
      for (int b = 0; b < 3; ++b) {
        for (int i = 0; i < 10000; ++i)
          block[static_cast<std::size_t>(i)] = float(k0 + b * 10000 + i);
        for (const std::string& channel : channels)
          writer.AppendBlock("KIR", channel, 100.0, 1000.0, 1.0, t + b * 100.0, 10000,
                             block.data());
      }
    });
  };
  const auto tree = [&] {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
      if (entry.is_regular_file())
        files[std::filesystem::relative(entry.path(), root).string()] = ReadFileBytes(entry.path());
    return files;
  };

  ASSERT_TRUE(raw_file({"Z"}, kT0, 0));
  ASSERT_TRUE(raw_file({"Z"}, kT0 + 300.0, 30000));
  std::vector<std::string> order;
  for (const Call& call : catalogue.calls)
    if (call.what == "begin" || call.what == "commit" || call.what == "register" ||
        call.what == "update")
      order.push_back(call.what);
  EXPECT_EQ(order, (std::vector<std::string>{"begin", "register", "update", "commit", "begin",
                                             "update", "commit"}));
  const auto committed = tree();
  ASSERT_EQ(committed.size(), 1u);

  catalogue.refuse_commit = true;
  EXPECT_FALSE(raw_file({"Z", "N-S"}, kT0 + 600.0, 60000));
  EXPECT_EQ(tree(), committed);  // Z cut back to 600 s, N-S gone
  EXPECT_EQ(catalogue.Count("refused"), 1);
  EXPECT_EQ(catalogue.calls.back().what, "refused");  // nothing sent after it
}

// A file made again where an older one is stays staged beside it, with no
// row, until it is finished in this run: then it replaces the older file and
// row. Every other way a run can end leaves the older file and row as they
// were, and nothing staged behind.
TEST(OutputWriterStagingTest, AReplacingFileTakesTheOlderOnesPlaceOnlyWhenFinished) {
  const std::string hour = "KIR/00/01032007-000000-";
  const struct {
    const char* how;
    int blocks;  // of 100 s; the 37th begins the next hour
    void (*end)(OutputWriter&);
    bool refused;  // the new channel's row
    bool replaced;
  } cases[] = {
      {"the run ends", 20, [](OutputWriter& w) { w.FinishStagedFiles("KIR"); }, false, true},
      {"the next hour begins", 37, [](OutputWriter& w) { w.DropStagedFiles("KIR"); }, false, true},
      {"the run is stopped", 20, [](OutputWriter& w) { w.DropStagedFiles("KIR"); }, false, false},
      {"the writer goes unfinished", 20, [](OutputWriter&) {}, false, false},
      {"a row is refused", 20, [](OutputWriter& w) { w.FinishStagedFiles("KIR"); }, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    TempDir dir;
    const std::string root = dir.path().string() + "/";
    RecordingNotifier notifier;
    FileErrorMessages messages(notifier);
    const auto blocks = [&](OutputWriter& writer, const std::vector<std::string>& channels,
                            int count, float value) {
      return test::AsOneRawFile(writer, [&] {
        const std::vector<float> block(10000, value);
        for (int b = 0; b < count; ++b)
          for (const std::string& channel : channels)
            writer.AppendBlock("KIR", channel, 100.0, 1000.0, 1.0, kT0 + b * 100.0, 10000,
                               block.data());
      });
    };
    RecordingCatalogue first;
    {
      OutputWriter writer(first, messages);
      writer.SetOutputRoot(root);
      ASSERT_TRUE(blocks(writer, {"Z", "N-S"}, 36, 1.0f));
    }
    std::map<std::string, std::string> older;
    for (const char* channel : {"Z.KIR", "N-S.KIR"})
      older[channel] = ReadFileBytes(root + hour + channel);
    GroupingCatalogue again;
    if (c.refused)
      again.on_register = [&] {
        if (again.calls.back().cpath == hour + "E-W.KIR") throw CatalogueError("insert refused");
      };
    {
      OutputWriter writer(again, messages);
      writer.SetOutputRoot(root);
      writer.SetCoalesceUpdates(true);
      // E-W is new: its row opens the raw file's group.
      EXPECT_EQ(blocks(writer, {"Z", "N-S", "E-W"}, c.blocks, 2.0f), !c.refused);
      c.end(writer);
    }
    for (const char* channel : {"Z.KIR", "N-S.KIR"}) {
      const std::string bytes = ReadFileBytes(root + hour + channel);
      if (c.replaced) {
        EXPECT_EQ(bytes.size(), 512u + 4 * 10000 * std::min(c.blocks, 36)) << channel;
        EXPECT_EQ(bytes.substr(512, 4), std::string("\0\0\0\x40", 4)) << channel;  // 2.0f
      } else {
        EXPECT_TRUE(bytes == older[channel]) << channel << " changed";
      }
    }
    int registered = 0;
    for (const Call& call : again.calls)
      registered += call.what == "register" && call.cpath != hour + "E-W.KIR" && call.tbegin == kT0;
    EXPECT_EQ(registered, c.replaced ? 2 : 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
      EXPECT_NE(entry.path().extension(), ".part") << entry.path();
  }
}

}  // namespace
}  // namespace korvel

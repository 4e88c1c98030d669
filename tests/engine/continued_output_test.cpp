// Output that continues across runs: a later writer takes up the file of an
// earlier one exactly when the file is what its row and the writer say.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "engine/conversion_commands.h"
#include "engine/output_writer.h"
#include "engine/tqf_file.h"
#include "tests/support/raw_file_steps.h"
#include "tests/support/recording_catalogue.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordingCatalogue;
using test::RecordingNotifier;
using test::TempDir;

constexpr EpochSeconds kT0 = 1172707200.0;  // 2007-03-01 00:00:00
constexpr const char* kFirst = "KIR/00/01032007-000000-Z.KIR";

// The catalogue as the rows sent so far leave it, refusing updates on demand.
class RowKeepingCatalogue : public RecordingCatalogue {
 public:
  void RegisterNewFile(const std::string& cpath, const std::string& sta, const std::string& ch,
                       double tbegin, double tqty, double sps, double calib, double calper,
                       int gain, int datatype) override {
    RecordingCatalogue::RegisterNewFile(cpath, sta, ch, tbegin, tqty, sps, calib, calper, gain,
                                        datatype);
    rows[cpath] = {cpath, tbegin, tqty, sps, calib, calper};
  }
  void UpdateFileRecord(const std::string& cpath, const std::string& sta, const std::string& ch,
                        double tbegin, double tqty, double sps, int gain, int datatype) override {
    if (refuse_updates) throw CatalogueError("update refused");
    RecordingCatalogue::UpdateFileRecord(cpath, sta, ch, tbegin, tqty, sps, gain, datatype);
    CataloguedFile& row = rows[cpath];
    row.cpath = cpath, row.tbegin = tbegin, row.tqty = tqty, row.sps = sps;
  }
  std::optional<CataloguedFile> LatestOwnFile(const std::string& station,
                                              const std::string& channel) override {
    own_files.clear();
    for (const auto& [path, row] : rows) own_files.push_back(row);
    return RecordingCatalogue::LatestOwnFile(station, channel);
  }
  std::vector<CataloguedFile> OwnFilesNear(const std::string& station, const std::string& channel,
                                           double from, double to) override {
    own_files.clear();
    for (const auto& [path, row] : rows) own_files.push_back(row);
    return RecordingCatalogue::OwnFilesNear(station, channel, from, to);
  }
  void Began() override { before_group = rows; }
  void RolledBack() override { rows = before_group; }
  std::map<std::string, CataloguedFile> rows, before_group;
  bool refuse_updates = false;
};

// One raw file's worth of blocks at `rate` from `start`, handed over and
// settled as ConvertRawFile does; samples count on from `first`.
struct RawPiece {
  EpochSeconds start;
  int samples;
  int first;
  double rate = 100.0;
  double cal = 1000.0;
  double per = 1.0;
};

bool Convert(OutputWriter& writer, const RawPiece& piece) {
  return test::AsOneRawFile(writer, [&] {
    std::vector<float> block;
    for (int done = 0; done < piece.samples;) {
      const int h = std::min(kBlockSize, piece.samples - done);
      block.resize(static_cast<std::size_t>(h));
      for (int i = 0; i < h; ++i)
        block[static_cast<std::size_t>(i)] = float(piece.first + done + i);
      writer.AppendBlock("KIR", "Z", piece.rate, piece.cal, piece.per,
                         piece.start + done / piece.rate, h, block.data());
      done += h;
    }
  });
}

// Each run a writer of its own, as each run of the program has.
class ContinuedOutputTest : public ::testing::TestWithParam<bool> {
 protected:
  ContinuedOutputTest() : messages(notifier) { root = dir.path().string() + "/"; }
  bool Run(const RawPiece& piece, bool continuing = true) {
    OutputWriter writer(catalogue, messages);
    writer.SetOutputRoot(root);
    writer.SetCoalesceUpdates(GetParam());
    writer.SetContinueAcrossRuns(continuing);
    return Convert(writer, piece);
  }
  // Every file below the root with its bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file())
        files[fs::relative(entry.path(), root).string()] = ReadFileBytes(entry.path());
    return files;
  }
  std::size_t SamplesIn(const std::string& rel) const {
    return (fs::file_size(root + rel) - 512) / 4;
  }

  TempDir dir;
  std::string root;
  RowKeepingCatalogue catalogue;
  RecordingNotifier notifier;
  FileErrorMessages messages;
};

TEST_P(ContinuedOutputTest, ThreeRunsWriteWhatOneRunWrites) {
  // 2000 s, then 1000 s twice: the file passes its hour during the third.
  const RawPiece pieces[] = {
      {kT0, 200000, 0}, {kT0 + 2000.0, 100000, 200000}, {kT0 + 3000.0, 100000, 300000}};
  {
    OutputWriter one_run(catalogue, messages);
    one_run.SetOutputRoot(root);
    one_run.SetCoalesceUpdates(GetParam());
    for (const RawPiece& piece : pieces) ASSERT_TRUE(Convert(one_run, piece));
  }
  EXPECT_EQ(catalogue.Count("lookup"), 0);  // continuing is off unless asked for
  const auto files = Files();
  const auto rows = catalogue.rows;
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(SamplesIn(kFirst), 360000u);

  fs::remove_all(root + "KIR");
  catalogue.rows.clear();
  catalogue.calls.clear();
  for (const RawPiece& piece : pieces) ASSERT_TRUE(Run(piece));
  EXPECT_EQ(Files(), files);
  ASSERT_EQ(catalogue.rows.size(), rows.size());
  for (const auto& [path, row] : rows) {
    const CataloguedFile& again = catalogue.rows.at(path);
    EXPECT_EQ(again.tbegin, row.tbegin) << path;
    EXPECT_EQ(again.tqty, row.tqty) << path;  // the same sums, to the last bit
    EXPECT_EQ(again.sps, row.sps) << path;
    EXPECT_EQ(again.calib, row.calib) << path;
    EXPECT_EQ(again.calper, row.calper) << path;
  }
  EXPECT_EQ(catalogue.Count("register"), 2);  // the first file and the one after its hour
  EXPECT_TRUE(notifier.messages.empty());
}

TEST_P(ContinuedOutputTest, AFileThatIsNotExactlyWhatItsRowSaysStartsANewOne) {
  const RawPiece second{kT0 + 100.0, 5000, 10000};
  struct Case {
    const char* what;
    std::function<void()> damage;
    RawPiece next;
  };
  const auto first_row = [&]() -> CataloguedFile& { return catalogue.rows.at(kFirst); };
  const std::vector<Case> cases = {
      {"nothing wrong", [] {}, second},
      {"cut short", [&] { fs::resize_file(root + kFirst, 512 + 4 * 9999); }, second},
      {"grown", [&] { fs::resize_file(root + kFirst, 512 + 4 * 10001); }, second},
      {"row changed", [&] { first_row().tqty = 99.99; }, second},
      {"a header byte changed",
       [&] {
         std::string bytes = ReadFileBytes(root + kFirst);
         bytes[44] ^= 1;  // in "Start time=..."
         test::WriteFileBytes(root + kFirst, bytes);
       },
       second},
      {"no calibration in the row", [&] { first_row().calper.reset(); }, second},
      {"a path outside the root",
       [&] {
         CataloguedFile moved = first_row();
         catalogue.rows.clear();
         moved.cpath = root + kFirst;
         catalogue.rows[moved.cpath] = moved;
       },
       second},
      {"another rate", [] {}, {kT0 + 100.0, 5000, 10000, 100.0 * 1.000001}},
      {"another calibration", [] {}, {kT0 + 100.0, 5000, 10000, 100.0, 999.0}},
      {"another period", [] {}, {kT0 + 100.0, 5000, 10000, 100.0, 1000.0, 2.0}},
      {"two intervals late", [] {}, {kT0 + 100.02, 5000, 10000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root + "KIR");
    catalogue.rows.clear();
    ASSERT_TRUE(Run({kT0, 10000, 0}));
    c.damage();
    const std::string before = ReadFileBytes(root + kFirst);
    catalogue.calls.clear();
    Run(c.next);
    EXPECT_EQ(catalogue.Count("lookup"), 1);
    if (std::string(c.what) == "nothing wrong") {
      EXPECT_EQ(catalogue.Count("register"), 0);
      EXPECT_EQ(SamplesIn(kFirst), 15000u);
      continue;
    }
    EXPECT_EQ(catalogue.Count("register"), 1);
    EXPECT_EQ(ReadFileBytes(root + kFirst), before);  // left as it was
  }
}

TEST_P(ContinuedOutputTest, AFileOfAFullHourIsNotContinued) {
  ASSERT_TRUE(Run({kT0, 360000, 0}));
  catalogue.calls.clear();
  ASSERT_TRUE(Run({kT0 + 3600.0, 100, 360000}));
  EXPECT_EQ(catalogue.Count("register"), 1);
  EXPECT_EQ(SamplesIn("KIR/01/01032007-010000-Z.KIR"), 100u);
}

TEST_P(ContinuedOutputTest, ATakenUpFileIsCutBackToItsRowWhenTheUpdateIsRefused) {
  ASSERT_TRUE(Run({kT0, 10000, 0}));
  const std::string before = ReadFileBytes(root + kFirst);
  catalogue.refuse_updates = true;
  EXPECT_FALSE(Run({kT0 + 100.0, 30000, 10000}));
  EXPECT_EQ(ReadFileBytes(root + kFirst), before);
  EXPECT_EQ(catalogue.rows.at(kFirst).tqty, 100.0);
}

// While this writer still owes a file's row, the row is older than the file:
// samples that continue the row's end must not be written into the middle.
TEST_P(ContinuedOutputTest, AFileThisRunOwesARowIsNotTakenUpFromItsRow) {
  OutputWriter writer(catalogue, messages);
  writer.SetOutputRoot(root);
  writer.SetCoalesceUpdates(GetParam());
  writer.SetContinueAcrossRuns(true);
  std::vector<float> block(kBlockSize, 1.0f);
  for (int b = 0; b < 3; ++b)
    writer.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kT0 + b * 100.0, kBlockSize, block.data());
  // The second block's arrival wrote the first; the third's, the second.
  writer.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kT0 + 100.0, kBlockSize, block.data());
  writer.FinishRawFile();
  EXPECT_EQ(SamplesIn(kFirst), 30000u);
  EXPECT_EQ(catalogue.rows.at(kFirst).tqty, 300.0);
  EXPECT_EQ(SamplesIn("KIR/00/01032007-000140-Z.KIR"), 10000u);
}

// Samples whose times the channel's own files hold are left out, within half
// an interval: what follows on continues the file (a clock 4 ms early), what
// comes before it begins a file of its own, and the same again in the run is
// held by what the run wrote. (The same job twice and a clock late: tests/app.)
TEST_P(ContinuedOutputTest, SamplesTheArchiveHoldsAreLeftOut) {
  const std::string before = "KIR/23/28022007-235820-Z.KIR";  // 100 s before kFirst
  const struct {
    RawPiece again;
    std::size_t first, earlier;  // samples then in kFirst (ramp 0..) and in `before`
  } cases[] = {{{kT0 + 99.996, 20000, 10000}, 30000, 0},
               {{kT0 - 100.0, 20000, -10000}, 20000, 10000}};
  for (const auto& c : cases) {
    fs::remove_all(root + "KIR");
    catalogue.rows.clear();
    ASSERT_TRUE(Run({kT0, 20000, 0}));
    OutputWriter writer(catalogue, messages);
    writer.SetOutputRoot(root);
    writer.SetCoalesceUpdates(GetParam());
    writer.SetContinueAcrossRuns(true);
    ASSERT_TRUE(Convert(writer, c.again));
    const std::vector<SkippedSamples> skipped = writer.TakeSkippedSamples();
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].samples, 10000u);
    const TqfHeader header = BuildHeader("KIR", "Z", 100.0, kT0);
    std::string ramp(header.data(), header.size());
    for (std::size_t k = 0; k < c.first; ++k) {
      const auto v = static_cast<float>(k);
      ramp.append(reinterpret_cast<const char*>(&v), 4);
    }
    EXPECT_TRUE(ReadFileBytes(root + kFirst) == ramp) << c.first;
    EXPECT_EQ(fs::exists(root + before) ? SamplesIn(before) : 0u, c.earlier);
    // The same again in the same run: all of it is held now.
    const auto files = Files();
    ASSERT_TRUE(Convert(writer, c.again));
    EXPECT_EQ(writer.TakeSkippedSamples().at(0).samples, 20000u);
    EXPECT_EQ(Files(), files);
  }
}

INSTANTIATE_TEST_SUITE_P(CoalescingOffAndOn, ContinuedOutputTest, ::testing::Bool());

}  // namespace
}  // namespace korvel

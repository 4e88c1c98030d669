// export-sds end to end: day files read back record by record with libmseed
// and, independently, with Debian's mseed2sac, against the TQF files.
#include <gtest/gtest.h>
#include <libmseed.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "seed/content_hash.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/mseed_records.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

// Sample time (microseconds) to value.
using Samples = std::map<std::int64_t, float>;

struct DayFileRead {
  Samples samples;
  std::set<int> encodings, lengths;
  std::string codes;  // NET_STA_LOC_CHAN of every record, when they agree
};

DayFileRead ReadRecords(const fs::path& file) {
  DayFileRead read;
  MSFileParam* state = nullptr;
  MSRecord* record = nullptr;
  const std::string name = file.string();
  while (ms_readmsr_r(&state, &record, name.c_str(), 0, nullptr, nullptr, 1, 1, 0) == MS_NOERROR) {
    read.encodings.insert(record->encoding);
    read.lengths.insert(record->reclen);
    char source[64];
    read.codes = msr_srcname(record, source, 0);
    for (std::int64_t i = 0; i < record->numsamples; ++i) {
      const std::int64_t t =
          record->starttime + std::llround(static_cast<double>(i) * HPTMODULUS / record->samprate);
      read.samples[t] = record->sampletype == 'i'
                            ? static_cast<float>(static_cast<std::int32_t*>(record->datasamples)[i])
                            : static_cast<float*>(record->datasamples)[i];
    }
  }
  ms_readmsr_r(&state, &record, nullptr, 0, nullptr, nullptr, 0, 0, 0);
  return read;
}

// A sample as its row times it: microseconds after 2007-03-01 00:00:00, the
// row's TBEGIN plus the samples before it over the row's rate (unrounded).
struct TimedSample {
  double time;
  float value;
};

// Every record of every day file below `root`, by the test's own parser.
std::vector<MseedRecord> TreeRecords(const fs::path& root) {
  std::vector<MseedRecord> records;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) continue;
    std::string error;
    const auto parsed = ParseMseedRecords(ReadFileBytes(entry.path()), &error);
    EXPECT_TRUE(parsed) << entry.path() << ": " << error;
    if (parsed) records.insert(records.end(), parsed->begin(), parsed->end());
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const MseedRecord& a, const MseedRecord& b) { return a.start < b.start; });
  return records;
}

// A SAC file of mseed2sac: its first sample's time (the reference time to
// the millisecond plus B) and its samples.
struct SacTrace {
  double first;  // microseconds after 2007-03-01 00:00:00
  std::vector<float> values;
};

SacTrace ReadSac(const fs::path& file) {
  const std::string bytes = ReadFileBytes(file);
  SacTrace trace{0.0, {}};
  if (bytes.size() < 632u) {
    ADD_FAILURE() << file << " is no SAC file";
    return trace;
  }
  float b;
  std::int32_t words[40];
  std::memcpy(&b, bytes.data() + 5 * 4, 4);
  std::memcpy(words, bytes.data() + 70 * 4, sizeof words);  // NZYEAR, NZJDAY, ... NPTS (9th)
  using namespace std::chrono;
  const sys_days day = sys_days{year{words[0]} / January / 1} + days{words[1] - 1};
  const double reference = (static_cast<double>(day.time_since_epoch().count()) * 86400.0 +
                            words[2] * 3600.0 + words[3] * 60.0 + words[4] - kMarch1) *
                               1e6 +
                           words[5] * 1000.0;
  trace.first = reference + static_cast<double>(b) * 1e6;
  const auto npts = static_cast<std::size_t>(words[9]);
  EXPECT_EQ(bytes.size(), 632u + 4u * npts) << file;
  trace.values.resize(std::min(npts, (bytes.size() - 632u) / 4u));
  std::memcpy(trace.values.data(), bytes.data() + 632, 4 * trace.values.size());
  return trace;
}

class SdsExportTest : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    if (IsSkipped()) return;
    WriteProgramIni("[SEED]\nNET=XX\n");
    sds = (sandbox.path() / "sds").string();
  }
  // A channel's samples as the TQF files hold them, timed by their rows.
  Samples TqfSamples(const std::string& channel) {
    Samples samples;
    for (const CatalogueRow& row : Rows()) {
      if (row.ch != channel) continue;
      const std::string bytes = ReadFileBytes(Out(row.cpath));
      for (std::size_t i = 0; 512 + 4 * i + 4 <= bytes.size(); ++i) {
        float v;
        std::memcpy(&v, bytes.data() + 512 + 4 * i, 4);
        samples[std::llround(row.tbegin * HPTMODULUS) +
                std::llround(static_cast<double>(i) * HPTMODULUS / row.sps)] = v;
      }
    }
    return samples;
  }
  // Every catalogued sample, in the order of the rows' starts.
  std::vector<TimedSample> TqfTimedSamples() {
    std::vector<CatalogueRow> rows = Rows();
    std::stable_sort(rows.begin(), rows.end(), [](const CatalogueRow& a, const CatalogueRow& b) {
      return a.tbegin < b.tbegin;
    });
    std::vector<TimedSample> samples;
    for (const CatalogueRow& row : rows) {
      const std::string bytes = ReadFileBytes(Out(row.cpath));
      for (std::size_t i = 0; 512 + 4 * i + 4 <= bytes.size(); ++i) {
        float v;
        std::memcpy(&v, bytes.data() + 512 + 4 * i, 4);
        samples.push_back(
            {(row.tbegin - kMarch1) * 1e6 + static_cast<double>(i) * 1e6 / row.sps, v});
      }
    }
    return samples;
  }
  std::string DayFile(const std::string& channel, int doy) const {
    return sds + "/2007/XX/KIR/" + channel + ".D/XX.KIR.." + channel + ".D.2007.0" +
           std::to_string(doy);  // days 59 and 60 of the year
  }
  // 23:40 to 00:20 without a break, then 00:30 to 00:40, at 20 sps (band B,
  // and few enough samples for the sanitizer build): two days, one gap.
  void WriteRawSet() {
    const std::vector<std::string> channels = {"Z", "N-S", "E-W"};
    RawFile("KIR", channels, kMarch1 - 1200.0, 20.0, 24000).WriteTo(Raw("KIR/a.raw"));
    RawFile("KIR", channels, kMarch1, 20.0, 24000, 24000).WriteTo(Raw("KIR/b.raw"));
    RawFile("KIR", channels, kMarch1 + 1800.0, 20.0, 12000, 48000).WriteTo(Raw("KIR/c.raw"));
  }
  std::string sds;
};

TEST_P(SdsExportTest, DayFilesHoldEverySampleAtItsTimeAndAgainTheSameBytes) {
  WriteRawSet();
  ASSERT_EQ(Cli({"convert", "--all-times"}).exit_status, 0);
  const auto first = Cli({"export-sds", sds, "--all-times"});
  ASSERT_EQ(first.exit_status, 0) << first.err;
  EXPECT_NE(first.out.find("day files: 6 written, 0 unchanged, 0 left"), std::string::npos)
      << first.out;
  for (const auto& [channel, seed] : {std::pair{"Z", "BHZ"}, {"N-S", "BHN"}, {"E-W", "BHE"}}) {
    SCOPED_TRACE(channel);
    const DayFileRead before_midnight = ReadRecords(DayFile(seed, 59));
    const DayFileRead after_midnight = ReadRecords(DayFile(seed, 60));
    ASSERT_FALSE(before_midnight.samples.empty());
    ASSERT_FALSE(after_midnight.samples.empty());
    EXPECT_EQ(before_midnight.codes, std::string("XX_KIR__") + seed);
    EXPECT_EQ(before_midnight.lengths, std::set<int>{4096});
    EXPECT_EQ(after_midnight.encodings, std::set<int>{DE_STEIM2});
    EXPECT_LT(before_midnight.samples.rbegin()->first,
              static_cast<std::int64_t>(kMarch1) * HPTMODULUS);
    EXPECT_EQ(after_midnight.samples.begin()->first,
              static_cast<std::int64_t>(kMarch1) * HPTMODULUS);
    Samples exported = before_midnight.samples;
    exported.insert(after_midnight.samples.begin(), after_midnight.samples.end());
    EXPECT_EQ(exported, TqfSamples(channel));  // every sample, every time, the gap a gap
  }

  // The same window again, and a narrower one then a wider one: the same
  // day files (the lists of what was written keep their own times).
  const auto day_files = [&] {
    auto tree = ReadTree(sds);
    std::erase_if(tree, [](const auto& file) { return file.first.ends_with(".korvel2tqf-sds"); });
    return tree;
  };
  const auto tree = day_files();
  const auto again = Cli({"export-sds", sds, "--all-times"});
  EXPECT_NE(again.out.find("0 written, 6 unchanged"), std::string::npos) << again.out;
  fs::remove_all(sds);
  ASSERT_EQ(Cli({"export-sds", sds, "--start", "23:50:00 28/02/2007", "--length", "00:15:00"})
                .exit_status,
            0);
  ASSERT_EQ(Cli({"export-sds", sds, "--all-times"}).exit_status, 0);
  EXPECT_TRUE(day_files() == tree);

  // An independent reader: mseed2sac's SAC file holds the same samples.
  const fs::path sac_folder = sandbox.path() / "sac";
  fs::create_directories(sac_folder);
  const auto sac = RunCommand("/bin/sh", {"-c", "cd '" + sac_folder.string() + "' && mseed2sac '" +
                                                    DayFile("BHZ", 60) + "'"});
  ASSERT_EQ(sac.exit_status, 0) << sac.err;
  ASSERT_EQ(std::distance(fs::directory_iterator(sac_folder), fs::directory_iterator()), 2);
  const Samples z = TqfSamples("Z");
  for (const auto& entry : fs::directory_iterator(sac_folder)) {
    // The SAC header is 632 bytes; NPTS is its 80th word; B (its 6th) the
    // first sample's offset from the reference time.
    const std::string bytes = ReadFileBytes(entry.path());
    ASSERT_GE(bytes.size(), 632u);
    std::int32_t npts;
    std::memcpy(&npts, bytes.data() + 79 * 4, 4);
    ASSERT_EQ(bytes.size(), 632u + 4u * static_cast<std::size_t>(npts)) << entry.path();
    std::vector<float> values(static_cast<std::size_t>(npts));
    std::memcpy(values.data(), bytes.data() + 632, bytes.size() - 632);
    // Each SAC file is one stretch: find its first value among the TQF samples of the day.
    const auto start = z.lower_bound(static_cast<std::int64_t>(kMarch1) * HPTMODULUS);
    auto at = start;
    while (at != z.end() && at->second != values[0]) ++at;
    ASSERT_NE(at, z.end());
    for (std::size_t i = 0; i < values.size(); ++i, ++at) {
      ASSERT_NE(at, z.end());
      ASSERT_EQ(values[i], at->second) << i;
    }
  }
}

TEST_P(SdsExportTest, WhatCannotBeNamedOrIsAnotherProgramsIsRefusedAndSaid) {
  WriteRawSet();
  ASSERT_EQ(Cli({"convert", "--all-times"}).exit_status, 0);
  // Another program's day file of the name.
  fs::create_directories(fs::path(DayFile("BHN", 59)).parent_path());
  { std::ofstream(DayFile("BHN", 59)) << "not ours"; }
  // A file whose samples are not integers goes out as float32.
  for (const CatalogueRow& row : Rows())
    if (row.ch == "E-W") {
      std::fstream file(Out(row.cpath), std::ios::in | std::ios::out | std::ios::binary);
      const float half = 0.5f;
      file.seekp(512);
      file.write(reinterpret_cast<const char*>(&half), 4);
    }
  const auto r = Cli({"export-sds", sds, "--all-times", "--station", "KIR", "--station", "KIRKUDA",
                      "--station", "КИР"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.out.find("left\t2007/XX/KIR/BHN.D/XX.KIR..BHN.D.2007.059"), std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFileBytes(DayFile("BHN", 59)), "not ours");
  for (const char* said :
       {"BHN.D.2007.059: written by another program", "station KIRKUDA: not a SEED station code",
        "station КИР: not a SEED station code"})
    EXPECT_NE(r.err.find(said), std::string::npos) << said << "\n" << r.err;
  const DayFileRead floats = ReadRecords(DayFile("BHE", 59));
  EXPECT_EQ(floats.encodings, std::set<int>{DE_FLOAT32});
  ASSERT_FALSE(floats.samples.empty());
  EXPECT_EQ(floats.samples.begin()->second, 0.5f);

  // Codes: a station's own map; without a network nothing is written.
  WriteProgramIni("[SEED]\nNET=XX\nLOC=00\n[SEED.KIR]\nZ=EHZ\n");
  const auto mapped = Cli({"export-sds", sds, "--all-times", "--channel", "KIR:Z"});
  EXPECT_EQ(mapped.exit_status, 0) << mapped.err;
  EXPECT_TRUE(fs::exists(sds + "/2007/XX/KIR/EHZ.D/XX.KIR.00.EHZ.D.2007.060"));
  WriteProgramIni();
  const auto none = Cli({"export-sds", sds + "2", "--all-times"});
  EXPECT_EQ(none.exit_status, 2);
  EXPECT_NE(
      none.err.find("set NET= (two upper-case Latin letters or digits) in the [SEED] section"),
      std::string::npos)
      << none.err;
  EXPECT_FALSE(fs::exists(sds + "2"));
}

TEST_P(SdsExportTest, EveryFileOfOursGoesOutAndEachRecordStartsAtItsFirstSample) {
  // Rates whose interval is no whole number of milliseconds, starts between
  // the 100-microsecond steps of the fixed header and a hair before a whole
  // second; each half an hour across a midnight of its own, so that the
  // files split at hours and days.
  const struct {
    const char* what;
    double interval;
    int day;             // of March 2007
    double time_of_day;  // seconds
    std::int64_t frames;
    int width;
  } cases[] = {
      {"333.333333 sps, a sub-second start", 0.003, 1, 85500.123457, 600000, 2},
      {"166.666667 sps, its header's rate 3e-7 off", 0.006, 3, 85500.000043, 300000, 2},
      {"142.857143 sps, 0.4 us before midnight", 0.007, 5, 86399.9999996, 257143, 2},
      {"128 sps", 1.0 / 128, 7, 85500.5, 230400, 2},
      {"3 sps", 1.0 / 3, 9, 79200.123457, 21600, 2},
      {"32-bit counts beyond 2^24 (float32), 0.4 us before a second", 0.01, 11, 85499.9999996,
       180000, 4},
  };
  int n = 0;
  std::size_t total = 0;
  for (const auto& c : cases) total += static_cast<std::size_t>(c.frames);
  for (const auto& c : cases)
    RawFileBuilder()
        .Station("KIR")
        .Date(c.day, 3, 7)
        .TimeOfDay(c.time_of_day)
        .SampleInterval(c.interval)
        .SampleFormat(c.width == 2 ? 16 : 32)
        .Channels({"Z"})
        .Frames(c.frames)
        .WriteTo(Raw("KIR/" + std::to_string(n++) + ".raw"));
  ASSERT_EQ(Cli({"convert", "--all-times"}).exit_status, 0);
  const auto r = Cli({"export-sds", sds, "--all-times"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  // Record by record, sample by sample, in time order: each sample's value,
  // and its time on the record's own clock (start plus samples before it
  // over the record's rate) within a microsecond of its row's.
  const std::vector<TimedSample> expected = TqfTimedSamples();
  ASSERT_EQ(expected.size(), total);
  const std::vector<MseedRecord> records = TreeRecords(sds);
  std::size_t k = 0;
  for (const MseedRecord& record : records) {
    SCOPED_TRACE(record.network + "." + record.station + "." + record.location + "." +
                 record.channel + " record " + record.sequence);
    EXPECT_TRUE(record.has_1001);
    for (std::size_t i = 0; i < record.samples.size(); ++i, ++k) {
      ASSERT_LT(k, expected.size());
      const double time =
          static_cast<double>(record.start - static_cast<std::int64_t>(kMarch1) * 1000000) +
          static_cast<double>(i) * 1e6 / record.Rate();
      ASSERT_LE(std::fabs(time - expected[k].time), 1.0)
          << "sample " << i << ": " << time << " us, its row says " << expected[k].time;
      ASSERT_EQ(record.samples[i], expected[k].value) << "sample " << i;
    }
  }
  EXPECT_EQ(k, expected.size());

  // mseed2sac, another reader: each of its traces begins at a catalogued
  // sample's time to the microsecond and goes on with the samples after it.
  for (const auto& entry : fs::recursive_directory_iterator(sds)) {
    if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) continue;
    const fs::path folder = sandbox.path() / "sac" / entry.path().filename();
    fs::create_directories(folder);
    const auto sac = RunCommand("/bin/sh", {"-c", "cd '" + folder.string() + "' && mseed2sac '" +
                                                      entry.path().string() + "'"});
    ASSERT_EQ(sac.exit_status, 0) << sac.err;
    for (const auto& file : fs::directory_iterator(folder)) {
      SCOPED_TRACE(file.path().filename().string());
      const SacTrace trace = ReadSac(file.path());
      const auto at = std::lower_bound(expected.begin(), expected.end(), trace.first - 1.0,
                                       [](const TimedSample& s, double t) { return s.time < t; });
      ASSERT_NE(at, expected.end());
      EXPECT_LE(std::fabs(at->time - trace.first), 1.0) << trace.first;
      ASSERT_LE(trace.values.size(), static_cast<std::size_t>(expected.end() - at));
      EXPECT_TRUE(std::equal(trace.values.begin(), trace.values.end(), at,
                             [](float v, const TimedSample& s) { return v == s.value; }));
    }
  }
}

TEST_P(SdsExportTest, DayFilesStayOursWhenCopiedAndAChangedByteMakesOneAnotherProgramsFile) {
  WriteRawSet();
  ASSERT_EQ(Cli({"convert", "--all-times"}).exit_status, 0);
  // Up to 00:10: the export of all times below brings more to day 060.
  ASSERT_EQ(Cli({"export-sds", sds, "--start", "23:40:00 28/02/2007", "--length", "00:30:00"})
                .exit_status,
            0);
  const std::string copy = (sandbox.path() / "copy").string();
  ASSERT_EQ(RunCommand("/bin/cp", {"-r", sds, copy}).exit_status, 0);  // new times of change
  const auto day_file = [](const std::string& channel, int doy) {
    return "2007/XX/KIR/" + channel + ".D/XX.KIR.." + channel + ".D.2007.0" + std::to_string(doy);
  };
  const auto in = [](const std::string& tree, const std::string& file) {
    return tree + "/" + file;
  };
  // An older program's list of the BHE folder: size and time of change.
  {
    std::ofstream list(copy + "/2007/XX/KIR/BHE.D/.korvel2tqf-sds", std::ios::binary);
    for (const int doy : {59, 60}) {
      const std::string file = in(copy, day_file("BHE", doy));
      list << fs::path(file).filename().string() << '\t' << fs::file_size(file) << '\t'
           << fs::last_write_time(file).time_since_epoch().count() + (doy == 60 ? 1 : 0) << '\n';
    }
  }
  // A byte changed by someone else.
  {
    std::fstream file(in(copy, day_file("BHN", 59)),
                      std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(1000);
    file.put('\x5A');
  }
  const std::map<std::string, std::string> before = ReadTree(copy);

  const auto r = Cli({"export-sds", copy, "--all-times"});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  const struct {
    const char* channel;
    int doy;
    std::string outcome;
  } cases[] = {
      {"BHZ", 59, "unchanged"},                            // copied: its bytes are those listed
      {"BHZ", 60, "written"},                              // copied, and the export brings more
      {"BHN", 59, "left"},                                 // a byte changed
      {"BHN", 60, "written"},   {"BHE", 59, "unchanged"},  // an older list's size and time agree
      {"BHE", 60, "left"},                                 // an older list's time does not
  };
  for (const auto& c : cases) {
    const std::string file = day_file(c.channel, c.doy);
    SCOPED_TRACE(file);
    EXPECT_NE(r.out.find(c.outcome + "\t" + file + "\n"), std::string::npos) << r.out;
    if (c.outcome == "left") {
      EXPECT_TRUE(ReadFileBytes(in(copy, file)) == before.at(file));
    }
  }
  // What was written is what an export of all times into an empty tree
  // writes; the older line now holds the hash, whatever the file's time.
  fs::remove_all(sds);
  ASSERT_EQ(Cli({"export-sds", sds, "--all-times"}).exit_status, 0);
  for (const auto& c : cases) {
    if (c.outcome == "left") continue;
    EXPECT_TRUE(ReadFileBytes(in(copy, day_file(c.channel, c.doy))) ==
                ReadFileBytes(in(sds, day_file(c.channel, c.doy))))
        << c.channel << " " << c.doy;
  }
  const std::string touched = in(copy, day_file("BHE", 59));
  fs::last_write_time(touched, fs::last_write_time(touched) + std::chrono::hours(1));
  const auto again = Cli({"export-sds", copy, "--all-times"});
  EXPECT_NE(again.out.find("unchanged\t" + day_file("BHE", 59) + "\n"), std::string::npos)
      << again.out;
}

TEST_P(SdsExportTest, AnExportAfterADayFilesEndAddsToItTheRecordsOneExportMakes) {
  WriteRawSet();
  ASSERT_EQ(Cli({"convert", "--all-times"}).exit_status, 0);
  const std::string file = DayFile("BHZ", 59);
  const auto export_window = [&](const char* start, const char* length) {
    return Cli({"export-sds", sds, "--channel", "KIR:Z", "--start", start, "--length", length});
  };
  const auto inode = [&] {
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 ? status.st_ino : 0;
  };
  ASSERT_EQ(export_window("23:40:00 28/02/2007", "00:20:00").exit_status, 0);
  const std::string whole = ReadFileBytes(file);

  const struct {
    const char* what;
    std::function<void(const std::string& first)> meanwhile;
    const char* outcome;
  } cases[] = {
      {"nothing", [](const std::string&) {}, "written"},
      {"an add of ours that did not finish",
       [&](const std::string& first) {
         // The list says where it began, after what and over which record;
         // the record is gone and half a record of the add is there.
         const std::size_t from = first.size() - 4096;
         std::string over;
         for (const unsigned char byte : first.substr(from)) {
           char hex[3];
           std::snprintf(hex, sizeof hex, "%02x", byte);
           over += hex;
         }
         const std::string list = fs::path(file).parent_path() / ".korvel2tqf-sds";
         std::ofstream(list, std::ios::binary)
             << fs::path(file).filename().string() << "\tXXH3-128\t"
             << ContentHash(first.substr(0, from)) << '\t' << from << '\t' << over << '\n';
         std::ofstream(file, std::ios::binary) << whole.substr(0, from + 2048);
       },
       "written"},
      {"bytes added by another program",
       [&](const std::string&) { std::ofstream(file, std::ios::binary | std::ios::app) << "x"; },
       "left"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(sds);
    ASSERT_EQ(export_window("23:40:00 28/02/2007", "00:10:00").exit_status, 0);
    const std::string first = ReadFileBytes(file);
    c.meanwhile(first);
    const std::string before = ReadFileBytes(file);
    const auto was = inode();
    const auto r = export_window("23:50:00 28/02/2007", "00:10:00");
    EXPECT_NE(r.out.find(std::string(c.outcome) + "\t2007/XX/KIR/BHZ.D/"), std::string::npos)
        << r.out << r.err;
    const std::string after = ReadFileBytes(file);
    if (std::string(c.outcome) == "left") {
      EXPECT_TRUE(after == before);
      continue;
    }
    // Added to in place, and the very bytes of one export of the whole.
    EXPECT_EQ(inode(), was);
    EXPECT_GT(after.size(), first.size());
    EXPECT_TRUE(after == whole);
    // The list holds the new bytes: the same window again, and all of the
    // day, change nothing.
    EXPECT_NE(export_window("23:50:00 28/02/2007", "00:10:00").out.find("unchanged\t"),
              std::string::npos);
    EXPECT_NE(export_window("23:40:00 28/02/2007", "00:20:00")
                  .out.find("unchanged\t2007/XX/KIR/BHZ.D/XX.KIR..BHZ.D.2007.059"),
              std::string::npos);
    EXPECT_TRUE(ReadFileBytes(file) == after);
  }
}

TEST_P(SdsExportTest, AWriteCutShortLeavesTheDayFileAsItWasAndTheNextExportFinishesIt) {
  if (!FileSizeLimit::kAvailable) GTEST_SKIP() << "no file size limit to stop a write here";
  WriteRawSet();
  ASSERT_EQ(Cli({"convert", "--all-times"}).exit_status, 0);
  const std::string file = DayFile("BHZ", 59);
  const auto export_window = [&](const char* start, const char* length) {
    return Cli({"export-sds", sds, "--channel", "KIR:Z", "--start", start, "--length", length});
  };
  ASSERT_EQ(export_window("23:40:00 28/02/2007", "00:20:00").exit_status, 0);
  const std::string whole = ReadFileBytes(file);
  for (const bool first_part_there : {false, true}) {
    SCOPED_TRACE(first_part_there ? "an add to a day file" : "a new day file");
    fs::remove_all(sds);
    if (first_part_there) {
      ASSERT_EQ(export_window("23:40:00 28/02/2007", "00:10:00").exit_status, 0);
    }
    const bool existed = fs::exists(file);
    const std::string before = existed ? ReadFileBytes(file) : "";
    {
      // The disk is full a record after what is there.
      FileSizeLimit limit(before.size() + 4096 + 1000);
      const auto r = export_window("23:40:00 28/02/2007", "00:20:00");
      EXPECT_EQ(r.exit_status, 1);
      EXPECT_NE(r.err.find("XX.KIR..BHZ.D.2007.059: cannot be written: File too large"),
                std::string::npos)
          << r.err;
    }
    EXPECT_EQ(fs::exists(file), existed);
    if (existed) {
      EXPECT_TRUE(ReadFileBytes(file) == before);
    }
    const auto again = export_window("23:40:00 28/02/2007", "00:20:00");
    EXPECT_EQ(again.exit_status, 0) << again.err;
    EXPECT_TRUE(ReadFileBytes(file) == whole);
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, SdsExportTest, ::testing::ValuesIn(TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SdsExportTest);

}  // namespace
}  // namespace korvel::test

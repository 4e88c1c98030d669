// Selected raw data that cannot be taken whole, and runs that convert
// nothing, end to end through korvel2tqf-cli: each is told once with its path
// and reason, never as a success, and every file still equals its row.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>

#include "engine/tqf_file.h"
#include "platform/file_lock.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/read_faults.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

class RawDataLeftTest : public ConversionTest {
 protected:
  // An empty archive and catalogue, and KIR's raw folder made again.
  void Fresh() {
    ResetCatalogue(db);
    WriteProgramIni();
    for (const std::string& folder : {out, Raw("KIR")}) {
      fs::remove_all(folder);
      fs::create_directories(folder);
    }
  }
  std::string Z(EpochSeconds start) const { return Out(TqfRelativePath("KIR", "Z", start)); }
};

// a, b and c of channel Z, apart in time: b is 192 + 2 x 5000 bytes long.
TEST_P(RawDataLeftTest, RawDataThatCannotBeReadWholeIsToldOnceAndNeverASuccess) {
  const std::string a = Raw("KIR/a.raw"), b = Raw("KIR/b.raw"), c = Raw("KIR/c.raw");
  const std::vector<std::string> convert = {"convert",     "--station", "KIR",
                                            "--all-times", "--channel", "KIR:Z"};
  const struct {
    const char* name;
    std::optional<ReadFault> fault;
    std::function<void()> prepare;
    std::vector<std::string> args;
    int exit_status;
    std::string err, out;
    bool a_converted;
    std::int64_t b_frames;  // of b converted; -1: b's file is not made
  } cases[] = {
      {"a read error half-way", ReadFault{"b.raw", 0, 192 + 2 * 3000}, [] {}, convert, 7,
       "Korvel->TQF: raw file " + b +
           " was read only to byte 6192 of 10192 (Input/output error); the rest is left\n",
       "Успешно завершена конверсия 2 файлов\n", true, 3000},
      {"an unreadable file among good ones", ReadFault{"b.raw", EACCES, {}}, [] {}, convert, 7,
       "Korvel->TQF: raw file " + b + " cannot be read (Permission denied); it is left\n",
       "Успешно завершена конверсия 2 файлов\n", true, -1},
      {"an unreadable file in a folder two stations share",
       ReadFault{"b.raw", EACCES, {}},
       [&] {
         sandbox.WriteProgramIni("[SYSTEM]\nNSTA=2\nDIR=" + Raw("KIR") +
                                 "\n[STA0]\nNAME=KIR\n[STA1]\nNAME=KUDA\n");
       },
       {"convert", "--all-times", "--channel", "KIR:Z", "--channel", "KUDA:Z"},
       7,
       "Korvel->TQF: raw file " + b + " cannot be read (Permission denied); it is left\n",
       "Успешно завершена конверсия 2 файлов\n",
       true,
       -1},
      {"a missing raw folder",
       {},
       [&] { fs::remove_all(Raw("KIR")); },
       convert,
       7,
       "Korvel->TQF: raw folder " + Raw("KIR") +
           "/ cannot be read (No such file or directory); its files are left\n"
           "KORVEL->TQF: Ни один файл не конвертирован целиком: часть выбранных данных "
           "оставлена\nkorvel2tqf-cli: error: station KIR: the raw folder " +
           Raw("KIR") +
           "/ (korvel2tqf.ini [KIR] DIR=) is not there: name the folder of its raw files with "
           "[KIR] DIR= in korvel2tqf.ini\n",
       "",
       false,
       -1},
      {"a file in place of the raw folder",
       {},
       [&] {
         fs::remove_all(Raw("KIR"));
         WriteFileBytes(Raw("KIR"), "no folder");
       },
       convert,
       7,
       "Korvel->TQF: raw folder " + Raw("KIR") +
           "/ cannot be read (Not a directory); its files are left\n"
           "KORVEL->TQF: Ни один файл не конвертирован целиком: часть выбранных данных "
           "оставлена\nkorvel2tqf-cli: error: station KIR: the raw folder " +
           Raw("KIR") +
           "/ (korvel2tqf.ini [KIR] DIR=) is no folder: name the folder of its raw files with "
           "[KIR] DIR= in korvel2tqf.ini\n",
       "",
       false,
       -1},
      {"a folder picked as a raw file",
       {},
       [&] { fs::create_directory(Raw("KIR/sub")); },
       {"files", "--station", "KIR", "--channel", "KIR:Z", a, Raw("KIR/sub"), c},
       7,
       "Korvel->TQF: raw file " + Raw("KIR/sub") +
           " cannot be read (Is a directory); it is left\n"
           "KORVEL->TQF: Ошибка конверсии файла '" +
           Raw("KIR/sub") + "'\n",
       "",
       true,
       -1},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.name);
    Fresh();
    RawFile("KIR", {"Z"}, kMarch1, 100.0, 1000).WriteTo(a);
    RawFile("KIR", {"Z"}, kMarch1 + 600.0, 100.0, 5000, 100000).WriteTo(b);
    RawFile("KIR", {"Z"}, kMarch1 + 1200.0, 100.0, 1000, 200000).WriteTo(c);
    t.prepare();
    std::optional<ReadFaults> faults;
    if (t.fault) faults.emplace(*t.fault);
    const auto r = Cli(t.args);
    faults.reset();
    EXPECT_EQ(r.exit_status, t.exit_status) << r.err;
    EXPECT_EQ(r.err, t.err);
    EXPECT_EQ(r.out, t.out);
    if (t.a_converted) {
      EXPECT_EQ(ReadFileBytes(Z(kMarch1)), ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1, 0, 1000));
    }
    if (t.b_frames >= 0) {
      EXPECT_EQ(ReadFileBytes(Z(kMarch1 + 600.0)),
                ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1 + 600.0, 100000, t.b_frames));
    } else {
      EXPECT_FALSE(fs::exists(Z(kMarch1 + 600.0)));
    }
    ExpectFilesAgreeWithRows();
  }
}

// Names equal once upper-cased, as SITECHAN matching takes them: only the
// first channel of a name is converted, each later one is told.
TEST_P(RawDataLeftTest, ASecondChannelOfOneNameIsToldAndLeft) {
  const struct {
    std::vector<std::string> channels;
    int told;
  } cases[] = {{{"Z", "N-S", "Z"}, 1}, {{"Z", "z"}, 1}, {{"Z", "N-S", "z", "Z"}, 2}};
  const std::string a = Raw("KIR/a.raw");
  for (const auto& t : cases) {
    SCOPED_TRACE(t.channels.size());
    Fresh();
    RawFile("KIR", t.channels, kMarch1, 100.0, 1000).WriteTo(a);
    const auto r =
        Cli({"files", "--station", "KIR", "--channel", "KIR:Z", "--channel", "KIR:N-S", a});
    std::string err;
    for (int i = 0; i < t.told; ++i)
      err += "Korvel->TQF: channel Z appears twice in " + a + "; the second is left\n";
    EXPECT_EQ(r.err, err + "KORVEL->TQF: Ошибка конверсии файла '" + a + "'\n");
    EXPECT_EQ(r.exit_status, 7);
    EXPECT_EQ(ReadFileBytes(Z(kMarch1)), ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1, 0, 1000));
    ExpectFilesAgreeWithRows();
  }
}

// A run that converted nothing says why, and keeps the description's "no
// files" for a run that found none; a refused create is told once, with the
// system's reason.
TEST_P(RawDataLeftTest, ARunThatConvertedNothingSaysWhy) {
  const std::string create_error = "Korvel->TQF: File create error '" + Z(kMarch1) +
                                   "'\n  Not a directory\n"
                                   "Korvel->TQF: Ещё ошибок того же рода не показано: 1\n";
  std::optional<FileLock> other_converter;
  const struct {
    const char* name;
    std::function<void()> prepare;
    int exit_status;
    std::string err_before;  // "*": whatever the driver says
    std::string summary;
    std::string err_after = {};  // the station's own line, when it has one
  } cases[] = {
      {"nothing to convert", [&] { fs::remove(Raw("KIR/a.raw")); }, 1, "",
       "В каталогах файла настройки нет файлов для выбраных станций!!!",
       "korvel2tqf-cli: error: station KIR: the raw folder " + Raw("KIR/") +
           " (korvel2tqf.ini [KIR] DIR=) holds no files\n"},
      {"a station folder that is a file", [&] { WriteFileBytes(Out("KIR"), "a file"); }, 5,
       create_error, "Ни один файл не конвертирован: ошибка записи файлов TQF"},
      {"another converter holds the station",
       [&] {
         fs::create_directories(Out("KIR"));
         other_converter.emplace();
         ASSERT_EQ(other_converter->Acquire(Out("KIR/.korvel2tqf.lock"), 0),
                   FileLock::Result::kLocked);
       },
       6, "KORVEL->TQF: Станция KIR уже конвертируется другой программой\n",
       "Ни один файл не конвертирован: блокировка станции не получена"},
      {"the catalogue refuses", [&] { RefuseStatements(Refusal::InsertsAfter, 0); }, 4, "*",
       "Ни один файл не конвертирован: ошибка базы данных"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.name);
    Fresh();
    // Two flushes of Z: a refused create is met twice.
    RawFile("KIR", {"Z"}, kMarch1, 100.0, 15000).WriteTo(Raw("KIR/a.raw"));
    t.prepare();
    const auto r = Cli({"convert", "--station", "KIR", "--all-times", "--channel", "KIR:Z"});
    other_converter.reset();
    EXPECT_EQ(r.exit_status, t.exit_status) << r.err;
    const std::string summary = "KORVEL->TQF: " + t.summary + "\n";
    if (t.err_before == "*") {
      EXPECT_TRUE(r.err.ends_with(summary)) << r.err;
    } else {
      EXPECT_EQ(r.err, t.err_before + summary + t.err_after);
    }
    if (fs::is_regular_file(Out("KIR"))) fs::remove(Out("KIR"));  // planted, no output
    ExpectFilesAgreeWithRows();
  }
}

// A --channel pair's channel is upper-cased before it is matched, as a raw
// file's channel names are: KIR:z takes channel Z, written Z or z.
TEST_P(RawDataLeftTest, AChannelPairIsUpperCasedBeforeItIsMatched) {
  for (const char* spelt : {"Z", "z"}) {
    SCOPED_TRACE(spelt);
    Fresh();
    RawFile("KIR", {spelt, "N-S"}, kMarch1, 100.0, 1000).WriteTo(Raw("KIR/a.raw"));
    const auto r = Cli({"files", "--station", "KIR", "--channel", "KIR:z", Raw("KIR/a.raw")});
    EXPECT_EQ(r.out, "Успешно завершена конверсия 1 файлов\n") << r.err;
    EXPECT_EQ(ReadFileBytes(Z(kMarch1)), ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1, 0, 1000));
    ExpectFilesAgreeWithRows();
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, RawDataLeftTest, ::testing::ValuesIn(TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RawDataLeftTest);

}  // namespace
}  // namespace korvel::test

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/tqf_file.h"
#include "platform/file_io.h"
#include "platform/native_path.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::ReadFileBytes;
using test::TempDir;

std::string FloatBytes(std::initializer_list<float> values) {
  std::string out;
  for (float v : values) out.append(reinterpret_cast<const char*>(&v), 4);
  return out;
}

TEST(TqfFile, HeaderByteForByte) {
  const TqfHeader h = BuildHeader("STA", "SH Z", 100.0, 1173247920.5);
  const std::string text =
      "[TQF4.0]\r\n"
      "Data offset=512\r\n"
      "Start time=06 12 00\r\n"
      "Start date=07 03 2007\r\n"
      "Time duration=00 00 00\r\n"
      "Data Type=FLOAT\r\n"
      "SpS=100.000000\r\n"
      "Gain=1\r\n"
      "Station=STA\r\n"
      "Channel=\"SH Z\"\r\n";
  std::string expected = text + '\0';
  expected.resize(512, ' ');
  EXPECT_EQ(std::string(h.data(), h.size()), expected);

  // Seconds are truncated, never rounded; the rate keeps six decimals.
  const TqfHeader late = BuildHeader("KIR", "N-S", 0.5, 1173247979.75);
  const std::string late_text(late.data(), 200);
  EXPECT_NE(late_text.find("Start time=06 12 59\r\n"), std::string::npos);
  EXPECT_NE(late_text.find("SpS=0.500000\r\n"), std::string::npos);
}

TEST(TqfFile, NamesAndDirectories) {
  EXPECT_EQ(TqfRelativePath("STA", "SH Z", 1173247920.5), "STA/06/07032007-061200-SH%20Z.STA");
  EXPECT_EQ(TqfRelativePath("KIR", "N-S", 1173247979.75), "KIR/06/07032007-061259-N-S.KIR");
  // Names are used whole: cut short, two channels of one file could share a name.
  EXPECT_EQ(TqfRelativePath("ABCDEFGHIJKLMNOP", "CHANNEL_NAME_LONG", 1173247920.0),
            "ABCDEFGHIJKLMNOP/06/07032007-061200-CHANNEL_NAME_LONG.ABCDEFGHIJKLMNOP");
  // A header cannot steer a file out of the output root.
  EXPECT_EQ(TqfRelativePath("..", "../../etc/x", 1173247920.0),
            ".%2E/06/07032007-061200-..%2F..%2Fetc%2Fx..%2E");
  // Every byte a name cannot hold, and the escape itself; names that need
  // none (Cyrillic ones too) stay as they are.
  for (const auto& [name, form] : std::vector<std::pair<std::string, std::string>>{
           {"a/b\\c:d*e?f\"g<h>i|j", "a%2Fb%5Cc%3Ad%2Ae%3Ff%22g%3Ch%3Ei%7Cj"},
           {"\x01k\x7Fl m%", "%01k%7Fl%20m%25"},
           {"SH_Z", "SH_Z"},
           {"N-S", "N-S"},
           {"\xCA\xC8\xD0", "\xCA\xC8\xD0"},
           {".", "%2E"},
           {"A.B.", "A.B%2E"},
           {"", ""}})
    EXPECT_EQ(FileNameForm(name), form) << name;
#ifdef _WIN32
  // The relative path keeps "/" (the catalogue's CPATH); the file's own path
  // takes the backslash.
  EXPECT_EQ(TqfFullPath("D:\\out", "S/06/f"), "D:\\out\\S\\06\\f");
  EXPECT_EQ(TqfFullPath("D:\\out\\", "S/06/f"), "D:\\out\\S\\06\\f");
  EXPECT_EQ(TqfFullPath("D:/out/", "S/06/f"), "D:/out/S\\06\\f");
#else
  EXPECT_EQ(TqfFullPath("/out", "S/06/f"), "/out/S/06/f");
  EXPECT_EQ(TqfFullPath("/out/", "S/06/f"), "/out/S/06/f");
#endif
}

TEST(TqfFile, CreateThenExtendKeepsTheFirstHeader) {
  TempDir dir;
  const std::string root = (dir.path() / "out").string() + "/";
  std::filesystem::create_directory(dir / "out");
  const std::string rel = TqfRelativePath("STA", "SH Z", 1173247920.5);
  const TqfHeader header = BuildHeader("STA", "SH Z", 100.0, 1173247920.5);
  const float first[] = {1.0f, -2.5f, 32767.0f};
  ASSERT_FALSE(CreateTqfFile(root, rel, header, first));
  const float second[] = {-32768.0f};
  ASSERT_FALSE(ExtendTqfFile(root, rel, second));
  const float third[] = {7.0f, 8.0f};
  ASSERT_FALSE(ExtendTqfFile(root, rel, third));

  const std::string bytes = ReadFileBytes(dir / ("out/" + rel));
  ASSERT_EQ(bytes.size(), 512u + 4 * 6);
  EXPECT_EQ(bytes.substr(0, 512), std::string(header.data(), 512));
  EXPECT_EQ(bytes.substr(512), FloatBytes({1.0f, -2.5f, 32767.0f, -32768.0f, 7.0f, 8.0f}));

  // An older file of the name is left alone: the new bytes wait beside it
  // until committed over it.
  bool staged = false;
  ASSERT_FALSE(CreateTqfFile(root, rel, header, first, &staged));
  EXPECT_TRUE(staged);
  EXPECT_EQ(ReadFileBytes(dir / ("out/" + rel)).size(), 536u);
  ASSERT_FALSE(CommitTqfFile(root, rel));
  EXPECT_EQ(ReadFileBytes(dir / ("out/" + rel)).size(), 524u);
  ASSERT_FALSE(CutBackTqfFile(root, rel, 1));
  EXPECT_EQ(ReadFileBytes(dir / ("out/" + rel)),
            std::string(header.data(), 512) + FloatBytes({1.0f}));
}

// Each failure comes back as a value: the operation, the path and the
// system's reason.
TEST(TqfFile, FailuresComeBackWithPathAndReason) {
  TempDir dir;
  const TqfHeader header = BuildHeader("STA", "Z", 100.0, 1173247920.0);
  const float samples[] = {1.0f};
  // Only the station and hour folders are made, never the root.
  const std::string missing_root = (dir.path() / "no-root").string() + "/";
  const std::string file = missing_root + NativeSeparators("STA/06/f.STA");
  const FileResult created = CreateTqfFile(missing_root, "STA/06/f.STA", header, samples);
  ASSERT_TRUE(created);
  EXPECT_EQ(created->operation, FileOperation::kCreate);
  EXPECT_EQ(created->path, file);
  EXPECT_EQ(created->system_error, ENOENT);
  EXPECT_FALSE(std::filesystem::exists(dir / "no-root"));
  const FileResult extended = ExtendTqfFile(missing_root, "STA/06/f.STA", samples);
  ASSERT_TRUE(extended);
  EXPECT_EQ(extended->operation, FileOperation::kOpen);
  EXPECT_EQ(extended->path, file);
  EXPECT_EQ(extended->system_error, ENOENT);
  // The root is a plain file: its folders cannot be made.
  test::WriteFileBytes(dir / "plain", "x");
  const FileResult under_file =
      CreateTqfFile((dir / "plain").string(), "STA/06/f.STA", header, samples);
  ASSERT_TRUE(under_file);
  EXPECT_EQ(under_file->operation, FileOperation::kCreate);
  EXPECT_EQ(under_file->system_error, ENOTDIR);
}

// Nothing is written through a symbolic link: a link at the output name, or
// a folder there, is a name taken, never a way to write elsewhere; a link
// planted as the staging file goes, not what it points to.
TEST(TqfFile, NothingIsWrittenThroughALink) {
  TempDir dir;
  const std::string root = dir.path().string() + "/";
  const std::string rel = "STA/06/f.STA";
  const std::string full = TqfFullPath(root, rel);
  const std::filesystem::path target = dir / "precious";
  const TqfHeader header = BuildHeader("STA", "Z", 100.0, 1173247920.0);
  const float samples[] = {1.0f, 2.0f};
  std::filesystem::create_directories(dir / "STA/06");
  std::error_code no_links;
  std::filesystem::create_symlink(target, dir / "probe", no_links);
  if (no_links) GTEST_SKIP() << "no symbolic links here";
  std::filesystem::remove(dir / "probe");
  struct Case {
    const char* planted;  // at the output name
    bool part_link;       // a link planted at the staging name as well
    FileOperation create;
    int create_error;  // 0: created, staged beside the planted file
  };
  for (const Case& c : {Case{"link", false, FileOperation::kCreate, ELOOP},
                        Case{"folder", false, FileOperation::kCreate, EISDIR},
                        Case{"file", true, FileOperation::kCreate, 0}}) {
    SCOPED_TRACE(c.planted);
    std::filesystem::remove_all(full);
    std::filesystem::remove(full + ".part");
    test::WriteFileBytes(target, "precious");
    if (std::string(c.planted) == "link") std::filesystem::create_symlink(target, full);
    if (std::string(c.planted) == "folder") std::filesystem::create_directory(full);
    if (std::string(c.planted) == "file") test::WriteFileBytes(full, std::string(512, ' '));
    if (c.part_link) std::filesystem::create_symlink(target, full + ".part");
    bool staged = false;
    const FileResult created = CreateTqfFile(root, rel, header, samples, &staged);
    EXPECT_EQ(ReadFileBytes(target), "precious");
    if (c.create_error != 0) {
      ASSERT_TRUE(created);
      EXPECT_EQ(created->operation, c.create);
      EXPECT_EQ(created->system_error, c.create_error);
      EXPECT_FALSE(std::filesystem::exists(full + ".part"));
    } else {
      ASSERT_FALSE(created);
      EXPECT_TRUE(staged);
      EXPECT_FALSE(std::filesystem::is_symlink(full + ".part"));
      EXPECT_EQ(std::filesystem::file_size(full + ".part"), 520u);
    }
  }
  // A file replaced by a link between two extensions is neither extended
  // nor cut back through it.
  std::filesystem::remove_all(full);
  std::filesystem::create_symlink(target, full);
  const FileResult extended = ExtendTqfFile(root, rel, samples);
  ASSERT_TRUE(extended);
  EXPECT_EQ(extended->operation, FileOperation::kOpen);
  EXPECT_TRUE(CutBackTqfFile(root, rel, 0));
  EXPECT_EQ(ReadFileBytes(target), "precious");
}

TEST(TqfFile, AShortWriteIsAWriteErrorAndTheExtensionUndone) {
  if (!test::FileSizeLimit::kAvailable) GTEST_SKIP() << "no file size limit to stop a write here";
  TempDir dir;
  const std::string root = dir.path().string() + "/";
  const TqfHeader header = BuildHeader("STA", "Z", 100.0, 1173247920.0);
  const float first[] = {1.0f, 2.0f, 3.0f};
  ASSERT_FALSE(CreateTqfFile(root, "STA/06/f.STA", header, first));
  const std::string full = root + "STA/06/f.STA";
  const std::string before = ReadFileBytes(full);
  FileResult extended, created;
  {
    test::FileSizeLimit limit(530);  // room for 6 of the next 16 bytes
    const float more[] = {4.0f, 5.0f, 6.0f, 7.0f};
    extended = ExtendTqfFile(root, "STA/06/f.STA", more);
    // A new file that cannot be written whole does not stay behind.
    const float many[8] = {};
    created = CreateTqfFile(root, "STA/06/g.STA", header, many);
  }
  EXPECT_EQ(ReadFileBytes(full), before);
  EXPECT_FALSE(std::filesystem::exists(root + "STA/06/g.STA"));
  for (const FileResult& result : {extended, created}) {
    ASSERT_TRUE(result);
    EXPECT_EQ(result->operation, FileOperation::kWrite);
    EXPECT_EQ(result->system_error, EFBIG);
  }
  EXPECT_EQ(created->path, root + "STA/06/g.STA");
}

#ifdef _WIN32
// Writes into `file` until the disk takes not one byte more.
void FillDisk(const std::filesystem::path& file) {
  const int fd = CreateFileForWriting(file, CreateMode::kReplace);
  ASSERT_GE(fd, 0);
  const std::string chunk(1 << 20, 'x');
  for (std::size_t size : {chunk.size(), std::size_t{4096}, std::size_t{1}}) {
    std::size_t done = 0;
    while (WriteAll(fd, chunk.data(), size, done)) {
    }
  }
  CloseFile(fd);
}

// Windows has no /dev/full; tools/test lends the Windows tests a small disk
// of their own (KORVEL_SMALL_DISK: a drive of Wine's on a tmpfs), filled here.
TEST(TqfFile, AFullDiskIsAWriteErrorAndTheWriteUndone) {
  const char* disk = std::getenv("KORVEL_SMALL_DISK");
  if (disk == nullptr || *disk == '\0')
    GTEST_SKIP() << "*** no small disk (KORVEL_SMALL_DISK): a full disk untested here ***";
  TempDir dir{std::filesystem::path(disk)};
  const std::string root = dir.path().string();
  const TqfHeader header = BuildHeader("STA", "Z", 100.0, 1173247920.0);
  const float first[] = {1.0f, 2.0f, 3.0f};
  ASSERT_FALSE(CreateTqfFile(root, "STA/06/f.STA", header, first));
  const std::string full = TqfFullPath(root, "STA/06/f.STA");
  const std::string before = ReadFileBytes(full);
  FillDisk(dir / "filler");
  // 64 KiB: more than the room left in the file's last block.
  const std::vector<float> more(16384, 4.0f);
  const FileResult extended = ExtendTqfFile(root, "STA/06/f.STA", more);
  int fd = -1;
  const FileResult appended = AppendTqfSamples(fd, root, "STA/06/f.STA", more);
  EXPECT_EQ(fd, -1);  // the failed write closed the kept file
  const FileResult created = CreateTqfFile(root, "STA/06/g.STA", header, more);
  EXPECT_EQ(ReadFileBytes(full), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "STA" / "06" / "g.STA"));
  for (const FileResult& result : {extended, appended, created}) {
    ASSERT_TRUE(result);
    EXPECT_EQ(result->system_error, ENOSPC);
  }
  EXPECT_EQ(extended->operation, FileOperation::kWrite);
  EXPECT_EQ(appended->operation, FileOperation::kWrite);
}
#else
TEST(TqfFile, AFullDiskIsAWriteError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const float samples[] = {1.0f, 2.0f};
  // /dev/full opens for writing and fails every write, as a full disk does.
  const FileResult extended = ExtendTqfFile("/dev", "full", samples);
  ASSERT_TRUE(extended);
  EXPECT_EQ(extended->operation, FileOperation::kWrite);
  EXPECT_EQ(extended->system_error, ENOSPC);

  // Kept open: the failed write closes the file and reports it the same way.
  int fd = -1;
  const FileResult appended = AppendTqfSamples(fd, "/dev", "full", samples);
  ASSERT_TRUE(appended);
  EXPECT_EQ(appended->system_error, ENOSPC);
  EXPECT_EQ(fd, -1);
  EXPECT_FALSE(CloseTqfFile(fd, "/dev/full"));  // nothing open: nothing to report
}
#endif

}  // namespace
}  // namespace korvel

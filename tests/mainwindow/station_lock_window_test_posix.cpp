// A station another converter is writing: the window says so once, and does
// not add that the folders hold no files, which it says only when they truly
// hold none.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "controls/multi_select_list_box.h"
#include "engine/catalogue.h"
#include "engine/conversion_commands.h"
#include "tests/mainwindow/main_dialog_fixture.h"
#include "tests/support/raw_file_builder.h"

namespace korvel {
namespace {

// Another process holding a lock on the whole file for as long as this lives
// (the station locks are the process's own: the test's could not keep its
// own window out).
class LockHeldElsewhere {
 public:
  explicit LockHeldElsewhere(const std::filesystem::path& file) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    m_holder = ::fork();
    if (m_holder == 0) {
      const int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0644);
      struct flock whole {};
      whole.l_type = F_WRLCK;
      whole.l_whence = SEEK_SET;
      const char locked = fd >= 0 && ::fcntl(fd, F_SETLK, &whole) == 0 ? 'y' : 'n';
      (void)!::write(ready[1], &locked, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char locked = 'n';
    m_locked = m_holder > 0 && ::read(ready[0], &locked, 1) == 1 && locked == 'y';
    ::close(ready[0]);
  }
  ~LockHeldElsewhere() {
    if (m_holder <= 0) return;
    ::kill(m_holder, SIGKILL);
    ::waitpid(m_holder, nullptr, 0);
  }
  LockHeldElsewhere(const LockHeldElsewhere&) = delete;
  LockHeldElsewhere& operator=(const LockHeldElsewhere&) = delete;
  bool Locked() const { return m_locked; }

 private:
  pid_t m_holder = -1;
  bool m_locked = false;
};

class StationLockWindowTest : public test::MainDialogFixture {};

TEST_P(StationLockWindowTest, ALockedStationIsSaidOnceAndNoFilesOnlyWhenThereAreNone) {
  const auto raw = sandbox.path() / "raw";
  const struct {
    const char* name;
    bool locked;
    bool raw_file;
    std::vector<std::string> messages;
  } cases[] = {
      {"locked, with a raw file",
       true,
       true,
       {"Станция KIR уже конвертируется другой программой", kNothingConvertedLockText}},
      {"locked, no raw file",
       true,
       false,
       {"Станция KIR уже конвертируется другой программой", kNothingConvertedLockText}},
      {"free, no raw file",
       false,
       false,
       {"В каталогах файла настройки нет файлов для выбраных станций!!!"}},
  };
  std::filesystem::create_directories(out + "/KIR");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(raw);
    std::filesystem::create_directories(raw);
    if (c.raw_file)
      test::RawFileBuilder()
          .Station("KIR")
          .Date(4, 5, 6)
          .TimeOfDay(3723.0)
          .Channels({"Z"})
          .Frames(100)
          .WriteTo(raw / "a.raw");
    std::optional<LockHeldElsewhere> other_converter;
    if (c.locked) {
      other_converter.emplace(std::filesystem::path(out) / "KIR" / kStationLockFile);
      ASSERT_TRUE(other_converter->Locked());
    }
    auto d = Open();
    ASSERT_EQ(d->StationList()->item(0)->text(), "KIR");
    d->StationList()->item(0)->setSelected(true);
    notifier.messages.clear();
    QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
    std::vector<std::string> shown;
    for (const auto& message : notifier.messages) shown.push_back(message.text);
    EXPECT_EQ(shown, c.messages);
    EXPECT_EQ(notifier.messages.front().caption, "KORVEL->TQF");
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, StationLockWindowTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(StationLockWindowTest);

}  // namespace
}  // namespace korvel

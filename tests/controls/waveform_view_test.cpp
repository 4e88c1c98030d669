// The file dialog draws the channel picked in its summary list: a sine, a
// dead channel and a clipped one as the operator sees them, and nothing for a
// file that cannot be read.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QImage>
#include <QItemSelectionModel>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <thread>

#include "controls/background_reader.h"
#include "controls/open_file_dlg.h"
#include "controls/qt_path.h"
#include "controls/waveform_view.h"
#include "engine/waveform.h"
#include "platform/native_path.h"
#include "tests/qt_support/screenshot.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::RawFileBuilder;

constexpr QRgb kTrace = qRgb(0x1F, 0x4E, 0x9A);

std::int32_t Sample(int channel, std::int64_t k) {
  const double sine = std::sin(2.0 * std::numbers::pi * static_cast<double>(k) / 3000.0);
  if (channel == 0) return static_cast<std::int32_t>(std::lround(20000.0 * sine));
  if (channel == 1) return 0;
  return static_cast<std::int32_t>(std::lround(std::clamp(50000.0 * sine, -32768.0, 32767.0)));
}

// The rows of the drawing area where column x has trace colour.
std::pair<int, int> TraceRows(const QImage& image, const QRect& area, int x) {
  int top = -1, bottom = -1;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    if (image.pixel(x, y) != kTrace) continue;
    if (top < 0) top = y;
    bottom = y;
  }
  return {top, bottom};
}

class WaveformViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    raw = dir / "kir.raw";
    RawFileBuilder()
        .Station("KIR")
        .Channels({"SINE", "DEAD", "CLIP"})
        .Frames(30000)
        .Samples(Sample)
        .WriteTo(raw);
    RawFileBuilder().Station("KIR").Channels({"Z"}).Frames(10).TruncateTo(150).WriteTo(dir /
                                                                                       "cut.raw");
    dialog = std::make_unique<OpenFileDlg>(nullptr, PathText(dir.path()));
    dialog->resize(900, 640);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  }
  // Selects a file in the dialog's list as the operator's click would.
  void Pick(const std::filesystem::path& path) {
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    auto* model = qobject_cast<QFileSystemModel*>(view->model());
    const QString name = QDir::fromNativeSeparators(QtPath(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->index(name).isValid(); }, 5000));
    view->selectionModel()->select(model->index(name),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Settle();
  }
  // Picks a channel in the summary list, as a click would.
  void PickChannel(int row) {
    dialog->SummaryList()->setCurrentItem(dialog->SummaryList()->topLevelItem(row));
    Settle();
  }
  // The summary and the waveform are read off the UI thread.
  void Settle() { ASSERT_TRUE(dialog->WaitForPreview()); }
  QImage Picture() { return dialog->Waveform()->grab().toImage(); }

  test::TempDir dir;
  std::filesystem::path raw;
  std::unique_ptr<OpenFileDlg> dialog;
};

TEST_F(WaveformViewTest, ThePickedChannelIsDrawnAsItsEnvelope) {
  Pick(raw);
  ASSERT_EQ(dialog->SummaryList()->topLevelItemCount(), 3);
  CWaveformView* view = dialog->Waveform();
  const QRect area = view->DrawingArea();
  ASSERT_GT(area.width(), 200);
  // Nothing picked in the list: the first channel.
  const std::vector<EnvelopeColumn> sine = view->Envelope();
  ASSERT_EQ(sine.size(), static_cast<std::size_t>(area.width()));
  EXPECT_EQ(sine.front().min, RawChannelEnvelope(raw, 0, area.width()).front().min);
  QImage image = Picture();
  // Ten periods: the trace reaches the top and bottom of the area somewhere
  // and the middle somewhere else.
  int top = area.bottom(), bottom = area.top();
  for (int x = area.left(); x <= area.right(); ++x) {
    const auto [from, to] = TraceRows(image, area, x);
    ASSERT_GE(from, 0) << "column " << x << " draws nothing";
    top = std::min(top, from);
    bottom = std::max(bottom, to);
  }
  EXPECT_EQ(top, area.top());
  EXPECT_EQ(bottom, area.bottom());
  EXPECT_FALSE(
      test::SaveScreenshot(*dialog, QStringLiteral("open-file-dialog-waveform-sine")).isEmpty());

  // The dead channel: one flat line along the middle.
  PickChannel(1);
  image = Picture();
  for (const EnvelopeColumn& column : view->Envelope()) EXPECT_EQ(column.max, 0.0f);
  const int middle = area.top() + (area.height() - 1) / 2;
  for (int x = area.left(); x <= area.right(); x += 7)
    EXPECT_EQ(TraceRows(image, area, x), std::make_pair(middle, middle)) << x;
  EXPECT_FALSE(
      test::SaveScreenshot(*dialog, QStringLiteral("open-file-dialog-waveform-dead")).isEmpty());

  // The clipped one: full scale, with long runs along both edges.
  PickChannel(2);
  image = Picture();
  int at_top = 0;
  for (const EnvelopeColumn& column : view->Envelope()) at_top += column.max == 32767.0f;
  EXPECT_GT(at_top, area.width() / 5);  // a quarter of the time beyond full scale
  int edge_columns = 0;
  for (int x = area.left(); x <= area.right(); ++x) {
    const auto [from, to] = TraceRows(image, area, x);
    edge_columns += from == area.top() && to < area.top() + 3;  // a flat top only
  }
  EXPECT_GT(edge_columns, area.width() / 5);
  EXPECT_FALSE(
      test::SaveScreenshot(*dialog, QStringLiteral("open-file-dialog-waveform-clipped")).isEmpty());
}

TEST_F(WaveformViewTest, AFileWithoutASummaryDrawsNothing) {
  Pick(raw);
  ASSERT_FALSE(dialog->Waveform()->Envelope().empty());
  Pick(dir / "cut.raw");  // shorter than its own channel table
  EXPECT_EQ(dialog->SummaryList()->topLevelItemCount(), 0);
  EXPECT_TRUE(dialog->Waveform()->Envelope().empty());
  const QImage image = Picture();
  const QRect area = dialog->Waveform()->DrawingArea();
  for (int x = area.left(); x <= area.right(); x += 5)
    EXPECT_EQ(TraceRows(image, area, x).first, -1);
  // A file that goes away after its summary was read draws nothing either.
  Pick(raw);
  std::filesystem::remove(raw);
  PickChannel(1);
  EXPECT_TRUE(dialog->Waveform()->Envelope().empty());
}

// A read checks its stop token between pieces: a newer request, Cancel (the
// dialog closed) and the reader's end each stop the read under way, which
// would otherwise never end, and its result is never shown.
TEST(BackgroundReader, AReadUnderWayStopsForANewerRequestACancelOrTheReadersEnd) {
  using Owned = std::unique_ptr<CBackgroundReader>;
  std::vector<int> shown;
  const auto show = [&](int& value) { shown.push_back(value); };
  const struct {
    const char* what;
    std::function<void(Owned&)> act;
    std::vector<int> shown;
  } cases[] = {
      {"a newer request",
       [&](Owned& reader) { reader->Read<int>([](std::stop_token) { return 2; }, show); },
       {2}},
      {"Cancel", [](Owned& reader) { reader->Cancel(); }, {}},
      {"the reader's end", [](Owned& reader) { reader.reset(); }, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    shown.clear();
    auto reader = std::make_unique<CBackgroundReader>();
    std::atomic<bool> started = false, stopped = false;
    reader->Read<int>(
        [&](std::stop_token stop) {
          started = true;
          while (!stop.stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          stopped = true;
          return 1;
        },
        show);
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 5000));
    c.act(reader);
    EXPECT_TRUE(QTest::qWaitFor([&] { return stopped.load(); }, 5000));
    if (reader) {
      EXPECT_TRUE(WaitUntilShown(*reader, 5000));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, c.shown);
  }
}

}  // namespace
}  // namespace korvel

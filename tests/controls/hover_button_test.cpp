#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <memory>
#include <vector>

#include "controls/dialog_units.h"
#include "controls/hover_button.h"
#include "tests/qt_support/screenshot.h"

namespace korvel {
namespace {

const QColor kFace(192, 192, 192);
const QColor kHilight(255, 255, 255);
const QColor kLight(223, 223, 223);
const QColor kShadow(128, 128, 128);
const QColor kBlack(0, 0, 0);
const QColor kBlue(0, 0, 255);

QPalette ClassicPalette() {
  QPalette palette;
  palette.setColor(QPalette::Button, kFace);
  palette.setColor(QPalette::ButtonText, kBlack);
  palette.setColor(QPalette::Light, kHilight);
  palette.setColor(QPalette::Midlight, kLight);
  palette.setColor(QPalette::Dark, kShadow);
  palette.setColor(QPalette::Shadow, kBlack);
  return palette;
}

QPixmap BlueSquare() {
  QPixmap square(8, 8);
  square.fill(kBlue);
  return square;
}

void Send(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
          Qt::MouseButton button = Qt::NoButton) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void Move(QWidget* widget, QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
  Send(widget, QEvent::MouseMove, at, buttons);
}

void SendPlain(QWidget* widget, QEvent::Type type) {
  QEvent event(type);
  QApplication::sendEvent(widget, &event);
}

// Bounding box of the pixels of `colour` (exact) or, with `far`, of pixels far from it.
QRect BoxOf(const QImage& image, const QColor& colour, bool far = false, QRect within = QRect()) {
  if (within.isNull()) within = image.rect();
  QRect box;
  for (int y = within.top(); y <= within.bottom(); ++y) {
    for (int x = within.left(); x <= within.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      const int distance = qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) +
                           qAbs(c.blue() - colour.blue());
      if (far ? distance > 90 : distance == 0) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

class HoverButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_host = std::make_unique<QWidget>();
    m_host->setPalette(ClassicPalette());
    m_host->resize(200, 100);
    m_button = new CHoverButton(m_host.get());
    m_button->setGeometry(10, 10, 40, 20);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);  // caption pixels in the pen colour exactly
    m_button->setFont(font);
  }

  void Activate() {
    m_host->show();
    m_host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_host.get()));
    QApplication::setActiveWindow(m_host.get());
  }

  QImage Render(const HoverButtonItemState& state) const {
    QImage image(m_button->size(), QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 255));
    QPainter painter(&image);
    m_button->DrawItem(painter, state);
    return image;
  }

  std::unique_ptr<QWidget> m_host;
  CHoverButton* m_button = nullptr;
};

TEST_F(HoverButtonTest, MainWindowSettingsGiveLightGreyRedAndNavy) {
  EXPECT_TRUE(m_button->IsFlatStyle());
  EXPECT_FALSE(m_button->IsDefaultButton());
  EXPECT_EQ(m_button->GetNormalBackColor(), kFace);
  EXPECT_EQ(m_button->GetHotTextColor(), kBlack);
  const QColor hot_back = Brightened(kFace, 0x14);
  EXPECT_EQ(hot_back, QColor(212, 212, 212));
  // Each channel on its own, capped: nothing carries into the next channel.
  EXPECT_EQ(Brightened(QColor(250, 0, 0), 0x14), QColor(255, 0x14, 0x14));
  EXPECT_EQ(Brightened(QColor(239, 239, 239), 0x14), QColor(255, 255, 255));

  m_button->setText(QStringLiteral("OK"));
  m_button->SetHotBackColor(hot_back, false);
  m_button->SetHotTextColor(QColor(255, 0, 0), false);
  m_button->SetNormalTextColor(QColor(0, 0, 128), false);
  Activate();
  const QImage normal = Render({});
  EXPECT_EQ(normal.pixelColor(1, 1), kFace);
  EXPECT_FALSE(BoxOf(normal, QColor(0, 0, 128)).isEmpty());
  Move(m_button, QPoint(20, 10));
  ASSERT_TRUE(m_button->IsHovered());
  const QImage hot = Render({});
  EXPECT_EQ(hot.pixelColor(1, 1), QColor(212, 212, 212));
  EXPECT_FALSE(BoxOf(hot, QColor(255, 0, 0)).isEmpty());
  EXPECT_TRUE(BoxOf(hot, QColor(0, 0, 128)).isEmpty());
  m_button->ResetHotTextColor(false);
  EXPECT_EQ(m_button->GetHotTextColor(), kBlack);
}

TEST_F(HoverButtonTest, HoverFollowsTheMouseOnlyWhileTheApplicationIsActive) {
  Activate();
  QApplication::setActiveWindow(nullptr);  // another application has the focus
  Move(m_button, QPoint(20, 10));
  EXPECT_FALSE(m_button->IsHovered());
  QApplication::setActiveWindow(m_host.get());
  Move(m_button, QPoint(20, 10));
  EXPECT_TRUE(m_button->IsHovered());
  Move(m_button, QPoint(60, 10));
  EXPECT_FALSE(m_button->IsHovered());
  Move(m_button, QPoint(20, 10));
  SendPlain(m_button, QEvent::Leave);
  EXPECT_FALSE(m_button->IsHovered());
  Move(m_button, QPoint(20, 10));
  QFocusEvent focus_out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(m_button, &focus_out);
  EXPECT_FALSE(m_button->IsHovered());
  SendPlain(m_button, QEvent::Leave);
  // Losing the mouse to another application keeps the hot look until it comes back and leaves.
  Move(m_button, QPoint(20, 10));
  SendPlain(m_button, QEvent::WindowDeactivate);
  SendPlain(m_button, QEvent::Leave);
  EXPECT_TRUE(m_button->IsHovered());
  Move(m_button, QPoint(20, 10));
  Move(m_button, QPoint(90, 10));
  EXPECT_FALSE(m_button->IsHovered());
  m_button->SetFlatStyle(false);
  Move(m_button, QPoint(20, 10));
  EXPECT_FALSE(m_button->IsHovered());
}

TEST_F(HoverButtonTest, DragsDoNotLightTheButton) {
  Activate();
  Move(m_button, QPoint(20, 10), Qt::LeftButton);  // entering with the button held
  EXPECT_FALSE(m_button->IsHovered());
  Move(m_button, QPoint(20, 10));
  Send(m_button, QEvent::MouseButtonPress, QPoint(20, 10), Qt::LeftButton, Qt::LeftButton);
  Move(m_button, QPoint(80, 10), Qt::LeftButton);
  EXPECT_FALSE(m_button->IsHovered());
  Move(m_button, QPoint(20, 10), Qt::LeftButton);
  EXPECT_FALSE(m_button->IsHovered());
  Send(m_button, QEvent::MouseButtonRelease, QPoint(20, 10), Qt::NoButton, Qt::LeftButton);
  Move(m_button, QPoint(21, 10));
  EXPECT_TRUE(m_button->IsHovered());
}

TEST_F(HoverButtonTest, DoubleClickGivesTwoPresses) {
  QSignalSpy clicks(m_button, &QAbstractButton::clicked);
  const QPoint at(20, 10);
  Send(m_button, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
  Send(m_button, QEvent::MouseButtonRelease, at, Qt::NoButton, Qt::LeftButton);
  Send(m_button, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
  Send(m_button, QEvent::MouseButtonRelease, at, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 2);
}

TEST_F(HoverButtonTest, IconAndCaptionPlacementAndThePressedShift) {
  m_button->LoadIcons(9999);  // missing: no icon, the caption alone is centred
  m_button->resize(80, 20);
  m_button->setText(QStringLiteral("WW"));
  EXPECT_NEAR(BoxOf(Render({}), kFace, true).center().x(), 40, 2);

  m_button->SetIcons(BlueSquare());
  const QImage image = Render({});
  EXPECT_EQ(BoxOf(image, kBlue), QRect(3, 6, 8, 8));
  const QRect caption = BoxOf(image, kFace, true, QRect(12, 0, 68, 20));
  EXPECT_NEAR(caption.center().x(), (11 + 80) / 2, 2);  // centred right of the icon
  const QImage pressed = Render({true, false, false});
  EXPECT_EQ(BoxOf(pressed, kBlue), QRect(4, 7, 8, 8));
  EXPECT_EQ(BoxOf(pressed, kFace, true, QRect(12, 1, 66, 18)), caption.translated(1, 1));

  m_button->setText(QString());
  m_button->resize(40, 20);
  EXPECT_EQ(BoxOf(Render({}), kBlue), QRect(16, 6, 8, 8));
}

// On a dark face an icon made for a light one gets a one-pixel rim in the
// caption's colour, well over 3:1 against the face; on a light face none.
TEST_F(HoverButtonTest, OnADarkFaceAnIconGetsARimInTheCaptionsColour) {
  for (const bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    QPalette palette = ClassicPalette();
    if (dark) {
      palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
      palette.setColor(QPalette::ButtonText, QColor(0xE0, 0xE0, 0xE0));
    }
    m_host->setPalette(palette);
    auto* button = new CHoverButton(m_host.get());
    button->setGeometry(10, 40, 40, 20);
    button->SetIcons(BlueSquare());
    QImage image(button->size(), QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 255));
    QPainter painter(&image);
    button->DrawItem(painter, {});
    const QRect icon = BoxOf(image, kBlue);
    EXPECT_EQ(icon.size(), QSize(8, 8));  // the icon itself as it was
    const QColor face = button->GetNormalBackColor();
    for (const QPoint beside :
         {QPoint(icon.left() - 1, icon.center().y()), QPoint(icon.center().x(), icon.top() - 1),
          QPoint(icon.right() + 1, icon.center().y()),
          QPoint(icon.center().x(), icon.bottom() + 1)}) {
      const QColor seen = image.pixelColor(beside);
      EXPECT_EQ(seen, dark ? button->GetNormalTextColor() : face);
      if (dark) {
        EXPECT_GE(ContrastRatio(seen, face), 3.0);
      }
    }
  }
}

TEST_F(HoverButtonTest, FlatBorderIsSunkenWhenPressedRaisedWhenHoveredElseNone) {
  const QImage idle = Render({});
  EXPECT_EQ(idle.pixelColor(0, 0), kFace);
  EXPECT_EQ(idle.pixelColor(39, 19), kFace);
  const QImage down = Render({true, false, false});
  EXPECT_EQ(down.pixelColor(0, 0), kShadow);
  EXPECT_EQ(down.pixelColor(0, 10), kShadow);
  EXPECT_EQ(down.pixelColor(39, 10), kHilight);
  EXPECT_EQ(down.pixelColor(0, 19), kHilight);
  EXPECT_EQ(down.pixelColor(39, 0), kHilight);
  Activate();
  Move(m_button, QPoint(20, 10));
  const QImage hot = Render({});
  EXPECT_EQ(hot.pixelColor(0, 0), kHilight);
  EXPECT_EQ(hot.pixelColor(20, 0), kHilight);
  EXPECT_EQ(hot.pixelColor(0, 19), kShadow);
  EXPECT_EQ(hot.pixelColor(39, 0), kShadow);
  EXPECT_EQ(hot.pixelColor(1, 1), kFace);
  // A flat button marks the focus only when it came with the keyboard.
  EXPECT_EQ(Render({false, true, false}).pixelColor(4, 4), kFace);
  EXPECT_EQ(Render({false, true, false, true}).pixelColor(3, 3), QColor(63, 63, 63));
  EXPECT_EQ(Render({false, true, false, true}).pixelColor(4, 3), kFace);
}

TEST_F(HoverButtonTest, AFlatButtonReachedByTabShowsWhereTheFocusIs) {
  auto* first = new QPushButton(QStringLiteral("A"), m_host.get());
  first->setGeometry(60, 10, 40, 20);
  QWidget::setTabOrder(first, m_button);
  Activate();
  // Given the focus by the program (or the mouse), the button shows no mark.
  m_button->setFocus(Qt::OtherFocusReason);
  const auto dots = [&] { return m_button->grab().toImage().pixelColor(3, 3); };
  EXPECT_EQ(dots(), kFace);
  first->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(first, Qt::Key_Tab);
  ASSERT_TRUE(m_button->hasFocus());
  EXPECT_EQ(dots(), QColor(63, 63, 63));
  QTest::keyClick(m_button, Qt::Key_Tab);  // and it goes with the focus
  EXPECT_EQ(dots(), kFace);
}

TEST_F(HoverButtonTest, NonFlatBorderFrameAndFocusDots) {
  m_button->SetFlatStyle(false);
  const QImage up = Render({});
  EXPECT_EQ(up.pixelColor(0, 0), kHilight);
  EXPECT_EQ(up.pixelColor(1, 1), kLight);
  EXPECT_EQ(up.pixelColor(39, 0), kBlack);
  EXPECT_EQ(up.pixelColor(38, 1), kShadow);
  EXPECT_EQ(up.pixelColor(20, 18), kShadow);
  EXPECT_EQ(up.pixelColor(2, 2), kFace);
  const QImage down = Render({true, false, false});
  EXPECT_EQ(BoxOf(down, kShadow), QRect(0, 0, 40, 20));
  EXPECT_EQ(down.pixelColor(1, 1), kFace);
  const QImage focused = Render({false, true, false});
  EXPECT_EQ(focused.pixelColor(0, 0), kBlack);
  EXPECT_EQ(focused.pixelColor(1, 1), kHilight);
  // Dots on the face shrunk by 3, every other pixel inverted.
  EXPECT_EQ(focused.pixelColor(4, 4), QColor(63, 63, 63));
  EXPECT_EQ(focused.pixelColor(5, 4), kFace);
  EXPECT_EQ(focused.pixelColor(3, 3), kFace);
}

TEST_F(HoverButtonTest, DisabledButtonIsEmbossedOnTheNormalBackground) {
  m_button->SetIcons(BlueSquare());
  m_button->resize(60, 20);
  m_button->setText(QStringLiteral("WW"));
  const QImage image = Render({false, false, true});
  EXPECT_TRUE(BoxOf(image, kBlue).isEmpty());
  EXPECT_EQ(image.pixelColor(3, 6), kShadow);
  EXPECT_EQ(image.pixelColor(11, 14), kHilight);  // the highlight copy, one down-right
  EXPECT_EQ(image.pixelColor(1, 1), kFace);
  const QRect caption(12, 0, 48, 20);
  EXPECT_FALSE(BoxOf(image, kShadow, false, caption).isEmpty());
  EXPECT_TRUE(BoxOf(image, kBlack, false, caption).isEmpty());
}

TEST_F(HoverButtonTest, PaintEventCopiesTheFaceDrawnOffScreen) {
  m_button->SetIcons(BlueSquare());
  m_button->setText(QStringLiteral("&Go"));
  m_host->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(m_host.get()));
  const auto grabbed = [&] {
    return m_button->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  };
  EXPECT_EQ(grabbed(), Render(m_button->CurrentItemState()));
  m_button->setEnabled(false);
  EXPECT_EQ(grabbed(), Render({false, false, true}));
}

TEST_F(HoverButtonTest, IconsComeInTwoSizesWithTransparentBackgroundsAndTheFittingOneIsDrawn) {
  for (const int id : {131, 132, 133, 134, 135, 137}) {
    const QList<QPixmap> sizes = IconSizes(id);
    ASSERT_EQ(sizes.size(), 2) << id;
    EXPECT_EQ(sizes[0].size(), QSize(32, 32)) << id;
    EXPECT_EQ(sizes[1].size(), QSize(16, 16)) << id;
    for (const QPixmap& size : sizes) {
      // The face shows through: transparent corners and a good share of
      // transparent pixels, and ink in the middle.
      const QImage icon = size.toImage().convertToFormat(QImage::Format_ARGB32);
      const int last = icon.width() - 1;
      int clear = 0;
      for (int y = 0; y <= last; ++y)
        for (int x = 0; x <= last; ++x) clear += qAlpha(icon.pixel(x, y)) == 0;
      EXPECT_EQ(qAlpha(icon.pixel(0, 0)) + qAlpha(icon.pixel(last, last)), 0)
          << id << " " << size.width();
      EXPECT_GT(clear, icon.width() * icon.height() / 5) << id << " " << size.width();
      EXPECT_GT(icon.width() * icon.height() - clear, icon.width() * icon.height() / 5) << id;
    }
    // 40 x 20: inside the border with the pressed shift only 16 pixels fit.
    m_button->LoadIcons(id);
    EXPECT_EQ(QSize(m_button->IconWidth(), m_button->IconHeight()), QSize(16, 16)) << id;
    EXPECT_EQ(m_button->NormalIcon().cacheKey(), m_button->HotIcon().cacheKey());
  }
  m_button->resize(40, 35);
  EXPECT_EQ(m_button->IconHeight(), 32);
  m_button->resize(40, 34);
  EXPECT_EQ(m_button->IconHeight(), 16);
  m_button->resize(12, 12);  // nothing fits: the smallest
  EXPECT_EQ(m_button->IconHeight(), 16);
  m_button->resize(40, 20);
  m_button->LoadIcons(131, 132);
  EXPECT_NE(m_button->NormalIcon().toImage(), m_button->HotIcon().toImage());
  m_button->LoadIcons(9999);
  EXPECT_TRUE(m_button->HotIcon().isNull());
  EXPECT_EQ(m_button->IconWidth(), 0);
  // The program's icon has three sizes, all in the window icon.
  QList<int> sizes;
  for (const QPixmap& size : IconSizes(128)) sizes << size.width();
  EXPECT_EQ(sizes, (QList<int>{48, 32, 16}));
  EXPECT_EQ(IconWithAllSizes(128).availableSizes(), (QList<QSize>{{48, 48}, {32, 32}, {16, 16}}));
}

TEST_F(HoverButtonTest, TheHandCursorComesFromTheResources) {
  ASSERT_TRUE(m_button->LoadHoverCursor(130));
  EXPECT_EQ(m_button->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(m_button->cursor().hotSpot(), kHandCursorHotSpot);
  const QImage hand = m_button->cursor().pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(hand.size(), QSize(32, 32));
  EXPECT_EQ(hand.pixelColor(kHandCursorHotSpot), kBlack);  // the fingertip
  EXPECT_FALSE(m_button->LoadHoverCursor(9999));
  EXPECT_FALSE(m_button->testAttribute(Qt::WA_SetCursor));
  ASSERT_TRUE(m_button->LoadHoverCursor(130));
  EXPECT_TRUE(m_button->LoadHoverCursor(-1));
  EXPECT_FALSE(m_button->HasHoverCursor());
  EXPECT_FALSE(m_button->testAttribute(Qt::WA_SetCursor));
}

TEST_F(HoverButtonTest, TipTextIsShownOnlyWhileActiveAndInputReactivatesIt) {
  m_button->SetTipText(QStringLiteral("Выбрать все станции"), true);
  m_button->SetTipText(QString(), false);  // null: nothing happens
  EXPECT_TRUE(m_button->IsTipActive());
  EXPECT_EQ(m_button->toolTip(), QStringLiteral("Выбрать все станции"));
  m_host->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(m_host.get()));
  m_button->SetTipText(QStringLiteral("Отменить выбор"), false);
  const auto ask = [&] {
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), m_button->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_button, &help);
  };
  ask();
  EXPECT_FALSE(QToolTip::isVisible());
  Move(m_button, QPoint(5, 5));
  EXPECT_TRUE(m_button->IsTipActive());
  ask();
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("Отменить выбор"));
  QToolTip::hideText();
}

// With the platform's own palette, as the operator sees the window: the
// captioned buttons and the small icon-only ones (21 x 14 dialog units)
// normal, hot and pressed. The picture is for a person; the pixels checked
// are the face of each state, the border and the icon inside it.
TEST(HoverButtonDefaultPalette, NormalHotAndPressedFacesStayReadable) {
  QWidget host;
  host.setFont(DialogFont());
  const DialogBaseUnits units = BaseUnitsOf(host.font());
  const QRect big = DialogRect(units, 0, 0, 84, 20);
  const QRect small = DialogRect(units, 0, 0, 21, 14);
  host.resize(3 * (big.width() + 8) + 12, big.height() + small.height() + 30);
  std::vector<CHoverButton*> buttons;
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i < 3; ++i) {
      auto* b = new CHoverButton(&host);
      const QRect shape = row == 0 ? big : small;
      b->setGeometry(QRect(QPoint(10 + i * (big.width() + 8), row == 0 ? 10 : big.height() + 20),
                           shape.size()));
      if (row == 0) b->setText(QStringLiteral("Конвертировать"));
      b->SetHotBackColor(Brightened(b->GetNormalBackColor(), 0x14), false);
      b->SetHotTextColor(QColor(255, 0, 0), false);
      b->SetNormalTextColor(QColor(0, 0, 128), false);
      b->LoadIcons(row == 0 ? 135 : 131);
      buttons.push_back(b);
    }
  }
  host.show();
  host.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
  QApplication::setActiveWindow(&host);
  for (int row = 0; row < 2; ++row) {
    Move(buttons[row * 3 + 1], QPoint(5, 5));
    ASSERT_TRUE(buttons[row * 3 + 1]->IsHovered());
    buttons[row * 3 + 2]->setDown(true);
  }

  const QPalette& palette = QApplication::palette();
  const QRgb face = palette.color(QPalette::Active, QPalette::Button).rgb();
  const QRgb hot = Brightened(QColor(face), 0x14).rgb();
  const QRgb light = palette.color(QPalette::Active, QPalette::Light).rgb();
  const QRgb dark = palette.color(QPalette::Active, QPalette::Dark).rgb();
  EXPECT_EQ(buttons[0]->GetNormalBackColor().rgb(), face);
  const QImage faces = host.grab().toImage();
  const auto at = [&](const CHoverButton* b, QPoint p) {
    return faces.pixel(b->geometry().topLeft() + p);
  };
  for (int row = 0; row < 2; ++row) {
    const CHoverButton* normal = buttons[row * 3];
    const CHoverButton* hovered = buttons[row * 3 + 1];
    const CHoverButton* pressed = buttons[row * 3 + 2];
    EXPECT_EQ(at(normal, {2, 2}), face) << row;
    EXPECT_EQ(at(hovered, {2, 2}), hot) << row;
    EXPECT_EQ(at(pressed, {2, 2}), hot) << row;
    // Raised when hot, sunken when pressed, and the icon never draws over
    // the border: every pixel of the pressed button's rim is the border's.
    EXPECT_EQ(at(hovered, {0, 0}), light) << row;
    const int w = pressed->width();
    const int h = pressed->height();
    const auto border = [&](QPoint p) { return at(pressed, p) == dark || at(pressed, p) == light; };
    int rim = 0;
    for (int x = 0; x < w; ++x) rim += border({x, 0}) + border({x, h - 1});
    for (int y = 1; y < h - 1; ++y) rim += border({0, y}) + border({w - 1, y});
    EXPECT_EQ(rim, 2 * w + 2 * (h - 2)) << row;
    EXPECT_EQ(at(pressed, {0, 1}), dark) << row;
    EXPECT_EQ(at(pressed, {1, h - 1}), light) << row;
    // Ink of its own inside: the icon (and the caption) on the hot face.
    QRect ink;
    for (int y = 1; y < h - 1; ++y)
      for (int x = 1; x < w - 1; ++x)
        if (at(pressed, {x, y}) != hot) ink |= QRect(x, y, 1, 1);
    EXPECT_GE(ink.height(), 12) << row;
  }
  // Small buttons draw the 16-pixel icon, its see-through corners on the hot face.
  EXPECT_EQ(buttons[4]->IconHeight(), 16);
  const int icon_left = (small.width() - 16) / 2;
  const int icon_top = (small.height() - 16) / 2;
  EXPECT_EQ(at(buttons[4], {icon_left, icon_top}), hot);
  EXPECT_NE(at(buttons[4], {icon_left + 1, icon_top + 1}), hot);
  EXPECT_EQ(at(buttons[5], {icon_left + 1, icon_top + 1}), hot);
  // The hot caption is red on the light face.
  const QImage caption = buttons[1]->grab().toImage();
  int red = 0;
  for (int y = 0; y < caption.height(); ++y)
    for (int x = 0; x < caption.width(); ++x) {
      const QColor c = caption.pixelColor(x, y);
      red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
    }
  EXPECT_GT(red, 20);
  EXPECT_FALSE(
      test::SaveScreenshot(host, QStringLiteral("hover-buttons-normal-hot-pressed")).isEmpty());
}

TEST(HoverButtonAttach, TakesOverTheButtonsPlaceTextAndDefaultState) {
  QWidget host;
  host.setPalette(ClassicPalette());
  auto* before = new QPushButton(QStringLiteral("Выход"), &host);
  auto* convert = new QPushButton(QStringLiteral("Конвертировать"), &host);
  auto* after = new QPushButton(QStringLiteral("After"), &host);
  QWidget::setTabOrder(before, convert);
  QWidget::setTabOrder(convert, after);
  convert->setObjectName(QStringLiteral("convert"));
  convert->setGeometry(391, 29, 126, 32);
  convert->setDefault(true);
  QPointer<QPushButton> old(convert);

  CHoverButton* hover = CHoverButton::Attach(convert);
  ASSERT_NE(hover, nullptr);
  EXPECT_TRUE(old.isNull());
  EXPECT_EQ(hover->parentWidget(), &host);
  EXPECT_EQ(hover->geometry(), QRect(391, 29, 126, 32));
  EXPECT_EQ(hover->text(), QStringLiteral("Конвертировать"));
  EXPECT_EQ(hover->objectName(), QStringLiteral("convert"));
  EXPECT_TRUE(hover->IsDefaultButton());
  EXPECT_EQ(before->nextInFocusChain(), hover);
  EXPECT_EQ(hover->nextInFocusChain(), after);
  EXPECT_EQ(CHoverButton::Attach(nullptr), nullptr);

  // A raised default button has the black frame even without the focus, but no dots.
  hover->SetFlatStyle(false);
  QImage image(hover->size(), QImage::Format_ARGB32);
  QPainter painter(&image);
  hover->DrawItem(painter, {});
  painter.end();
  EXPECT_EQ(image.pixelColor(0, 0), kBlack);
  EXPECT_EQ(image.pixelColor(1, 1), kHilight);
  EXPECT_EQ(image.pixelColor(4, 4), kFace);
}

}  // namespace
}  // namespace korvel

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
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons, Qt::NoModifier);
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
  const QColor hot_back = FromColorRef(ToColorRef(kFace) + 0x141414u);
  EXPECT_EQ(hot_back, QColor(212, 212, 212));
  // One integer sum: a full red channel carries into green.
  EXPECT_EQ(FromColorRef(ToColorRef(QColor(250, 0, 0)) + 0x141414u), QColor(0x0e, 0x15, 0x14));

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
  EXPECT_EQ(Render({false, true, false}).pixelColor(4, 4), kFace);  // no focus mark when flat
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
  const auto grabbed = [&] { return m_button->grab().toImage().convertToFormat(QImage::Format_ARGB32); };
  EXPECT_EQ(grabbed(), Render(m_button->CurrentItemState()));
  m_button->setEnabled(false);
  EXPECT_EQ(grabbed(), Render({false, false, true}));
}

TEST_F(HoverButtonTest, IconsAndCursorComeFromTheResources) {
  for (const int id : {131, 132, 133, 134, 135, 137}) {
    m_button->LoadIcons(id);
    EXPECT_EQ(QSize(m_button->IconWidth(), m_button->IconHeight()), QSize(32, 32)) << id;
    EXPECT_EQ(m_button->NormalIcon().cacheKey(), m_button->HotIcon().cacheKey());
    const QImage icon = m_button->HotIcon().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_TRUE(qAlpha(icon.pixel(0, 31)) < 255 || qAlpha(icon.pixel(31, 0)) < 255) << id;
    EXPECT_EQ(qAlpha(icon.pixel(16, 16)), 255) << id;
  }
  m_button->LoadIcons(131, 132);
  EXPECT_NE(m_button->NormalIcon().toImage(), m_button->HotIcon().toImage());
  EXPECT_EQ(QPixmap(IconResourcePath(128)).size(), QSize(48, 48));
  EXPECT_EQ(QPixmap(QStringLiteral(":/images/icon128-32.png")).size(), QSize(32, 32));
  EXPECT_EQ(QPixmap(QStringLiteral(":/images/icon128-16.png")).size(), QSize(16, 16));

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

TEST_F(HoverButtonTest, NormalHotAndPressedFacesSideBySide) {
  // Three icon buttons as the main window configures them: the picture is
  // for a person; the pixels checked here are the background of each state.
  m_host->resize(3 * 148 + 20, 56);
  std::vector<CHoverButton*> buttons{m_button, new CHoverButton(m_host.get()), new CHoverButton(m_host.get())};
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    CHoverButton* b = buttons[i];
    b->setGeometry(10 + static_cast<int>(i) * 148, 10, 140, 36);
    b->setFont(DialogFont());
    b->setText(QStringLiteral("Конвертировать"));
    b->SetHotBackColor(FromColorRef(ToColorRef(b->GetNormalBackColor()) + 0x141414), false);
    b->SetHotTextColor(QColor(255, 0, 0), false);
    b->SetNormalTextColor(QColor(0, 0, 128), false);
    b->LoadIcons(135);
  }
  Activate();
  Move(buttons[1], QPoint(30, 10));
  ASSERT_TRUE(buttons[1]->IsHovered());
  buttons[2]->setDown(true);
  const QImage faces = m_host->grab().toImage();
  EXPECT_EQ(faces.pixelColor(buttons[0]->geometry().topLeft() + QPoint(3, 3)), kFace);
  EXPECT_EQ(faces.pixelColor(buttons[1]->geometry().topLeft() + QPoint(3, 3)), QColor(212, 212, 212));
  EXPECT_EQ(faces.pixelColor(buttons[2]->geometry().topLeft() + QPoint(3, 3)), QColor(212, 212, 212));
  EXPECT_EQ(faces.pixelColor(buttons[2]->geometry().topLeft()), kShadow);  // sunken when pressed
  EXPECT_FALSE(test::SaveScreenshot(*m_host, QStringLiteral("hover-buttons-normal-hot-pressed")).isEmpty());
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

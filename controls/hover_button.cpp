#include "controls/hover_button.h"

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QLayout>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "controls/focus_rect.h"

namespace korvel {

namespace {

QColor SystemColour(const QPalette& palette, QPalette::ColorRole role) {
  return palette.color(QPalette::Active, role);
}

// Lines from point to point, each leaving out its end point; axis-aligned only.
void PolyLine(QPainter& painter, const QColor& colour, std::initializer_list<QPoint> points) {
  const QPoint* previous = nullptr;
  for (const QPoint& point : points) {
    if (previous != nullptr) {
      const QPoint a = *previous;
      const QPoint b = point;
      if (a.y() == b.y() && a.x() != b.x()) {
        const int from = a.x() < b.x() ? a.x() : b.x() + 1;
        painter.fillRect(QRect(from, a.y(), qAbs(b.x() - a.x()), 1), colour);
      } else if (a.x() == b.x() && a.y() != b.y()) {
        const int from = a.y() < b.y() ? a.y() : b.y() + 1;
        painter.fillRect(QRect(a.x(), from, 1, qAbs(b.y() - a.y())), colour);
      }
    }
    previous = &point;
  }
}

void FrameRect(QPainter& painter, const QRect& rect, const QColor& colour) {
  if (rect.isEmpty()) {
    return;
  }
  painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), colour);
  painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), colour);
  painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), colour);
  painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), colour);
}

// The embossed look of a disabled icon: its ink (opaque, not white) in the
// highlight colour one pixel down-right, then in the shadow colour on top.
void DrawEmbossed(QPainter& painter, const QPoint& at, const QPixmap& icon, const QColor& light,
                  const QColor& dark) {
  const QImage source = icon.toImage().convertToFormat(QImage::Format_ARGB32);
  QImage light_ink(source.size(), QImage::Format_ARGB32);
  light_ink.fill(Qt::transparent);
  QImage dark_ink = light_ink;
  for (int y = 0; y < source.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    for (int x = 0; x < source.width(); ++x) {
      const QRgb pixel = line[x];
      const bool white = qRed(pixel) >= 0xf0 && qGreen(pixel) >= 0xf0 && qBlue(pixel) >= 0xf0;
      if (qAlpha(pixel) >= 128 && !white) {
        light_ink.setPixel(x, y, light.rgb());
        dark_ink.setPixel(x, y, dark.rgb());
      }
    }
  }
  light_ink.setDevicePixelRatio(icon.devicePixelRatio());
  dark_ink.setDevicePixelRatio(icon.devicePixelRatio());
  painter.drawImage(at + QPoint(1, 1), light_ink);
  painter.drawImage(at, dark_ink);
}

constexpr int kCaptionFlags = Qt::TextSingleLine | Qt::TextShowMnemonic;

QPoint HotSpotOf(int cursor_id) {
  if (cursor_id == 130) {
    return kHandCursorHotSpot;
  }
  return QPoint(-1, -1);  // Qt centres an unknown cursor's hot spot
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  // WCAG's relative luminance.
  const auto luminance = [](const QColor& colour) {
    const auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Legible(const QColor& wanted, const QColor& background) {
  // A light face keeps the described colours as they are.
  if (background.toHsl().lightness() >= 128) return wanted;
  QColor colour = wanted.toRgb();
  for (int step = 0; step <= 20 && ContrastRatio(colour, background) < 4.5; ++step) {
    const auto up = [&](int v) { return v + (255 - v) * step / 20; };
    const QColor w = wanted.toRgb();
    colour = QColor(up(w.red()), up(w.green()), up(w.blue()));
  }
  return colour;
}

QColor HotFace(const QColor& face, const QColor& light) {
  // Brightened, but kept below the light edge of the raised border, which
  // would vanish into a white face.
  const QColor bright = Brightened(face, 0x14);
  const QColor f = face.toRgb(), l = light.toRgb();
  const auto capped = [](int brighter, int own, int edge) {
    return std::max(own, std::min(brighter, edge - 0x10));
  };
  return QColor(capped(bright.red(), f.red(), l.red()),
                capped(bright.green(), f.green(), l.green()),
                capped(bright.blue(), f.blue(), l.blue()));
}

QColor Brightened(const QColor& colour, int amount) {
  const QColor rgb = colour.toRgb();
  const auto up = [amount](int channel) { return qBound(0, channel + amount, 255); };
  return QColor(up(rgb.red()), up(rgb.green()), up(rgb.blue()));
}

QString IconResourcePath(int id) { return QStringLiteral(":/images/icon%1.png").arg(id); }

QList<QPixmap> IconSizes(int id) {
  QList<QPixmap> sizes;
  for (const QString& path :
       {IconResourcePath(id), QStringLiteral(":/images/icon%1-32.png").arg(id),
        QStringLiteral(":/images/icon%1-16.png").arg(id)}) {
    const QPixmap image(path);
    if (!image.isNull()) sizes << image;
  }
  std::stable_sort(sizes.begin(), sizes.end(),
                   [](const QPixmap& a, const QPixmap& b) { return a.height() > b.height(); });
  return sizes;
}

QIcon IconWithAllSizes(int id) {
  QIcon icon;
  for (const QPixmap& size : IconSizes(id)) icon.addPixmap(size);
  return icon;
}
QString CursorResourcePath(int id) { return QStringLiteral(":/images/cursor%1.png").arg(id); }

CHoverButton::CHoverButton(QWidget* parent) : CHoverButton(QString(), parent) {}

CHoverButton::CHoverButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  // Colours are taken once; later palette changes are not followed.
  m_normalBack = SystemColour(palette(), QPalette::Button);
  m_normalText = SystemColour(palette(), QPalette::ButtonText);
  m_hotBack = m_normalBack;
  m_hotText = m_normalText;
  setMouseTracking(true);
}

CHoverButton::~CHoverButton() = default;

CHoverButton* CHoverButton::Attach(QPushButton* button) {
  if (button == nullptr) {
    return nullptr;
  }
  QWidget* parent = button->parentWidget();
  const bool was_default = button->isDefault();
  auto* hover = new CHoverButton(button->text(), parent);
  hover->setObjectName(button->objectName());
  if (button->testAttribute(Qt::WA_SetFont)) {
    hover->setFont(button->font());
  }
  hover->setGeometry(button->geometry());
  hover->setSizePolicy(button->sizePolicy());
  hover->setFocusPolicy(button->focusPolicy());
  hover->setToolTip(button->toolTip());
  hover->setEnabled(!button->testAttribute(Qt::WA_Disabled));
  hover->setAutoDefault(button->autoDefault());
  hover->setDefault(was_default);
  hover->m_isDefault = was_default;
  if (parent != nullptr && parent->layout() != nullptr) {
    delete parent->layout()->replaceWidget(button, hover);
  }
  // Right after the old button in the focus chain; deleting it closes the gap.
  QWidget::setTabOrder(button, hover);
  hover->stackUnder(button);
  hover->setHidden(button->isHidden());
  delete button;
  return hover;
}

void CHoverButton::Repaint(bool repaint) {
  if (repaint) {
    update();
  }
}

void CHoverButton::SetFlatStyle(bool flat) {
  m_flat = flat;
  update();
}

void CHoverButton::LoadIcons(int hot_icon_id, int normal_icon_id) {
  const QList<QPixmap> hot = IconSizes(hot_icon_id);
  SetIconSizes(hot, normal_icon_id == 0 ? hot : IconSizes(normal_icon_id));
}

void CHoverButton::SetIcons(const QPixmap& hot, const QPixmap& normal) {
  const auto one = [](const QPixmap& image) {
    return image.isNull() ? QList<QPixmap>() : QList<QPixmap>{image};
  };
  SetIconSizes(one(hot), one(normal));
}

void CHoverButton::SetIconSizes(const QList<QPixmap>& hot, const QList<QPixmap>& normal) {
  m_hotSizes = hot;
  m_normalSizes = normal.isEmpty() ? hot : normal;
  repaint();
}

QPixmap CHoverButton::FittingSize(const QList<QPixmap>& sizes) const {
  // Inside the one-pixel border, with room for the pressed shift: the
  // largest size that fits, else the smallest there is.
  const int room_x = text().isEmpty() ? width() - 3 : width() - 5;
  QPixmap chosen = sizes.isEmpty() ? QPixmap() : sizes.last();
  for (const QPixmap& image : sizes) {
    if (image.height() <= height() - 3 && image.width() <= room_x) {
      chosen = image;
      break;
    }
  }
  // On a dense screen a larger size of the same icon, marked with its
  // ratio, takes the chosen one's place: the same units, sharper.
  const qreal ratio = devicePixelRatioF();
  if (ratio <= 1.0 || chosen.isNull()) return chosen;
  QPixmap sharper = sizes.first();    // the largest, unless a smaller one is enough
  for (const QPixmap& image : sizes)  // largest first: ends at the smallest that is enough
    if (image.height() >= chosen.height() * ratio) sharper = image;
  if (sharper.height() <= chosen.height()) return chosen;
  sharper.setDevicePixelRatio(qreal(sharper.height()) / chosen.height());
  return sharper;
}

bool CHoverButton::LoadHoverCursor(int cursor_id) {
  m_cursor.reset();
  unsetCursor();
  if (cursor_id == -1) {
    return true;
  }
  const QPixmap image(CursorResourcePath(cursor_id));
  if (image.isNull()) {
    return false;
  }
  const QPoint hot_spot = HotSpotOf(cursor_id);
  m_cursor = QCursor(image, hot_spot.x(), hot_spot.y());
  setCursor(*m_cursor);
  return true;
}

void CHoverButton::SetTipText(const QString& text, bool activate) {
  if (text.isNull()) {
    return;
  }
  setToolTip(text);
  m_tipActive = activate;
}

void CHoverButton::ResetNormalBackColor(bool repaint) {
  m_normalBack = SystemColour(palette(), QPalette::Button);
  Repaint(repaint);
}

void CHoverButton::ResetNormalTextColor(bool repaint) {
  m_normalText = SystemColour(palette(), QPalette::ButtonText);
  Repaint(repaint);
}

void CHoverButton::ResetHotBackColor(bool repaint) {
  m_hotBack = SystemColour(palette(), QPalette::Button);
  Repaint(repaint);
}

void CHoverButton::ResetHotTextColor(bool repaint) {
  m_hotText = SystemColour(palette(), QPalette::ButtonText);
  Repaint(repaint);
}

void CHoverButton::SetNormalTextColor(const QColor& colour, bool repaint) {
  m_normalText = colour;
  Repaint(repaint);
}

void CHoverButton::SetHotBackColor(const QColor& colour, bool repaint) {
  m_hotBack = colour;
  Repaint(repaint);
}

void CHoverButton::SetHotTextColor(const QColor& colour, bool repaint) {
  m_hotText = colour;
  Repaint(repaint);
}

bool CHoverButton::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
      m_tipActive = true;
      break;
    case QEvent::ToolTip:
      if (!m_tipActive) {
        QToolTip::hideText();
        event->ignore();
        return true;
      }
      break;
    case QEvent::WindowDeactivate:
      // Another application took over: it has the mouse now.
      LoseTracking();
      break;
    default:
      break;
  }
  return QPushButton::event(event);
}

void CHoverButton::TrackMouse(bool left_down, bool over) {
  if (left_down && !m_hover) {
    return;  // a drag that enters the button does not light it
  }
  if (!m_flat) {
    return;
  }
  if (!m_tracking && QApplication::activeWindow() != nullptr && parentWidget() != nullptr) {
    m_hover = true;
    m_tracking = true;
    update();
    return;
  }
  if (over) {
    return;
  }
  if (m_hover) {
    m_hover = false;
    update();
  }
  if (!left_down) {
    m_tracking = false;
  }
}

void CHoverButton::LoseTracking() {
  if (!m_tracking) {
    return;
  }
  m_tracking = false;
  // The hot look stays until the mouse comes back and leaves, or focus goes.
  if (m_hover) {
    update();
  }
}

void CHoverButton::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  TrackMouse(event->buttons() & Qt::LeftButton, rect().contains(event->position().toPoint()));
}

void CHoverButton::mousePressEvent(QMouseEvent* event) {
  QPushButton::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) {
    m_tracking = true;  // a pressed button keeps the mouse until release
  }
}

void CHoverButton::mouseReleaseEvent(QMouseEvent* event) {
  QPushButton::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) {
    LoseTracking();
  }
}

void CHoverButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // A quick second click is another press, not a double click.
  mousePressEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  if (m_tracking) {
    TrackMouse(QApplication::mouseButtons() & Qt::LeftButton, false);
  }
}

void CHoverButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  if (m_flat && m_hover) {
    m_hover = false;
    update();
  }
}

HoverButtonItemState CHoverButton::CurrentItemState() const {
  const bool keyboard = hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange);
  return HoverButtonItemState{isDown(), hasFocus(), !isEnabled(), keyboard};
}

void CHoverButton::paintEvent(QPaintEvent* event) {
  // Drawn off screen and copied in one go, so a hover change does not flicker.
  const QRect clip = event->rect();
  if (clip.isEmpty()) {
    return;
  }
  const qreal ratio = devicePixelRatioF();
  QPixmap buffer(clip.size() * ratio);
  buffer.setDevicePixelRatio(ratio);
  {
    QPainter painter(&buffer);
    painter.translate(-clip.topLeft());
    DrawItem(painter, CurrentItemState());
  }
  QPainter target(this);
  target.drawPixmap(clip.topLeft(), buffer);
}

void CHoverButton::DrawItem(QPainter& painter, const HoverButtonItemState& state) const {
  const QPalette& colours = palette();
  const QColor hilight = SystemColour(colours, QPalette::Light);
  const QColor light = SystemColour(colours, QPalette::Midlight);
  const QColor shadow = SystemColour(colours, QPalette::Dark);
  const QColor dark_shadow = SystemColour(colours, QPalette::Shadow);
  const bool hot = m_hover || state.pressed;

  QRect face = rect();
  if (!m_flat && (state.focused || m_isDefault)) {
    FrameRect(painter, face, Qt::black);
    face.adjust(1, 1, -1, -1);
  }
  painter.fillRect(face, hot ? m_hotBack : m_normalBack);

  const int l = face.left();
  const int t = face.top();
  const int r = face.left() + face.width();
  const int b = face.top() + face.height();
  if (state.pressed) {
    if (m_flat) {
      PolyLine(painter, shadow, {{l, b - 1}, {l, t}, {r, t}});
      PolyLine(painter, hilight, {{l, b - 1}, {r - 1, b - 1}, {r - 1, t - 1}});
    } else {
      FrameRect(painter, face, shadow);
    }
  } else if (m_flat) {
    if (m_hover) {
      PolyLine(painter, hilight, {{l, b - 1}, {l, t}, {r, t}});
      PolyLine(painter, shadow, {{l, b - 1}, {r - 1, b - 1}, {r - 1, t - 1}});
    }
  } else {
    PolyLine(painter, hilight, {{l, b - 1}, {l, t}, {r, t}});
    PolyLine(painter, light, {{l + 1, b - 1}, {l + 1, t + 1}, {r, t + 1}});
    PolyLine(painter, dark_shadow, {{l, b - 1}, {r - 1, b - 1}, {r - 1, t - 1}});
    PolyLine(painter, shadow, {{l + 1, b - 2}, {r - 2, b - 2}, {r - 2, t}});
  }

  const QString caption = text();
  QRect caption_rect = rect();
  if (!m_hotSizes.isEmpty()) {
    DrawIcon(painter, state, hot, caption.isEmpty(), caption_rect);
  }
  if (!caption.isEmpty()) {
    DrawCaption(painter, state, hot, caption_rect);
  }
  // A flat button shows the mark only when the focus came with the keyboard:
  // the operator tabbing through the window must see where he is.
  if (state.focused && (!m_flat || state.keyboard_focus)) {
    DrawFocusRect(painter, face.adjusted(3, 3, -3, -3));
  }
}

void CHoverButton::DrawIcon(QPainter& painter, const HoverButtonItemState& state, bool hot,
                            bool no_caption, QRect& caption_rect) const {
  const QRect item = rect();
  // Placed by the hot image's size, whichever is drawn.
  const QPixmap hot_icon = HotIcon();
  const QPixmap icon = hot ? hot_icon : NormalIcon();
  const QSize icon_size = hot_icon.deviceIndependentSize().toSize();
  const int icon_width = icon_size.width();
  const int icon_height = icon_size.height();
  int left = item.left();
  int top = item.top();
  const int right = item.left() + item.width();
  const int bottom = item.top() + item.height();
  if (no_caption) {
    left += (right - icon_width - left) / 2;
  } else {
    left += 3;
    caption_rect.setLeft(caption_rect.left() + icon_width + 3);
  }
  top += (bottom - icon_height - top) / 2;
  QRect image(left, top, right - left, bottom - top);
  if (state.pressed) {
    image.translate(1, 1);
  }
  if (icon.isNull()) {
    return;
  }
  const Qt::ClipOperation within = painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip;
  const QColor face = hot ? m_hotBack : m_normalBack;
  if (!state.disabled && face.lightness() < 128) {
    // The icons are drawn for a light face, their dark outlines lost on a
    // dark one: a one-pixel rim in the caption's colour (4.5:1 and more
    // against the face) keeps each shape readable; never over the border.
    QPixmap rim = icon;
    {
      QPainter tint(&rim);
      tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
      tint.fillRect(rim.rect(), hot ? m_hotText : m_normalText);
    }
    painter.save();
    painter.setClipRect(image.adjusted(-1, -1, 0, 0) & rect().adjusted(2, 2, -2, -2), within);
    for (const QPoint step : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
      painter.drawPixmap(image.topLeft() + step, rim);
    painter.restore();
  }
  painter.save();
  painter.setClipRect(image, within);
  if (state.disabled) {
    DrawEmbossed(painter, image.topLeft(), icon, SystemColour(palette(), QPalette::Light),
                 SystemColour(palette(), QPalette::Dark));
  } else {
    painter.drawPixmap(image.topLeft(), icon);
  }
  painter.restore();
}

void CHoverButton::DrawCaption(QPainter& painter, const HoverButtonItemState& state, bool hot,
                               QRect caption_rect) const {
  const QString caption = text();
  if (state.pressed) {
    caption_rect.translate(1, 1);
  }
  painter.save();
  painter.setFont(font());
  const QSize size = painter.fontMetrics().size(kCaptionFlags, caption);
  const QRect centred(caption_rect.left() + (caption_rect.width() - size.width()) / 2,
                      caption_rect.top() + (caption_rect.height() - size.height()) / 2,
                      size.width(), size.height());
  const int flags = kCaptionFlags | Qt::AlignLeft | Qt::AlignTop;
  if (state.disabled) {
    painter.setPen(SystemColour(palette(), QPalette::Light));
    painter.drawText(centred.translated(1, 1), flags, caption);
    painter.setPen(SystemColour(palette(), QPalette::Dark));
    painter.drawText(centred, flags, caption);
  } else {
    painter.setPen(hot ? m_hotText : m_normalText);
    painter.drawText(centred, flags, caption);
  }
  painter.restore();
}

}  // namespace korvel

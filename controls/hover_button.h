#pragma once
// Icon push button that lights up while the mouse is over it.

#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QString>
#include <optional>

class QPainter;

namespace korvel {

// `colour` with `amount` added to each of red, green and blue, each capped
// at 255: a light face stays light (one integer sum would carry into the
// next channel and turn a near-white face black).
QColor Brightened(const QColor& colour, int amount);
// The hot face: Brightened by 0x14 but kept 0x10 below the light edge of the
// raised border, so that the border stays visible on a light face.
QColor HotFace(const QColor& face, const QColor& light);
// WCAG's contrast ratio of two colours (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);
// `wanted` on a light background as it is; on a dark one lightened until it
// reads at 4.5:1 at least.
QColor Legible(const QColor& wanted, const QColor& background);

// Where the button's images live in the resources.
QString IconResourcePath(int id);  // ":/images/icon<id>.png"
// Every size of icon `id` in the resources (icon<id>.png, icon<id>-32.png,
// icon<id>-16.png), largest first; empty for a missing icon.
QList<QPixmap> IconSizes(int id);
// Icon `id` with all its sizes, for a window icon.
QIcon IconWithAllSizes(int id);
QString CursorResourcePath(int id);  // ":/images/cursor<id>.png"
// The hand cursor 130 points with the tip of its index finger.
inline constexpr QPoint kHandCursorHotSpot{5, 0};

// What a paint needs to know about the button's platform state.
struct HoverButtonItemState {
  bool pressed = false;
  bool focused = false;
  bool disabled = false;
  bool keyboard_focus = false;  // the focus came with the keyboard (Tab)
};

class CHoverButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CHoverButton(QWidget* parent = nullptr);
  CHoverButton(const QString& text, QWidget* parent);
  ~CHoverButton() override;

  // Takes over an existing button: a CHoverButton with its parent, geometry,
  // text, name, font, enabled and default state, tab position and layout slot
  // replaces it, and the old button is deleted.  Connect to the new one.
  static CHoverButton* Attach(QPushButton* button);

  void SetFlatStyle(bool flat);
  bool IsFlatStyle() const { return m_flat; }
  bool IsHovered() const { return m_hover; }
  bool IsDefaultButton() const { return m_isDefault; }

  // Icons from the resources; 0 for the normal icon means the hot one.  A
  // missing resource leaves no icon.  Of the sizes an icon has, the button
  // draws the largest that fits inside its border (pressed too), chosen at
  // each paint, so that a resized button draws the size that fits it then.
  void LoadIcons(int hot_icon_id, int normal_icon_id = 0);
  void SetIcons(const QPixmap& hot, const QPixmap& normal = QPixmap());
  // The sizes drawn at the button's present size.
  int IconWidth() const { return HotIcon().deviceIndependentSize().toSize().width(); }
  int IconHeight() const { return HotIcon().deviceIndependentSize().toSize().height(); }
  QPixmap HotIcon() const { return FittingSize(m_hotSizes); }
  QPixmap NormalIcon() const { return FittingSize(m_normalSizes); }

  // -1 drops the cursor and answers true; otherwise whether the resource loaded.
  bool LoadHoverCursor(int cursor_id);
  bool HasHoverCursor() const { return m_cursor.has_value(); }

  // A null text changes nothing.  A tip deactivated here comes back with the
  // next mouse or key event, as the tooltip is re-armed for every input.
  void SetTipText(const QString& text, bool activate);
  bool IsTipActive() const { return m_tipActive; }

  void ResetNormalBackColor(bool repaint = true);
  void ResetNormalTextColor(bool repaint = true);
  void ResetHotBackColor(bool repaint = true);
  void ResetHotTextColor(bool repaint = true);
  void SetNormalTextColor(const QColor& colour, bool repaint = true);
  void SetHotBackColor(const QColor& colour, bool repaint = true);
  void SetHotTextColor(const QColor& colour, bool repaint = true);
  QColor GetNormalBackColor() const { return m_normalBack; }
  QColor GetNormalTextColor() const { return m_normalText; }
  QColor GetHotBackColor() const { return m_hotBack; }
  QColor GetHotTextColor() const { return m_hotText; }

  // Paints the face for `state` in widget coordinates: background, border,
  // icon, caption and focus mark.
  void DrawItem(QPainter& painter, const HoverButtonItemState& state) const;
  HoverButtonItemState CurrentItemState() const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void SetIconSizes(const QList<QPixmap>& hot, const QList<QPixmap>& normal);
  QPixmap FittingSize(const QList<QPixmap>& sizes) const;
  void TrackMouse(bool left_down, bool over);
  void LoseTracking();
  void Repaint(bool repaint);
  void DrawIcon(QPainter& painter, const HoverButtonItemState& state, bool hot, bool no_caption,
                QRect& caption_rect) const;
  void DrawCaption(QPainter& painter, const HoverButtonItemState& state, bool hot,
                   QRect caption_rect) const;

  bool m_flat = true;
  bool m_hover = false;
  // The button follows the mouse until it leaves (stands for the mouse capture).
  bool m_tracking = false;
  bool m_tipActive = false;
  std::optional<QCursor> m_cursor;
  QList<QPixmap> m_hotSizes;  // every size loaded, largest first
  QList<QPixmap> m_normalSizes;
  bool m_isDefault = false;
  QColor m_normalBack;
  QColor m_normalText;
  QColor m_hotBack;
  QColor m_hotText;
};

}  // namespace korvel

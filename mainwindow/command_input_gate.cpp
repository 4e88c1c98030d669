#include "mainwindow/command_input_gate.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace korvel {
namespace {

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

bool IsPlainEscape(const QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
      event->type() != QEvent::ShortcutOverride)
    return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier;
}

}  // namespace

CommandInputGate::CommandInputGate(QWidget& window) : m_window(window) {
  QCoreApplication::instance()->installEventFilter(this);
}

CommandInputGate::~CommandInputGate() { QCoreApplication::instance()->removeEventFilter(this); }

// The window's own widgets, its native window, and the shortcuts and actions
// it owns.
bool CommandInputGate::ForWindow(QObject* watched) const {
  if (watched == m_window.windowHandle()) return true;
  for (QObject* object = watched; object != nullptr; object = object->parent())
    if (object->isWidgetType()) return static_cast<QWidget*>(object)->window() == &m_window;
  return false;
}

bool CommandInputGate::eventFilter(QObject* watched, QEvent* event) {
  if (!IsInput(event->type()) || IsPlainEscape(event) || !ForWindow(watched)) return false;
  event->accept();
  return true;
}

}  // namespace korvel

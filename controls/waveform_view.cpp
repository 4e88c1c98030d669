#include "controls/waveform_view.h"

#include <QPainter>
#include <algorithm>

#include "controls/hover_button.h"

namespace korvel {
namespace {

constexpr int kFrame = 1;

// A number as a recorder counts: whole, with a minus sign.
QString Count(float value) {
  return QString::number(static_cast<double>(value), 'f', 0)
      .replace(QLatin1Char('-'), QChar(0x2212));
}

}  // namespace

CWaveformView::CWaveformView(QWidget* parent)
    : QWidget(parent), m_reader(new CBackgroundReader(this)) {
  setObjectName(QStringLiteral("waveform"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CWaveformView::ShowChannel(const std::filesystem::path& path, int channel,
                                const QString& name) {
  if (path == m_path && channel == m_channel) return;
  m_path = path;
  m_channel = channel;
  m_name = name;
  m_envelope.clear();
  m_envelope_width = -1;
  ReadEnvelope();
  update();
}

void CWaveformView::Clear() { ShowChannel({}, -1, {}); }

QRect CWaveformView::DrawingArea() const {
  // A line of text above the trace, so that no label hides a sample.
  return rect().adjusted(kFrame + 1, kFrame + 1 + fontMetrics().height(), -kFrame - 1, -kFrame - 1);
}

void CWaveformView::ReadEnvelope() {
  const int width = DrawingArea().width();
  if (m_envelope_width == width) return;
  m_envelope_width = width;
  if (m_channel < 0 || width <= 0) {
    m_reader->Cancel();  // a read of the file shown before is no longer wanted
    m_envelope.clear();
    return;
  }
  m_reader->Read<std::vector<EnvelopeColumn>>(
      [path = m_path, channel = m_channel, width](std::stop_token stop) {
        return RawChannelEnvelope(path, channel, width, kEnvelopeChunkBytes, stop);
      },
      [this](std::vector<EnvelopeColumn>& envelope) {
        m_envelope = std::move(envelope);
        update();
      });
}

void CWaveformView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ReadEnvelope();
}

void CWaveformView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  painter.setPen(palette().mid().color());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  const std::vector<EnvelopeColumn>& envelope = m_envelope;
  const QRect area = DrawingArea();
  // A read for another width is under way: nothing is drawn stretched.
  if (envelope.empty() || static_cast<int>(envelope.size()) > area.width()) return;

  float low = envelope.front().min, high = envelope.front().max;
  for (const EnvelopeColumn& column : envelope) {
    low = std::min(low, column.min);
    high = std::max(high, column.max);
  }
  // The whole range of the channel fills the height; a flat channel lies
  // along the middle.
  const double span = static_cast<double>(high) - static_cast<double>(low);
  const int middle = area.top() + (area.height() - 1) / 2;
  const auto y_of = [&](float value) -> double {
    if (span <= 0.0) return middle;
    return area.bottom() - (static_cast<double>(value) - low) / span * (area.height() - 1);
  };
  painter.setPen(QPen(palette().midlight().color(), 1, Qt::DotLine));
  painter.drawLine(area.left(), middle, area.right(), middle);
  // Navy on the light palette; lightened until it reads on a dark one.
  painter.setPen(QPen(Legible(QColor(0x1F, 0x4E, 0x9A), palette().base().color()), 1));
  for (std::size_t c = 0; c < envelope.size(); ++c) {
    const int x = area.left() + static_cast<int>(c);
    painter.drawLine(x, qRound(y_of(envelope[c].max)), x, qRound(y_of(envelope[c].min)));
  }
  // The channel and its extremes: a clipped channel shows its full-scale
  // counts here.
  const QString range = QStringLiteral("%1  мин %2  макс %3").arg(m_name, Count(low), Count(high));
  const QRect text(area.left() + 2, kFrame + 1, area.width() - 4, area.top() - kFrame - 1);
  painter.setPen(palette().text().color());
  painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, range);
}

}  // namespace korvel

#pragma once
// One channel of a raw file drawn as its min/max envelope over the file's
// duration, one column per pixel, for a look at the data before converting:
// a dead channel is a flat line, a clipped one runs along its edges, a
// spike stands out. A file that cannot be read draws nothing.

#include <QString>
#include <QWidget>
#include <filesystem>
#include <vector>

#include "controls/background_reader.h"
#include "engine/waveform.h"

namespace korvel {

class CWaveformView : public QWidget {
  Q_OBJECT

 public:
  explicit CWaveformView(QWidget* parent = nullptr);

  // The file is read off the UI thread at the view's width; the view
  // stays empty until it is read. A run of quick changes shows the last
  // file only; Clear stops a read under way.
  void ShowChannel(const std::filesystem::path& path, int channel, const QString& name);
  void Clear();

  // The envelope as painted, one column per pixel of the drawing area;
  // empty when there is nothing to draw, or not yet.
  const std::vector<EnvelopeColumn>& Envelope() const { return m_envelope; }
  QRect DrawingArea() const;
  const CBackgroundReader& Reader() const { return *m_reader; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::filesystem::path m_path;
  int m_channel = -1;
  QString m_name;
  void ReadEnvelope();

  std::vector<EnvelopeColumn> m_envelope;
  int m_envelope_width = -1;  // the width asked for last; -1: none
  CBackgroundReader* m_reader;
};

}  // namespace korvel

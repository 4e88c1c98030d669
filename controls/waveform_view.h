#pragma once
// One channel of a raw file drawn as its min/max envelope over the file's
// duration, one column per pixel, for a look at the data before converting:
// a dead channel is a flat line, a clipped one runs along its edges, a
// spike stands out. A file that cannot be read draws nothing.

#include <QString>
#include <QWidget>
#include <filesystem>
#include <vector>

#include "engine/waveform.h"

namespace korvel {

class CWaveformView : public QWidget {
  Q_OBJECT

 public:
  explicit CWaveformView(QWidget* parent = nullptr);

  // The file is read when the view is next painted, at its width then: a
  // run of quick changes reads the last file only.
  void ShowChannel(const std::filesystem::path& path, int channel, const QString& name);
  void Clear();

  // The envelope as painted (read now if it is not yet), one column per
  // pixel of the drawing area; empty when there is nothing to draw.
  const std::vector<EnvelopeColumn>& Envelope();
  QRect DrawingArea() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::filesystem::path m_path;
  int m_channel = -1;
  QString m_name;
  std::vector<EnvelopeColumn> m_envelope;
  int m_envelope_width = -1;  // the width it was read for; -1: not read
};

}  // namespace korvel

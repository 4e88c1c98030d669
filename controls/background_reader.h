#pragma once
// Reads for the window's previews run here, off the UI thread, so that a
// quick walk through a folder of large raw files never freezes a dialog.
// One read at a time; a new request drops any that has not started, asks
// the one under way to stop (a read checks its stop token between pieces),
// and only the newest request's result is shown.

#include <QObject>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <stop_token>

namespace korvel {

class CBackgroundReader : public QObject {
  Q_OBJECT

 public:
  explicit CBackgroundReader(QObject* parent = nullptr);
  // Stops a read under way and waits for it: it may not outlive its owner.
  ~CBackgroundReader() override;

  // `read` runs on the reader's thread; `show` gets its result on this
  // object's thread, unless a newer request or Cancel came meanwhile.
  template <typename Result>
  void Read(std::function<Result(std::stop_token)> read, std::function<void(Result&)> show) {
    auto result = std::make_shared<Result>();
    Start([read = std::move(read), result](std::stop_token stop) { *result = read(stop); },
          [show = std::move(show), result] { show(*result); });
  }

  // Nothing requested is shown any more, and a read under way is asked to
  // stop (its owner's dialog was closed); returns at once.
  void Cancel();

  // Whether the newest request's result is still to be shown.
  bool Busy() const { return m_shown != m_requested; }

 signals:
  void Shown();  // after the newest request's result was shown

 private:
  void Start(std::function<void(std::stop_token)> work, std::function<void()> deliver);

  QThreadPool m_pool;
  std::stop_source m_stop;  // the newest request's
  unsigned m_requested = 0;
  unsigned m_shown = 0;
};

// Runs the event loop until `reader` has shown its newest result, or
// `milliseconds` passed; whether it did.
bool WaitUntilShown(const CBackgroundReader& reader, int milliseconds = 30000);

}  // namespace korvel

#pragma once
// Reads for the window's previews run here, off the UI thread, so that a
// quick walk through a folder of large raw files never freezes a dialog.
// One read at a time; a new request drops any that has not started, and
// only the newest request's result is shown.

#include <QObject>
#include <QThreadPool>
#include <functional>
#include <memory>

namespace korvel {

class CBackgroundReader : public QObject {
  Q_OBJECT

 public:
  explicit CBackgroundReader(QObject* parent = nullptr);
  ~CBackgroundReader() override;  // waits for a read under way: it may not outlive its owner

  // `read` runs on the reader's thread; `show` gets its result on this
  // object's thread, unless a newer request came meanwhile.
  template <typename Result>
  void Read(std::function<Result()> read, std::function<void(Result&)> show) {
    auto result = std::make_shared<Result>();
    Start([read = std::move(read), result] { *result = read(); },
          [show = std::move(show), result] { show(*result); });
  }

  // Whether the newest request's result is still to be shown.
  bool Busy() const { return m_shown != m_requested; }

 signals:
  void Shown();  // after the newest request's result was shown

 private:
  void Start(std::function<void()> work, std::function<void()> deliver);

  QThreadPool m_pool;
  unsigned m_requested = 0;
  unsigned m_shown = 0;
};

// Runs the event loop until `reader` has shown its newest result, or
// `milliseconds` passed; whether it did.
bool WaitUntilShown(const CBackgroundReader& reader, int milliseconds = 30000);

}  // namespace korvel

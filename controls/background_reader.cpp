#include "controls/background_reader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>

namespace korvel {

CBackgroundReader::CBackgroundReader(QObject* parent) : QObject(parent) {
  m_pool.setMaxThreadCount(1);
}

CBackgroundReader::~CBackgroundReader() {
  Cancel();
  m_pool.waitForDone();
}

void CBackgroundReader::Cancel() {
  m_stop.request_stop();
  m_pool.clear();
  m_shown = ++m_requested;  // a result still on its way is dropped
}

void CBackgroundReader::Start(std::function<void(std::stop_token)> work,
                              std::function<void()> deliver) {
  const unsigned request = ++m_requested;
  m_stop.request_stop();  // an older read under way is no longer wanted,
  m_pool.clear();         // nor one not yet started
  m_stop = std::stop_source();
  m_pool.start([this, request, stop = m_stop.get_token(), work = std::move(work),
                deliver = std::move(deliver)] {
    work(stop);
    // Queued to this object: the destructor waits for this task, and a
    // posted call to a deleted object is dropped with it.
    QMetaObject::invokeMethod(
        this,
        [this, request, deliver] {
          if (request != m_requested) return;
          deliver();
          m_shown = request;
          emit Shown();
        },
        Qt::QueuedConnection);
  });
}

bool WaitUntilShown(const CBackgroundReader& reader, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (reader.Busy() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return !reader.Busy();
}

}  // namespace korvel

#include "database/statement_watch.h"

#include <algorithm>
#include <optional>

#include "platform/stop_request.h"

namespace korvel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMilliseconds = 100;
// A healthy server answers a call in progress at a stop request well
// within this; only a hung one is cancelled.
constexpr auto kStopGrace = std::chrono::seconds(1);
// A cancelled call that has not ended by then waits on a silent peer.
constexpr auto kCancelGrace = std::chrono::seconds(2);

}  // namespace

StatementWatch::StatementWatch(CDatabase& database)
    : m_database(database), m_timeouts(CurrentServerTimeouts()), m_thread([this] { Watch(); }) {}

StatementWatch::~StatementWatch() {
  m_quit = true;
  WakeStopWaiters();
  m_thread.join();
  if (m_canceller.joinable()) m_canceller.join();
}

void StatementWatch::Cancel(std::uint64_t call) {
  if (m_cancelling) return;
  if (m_canceller.joinable()) m_canceller.join();
  m_cancelling = true;
  m_canceller = std::thread([this, call] {
    m_database.CancelCall(call);
    m_cancelling = false;
  });
}

void StatementWatch::Watch() {
  std::optional<Clock::time_point> stop_at;
  std::uint64_t cancelled = 0;
  Clock::time_point cancelled_at;
  std::uint64_t cut = 0;
  while (!m_quit) {
    const bool stop = WaitForStopRequest(kTickMilliseconds);
    if (m_quit) break;
    const Clock::time_point now = Clock::now();
    if (stop && !stop_at) stop_at = now;
    const std::optional<CDatabase::RunningCall> call = m_database.Running();
    if (!call) continue;
    Clock::time_point limit;
    if (stop_at)
      limit = std::max(call->since, *stop_at) + kStopGrace;
    else if (m_database.OverNetwork())
      limit = call->since + m_timeouts.CallLimit();
    else
      continue;
    if (now < limit) continue;
    if (cancelled != call->number) {
      cancelled = call->number;
      cancelled_at = now;
      Cancel(call->number);
    } else if (cut != call->number && now >= cancelled_at + kCancelGrace) {
      cut = call->number;
      m_database.CutConnection(call->number);
    }
  }
}

}  // namespace korvel

#pragma once
// The single writer of TQF4.0 files. Per station and channel it keeps the
// samples not yet written and the file being filled, so that output files
// continue across raw files until they pass an hour.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "engine/time_arithmetic.h"
#include "platform/notifier.h"

namespace korvel {

inline constexpr int kBlockSize = 10000;
inline constexpr int kMergeLimit = 9900;
inline constexpr int kMaxFileMinutes = 60;
inline constexpr int kDataTypeFloat = 3;

struct ChannelBuffer {
  double sampling_rate = 0.0;
  std::string name;  // upper case, code page 1251
  double calibration_value = 0.0;
  double calibration_period = 0.0;

  std::vector<float> pending;  // capacity kBlockSize
  EpochSeconds pending_start = 0.0;
  double pending_duration = 0.0;

  EpochSeconds file_start = 0.0;  // 0: no current file
  double file_duration = 0.0;
  std::string relative_path;  // below the output root, "/" between parts

  int kept_fd = -1;          // the file kept open for extending, when coalescing
  std::string kept_path;     // its path below the output root
};

struct StationBuffer {
  std::string name;  // upper case, code page 1251
  std::vector<ChannelBuffer> channels;
  int max_file_minutes = kMaxFileMinutes;
  std::uint64_t extra_space = 0;  // asked of the disk-space guard beyond its reserve
};

// The latest state of a catalogued file whose row has not been sent yet.
struct StaleRow {
  std::string relative_path;
  std::string station;
  std::string channel;
  EpochSeconds start = 0.0;
  double duration = 0.0;
  double sampling_rate = 0.0;
};

class OutputWriter {
 public:
  OutputWriter(Catalogue& catalogue, Notifier& notifier)
      : m_catalogue(catalogue), m_notifier(notifier) {}
  OutputWriter(const OutputWriter&) = delete;
  OutputWriter& operator=(const OutputWriter&) = delete;
  ~OutputWriter();

  void SetOutputRoot(const std::string& root) { m_output_root = root; }
  const std::string& OutputRoot() const { return m_output_root; }

  void AppendBlock(const std::string& station, const std::string& channel, double sampling_rate,
                   double calibration_value, double calibration_period, EpochSeconds block_start,
                   int count, const float* samples);
  void FlushChannel(std::size_t station, std::size_t channel);
  void FlushAll();

  // With coalescing on (the programs turn it on; off, every flush sends its
  // update at once), the row updates of an extended file
  // are held back and only the latest is sent, by BringRowsUpToDate. A new
  // file is registered at once either way, and the guard runs at every flush.
  void SetCoalesceUpdates(bool on) { m_coalesce = on; }
  bool CoalescesUpdates() const { return m_coalesce; }
  // While coalescing, an extended file also stays open between flushes;
  // this closes every kept file. A file whose close fails is reported and
  // its held-back row is dropped: the row keeps what was last confirmed.
  void CloseKeptFiles();
  // Sends the held-back updates in the order their files were first
  // extended. On a catalogue error the updates not yet sent stay held back
  // and the error goes on to the caller.
  void BringRowsUpToDate();
  const std::vector<StaleRow>& StaleRows() const { return m_stale_rows; }

  std::uint64_t FlushCount() const { return m_flushes; }
  const std::vector<StationBuffer>& Stations() const { return m_stations; }

 private:
  void CloseKeptFile(ChannelBuffer& buffer);

  Catalogue& m_catalogue;
  Notifier& m_notifier;
  std::string m_output_root;
  std::vector<StationBuffer> m_stations;
  bool m_coalesce = false;
  std::vector<StaleRow> m_stale_rows;
  std::uint64_t m_flushes = 0;
};

}  // namespace korvel

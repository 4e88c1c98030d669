#include "engine/convert_raw_file.h"

#include <memory>
#include <span>
#include <vector>

#include "config/settings.h"
#include "engine/raw_file.h"
#include "platform/text1251.h"
#include "platform/trace.h"

namespace korvel {
namespace {

struct ChannelChoice {
  std::string name;  // upper case
  double calibration_value = 0.0;
  double calibration_period = 0.0;
  bool selected = false;
};

// Memory that grows to the largest raw file met and is used again for the
// next: every byte is written before it is read, so it is never cleared, and
// its pages stay mapped between files. The program converts on one thread.
template <typename T>
class ScratchBuffer {
 public:
  std::span<T> Get(std::size_t count) {
    if (count > m_capacity) {
      m_data.reset(new T[count]);  // default-initialised: no zero fill
      m_capacity = count;
    }
    return {m_data.get(), count};
  }

 private:
  std::unique_ptr<T[]> m_data;
  std::size_t m_capacity = 0;
};

ScratchBuffer<unsigned char> g_raw_data;
ScratchBuffer<float> g_channel_samples;

bool IsSelected(const std::string& station, const std::string& channel, const SelectionList& selection) {
  for (const SelectionEntry& pair : selection) {
    if (TraceEnabled()) Trace(Cp1251ToUtf8(pair.channel + " " + pair.station + "\n"));
    if (pair.channel == channel && pair.station == station) return true;
  }
  return false;
}

// Hands the selected channels to the writer block by block and flushes;
// false when the host asked to stop before every block was handed over.
bool HandOver(const std::vector<ChannelChoice>& channels, std::span<const unsigned char> data,
              const RawFileHeader& header, ConversionHost& host, OutputWriter& writer) {
  const int n = header.channel_count;
  const int w = RawSampleWidth(header);
  const std::string station = CharUpper1251(RawStationName(header));
  const EpochSeconds start = RawStartTime(header);
  const double rate = 1.0 / header.sample_interval;
  const std::size_t frames = data.size() / (static_cast<std::size_t>(n) * static_cast<std::size_t>(w));
  const std::span<float> samples = g_channel_samples.Get(frames);
  bool whole = true;
  for (int c = 0; c < n && whole; ++c) {
    const ChannelChoice& channel = channels[static_cast<std::size_t>(c)];
    if (!channel.selected) continue;
    DecodeChannelSamples(data, n, w, c, samples);
    EpochSeconds t = start;
    for (std::size_t position = 0; position < frames;) {
      if (host.StopRequested()) {
        whole = false;
        break;
      }
      const int h = static_cast<int>(std::min<std::size_t>(kBlockSize, frames - position));
      writer.AppendBlock(station, channel.name, rate, channel.calibration_value,
                         channel.calibration_period, t, h, samples.data() + position);
      t += h / rate;
      position += static_cast<std::size_t>(h);
    }
  }
  // What was handed over is written even when stopping: the flush ends.
  writer.FlushAll();
  return whole;
}

}  // namespace

int ConvertRawFile(const std::string& /*station_section*/, const std::filesystem::path& path,
                   ConversionHost& host, OutputWriter& writer) {
  const std::string root = ReadDataRoot();
  if (root.empty()) return 0;  // no output root: nothing may be written anywhere
  writer.SetOutputRoot(root);

  RawFileReader file;
  if (!file.Open(path)) return 0;
  const std::uint64_t file_size = file.Size();
  RawFileHeader header;
  if (file.ReadRawHeader(header) != kRawHeaderSize) return 0;
  // No start time, no rate, or no room for its own channel table: refused.
  if (!RawHeaderIsUsable(header) || !RawFileHoldsChannelTable(header, file.Size())) return 0;
  const std::string station = CharUpper1251(RawStationName(header));

  std::vector<ChannelChoice> channels(static_cast<std::size_t>(std::max<int>(header.channel_count, 0)));
  bool any = false;
  for (ChannelChoice& channel : channels) {
    RawChannelRecord record;
    if (!file.ReadChannelRecord(record)) return 0;
    channel.name = CharUpper1251(RawChannelName(record));
    channel.calibration_value = record.calibration * 1000.0;
    channel.calibration_period = 1.0 / record.calibration_frequency;
    channel.selected = IsSelected(station, channel.name, host.Selection());
    any = any || channel.selected;
  }
  if (!any) return 0;

  const std::span<const unsigned char> data =
      file.ReadRestInto(g_raw_data.Get(static_cast<std::size_t>(file.Remaining())));
  file.Close();
  const std::uint64_t failures_before = writer.OutputFailures();
  bool whole = false;
  try {
    whole = HandOver(channels, data, header, host, writer);
  } catch (const CatalogueError&) {
    // The files written so far get their rows if the database still answers,
    // or are cut back to what their rows say; the first error is the one
    // reported.
    writer.DiscardPending();
    writer.CloseKeptFiles();
    try {
      writer.BringRowsUpToDate();
    } catch (const CatalogueError&) {
    }
    throw;
  }
  writer.CloseKeptFiles();
  writer.BringRowsUpToDate();  // every row is current when the file is done
  if (!whole || writer.OutputFailures() != failures_before) return 0;
  host.FileConverted(path, file_size);
  return 1;
}

}  // namespace korvel

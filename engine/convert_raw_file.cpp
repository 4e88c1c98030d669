#include "engine/convert_raw_file.h"

#include <cerrno>
#include <memory>
#include <new>
#include <set>
#include <span>
#include <vector>

#include "config/settings.h"
#include "engine/raw_file.h"
#include "engine/station_lock.h"
#include "platform/native_path.h"
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
  // Empty when the memory cannot be had (a raw file larger than memory).
  std::span<T> Get(std::size_t count) {
    if (count > m_capacity) {
      m_data.reset(new (std::nothrow) T[count]);  // default-initialised: no zero fill
      m_capacity = m_data ? count : 0;
      if (!m_data) return {};
    }
    return {m_data.get(), count};
  }

 private:
  std::unique_ptr<T[]> m_data;
  std::size_t m_capacity = 0;
};

ScratchBuffer<unsigned char> g_raw_data;
ScratchBuffer<float> g_channel_samples;

bool IsSelected(const std::string& station, const std::string& channel,
                const SelectionList& selection) {
  for (const SelectionEntry& pair : selection) {
    if (TraceEnabled()) Trace(Cp1251ToUtf8(pair.channel + " " + pair.station + "\n"));
    if (pair.channel == channel && pair.station == station) return true;
  }
  return false;
}

// Hands the selected channels to the writer block by block; false when the
// host asked to stop before every block was handed over.
bool HandOver(const std::vector<ChannelChoice>& channels, std::span<const unsigned char> data,
              std::span<float> samples, const RawFileHeader& header, ConversionHost& host,
              OutputWriter& writer) {
  const int n = header.channel_count;
  const int w = RawSampleWidth(header);
  const std::string station = CharUpper1251(RawStationName(header));
  const EpochSeconds start = RawStartTime(header);
  const double rate = 1.0 / header.sample_interval;
  const std::size_t frames = samples.size();
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
  return whole;
}

}  // namespace

int ConvertRawFile(const std::string& /*station_section*/, const std::filesystem::path& path,
                   ConversionHost& host, OutputWriter& writer) {
  if (writer.OutputRoot().empty()) return 0;  // nothing may be written anywhere
  RawFileReader file;
  ParsedRawFile parsed;
  const RawFileRefusal refusal = ParseRawFile(path, file, parsed);
  // A file picked by hand that cannot be read is left, and says why.
  if (refusal == RawFileRefusal::kCannotOpen || refusal == RawFileRefusal::kReadFailed)
    writer.ReportRawDataLeft(RawDataLeft::File(DisplayPath(path), file.Error()));
  if (refusal != RawFileRefusal::kNone) return 0;
  return ConvertParsedRawFile(path, file, parsed, host, writer);
}

int ConvertParsedRawFile(const std::filesystem::path& path, RawFileReader& file,
                         const ParsedRawFile& parsed, ConversionHost& host, OutputWriter& writer) {
  if (writer.OutputRoot().empty()) return 0;
  const RawFileHeader& header = parsed.header;
  const std::string station = CharUpper1251(RawStationName(header));

  std::vector<ChannelChoice> channels(parsed.channels.size());
  bool any = false;
  bool left = false;            // some selected data of the file is not converted
  std::set<std::string> names;  // of the channels selected so far
  for (std::size_t c = 0; c < channels.size(); ++c) {
    ChannelChoice& channel = channels[c];
    channel.name = CharUpper1251(RawChannelName(parsed.channels[c]));
    channel.calibration_value = parsed.channels[c].calibration * 1000.0;
    channel.calibration_period = 1.0 / parsed.channels[c].calibration_frequency;
    channel.selected = IsSelected(station, channel.name, host.Selection());
    // A name met before would put a second channel's samples into the
    // first one's file: only the first of a name is converted.
    if (channel.selected && !names.insert(channel.name).second) {
      channel.selected = false;
      left = true;
      writer.ReportRawDataLeft(
          RawDataLeft::SecondChannel(DisplayPath(path), Cp1251ToUtf8(channel.name)));
    }
    any = any || channel.selected;
  }
  if (!any) return 0;
  // A hand-picked file may belong to another station than the command's:
  // its own station's folder must be ours too before anything is written.
  const StationHold hold(station, host, writer);
  if (!hold.Held()) return 0;

  const std::span<unsigned char> memory =
      g_raw_data.Get(static_cast<std::size_t>(file.Remaining()));
  const std::size_t frame_bytes =
      channels.size() * static_cast<std::size_t>(RawSampleWidth(header));
  const std::span<float> samples = g_channel_samples.Get(memory.size() / frame_bytes);
  if ((memory.empty() && file.Remaining() > 0) ||
      (samples.empty() && memory.size() >= frame_bytes)) {
    writer.ReportRawDataLeft(RawDataLeft::File(DisplayPath(path), ENOMEM));
    return 0;
  }
  const std::uint64_t data_start = parsed.size - file.Remaining();
  const std::span<const unsigned char> data = file.ReadRestInto(memory);
  file.Close();
  // What was read is converted; the rest is told, once.
  if (data.size() < memory.size()) {
    left = true;
    writer.ReportRawDataLeft(RawDataLeft::RestOfFile(DisplayPath(path), file.Error(),
                                                     data_start + data.size(), parsed.size));
  }
  const std::uint64_t failures_before = writer.OutputFailures();
  const bool whole =
      HandOver(channels, data, samples.first(data.size() / frame_bytes), header, host, writer);
  // What was handed over is written even when stopping, and every row is
  // current when the raw file is done.
  writer.FinishRawFile();
  if (!whole || left || writer.OutputFailures() != failures_before) return 0;
  host.FileConverted(path, parsed.size);
  return 1;
}

}  // namespace korvel

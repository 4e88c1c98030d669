#include "engine/convert_raw_file.h"

#include <vector>

#include "config/settings.h"
#include "engine/raw_file.h"
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

}  // namespace

int ConvertRawFile(const std::string& /*station_section*/, const std::string& path1251,
                   ConversionHost& host, OutputWriter& writer) {
  writer.SetOutputRoot(ReadDataRoot());

  RawFileReader file;
  if (!file.Open(NativePath(path1251))) return 0;
  const std::uint64_t file_size = file.Size();
  RawFileHeader header;
  if (file.ReadRawHeader(header) != kRawHeaderSize) return 0;
  // No start time, no rate, or no room for its own channel table: refused.
  if (!RawHeaderIsUsable(header) || !RawFileHoldsChannelTable(header, file.Size())) return 0;
  const std::string station = CharUpper1251(RawStationName(header));
  const EpochSeconds start = RawStartTime(header);
  const int n = header.channel_count;
  const double rate = 1.0 / header.sample_interval;
  const int w = RawSampleWidth(header);

  std::vector<ChannelChoice> channels(static_cast<std::size_t>(std::max(n, 0)));
  bool any = false;
  for (ChannelChoice& channel : channels) {
    RawChannelRecord record;
    if (!file.ReadChannelRecord(record)) return 0;
    channel.name = CharUpper1251(RawChannelName(record));
    channel.calibration_value = record.calibration * 1000.0;
    channel.calibration_period = 1.0 / record.calibration_frequency;
    for (const SelectionEntry& pair : host.Selection()) {
      if (TraceEnabled()) Trace(Cp1251ToUtf8(pair.channel + " " + pair.station + "\n"));
      if (pair.channel == channel.name && pair.station == station) {
        channel.selected = true;
        break;
      }
    }
    any = any || channel.selected;
  }
  if (!any) return 0;

  const std::vector<unsigned char> data = file.ReadRest();
  file.Close();
  const std::size_t frames = data.size() / (static_cast<std::size_t>(n) * static_cast<std::size_t>(w));
  std::vector<float> samples(frames);
  try {
    for (int c = 0; c < n; ++c) {
      const ChannelChoice& channel = channels[static_cast<std::size_t>(c)];
      if (!channel.selected) continue;
      DecodeChannelSamples(data, n, w, c, samples);
      EpochSeconds t = start;
      std::size_t position = 0;
      while (position < frames) {
        const int h = static_cast<int>(std::min<std::size_t>(kBlockSize, frames - position));
        writer.AppendBlock(station, channel.name, rate, channel.calibration_value,
                           channel.calibration_period, t, h, samples.data() + position);
        t += h / rate;
        position += static_cast<std::size_t>(h);
      }
    }
    writer.FlushAll();
  } catch (const CatalogueError&) {
    // The files written so far get their rows if the database still answers;
    // the first error is the one reported.
    writer.CloseKeptFiles();
    try {
      writer.BringRowsUpToDate();
    } catch (const CatalogueError&) {
    }
    throw;
  }
  writer.CloseKeptFiles();
  writer.BringRowsUpToDate();  // every row is current when the file is done
  host.FileConverted(path1251, file_size);
  return 1;
}

}  // namespace korvel

#pragma once
// Builds Korvel raw files byte by byte for tests, the demo and the benchmark:
// every header field settable, channel names, 16- or 32-bit samples,
// interleaved frames, and truncation to any length.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::test {

struct RawChannelLayout {
  std::string name;  // code page 1251, padded with spaces to 24 bytes
  double calibration = 1.0;
  double calibration_frequency = 1.0;
};

// The sample that the builder writes by default for channel c, frame k: a
// pattern that covers both signs and changes every frame.
std::int32_t DefaultSample(int channel, std::int64_t frame, int sample_width);

class RawFileBuilder {
 public:
  using SampleSource = std::function<std::int32_t(int channel, std::int64_t frame)>;

  RawFileBuilder();

  RawFileBuilder& Station(std::string_view name);              // padded with spaces to 16 bytes
  RawFileBuilder& StationField(const std::string& exactly16);  // the 16 bytes as given
  RawFileBuilder& Date(int day, int month, int year);          // year as stored (7 means 2007)
  RawFileBuilder& TimeOfDay(double seconds);
  RawFileBuilder& SampleInterval(double seconds);
  RawFileBuilder& SampleFormat(int value);  // 16 or 0: 2-byte samples, else 4-byte
  RawFileBuilder& AddChannel(RawChannelLayout channel);
  RawFileBuilder& Channels(const std::vector<std::string>& names);
  // Overrides the channel_count field; the records written stay those added.
  RawFileBuilder& ChannelCountField(int value);
  RawFileBuilder& Frames(std::int64_t count);
  RawFileBuilder& Samples(SampleSource source);
  RawFileBuilder& ExtraDataBytes(std::size_t count);  // a trailing partial frame
  RawFileBuilder& TruncateTo(std::size_t length);     // cut the finished file
  RawFileBuilder& PokeByte(std::size_t offset, unsigned char value);

  int SampleWidth() const;
  std::vector<unsigned char> Build() const;
  void WriteTo(const std::filesystem::path& path) const;

 private:
  std::string m_station;
  int m_day = 7, m_month = 3, m_year = 7;
  double m_time_of_day = 6 * 3600.0 + 12 * 60.0;
  double m_interval = 0.01;
  int m_format = 16;
  std::vector<RawChannelLayout> m_channels;
  std::optional<int> m_channel_count_field;
  std::int64_t m_frames = 0;
  SampleSource m_source;
  std::size_t m_extra = 0;
  std::size_t m_truncate = static_cast<std::size_t>(-1);
  std::vector<std::pair<std::size_t, unsigned char>> m_pokes;
};

}  // namespace korvel::test

#include "tests/support/raw_file_builder.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace korvel::test {
namespace {

void Put16(std::vector<unsigned char>& out, std::size_t at, int value) {
  const auto v = static_cast<std::uint16_t>(value);
  out[at] = static_cast<unsigned char>(v & 0xFF);
  out[at + 1] = static_cast<unsigned char>(v >> 8);
}

void Put64(std::vector<unsigned char>& out, std::size_t at, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[at + i] = static_cast<unsigned char>(bits >> (8 * i));
}

void PutText(std::vector<unsigned char>& out, std::size_t at, std::string_view text,
             std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    out[at + i] = i < text.size() ? static_cast<unsigned char>(text[i]) : ' ';
}

}  // namespace

std::int32_t DefaultSample(int channel, std::int64_t frame, int sample_width) {
  // A sawtooth per channel, offset so that both signs and the extremes of a
  // 16-bit sample appear; 32-bit samples reach beyond float's exact range.
  const std::int64_t span = sample_width == 2 ? 65536 : 4294967296LL;
  const std::int64_t step = sample_width == 2 ? 977 : 1000003337LL;
  const std::int64_t raw = (frame * step + channel * 12345) % span;
  return static_cast<std::int32_t>(raw - span / 2);
}

RawFileBuilder::RawFileBuilder() : m_station("STA") {}

RawFileBuilder& RawFileBuilder::Station(std::string_view name) {
  m_station = std::string(name.substr(0, 16));
  m_station.resize(16, ' ');
  return *this;
}

RawFileBuilder& RawFileBuilder::StationField(const std::string& exactly16) {
  if (exactly16.size() != 16) throw std::invalid_argument("station field must be 16 bytes");
  m_station = exactly16;
  return *this;
}

RawFileBuilder& RawFileBuilder::Date(int day, int month, int year) {
  m_day = day, m_month = month, m_year = year;
  return *this;
}

RawFileBuilder& RawFileBuilder::TimeOfDay(double seconds) {
  m_time_of_day = seconds;
  return *this;
}

RawFileBuilder& RawFileBuilder::SampleInterval(double seconds) {
  m_interval = seconds;
  return *this;
}

RawFileBuilder& RawFileBuilder::SampleFormat(int value) {
  m_format = value;
  return *this;
}

RawFileBuilder& RawFileBuilder::AddChannel(RawChannelLayout channel) {
  m_channels.push_back(std::move(channel));
  return *this;
}

RawFileBuilder& RawFileBuilder::Channels(const std::vector<std::string>& names) {
  m_channels.clear();
  for (const std::string& name : names) m_channels.push_back({name, 1.0, 1.0});
  return *this;
}

RawFileBuilder& RawFileBuilder::ChannelCountField(int value) {
  m_channel_count_field = value;
  return *this;
}

RawFileBuilder& RawFileBuilder::Frames(std::int64_t count) {
  m_frames = count;
  return *this;
}

RawFileBuilder& RawFileBuilder::Samples(SampleSource source) {
  m_source = std::move(source);
  return *this;
}

RawFileBuilder& RawFileBuilder::ExtraDataBytes(std::size_t count) {
  m_extra = count;
  return *this;
}

RawFileBuilder& RawFileBuilder::TruncateTo(std::size_t length) {
  m_truncate = length;
  return *this;
}

RawFileBuilder& RawFileBuilder::PokeByte(std::size_t offset, unsigned char value) {
  m_pokes.emplace_back(offset, value);
  return *this;
}

int RawFileBuilder::SampleWidth() const { return m_format == 16 || m_format == 0 ? 2 : 4; }

std::vector<unsigned char> RawFileBuilder::Build() const {
  const std::size_t n = m_channels.size();
  const auto w = static_cast<std::size_t>(SampleWidth());
  const std::size_t table = 120 + 72 * n;
  const std::size_t data = static_cast<std::size_t>(m_frames) * n * w + m_extra;
  std::vector<unsigned char> out(table + data, 0);

  Put16(out, 0, m_channel_count_field.value_or(static_cast<int>(n)));
  Put16(out, 6, m_day);
  Put16(out, 8, m_month);
  Put16(out, 10, m_year);
  Put16(out, 18, m_format);
  PutText(out, 32, m_station, 16);
  Put64(out, 48, m_interval);
  Put64(out, 56, m_time_of_day);

  for (std::size_t c = 0; c < n; ++c) {
    const std::size_t at = 120 + 72 * c;
    PutText(out, at + 8, m_channels[c].name, 24);
    Put64(out, at + 56, m_channels[c].calibration);
    Put64(out, at + 64, m_channels[c].calibration_frequency);
  }

  unsigned char* p = out.data() + table;
  for (std::int64_t k = 0; k < m_frames; ++k) {
    for (std::size_t c = 0; c < n; ++c) {
      const std::int32_t s = m_source ? m_source(static_cast<int>(c), k)
                                      : DefaultSample(static_cast<int>(c), k, static_cast<int>(w));
      const auto u = static_cast<std::uint32_t>(s);
      for (std::size_t b = 0; b < w; ++b) *p++ = static_cast<unsigned char>(u >> (8 * b));
    }
  }
  for (std::size_t i = 0; i < m_extra; ++i) *p++ = static_cast<unsigned char>(0xA5 ^ i);

  for (const auto& [offset, value] : m_pokes)
    if (offset < out.size()) out[offset] = value;
  if (m_truncate < out.size()) out.resize(m_truncate);
  return out;
}

void RawFileBuilder::WriteTo(const std::filesystem::path& path) const {
  const std::vector<unsigned char> bytes = Build();
  std::ofstream os(path, std::ios::binary | std::ios::trunc);
  os.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!os.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace korvel::test

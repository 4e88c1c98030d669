#include "tests/support/mseed_records.h"

#include <bit>
#include <chrono>
#include <cstring>

namespace korvel::test {
namespace {

constexpr std::size_t kFixedHeader = 48;
constexpr std::size_t kFrame = 64;

std::uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3]));
}
std::uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) << 8 |
                                    static_cast<unsigned char>(b[at + 1]));
}
std::uint8_t U8(const std::string& b, std::size_t at) { return static_cast<std::uint8_t>(b[at]); }

std::string Field(const std::string& b, std::size_t at, std::size_t width) {
  std::string text = b.substr(at, width);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The low `bits` of `word` as a signed number.
std::int32_t Signed(std::uint32_t word, int bits) {
  const std::uint32_t value = word & ((1u << bits) - 1u);
  const std::uint32_t sign = 1u << (bits - 1);
  return static_cast<std::int32_t>(value ^ sign) - static_cast<std::int32_t>(sign);
}

// Steim-2 frames: differences by each word's two-bit code (and, for codes 2
// and 3, the word's own top two bits), integrated from the first sample of
// frame 0; its last sample must be the record's last.
bool DecodeSteim2(const std::string& data, std::size_t count, std::vector<float>& samples,
                  std::string& error) {
  std::vector<std::int32_t> differences;
  std::int32_t first = 0, last = 0;
  for (std::size_t frame = 0; frame + kFrame <= data.size() && differences.size() < count;
       frame += kFrame) {
    const std::uint32_t codes = U32(data, frame);
    for (int w = 1; w < 16; ++w) {
      const std::uint32_t word = U32(data, frame + 4 * static_cast<std::size_t>(w));
      const unsigned code = (codes >> (30 - 2 * w)) & 3u;
      if (frame == 0 && w == 1) first = static_cast<std::int32_t>(word);
      if (frame == 0 && w == 2) last = static_cast<std::int32_t>(word);
      if (frame == 0 && w <= 2) continue;
      const unsigned dnib = word >> 30;
      int n = 0, bits = 0;
      if (code == 1) n = 4, bits = 8;
      if (code == 2 && dnib == 1) n = 1, bits = 30;
      if (code == 2 && dnib == 2) n = 2, bits = 15;
      if (code == 2 && dnib == 3) n = 3, bits = 10;
      if (code == 3 && dnib == 0) n = 5, bits = 6;
      if (code == 3 && dnib == 1) n = 6, bits = 5;
      if (code == 3 && dnib == 2) n = 7, bits = 4;
      if (code != 0 && n == 0) {
        error = "a Steim-2 word of no known form";
        return false;
      }
      for (int k = n - 1; k >= 0; --k) differences.push_back(Signed(word >> (k * bits), bits));
    }
  }
  if (differences.size() < count) {
    error = "fewer Steim-2 differences than samples";
    return false;
  }
  std::int32_t x = first;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) x += differences[i];  // the first is taken from the record before
    samples.push_back(static_cast<float>(x));
  }
  if (count > 0 && x != last) {
    error = "the last Steim-2 sample is not the reverse integration constant";
    return false;
  }
  return true;
}

bool DecodeFloat32(const std::string& data, std::size_t count, std::vector<float>& samples,
                   std::string& error) {
  if (4 * count > data.size()) {
    error = "fewer float32 bytes than samples";
    return false;
  }
  for (std::size_t i = 0; i < count; ++i) samples.push_back(std::bit_cast<float>(U32(data, 4 * i)));
  return true;
}

std::int64_t Microseconds(int year, int day_of_year, int hour, int minute, int second,
                          int ten_thousandths) {
  using namespace std::chrono;
  const sys_days day = sys_days{std::chrono::year{year} / January / 1} + days{day_of_year - 1};
  const std::int64_t seconds =
      day.time_since_epoch().count() * 86400LL + hour * 3600LL + minute * 60LL + second;
  return seconds * 1000000 + ten_thousandths * 100LL;
}

std::optional<MseedRecord> ParseRecord(const std::string& bytes, std::size_t at,
                                       std::string& error) {
  if (bytes.size() - at < kFixedHeader) {
    error = "a record shorter than its fixed header";
    return std::nullopt;
  }
  const std::string h = bytes.substr(at, kFixedHeader);
  MseedRecord r;
  r.sequence = h.substr(0, 6);
  r.quality = h[6];
  r.station = Field(h, 8, 5);
  r.location = Field(h, 13, 2);
  r.channel = Field(h, 15, 3);
  r.network = Field(h, 18, 2);
  const std::size_t count = U16(h, 30);
  r.rate_factor = static_cast<std::int16_t>(U16(h, 32));
  r.rate_multiplier = static_cast<std::int16_t>(U16(h, 34));
  r.activity = U8(h, 36);
  r.io = U8(h, 37);
  r.quality_flags = U8(h, 38);
  const int blockettes = U8(h, 39);
  r.time_correction = static_cast<std::int32_t>(U32(h, 40));
  const std::size_t data_offset = U16(h, 44);
  std::size_t next = U16(h, 46);
  for (int b = 0; b < blockettes; ++b) {
    if (next < kFixedHeader || at + next + 8 > bytes.size()) {
      error = "a blockette outside its record";
      return std::nullopt;
    }
    const std::uint16_t type = U16(bytes, at + next);
    if (type == 1000) {
      r.encoding = U8(bytes, at + next + 4);
      r.word_order = U8(bytes, at + next + 5);
      r.length = 1 << U8(bytes, at + next + 6);
    } else if (type == 1001) {
      r.has_1001 = true;
      r.timing_quality = U8(bytes, at + next + 4);
      r.microseconds = static_cast<std::int8_t>(U8(bytes, at + next + 5));
    }
    next = U16(bytes, at + next + 2);
  }
  if (r.length < static_cast<int>(kFixedHeader) || at + r.length > bytes.size() ||
      data_offset < kFixedHeader || data_offset > static_cast<std::size_t>(r.length)) {
    error = "no Blockette 1000, or a record length beyond the bytes";
    return std::nullopt;
  }
  if (r.word_order != 1) {
    error = "not big-endian";
    return std::nullopt;
  }
  r.start = Microseconds(U16(h, 20), U16(h, 22), U8(h, 24), U8(h, 25), U8(h, 26), U16(h, 28)) +
            r.microseconds;
  const std::string data = bytes.substr(at + data_offset, r.length - data_offset);
  if (r.encoding == 11) {
    if (!DecodeSteim2(data, count, r.samples, error)) return std::nullopt;
  } else if (r.encoding == 4) {
    if (!DecodeFloat32(data, count, r.samples, error)) return std::nullopt;
  } else {
    error = "an encoding other than Steim-2 or float32";
    return std::nullopt;
  }
  return r;
}

}  // namespace

double MseedRecord::Rate() const {
  const double f = rate_factor, m = rate_multiplier;
  if (f > 0 && m > 0) return f * m;
  if (f > 0 && m < 0) return -f / m;
  if (f < 0 && m > 0) return -m / f;
  if (f < 0 && m < 0) return 1.0 / (f * m);
  return 0.0;
}

std::optional<std::vector<MseedRecord>> ParseMseedRecords(const std::string& bytes,
                                                          std::string* error) {
  std::vector<MseedRecord> records;
  std::string why;
  for (std::size_t at = 0; at < bytes.size();) {
    std::optional<MseedRecord> record = ParseRecord(bytes, at, why);
    if (!record) {
      if (error) *error = "at byte " + std::to_string(at) + ": " + why;
      return std::nullopt;
    }
    at += static_cast<std::size_t>(record->length);
    records.push_back(std::move(*record));
  }
  return records;
}

}  // namespace korvel::test

#include "seed/record_packer.h"

#include <libmseed.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace korvel {
namespace {

// Samples handed to libmseed at once: more than a record's worth, little
// beside a day.
constexpr std::size_t kBufferSamples = 1 << 16;

constexpr float kLargestExactInteger = 16777216.0f;

void CopyCode(char (&field)[11], const std::string& code) {
  std::strncpy(field, code.c_str(), sizeof field - 1);
  field[sizeof field - 1] = '\0';
}

void PutBigEndian16(char* at, unsigned value) {
  at[0] = static_cast<char>(value >> 8);
  at[1] = static_cast<char>(value & 0xFF);
}

unsigned BigEndian16(const char* at) {
  return static_cast<unsigned>(static_cast<unsigned char>(at[0])) << 8 |
         static_cast<unsigned char>(at[1]);
}

}  // namespace

bool AllExactIntegers(std::span<const float> samples) {
  return std::all_of(samples.begin(), samples.end(), [](float v) {
    return std::isfinite(v) && std::fabs(v) <= kLargestExactInteger && std::trunc(v) == v;
  });
}

RecordPacker::RecordPacker(const SeedCodes& codes, Sink sink, int last_sequence)
    : m_sink(std::move(sink)) {
  // The records' template: the codes, and a Blockette 1001 for what the
  // fixed header's 100-microsecond start time leaves.
  m_template = msr_init(nullptr);
  m_trace = mst_init(nullptr);
  blkt_1001_s microseconds{};
  if (m_template == nullptr || m_trace == nullptr ||
      msr_addblockette(m_template, reinterpret_cast<char*>(&microseconds), sizeof microseconds,
                       1001, 0) == nullptr) {
    m_failed = true;
    return;
  }
  for (auto [field, trace_field, code] :
       {std::tuple{&m_template->network, &m_trace->network, &codes.network},
        {&m_template->station, &m_trace->station, &codes.station},
        {&m_template->location, &m_trace->location, &codes.location},
        {&m_template->channel, &m_trace->channel, &codes.channel}}) {
    CopyCode(*field, *code);
    CopyCode(*trace_field, *code);
  }
  m_template->dataquality = m_trace->dataquality = 'D';
  // libmseed numbers the next record from the template's number.
  m_template->sequence_number = last_sequence >= 999999 ? 1 : last_sequence + 1;
}

RecordPacker::~RecordPacker() {
  mst_free(&m_trace);  // with its buffer
  msr_free(&m_template);
}

bool RecordPacker::Follow(std::int32_t last_steim2_sample) {
  if (m_failed) return false;
  // mst_pack packs with the trace's stream state, not the template's.
  if (m_trace->ststate == nullptr)
    m_trace->ststate = static_cast<StreamState*>(std::calloc(1, sizeof(StreamState)));
  if (m_trace->ststate == nullptr) {
    m_failed = true;
    return false;
  }
  m_trace->ststate->lastintsample = last_steim2_sample;
  m_trace->ststate->comphistory = 1;
  return true;
}

bool RecordPacker::Begin(std::int64_t start, double rate, bool integers, std::uint64_t first) {
  if (m_failed) return false;
  m_start = start;
  m_rate = rate;
  m_integers = integers;
  m_stamped = first;
  m_trace->samprate = rate;
  m_trace->numsamples = m_trace->samplecnt = 0;
  m_trace->sampletype = integers ? 'i' : 'f';
  if (m_trace->datasamples == nullptr)
    m_trace->datasamples = std::malloc(kBufferSamples * sizeof(float));
  m_failed = m_trace->datasamples == nullptr;
  return !m_failed;
}

bool RecordPacker::Add(std::span<const float> samples) {
  while (!m_failed && !samples.empty()) {
    const auto held = static_cast<std::size_t>(m_trace->numsamples);
    const std::size_t n = std::min(samples.size(), kBufferSamples - held);
    if (m_integers) {
      auto* to = static_cast<std::int32_t*>(m_trace->datasamples) + held;
      for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<std::int32_t>(samples[i]);
    } else {
      std::memcpy(static_cast<float*>(m_trace->datasamples) + held, samples.data(),
                  n * sizeof(float));
    }
    m_trace->numsamples = m_trace->samplecnt = static_cast<std::int64_t>(held + n);
    samples = samples.subspan(n);
    if (held + n == kBufferSamples) Pack(false);
  }
  return !m_failed;
}

bool RecordPacker::End() {
  if (!m_failed && m_trace->numsamples > 0) Pack(true);
  return !m_failed;
}

bool RecordPacker::Pack(bool flush) {
  m_trace->starttime =
      m_start + std::llround(static_cast<double>(m_stamped) * kMicroseconds / m_rate);
  m_trace->endtime = m_trace->starttime;
  std::int64_t packed = 0;
  const int records =
      mst_pack(m_trace, Take, this, kSeedRecordLength, m_integers ? DE_STEIM2 : DE_FLOAT32, 1,
               &packed, flush, 0, m_template);
  if (records < 0 || (flush && m_trace->numsamples != 0)) m_failed = true;
  // libmseed moves what it leaves to the buffer's start, and may give the
  // buffer back or shrink it: the room is made again.
  void* room = std::realloc(m_trace->datasamples, kBufferSamples * sizeof(float));
  if (room == nullptr)
    m_failed = true;
  else
    m_trace->datasamples = room;
  return !m_failed;
}

void RecordPacker::Take(char* record, int length, void* packer) {
  auto* self = static_cast<RecordPacker*>(packer);
  if (self->m_failed) return;
  self->Stamp(record);
  if (!self->m_sink(std::string_view(record, static_cast<std::size_t>(length))))
    self->m_failed = true;
}

// The fixed header's start (to 0.0001 s, rounded to the nearest) and
// Blockette 1001's microseconds (-50 to +49) from the segment's start and
// the samples before the record, so that no sum of rounded times from
// earlier records or earlier buffers creeps in.
void RecordPacker::Stamp(char* record) {
  const std::int64_t time =
      m_start + std::llround(static_cast<double>(m_stamped) * kMicroseconds / m_rate);
  m_stamped += BigEndian16(record + 30);
  std::int64_t ticks = (time + 50) / 100;
  if ((time + 50) % 100 < 0) --ticks;  // rounded down before 1970 too
  BTime btime{};
  ms_hptime2btime(ticks * 100, &btime);
  PutBigEndian16(record + 20, btime.year);
  PutBigEndian16(record + 22, btime.day);
  record[24] = static_cast<char>(btime.hour);
  record[25] = static_cast<char>(btime.min);
  record[26] = static_cast<char>(btime.sec);
  PutBigEndian16(record + 28, btime.fract);
  unsigned at = BigEndian16(record + 46);
  for (int blockette = 0; blockette < 8 && at != 0 && at + 6 <= kSeedRecordLength; ++blockette) {
    if (BigEndian16(record + at) == 1001) {
      record[at + 5] = static_cast<char>(static_cast<std::int8_t>(time - ticks * 100));
      break;
    }
    at = BigEndian16(record + at + 2);
  }
}

}  // namespace korvel

#pragma once
// miniSEED records made through libmseed as samples arrive, a buffer's
// worth at a time, so that no day is ever held whole. Each record carries
// Blockette 1001 and is stamped with its first sample's time counted from
// its segment's start (start + samples before it / rate, to the
// microsecond), whatever pieces the samples came in; the same segments give
// the same bytes.

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "seed/sds_day_file.h"

struct MSRecord_s;
struct MSTrace_s;

namespace korvel {

class RecordPacker {
 public:
  // Takes each finished record; false stops the packing.
  using Sink = std::function<bool(std::string_view record)>;

  // Records are numbered on from `last_sequence`.
  RecordPacker(const SeedCodes& codes, Sink sink, int last_sequence = 0);
  ~RecordPacker();
  RecordPacker(const RecordPacker&) = delete;
  RecordPacker& operator=(const RecordPacker&) = delete;

  // Records that follow others in a file: Steim-2 differences start from
  // the last sample of the latest Steim-2 record before them, as they would
  // had all been packed at once.
  bool Follow(std::int32_t last_steim2_sample);

  // A segment: its sample i at start + i / rate; Steim-2 when every sample
  // is an integer that float32 holds exactly (`integers`), else float32.
  // The samples to come begin with its sample `first` (the rest of a
  // segment whose beginning is in records already).
  bool Begin(std::int64_t start, double rate, bool integers, std::uint64_t first = 0);
  bool Add(std::span<const float> samples);
  // Packs what is left of the segment, the last record however full.
  bool End();

  bool Failed() const { return m_failed; }

 private:
  bool Pack(bool flush);
  void Stamp(char* record);
  static void Take(char* record, int length, void* packer);

  Sink m_sink;
  MSRecord_s* m_template = nullptr;
  MSTrace_s* m_trace = nullptr;
  std::int64_t m_start = 0;
  double m_rate = 0.0;
  bool m_integers = true;
  std::uint64_t m_stamped = 0;  // samples of the segment in records so far
  bool m_failed = false;
};

// Integers up to 2^24 are exactly what float32 holds of them.
bool AllExactIntegers(std::span<const float> samples);

}  // namespace korvel

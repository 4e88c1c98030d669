// Feeds arbitrary bytes to the TQF4.0 header reader, as verify and a run that
// continues an earlier file read headers that anyone may have written.

#include <cstdint>
#include <cstring>

#include "engine/tqf_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korvel::TqfHeader header;
  header.fill(' ');
  std::memcpy(header.data(), data, size < header.size() ? size : header.size());
  const korvel::ParsedTqfHeader parsed = korvel::ParseTqfHeader(header);
  // Either fields or the name of the line that failed, never both or neither.
  if (parsed.fields.has_value() == !parsed.defect.empty()) __builtin_trap();
  if (!parsed.fields) return 0;
  const korvel::TqfHeaderFields& f = *parsed.fields;
  if (f.station.empty() || f.channel.empty() || !(f.sampling_rate > 0.0)) __builtin_trap();
  // A header of ours reads back to the same fields.
  if (korvel::IsOwnTqfHeader(header, f)) {
    const korvel::ParsedTqfHeader again =
        korvel::ParseTqfHeader(korvel::BuildHeader(f.station, f.channel, f.sampling_rate, f.start));
    if (!again.fields || again.fields->start != f.start || again.fields->station != f.station)
      __builtin_trap();
  }
  return 0;
}

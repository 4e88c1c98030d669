#include "seed/seed_codes.h"

#include <cmath>

namespace korvel {

std::optional<char> BandCode(double sampling_rate) {
  // The lower bound of each band, fastest first; a rate near one of the
  // long-period bands' nominal rates falls in the band above it.
  struct Band {
    double from;
    char code;
  };
  static constexpr Band kBands[] = {{1000.0, 'F'}, {250.0, 'C'},  {80.0, 'H'},
                                    {10.0, 'B'},   {1.0001, 'M'}, {0.5, 'L'},
                                    {0.05, 'V'},   {0.005, 'U'},  {0.0001, 'R'}};
  if (!std::isfinite(sampling_rate) || sampling_rate >= 5000.0) return std::nullopt;
  for (const Band& band : kBands)
    if (sampling_rate >= band.from) return band.code;
  return std::nullopt;
}

std::optional<std::string> DefaultSeedChannel(const std::string& channel, double sampling_rate) {
  char orientation = 0;
  if (channel == "Z") orientation = 'Z';
  if (channel == "N-S") orientation = 'N';
  if (channel == "E-W") orientation = 'E';
  const std::optional<char> band = BandCode(sampling_rate);
  if (orientation == 0 || !band) return std::nullopt;
  return std::string{*band, 'H', orientation};
}

bool IsSeedCode(const std::string& code, std::size_t shortest, std::size_t longest) {
  if (code.size() < shortest || code.size() > longest) return false;
  for (const char c : code)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

}  // namespace korvel

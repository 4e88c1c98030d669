#pragma once
// The SEED names of our recordings: the network and location codes of
// korvel2tqf.ini [SEED], and a channel code from the station's own map or
// from the channel's sample rate and orientation.

#include <cstddef>
#include <optional>
#include <string>

namespace korvel {

// The SEED manual's band code for a broadband instrument (corner period of
// 10 s or more) at this sample rate: F, C, H, B, M, L, V, U, R; nothing
// outside the table.
std::optional<char> BandCode(double sampling_rate);

// Z, N-S and E-W: the band code, 'H' (a high-gain seismometer) and Z, N or
// E; nothing for any other channel.
std::optional<std::string> DefaultSeedChannel(const std::string& channel, double sampling_rate);

// Upper-case Latin letters and digits only, between `shortest` and
// `longest` characters: what SEED allows in its codes.
bool IsSeedCode(const std::string& code, std::size_t shortest, std::size_t longest);

inline constexpr std::size_t kSeedStationLength = 5;

}  // namespace korvel

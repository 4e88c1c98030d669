#pragma once
// The step that follows, said after a first-use command: what init-catalogue
// and add-channels leave to do, and what an empty station list lacks. One
// line each on standard error.

#include <string>
#include <vector>

namespace korvel::cli {

// After the catalogue of data source `dsn` (UTF-8) was made or found.
void SayNextAfterInitCatalogue(const std::string& dsn);

// After add-channels read raw files of `stations` (code page 1251).
void SayNextAfterAddChannels(const std::vector<std::string>& stations);

// `channels` found no row of `station` (code page 1251): SITECHAN is empty,
// or lists other stations. Needs the open catalogue.
void SayNoChannelsListed(const std::string& station);

}  // namespace korvel::cli

#pragma once
// The archive checked against its catalogue, file by file: a catalogued file
// is there, holds the samples its row says and its header names the row's
// station, channel, rate and start second; a file that no row names is an
// orphan. Plain checks of the file system; the catalogue is read and
// corrected by the command that uses them.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/time_arithmetic.h"
#include "engine/tqf_header.h"

namespace korvel {

// What a row says of its file.
struct RowClaim {
  std::string station;  // code page 1251
  std::string channel;
  std::optional<double> tbegin, tqty, sps;
};

enum class FileProblemKind { kMissing, kLength, kHeader };

struct FileProblem {
  FileProblemKind kind = FileProblemKind::kMissing;
  // kMissing: nothing at all is at the path (else something that is no
  // readable file is).
  bool absent = false;
  // kLength: the samples the row says (nothing when it says no number) and
  // those the file holds (a fraction for a partial last sample).
  std::optional<std::uint64_t> row_samples;
  double file_samples = 0.0;
  // kHeader: the field, the row's value and the file's (code page 1251).
  std::string field, row_value, file_value;
};

// The problems of one catalogued file; none when file and row agree.
std::vector<FileProblem> CheckCataloguedFile(const std::filesystem::path& file,
                                             const RowClaim& row);

// A file that no row names.
struct OrphanFile {
  std::string relative_path;  // code page 1251, "/" between parts, below the output root
  std::optional<TqfHeaderFields> header;  // when it is a whole header
  std::uint64_t samples = 0;
  // A file of ours that may be catalogued as it is: our own header, whole
  // samples, and the path this program gives such a file.
  bool ours = false;
};

// Every regular file below root/folder (links are not followed, the
// station's lock file is left out) whose path below the root is not among
// `named` (code page 1251, "/").
std::vector<OrphanFile> FindOrphans(const std::string& output_root, const std::string& folder,
                                    const std::set<std::string>& named);

// The path below the output root that a stored CPATH names (code page 1251,
// "/", normal form); nothing when it names no file there: empty, climbing
// out with "..", or absolute elsewhere.
std::optional<std::string> PathBelowRoot(const std::string& output_root, const std::string& cpath);

}  // namespace korvel

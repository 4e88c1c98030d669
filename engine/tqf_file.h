#pragma once
// The TQF4.0 file: a 512-byte text header of CR LF lines, then the samples of
// one channel as little-endian 32-bit floats; laid out below the output root
// as STATION/HH/DDMMYYYY-HHMMSS-CHANNEL.STATION.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalogue.h"  // kStationLockFile
#include "engine/file_error.h"
#include "engine/time_arithmetic.h"
#include "platform/walked_folder.h"

namespace korvel {

inline constexpr std::size_t kTqfHeaderSize = 512;

using TqfHeader = std::array<char, kTqfHeaderSize>;

TqfHeader BuildHeader(std::string_view station, std::string_view channel, double sampling_rate,
                      EpochSeconds file_start);

// A station or channel name as it appears in directory and file names: every
// byte that a file name cannot hold (control characters, spaces, "/", "\\",
// ":", "*", "?", "\"", "<", ">", "|", a last "." that Windows would drop)
// and "%" itself as "%HH", two upper-case hex digits. Two names never share a
// form, whatever order they are met in; a name that needs none keeps its own.
// The one mapping for the writer, continuation, verify and the station lock.
std::string FileNameForm(std::string_view name);

// STATION/HH/DDMMYYYY-HHMMSS-CHANNEL.STATION below the output root, with "/"
// between the parts; code page 1251. The station and channel names are used
// whole (16 and 24 characters at most in a raw file): cut short, two channels
// of one file could share a name.
std::string TqfRelativePath(std::string_view station, std::string_view channel,
                            EpochSeconds file_start);

// The lock file of a station's output folder.
std::string StationLockPath(std::string_view output_root, std::string_view station);

// The output root followed by the relative path, the native separator
// between them and in place of the relative path's "/" (Windows: "\").
std::string TqfFullPath(std::string_view output_root, std::string_view relative_path);

// A folder below the output root (code page 1251, "/" between its parts),
// reached as every output file's folder is: from the root one name at a time,
// no link followed but the site's own (platform/walked_folder.h); with
// `make` the missing ones are made, never the root itself.
WalkedFolder OutputFolder(std::string_view output_root, std::string_view relative_folder,
                          bool make);
// A walk that stopped, as a failure of `operation` on `full_path` (code page
// 1251): the system's reason, or the link refused and why.
FileError WalkFailed(FileOperation operation, std::string_view full_path,
                     const WalkFailure& failure);

// Below: files by the output root and their path below it ("/" between the
// parts, code page 1251), reached through OutputFolder; a failure names the
// full path.

// Creates the station and hour directories (not the root) and writes a new
// file, never through a symbolic link. A new name is created exclusively in
// place. An older file of the name is left alone: the bytes go beside it to
// StagedTqfPath (`staged` is set, on failure too), to be moved over it by
// CommitTqfFile once the new file is catalogued. A name held by a link, a folder or anything else
// that is no regular file is refused (kCreate). On failure nothing is left on
// disk.
FileResult CreateTqfFile(std::string_view output_root, std::string_view relative_path,
                         const TqfHeader& header, std::span<const float> samples,
                         bool* staged = nullptr);
// A path (relative or full) with the staging suffix.
std::string StagedTqfPath(std::string_view path);
// Moves the staged file over its path, replacing what was there in one step.
FileResult CommitTqfFile(std::string_view output_root, std::string_view relative_path);

// Appends samples to an existing file, header untouched; a link is not
// followed (kOpen). On a failed write the file is cut back to its old length. With `samples_there`,
// a file that does not hold exactly that many samples is not touched (changed_elsewhere): its end
// is not where this program's samples continue.
FileResult ExtendTqfFile(std::string_view output_root, std::string_view relative_path,
                         std::span<const float> samples,
                         std::optional<std::uint64_t> samples_there = std::nullopt);
// The same in two steps, for a file kept open between extensions: `fd` is
// opened (and `samples_there` checked) on first use and stays open; a failed
// write leaves the file as it was and closes it (fd -1).
FileResult AppendTqfSamples(int& fd, std::string_view output_root, std::string_view relative_path,
                            std::span<const float> samples,
                            std::optional<std::uint64_t> samples_there = std::nullopt);
// The same for several pieces, written in as few calls as the system allows.
FileResult AppendTqfSampleBlocks(int& fd, std::string_view output_root,
                                 std::string_view relative_path,
                                 std::span<const std::vector<float>> blocks);
// Closes a kept file (fd -1 afterwards); a failed close is a write error
// naming `full_path`.
FileResult CloseTqfFile(int& fd, std::string_view full_path);

// The file's bytes on the disk itself, and with `new_name` its folder's
// entry too, so that a power cut cannot leave its row longer than the file.
// A link is not followed.
FileResult SyncTqfFile(std::string_view output_root, std::string_view relative_path, bool new_name);

// Cuts a file back to `samples` samples after its header, so that it holds no
// more than its catalogue row says.
FileResult CutBackTqfFile(std::string_view output_root, std::string_view relative_path,
                          std::uint64_t samples);
// Removes a file that could not be catalogued.
FileResult RemoveTqfFile(std::string_view output_root, std::string_view relative_path);

}  // namespace korvel

#include "engine/tqf_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/file_io.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/text1251.h"
#include "platform/walked_folder.h"

namespace korvel {
namespace {

std::string Format(const char* format, auto... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

// A byte a file name cannot hold on either system; "%" is the escape itself.
bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7F || std::strchr(" /\\:*?\"<>|%", c) != nullptr;
}

FileError Failed(FileOperation operation, std::string_view path, int system_error) {
  return {operation, Cp1251ToUtf8(path), system_error};
}

bool WriteSamples(int fd, std::span<const float> samples, std::size_t& done) {
  if constexpr (std::endian::native == std::endian::little) {
    return WriteAll(fd, samples.data(), samples.size_bytes(), done);
  } else {
    std::vector<std::uint32_t> swapped(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const auto v = std::bit_cast<std::uint32_t>(samples[i]);
      swapped[i] = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }
    return WriteAll(fd, swapped.data(), swapped.size() * 4, done);
  }
}

}  // namespace

TqfHeader BuildHeader(std::string_view station, std::string_view channel, double sampling_rate,
                      EpochSeconds file_start) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  float seconds = 0.0f;
  SplitEpochSeconds(file_start, year, month, day, hour, minute, seconds);
  int zy = 0, zmo = 0, zd = 0, zh = 0, zmi = 0;
  float zs = 0.0f;
  SplitEpochSeconds(0.0, zy, zmo, zd, zh, zmi, zs);

  std::string text;
  text += "[TQF4.0]\r\n";
  text += "Data offset=512\r\n";
  text += Format("Start time=%02d %02d %02d\r\n", hour, minute, static_cast<int>(seconds));
  text += Format("Start date=%02d %02d %04d\r\n", day, month, year);
  text += Format("Time duration=%02d %02d %02d\r\n", zh, zmi, static_cast<int>(zs));
  text += "Data Type=FLOAT\r\n";
  text += "SpS=" + FixedNumber(sampling_rate, 6) + "\r\n";
  text += Format("Gain=%d\r\n", 1);
  text += "Station=" + std::string(station) + "\r\n";
  text += "Channel=\"" + std::string(channel) + "\"\r\n";

  TqfHeader header;
  header.fill(' ');
  // Names are at most 16 and 24 characters, so the text always fits with its NUL.
  const std::size_t length = std::min(text.size(), kTqfHeaderSize - 1);
  std::memcpy(header.data(), text.data(), length);
  header[length] = '\0';
  return header;
}

std::string FileNameForm(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string form;
  form.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    // A last "." is dropped by Windows, which also leaves no name of "." or "..".
    if (NeedsEscape(c) || (c == '.' && i + 1 == name.size())) {
      form += '%';
      form += kHex[c >> 4];
      form += kHex[c & 0xF];
    } else {
      form += static_cast<char>(c);
    }
  }
  return form;
}

std::string TqfRelativePath(std::string_view station, std::string_view channel,
                            EpochSeconds file_start) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  float seconds = 0.0f;
  SplitEpochSeconds(file_start, year, month, day, hour, minute, seconds);
  const std::string station_name = FileNameForm(station);
  const std::string name =
      Format("%02d%02d%04d-%02d%02d%02d-%s.%s", day, month, year, hour, minute,
             static_cast<int>(seconds), FileNameForm(channel).c_str(), station_name.c_str());
  return station_name + "/" + Format("%02d", hour) + "/" + name;
}

std::string StationLockPath(std::string_view output_root, std::string_view station) {
  return TqfFullPath(output_root, FileNameForm(station) + "/" + kStationLockFile);
}

std::string TqfFullPath(std::string_view output_root, std::string_view relative_path) {
  return WithTrailingSeparator(std::string(output_root)) +
         NativeSeparators(std::string(relative_path));
}

namespace {

// A new file whose name an older file holds is written under the name plus
// this, and moved over the older one once its row is in the catalogue: a
// refused row leaves the older file as its row says.
constexpr const char* kStagingSuffix = ".part";

// A file below the output root: its folder, walked to from the root, and its
// name there; the full path for messages.
struct Place {
  WalkedFolder folder;
  std::filesystem::path name;
  std::string full;
};

Place PlaceOf(std::string_view output_root, std::string_view relative_path, bool make) {
  const std::filesystem::path relative = NativePath(relative_path);
  return {WalkedFolder::Root(NativePath(output_root)).Below(relative.parent_path(), make),
          relative.filename(), TqfFullPath(output_root, relative_path)};
}

// Opens the new file: exclusively in place, or beside an older regular file
// of the name. Neither open follows a link: a planted link is a name taken,
// never a way to write elsewhere.
int OpenNewFile(const Place& place, std::filesystem::path& name, bool& staged) {
  name = place.name;
  staged = false;
  const int fd = place.folder.CreateNewFile(name);
  if (fd >= 0 || errno != EEXIST) return fd;
  const WalkedFolder::Entry kind = place.folder.Kind(name);
  if (kind != WalkedFolder::Entry::kFile) {
    errno = kind == WalkedFolder::Entry::kLink     ? ELOOP
            : kind == WalkedFolder::Entry::kFolder ? EISDIR
                                                   : EEXIST;
    return -1;
  }
  name += kStagingSuffix;
  staged = true;
  // A staging file left by a run that was killed is ours to replace (under
  // the station's lock); whatever it is, it goes, never what it points to.
  if (place.folder.Remove(name) || errno == ENOENT) return place.folder.CreateNewFile(name);
  return -1;
}

}  // namespace

WalkedFolder OutputFolder(std::string_view output_root, std::string_view relative_folder,
                          bool make) {
  return WalkedFolder::Root(NativePath(output_root)).Below(NativePath(relative_folder), make);
}

FileError WalkFailed(FileOperation operation, std::string_view full_path,
                     const WalkFailure& failure) {
  FileError error = Failed(operation, full_path, failure.system_error);
  if (failure.Refused()) error.refused_link = failure;
  return error;
}

std::string StagedTqfPath(std::string_view path) { return std::string(path) + kStagingSuffix; }

FileResult CreateTqfFile(std::string_view output_root, std::string_view relative_path,
                         const TqfHeader& header, std::span<const float> samples, bool* staged) {
  bool is_staged = false;
  if (staged != nullptr) *staged = false;
  // The station and hour folders are made when missing; the root itself
  // must exist already.
  const Place place = PlaceOf(output_root, relative_path, /*make=*/true);
  if (!place.folder.IsOpen())
    return WalkFailed(FileOperation::kCreate, place.full, place.folder.Failure());
  std::filesystem::path name;
  const int fd = OpenNewFile(place, name, is_staged);
  // Said also when the creation fails: the name belongs to an older file.
  if (staged != nullptr) *staged = is_staged;
  if (fd < 0) return Failed(FileOperation::kCreate, place.full, errno);
  int error = 0;
  std::size_t done = 0;
  if (!WriteAll(fd, header.data(), header.size(), done) || !WriteSamples(fd, samples, done))
    error = errno;
  if (!CloseFile(fd) && error == 0) error = errno;
  if (error != 0) {
    // A half-written file is never catalogued, so it must not stay behind.
    place.folder.Remove(name);
    return Failed(FileOperation::kWrite, place.full, error);
  }
  return std::nullopt;
}

FileResult ExtendTqfFile(std::string_view output_root, std::string_view relative_path,
                         std::span<const float> samples,
                         std::optional<std::uint64_t> samples_there) {
  int fd = -1;
  if (FileResult error = AppendTqfSamples(fd, output_root, relative_path, samples, samples_there))
    return error;
  return CloseTqfFile(fd, TqfFullPath(output_root, relative_path));
}

namespace {

// An existing file, for writing, through no link; kOpen failures.
FileResult OpenExisting(int& fd, std::string_view output_root, std::string_view relative_path) {
  const Place place = PlaceOf(output_root, relative_path, /*make=*/false);
  if (!place.folder.IsOpen())
    return WalkFailed(FileOperation::kOpen, place.full, place.folder.Failure());
  fd = place.folder.OpenForExtending(place.name);
  if (fd < 0) return Failed(FileOperation::kOpen, place.full, errno);
  return std::nullopt;
}

// Opens a kept file on first use and moves to its end; a kept one stays there.
FileResult OpenAtEnd(int& fd, std::string_view output_root, std::string_view relative_path,
                     std::optional<std::uint64_t> samples_there = std::nullopt) {
  if (fd >= 0) return std::nullopt;
  if (FileResult error = OpenExisting(fd, output_root, relative_path)) return error;
  const std::string full_path = TqfFullPath(output_root, relative_path);
  FileResult error;
  if (!SeekToEnd(fd)) {
    error = Failed(FileOperation::kWrite, full_path, errno);
  } else if (samples_there && FilePosition(fd) != kTqfHeaderSize + 4 * *samples_there) {
    error = Failed(FileOperation::kOpen, full_path, 0);
    error->changed_elsewhere = true;
  }
  if (!error) return std::nullopt;
  CloseFile(fd);
  fd = -1;
  return error;
}

// After a failed write: the file and its catalogue row must agree, so
// nothing of this write stays; the file is closed.
FileError UndoFailedAppend(int& fd, std::string_view full_path, std::size_t done) {
  const int error = errno;
  if (const auto now = FilePosition(fd); now && *now >= done) ResizeOpenFile(fd, *now - done);
  CloseFile(fd);
  fd = -1;
  return Failed(FileOperation::kWrite, full_path, error);
}

}  // namespace

FileResult AppendTqfSamples(int& fd, std::string_view output_root, std::string_view relative_path,
                            std::span<const float> samples,
                            std::optional<std::uint64_t> samples_there) {
  if (FileResult error = OpenAtEnd(fd, output_root, relative_path, samples_there)) return error;
  std::size_t done = 0;
  if (WriteSamples(fd, samples, done)) return std::nullopt;
  return UndoFailedAppend(fd, TqfFullPath(output_root, relative_path), done);
}

FileResult AppendTqfSampleBlocks(int& fd, std::string_view output_root,
                                 std::string_view relative_path,
                                 std::span<const std::vector<float>> blocks) {
  if (FileResult error = OpenAtEnd(fd, output_root, relative_path)) return error;
  std::size_t done = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::vector<WritePiece> pieces;
    pieces.reserve(blocks.size());
    for (const std::vector<float>& block : blocks)
      pieces.push_back({block.data(), block.size() * sizeof(float)});
    if (WriteAllGathered(fd, pieces, done)) return std::nullopt;
  } else {
    bool written = true;
    for (const std::vector<float>& block : blocks)
      written = written && WriteSamples(fd, block, done);
    if (written) return std::nullopt;
  }
  return UndoFailedAppend(fd, TqfFullPath(output_root, relative_path), done);
}

FileResult CloseTqfFile(int& fd, std::string_view full_path) {
  if (fd < 0) return std::nullopt;
  const bool closed = CloseFile(fd);
  fd = -1;
  if (closed) return std::nullopt;
  return Failed(FileOperation::kWrite, full_path, errno);
}

FileResult CutBackTqfFile(std::string_view output_root, std::string_view relative_path,
                          std::uint64_t samples) {
  // Through a descriptor that never follows a link: only our file is cut.
  int fd = -1;
  if (FileResult error = OpenExisting(fd, output_root, relative_path)) {
    error->operation = FileOperation::kWrite;
    return error;
  }
  int error = ResizeOpenFile(fd, kTqfHeaderSize + 4 * samples) ? 0 : errno;
  if (!CloseFile(fd) && error == 0) error = errno;
  if (error == 0) return std::nullopt;
  return Failed(FileOperation::kWrite, TqfFullPath(output_root, relative_path), error);
}

FileResult SyncTqfFile(std::string_view output_root, std::string_view relative_path,
                       bool new_name) {
  const Place place = PlaceOf(output_root, relative_path, /*make=*/false);
  if (!place.folder.IsOpen())
    return WalkFailed(FileOperation::kWrite, place.full, place.folder.Failure());
  const int fd = place.folder.OpenForExtending(place.name);
  if (fd < 0) return Failed(FileOperation::kWrite, place.full, errno);
  int error = SyncFileData(fd) ? 0 : errno;
  if (!CloseFile(fd) && error == 0) error = errno;
  if (error == 0 && new_name && !place.folder.Sync()) error = errno;
  if (error == 0) return std::nullopt;
  return Failed(FileOperation::kWrite, place.full, error);
}

FileResult CommitTqfFile(std::string_view output_root, std::string_view relative_path) {
  const Place place = PlaceOf(output_root, relative_path, /*make=*/false);
  if (!place.folder.IsOpen())
    return WalkFailed(FileOperation::kWrite, place.full, place.folder.Failure());
  std::filesystem::path staged = place.name;
  staged += kStagingSuffix;
  if (place.folder.Move(staged, place.name)) return std::nullopt;
  const int error = errno;
  place.folder.Remove(staged);
  return Failed(FileOperation::kWrite, place.full, error);
}

FileResult RemoveTqfFile(std::string_view output_root, std::string_view relative_path) {
  const Place place = PlaceOf(output_root, relative_path, /*make=*/false);
  // A folder that is not there holds no file to remove.
  if (!place.folder.IsOpen()) {
    if (place.folder.Failure().system_error == ENOENT) return std::nullopt;
    return WalkFailed(FileOperation::kWrite, place.full, place.folder.Failure());
  }
  if (place.folder.Remove(place.name) || errno == ENOENT) return std::nullopt;
  return Failed(FileOperation::kWrite, place.full, errno);
}

}  // namespace korvel

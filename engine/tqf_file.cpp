#include "engine/tqf_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_io.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

std::string Format(const char* format, auto... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

bool IsUnsafeInName(unsigned char c) {
  return c < 0x20 || c == 0x7F || std::strchr(" /\\:*?\"<>|", c) != nullptr;
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
  text += Format("SpS=%f\r\n", sampling_rate);
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

std::string FileNameSafe(std::string_view name, std::size_t max_length) {
  std::string copy(name.substr(0, std::min(name.size(), max_length)));
  for (char& c : copy)
    if (IsUnsafeInName(static_cast<unsigned char>(c))) c = '_';
  // "." and ".." would name a folder other than the station's own.
  if (!copy.empty() && copy.find_first_not_of('.') == std::string::npos)
    copy.assign(copy.size(), '_');
  return copy;
}

std::string TqfRelativePath(std::string_view station, std::string_view channel,
                            EpochSeconds file_start) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  float seconds = 0.0f;
  SplitEpochSeconds(file_start, year, month, day, hour, minute, seconds);
  const std::string station_name = FileNameSafe(station, station.size());
  const std::string name = Format(
      "%02d%02d%04d-%02d%02d%02d-%s.%s", day, month, year, hour, minute, static_cast<int>(seconds),
      FileNameSafe(channel, channel.size()).c_str(), station_name.c_str());
  return station_name + "/" + Format("%02d", hour) + "/" + name;
}

bool IsAbsoluteStoredPath(std::string_view cpath) {
  return !cpath.empty() && (cpath.front() == '/' || cpath.front() == '\\');
}

bool ClimbsOutOfRoot(std::string_view cpath) {
  for (std::size_t start = 0; start <= cpath.size();) {
    const std::size_t end = std::min(cpath.find_first_of("/\\", start), cpath.size());
    if (cpath.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

std::string TqfFullPath(std::string_view output_root, std::string_view relative_path) {
  return WithTrailingSeparator(std::string(output_root)) +
         NativeSeparators(std::string(relative_path));
}

namespace {

// Opens the new file: in place, unless staging is asked for and a file of
// the name is there already, which is then left alone until CommitTqfFile.
int OpenNewFile(const std::string& full, std::string_view staging_suffix,
                std::filesystem::path& native, bool* staged) {
  native = NativePath(full);
  if (staging_suffix.empty()) return CreateFileForWriting(native, CreateMode::kReplace);
  const int fd = CreateFileForWriting(native, CreateMode::kExclusive);
  if (fd >= 0 || errno != EEXIST) return fd;
  native = NativePath(full + std::string(staging_suffix));
  if (staged != nullptr) *staged = true;
  return CreateFileForWriting(native, CreateMode::kReplace);
}

}  // namespace

FileResult CreateTqfFile(std::string_view output_root, std::string_view relative_path,
                         const TqfHeader& header, std::span<const float> samples,
                         std::string_view staging_suffix, bool* staged) {
  const std::string full = TqfFullPath(output_root, relative_path);
  if (staged != nullptr) *staged = false;
  std::filesystem::path native;
  int fd = OpenNewFile(full, staging_suffix, native, staged);
  if (fd < 0 && errno == ENOENT) {
    // The station and hour directories, made when first needed; the root
    // itself must exist already.
    const std::string root = WithTrailingSeparator(std::string(output_root));
    for (std::size_t sep = relative_path.find('/'), made = 0;
         sep != std::string_view::npos && made < 2;
         sep = relative_path.find('/', sep + 1), ++made) {
      const auto directory =
          NativePath(root + NativeSeparators(std::string(relative_path.substr(0, sep))));
      if (!MakeDirectory(directory) && errno != EEXIST)
        return Failed(FileOperation::kCreate, full, errno);
    }
    fd = OpenNewFile(full, staging_suffix, native, staged);
  }
  if (fd < 0) return Failed(FileOperation::kCreate, full, errno);
  int error = 0;
  std::size_t done = 0;
  if (!WriteAll(fd, header.data(), header.size(), done) || !WriteSamples(fd, samples, done))
    error = errno;
  if (!CloseFile(fd) && error == 0) error = errno;
  if (error != 0) {
    // A half-written file is never catalogued, so it must not stay behind.
    RemoveFile(native);
    return Failed(FileOperation::kWrite, full, error);
  }
  return std::nullopt;
}

FileResult ExtendTqfFile(std::string_view full_path, std::span<const float> samples,
                         std::optional<std::uint64_t> samples_there) {
  int fd = -1;
  if (FileResult error = AppendTqfSamples(fd, full_path, samples, samples_there)) return error;
  return CloseTqfFile(fd, full_path);
}

namespace {

// Opens a kept file on first use and moves to its end; a kept one stays there.
FileResult OpenAtEnd(int& fd, std::string_view full_path,
                     std::optional<std::uint64_t> samples_there = std::nullopt) {
  if (fd >= 0) return std::nullopt;
  fd = OpenFileForWriting(NativePath(full_path));
  if (fd < 0) return Failed(FileOperation::kOpen, full_path, errno);
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

FileResult AppendTqfSamples(int& fd, std::string_view full_path, std::span<const float> samples,
                            std::optional<std::uint64_t> samples_there) {
  if (FileResult error = OpenAtEnd(fd, full_path, samples_there)) return error;
  std::size_t done = 0;
  if (WriteSamples(fd, samples, done)) return std::nullopt;
  return UndoFailedAppend(fd, full_path, done);
}

FileResult AppendTqfSampleBlocks(int& fd, std::string_view full_path,
                                 std::span<const std::vector<float>> blocks) {
  if (FileResult error = OpenAtEnd(fd, full_path)) return error;
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
  return UndoFailedAppend(fd, full_path, done);
}

FileResult CloseTqfFile(int& fd, std::string_view full_path) {
  if (fd < 0) return std::nullopt;
  const bool closed = CloseFile(fd);
  fd = -1;
  if (closed) return std::nullopt;
  return Failed(FileOperation::kWrite, full_path, errno);
}

FileResult CutBackTqfFile(std::string_view full_path, std::uint64_t samples) {
  if (ResizeFile(NativePath(full_path), kTqfHeaderSize + 4 * samples)) return std::nullopt;
  return Failed(FileOperation::kWrite, full_path, errno);
}

FileResult CommitTqfFile(std::string_view staged_path, std::string_view full_path) {
  if (MoveReplacing(NativePath(staged_path), NativePath(full_path))) return std::nullopt;
  const int error = errno;
  RemoveFile(NativePath(staged_path));
  return Failed(FileOperation::kWrite, full_path, error);
}

FileResult RemoveTqfFile(std::string_view full_path) {
  if (RemoveFile(NativePath(full_path)) || errno == ENOENT) return std::nullopt;
  return Failed(FileOperation::kWrite, full_path, errno);
}

}  // namespace korvel

// korvel-bench-floor: the least work a conversion must do, for the benchmark
// to measure against. Reads each raw file of the folders given, decodes the
// channels Z, N-S and E-W and writes each as a float32 file behind a 512-byte
// header: no catalogue, no chaining, no blocks; memory is reused and never
// cleared.
//
//   korvel-bench-floor OUTPUT_DIR RAW_DIR...

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/raw_file.h"
#include "engine/tqf_file.h"

namespace {

namespace fs = std::filesystem;

template <typename T>
struct Reused {
  std::unique_ptr<T[]> data;
  std::size_t capacity = 0;
  T* Get(std::size_t n) {
    if (n > capacity) data.reset(new T[capacity = n]);
    return data.get();
  }
};

bool WriteAll(int fd, const void* p, std::size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(p);
  while (n > 0) {
    const ssize_t w = ::write(fd, bytes, n);
    if (w <= 0) return false;
    bytes += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: korvel-bench-floor OUTPUT_DIR RAW_DIR...\n");
    return 2;
  }
  const fs::path out = argv[1];
  Reused<unsigned char> raw;
  Reused<float> samples;
  std::size_t written = 0;
  for (int a = 2; a < argc; ++a) {
    std::error_code listed;
    for (const auto& entry : fs::directory_iterator(argv[a], listed)) {
      const int in = ::open(entry.path().c_str(), O_RDONLY);
      if (in < 0) continue;
      std::error_code sized;
      const std::size_t size = fs::file_size(entry.path(), sized);
      if (sized) continue;
      unsigned char* bytes = raw.Get(size);
      std::size_t got = 0;
      for (ssize_t r; got < size && (r = ::read(in, bytes + got, size - got)) > 0;)
        got += static_cast<std::size_t>(r);
      ::close(in);
      if (got < korvel::kRawHeaderSize) continue;
      const korvel::RawFileHeader header = korvel::DecodeRawHeader(
          std::span<const unsigned char, korvel::kRawHeaderSize>(bytes, korvel::kRawHeaderSize));
      const int n = header.channel_count;
      const int w = korvel::RawSampleWidth(header);
      const std::size_t table =
          korvel::kRawHeaderSize + korvel::kRawChannelRecordSize * static_cast<std::size_t>(n);
      if (n <= 0 || got < table) continue;
      const std::span<const unsigned char> data(bytes + table, got - table);
      const std::size_t frames =
          data.size() / (static_cast<std::size_t>(n) * static_cast<std::size_t>(w));
      const std::string station = korvel::RawStationName(header);
      for (int c = 0; c < n; ++c) {
        const korvel::RawChannelRecord record = korvel::DecodeRawChannelRecord(
            std::span<const unsigned char, korvel::kRawChannelRecordSize>(
                bytes + korvel::kRawHeaderSize +
                    korvel::kRawChannelRecordSize * static_cast<std::size_t>(c),
                korvel::kRawChannelRecordSize));
        const std::string name = korvel::RawChannelName(record);
        if (name != "Z" && name != "N-S" && name != "E-W") continue;
        float* values = samples.Get(frames);
        korvel::DecodeChannelSamples(data, n, w, c, {values, frames});
        const korvel::TqfHeader tqf = korvel::BuildHeader(
            station, name, 1.0 / header.sample_interval, korvel::RawStartTime(header));
        const fs::path file = out / (std::to_string(written++) + ".tqf");
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || !WriteAll(fd, tqf.data(), tqf.size()) ||
            !WriteAll(fd, values, frames * sizeof(float))) {
          std::fprintf(stderr, "korvel-bench-floor: cannot write %s\n", file.c_str());
          return 1;
        }
        ::close(fd);
      }
    }
  }
  std::printf("%zu files\n", written);
  return 0;
}

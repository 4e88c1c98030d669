// korvel-bench-sds-floor: the least work an SDS export must do, for the
// benchmark to measure export-sds against. Reads each TQF file below the
// folder given, a buffer at a time, packs its samples with libmseed in one
// loop (Steim-2 where every sample is an integer float32 holds exactly,
// float32 otherwise) and writes the records to one file per TQF file: no
// catalogue, no days, no merge, no hash.
//
//   korvel-bench-sds-floor OUTPUT_DIR TQF_DIR

#include <libmseed.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeader = 512;
constexpr std::size_t kBuffer = 1 << 16;

void Write(char* record, int length, void* out) {
  static_cast<std::ofstream*>(out)->write(record, length);
}

bool Integers(const std::vector<float>& samples, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (!(std::fabs(samples[i]) <= 16777216.0f) || std::trunc(samples[i]) != samples[i])
      return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: korvel-bench-sds-floor OUTPUT_DIR TQF_DIR\n");
    return 2;
  }
  std::vector<float> samples(kBuffer);
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(argv[2])) {
    if (!entry.is_regular_file() || entry.file_size() <= kHeader) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ofstream out(fs::path(argv[1]) / (std::to_string(files++) + ".mseed"), std::ios::binary);
    in.seekg(kHeader);
    // The encoding is the whole file's: a first reading decides.
    bool integers = true;
    while (in.read(reinterpret_cast<char*>(samples.data()), 4 * kBuffer) || in.gcount() > 0)
      integers = integers && Integers(samples, static_cast<std::size_t>(in.gcount()) / 4);
    in.clear();
    in.seekg(kHeader);
    MSTrace* trace = mst_init(nullptr);
    std::strcpy(trace->network, "XX");
    std::strcpy(trace->station, "KIR");
    std::strcpy(trace->channel, "HHZ");
    trace->samprate = 100.0;
    trace->sampletype = integers ? 'i' : 'f';
    bool more = true;
    while (more) {
      trace->datasamples = std::realloc(trace->datasamples, 4 * kBuffer);
      const auto held = static_cast<std::size_t>(trace->numsamples);
      in.read(reinterpret_cast<char*>(samples.data()),
              static_cast<std::streamsize>(4 * (kBuffer - held)));
      const auto n = static_cast<std::size_t>(in.gcount()) / 4;
      more = n > 0;
      for (std::size_t i = 0; i < n; ++i) {
        if (integers)
          static_cast<std::int32_t*>(trace->datasamples)[held + i] =
              static_cast<std::int32_t>(samples[i]);
        else
          static_cast<float*>(trace->datasamples)[held + i] = samples[i];
      }
      trace->numsamples = trace->samplecnt = static_cast<std::int64_t>(held + n);
      std::int64_t packed = 0;
      if (mst_pack(trace, Write, &out, 4096, integers ? DE_STEIM2 : DE_FLOAT32, 1, &packed, !more,
                   0, nullptr) < 0) {
        std::fprintf(stderr, "korvel-bench-sds-floor: libmseed could not pack %s\n",
                     entry.path().c_str());
        return 1;
      }
    }
    mst_free(&trace);
    if (!out) {
      std::fprintf(stderr, "korvel-bench-sds-floor: cannot write below %s\n", argv[1]);
      return 1;
    }
  }
  std::printf("%zu files\n", files);
  return 0;
}

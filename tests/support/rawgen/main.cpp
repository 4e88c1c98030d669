// korvel-rawgen: writes consecutive Korvel raw files made by our own builder,
// for a first try without a recorder, the demo and the benchmark.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "engine/time_arithmetic.h"
#include "korvel_version.h"
#include "platform/console.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "tests/support/raw_file_builder.h"

int main(int argc, char** argv) {
  CLI::App app{
      "korvel-rawgen: writes consecutive Korvel raw files of one station, made up "
      "(a sawtooth per channel), to try korvel2tqf without a recorder; prints "
      "each file's path",
      "korvel-rawgen"};
  app.set_version_flag("--version", std::string("korvel-rawgen ") + korvel::kBuildVersion);
  std::string out = ".";
  std::string station = "KIR";
  std::string channels = "Z,N-S,E-W";
  std::string start = "00:00:00 01/03/2007";
  double rate = 100.0;
  double seconds = 3600.0;
  int files = 1;
  int width = 2;
  int gap_at = -1;
  double gap = 0.0;
  app.add_option("--out", out, "folder for the files (must exist)")->capture_default_str();
  app.add_option("--station", station, "station name in the header")->capture_default_str();
  app.add_option("--channels", channels, "comma-separated channel names")->capture_default_str();
  app.add_option("--start", start, "first sample, \"hh:mm:ss dd/mm/yyyy\"")->capture_default_str();
  app.add_option("--rate", rate, "samples per second")->capture_default_str();
  app.add_option("--seconds", seconds, "length of each file")->capture_default_str();
  app.add_option("--files", files, "number of consecutive files")->capture_default_str();
  app.add_option("--width", width, "sample width in bytes, 2 or 4")
      ->check(CLI::IsMember({2, 4}))
      ->capture_default_str();
  app.add_option("--gap-at", gap_at, "index of the file that follows a gap");
  app.add_option("--gap", gap, "length of that gap in seconds");
  // Options are --name on every system, and arguments UTF-8 (on Windows
  // taken from the wide command line).
  app.allow_windows_style_options(false);
  std::vector<std::string> arguments = korvel::Utf8Arguments(argc, argv);
  std::vector<char*> utf8_argv;
  for (std::string& argument : arguments) utf8_argv.push_back(argument.data());
  CLI11_PARSE(app, static_cast<int>(utf8_argv.size()), utf8_argv.data());

  int hh, mi, ss, dd, mo, yy;
  if (std::sscanf(start.c_str(), "%d:%d:%d %d/%d/%d", &hh, &mi, &ss, &dd, &mo, &yy) != 6 ||
      mo < 1 || mo > 12) {
    std::fprintf(stderr, "korvel-rawgen: --start must read hh:mm:ss dd/mm/yyyy\n");
    return 2;
  }
  if (std::error_code ec; !std::filesystem::is_directory(korvel::Utf8Path(out), ec)) {
    std::fprintf(stderr, "korvel-rawgen: --out '%s' is no folder; make it first\n", out.c_str());
    return 2;
  }
  // Names in a raw header are code page 1251, as a recorder writes them.
  std::vector<std::string> names;
  std::stringstream list(korvel::Utf8ToCp1251(channels));
  for (std::string name; std::getline(list, name, ',');) names.push_back(name);

  const auto frames = static_cast<std::int64_t>(seconds * rate + 0.5);
  korvel::EpochSeconds t = korvel::ToEpochSeconds(yy, mo, dd, hh, mi, static_cast<float>(ss));
  for (int i = 0; i < files; ++i) {
    if (i == gap_at) t += gap;
    int y, m, d, h, n;
    float s;
    korvel::SplitEpochSeconds(t, y, m, d, h, n, s);
    const double midnight = korvel::ToEpochSeconds(y, m, d, 0, 0, 0.0f);
    // Recorders store the year as years after 2000.
    korvel::test::RawFileBuilder builder;
    builder.Station(korvel::Utf8ToCp1251(station))
        .Date(d, m, y >= 2000 ? y - 2000 : y)
        .TimeOfDay(t - midnight)
        .SampleInterval(1.0 / rate)
        .SampleFormat(width == 2 ? 16 : 32)
        .Channels(names)
        .Frames(frames);
    const std::int64_t offset = static_cast<std::int64_t>((t - 1e9) * rate);
    builder.Samples([offset, width](int c, std::int64_t k) {
      return korvel::test::DefaultSample(c, offset + k, width);
    });
    char name[96];
    std::snprintf(name, sizeof name, "%s-%04d%02d%02d-%02d%02d%02d.kor", station.c_str(), y, m, d,
                  h, n, static_cast<int>(s));
    // The system's own separators, so that the printed path can be pasted.
    const std::filesystem::path path = korvel::Utf8Path(out) / korvel::Utf8Path(name);
    try {
      builder.WriteTo(path);
    } catch (const std::runtime_error&) {
      std::fprintf(stderr, "korvel-rawgen: cannot write '%s'\n", korvel::DisplayPath(path).c_str());
      return 1;
    }
    std::printf("%s\n", korvel::DisplayPath(path).c_str());
    t += static_cast<double>(frames) / rate;
  }
  return 0;
}

#include "engine/archive_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/coverage.h"
#include "engine/output_writer.h"
#include "engine/tqf_file.h"
#include "platform/native_path.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

std::optional<std::uint64_t> RowSamples(const RowClaim& row) {
  if (!row.tqty || !row.sps) return std::nullopt;
  const double samples = *row.tqty * *row.sps;
  if (!std::isfinite(samples) || samples < 0.0 || samples > 9.0e15) return std::nullopt;
  return static_cast<std::uint64_t>(std::llround(samples));
}

std::string StartText(const TqfHeaderFields& f) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                f.minute, f.second);
  return text;
}

void CompareHeader(const TqfHeaderFields& file, const RowClaim& row,
                   std::vector<FileProblem>& problems) {
  const auto differs = [&](const char* field, const std::string& row_value,
                           const std::string& file_value) {
    FileProblem p;
    p.kind = FileProblemKind::kHeader;
    p.field = field;
    p.row_value = row_value;
    p.file_value = file_value;
    problems.push_back(std::move(p));
  };
  if (file.station != row.station) differs("Station", row.station, file.station);
  if (file.channel != row.channel) differs("Channel", row.channel, file.channel);
  // "SpS=" holds six decimals.
  if (!row.sps || !(std::fabs(file.sampling_rate - *row.sps) <= 5e-7 + 1e-12 * std::fabs(*row.sps)))
    differs("SpS", row.sps ? FixedNumber(*row.sps, 6) : "", file.sampling_rate_text);
  // The start second as this program writes it from the row's start.
  std::optional<TqfHeaderFields> expected;
  if (row.tbegin && std::isfinite(*row.tbegin))
    expected = ParseTqfHeader(BuildHeader("S", "C", 1.0, *row.tbegin)).fields;
  if (!expected || StartText(*expected) != StartText(file))
    differs("Start", expected ? StartText(*expected) : "", StartText(file));
}

}  // namespace

std::vector<FileProblem> CheckCataloguedFile(const fs::path& file, const RowClaim& row) {
  std::vector<FileProblem> problems;
  const std::optional<TqfFileHead> head = ReadTqfFileHead(file);
  if (!head) {
    std::error_code ec;
    FileProblem missing;
    missing.absent = fs::status(file, ec).type() == fs::file_type::not_found;
    problems.push_back(missing);
    return problems;
  }
  const std::optional<std::uint64_t> row_samples = RowSamples(row);
  if (!row_samples || head->size != kTqfHeaderSize + 4 * *row_samples) {
    FileProblem length;
    length.kind = FileProblemKind::kLength;
    length.row_samples = row_samples;
    length.file_samples =
        head->size >= kTqfHeaderSize ? static_cast<double>(head->size - kTqfHeaderSize) / 4.0 : 0.0;
    problems.push_back(length);
  }
  FileProblem header;
  header.kind = FileProblemKind::kHeader;
  if (!head->header) {
    header.field = "header";
    header.row_value = std::to_string(kTqfHeaderSize) + " bytes";
    header.file_value = std::to_string(head->size) + " bytes";
    problems.push_back(header);
    return problems;
  }
  const ParsedTqfHeader parsed = ParseTqfHeader(*head->header);
  if (!parsed.fields) {
    header.field = parsed.defect;
    header.file_value = "unreadable";
    problems.push_back(header);
    return problems;
  }
  CompareHeader(*parsed.fields, row, problems);
  return problems;
}

std::optional<std::string> PathBelowRoot(const std::string& output_root, const std::string& cpath) {
  if (cpath.empty() || cpath.front() == '\\') return std::nullopt;
  std::string relative = cpath;
  // Every path through NativePath: a narrow string given to a path on
  // Windows would be read in the ANSI code page, whatever its bytes mean.
  const auto normal_text = [](const std::string& text1251) {
    return CataloguePathText(NativePath(text1251).lexically_normal());
  };
  if (cpath.front() == '/') {
    const std::string root = normal_text(WithTrailingSeparator(output_root));
    const std::string full = normal_text(cpath);
    if (root.empty() || full.compare(0, root.size(), root) != 0) return std::nullopt;
    relative = full.substr(root.size());
  }
  if (ClimbsOutOfRoot(relative)) return std::nullopt;
  std::string normal = normal_text(relative);
  if (normal.empty() || normal == "." || normal.back() == '/') return std::nullopt;
  return normal;
}

std::vector<OrphanFile> FindOrphans(const std::string& output_root, const std::string& folder,
                                    const std::set<std::string>& named) {
  std::vector<OrphanFile> orphans;
  const fs::path root = NativePath(WithTrailingSeparator(output_root));
  std::error_code ec;
  fs::recursive_directory_iterator it(NativePath(WithTrailingSeparator(output_root) + folder),
                                      fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->symlink_status(ec).type() != fs::file_type::regular) continue;
    // The station's lock file belongs to the converters, not to the archive.
    if (it.depth() == 0 && it->path().filename() == kStationLockFile) continue;
    const std::string relative = CataloguePathText(it->path().lexically_relative(root));
    if (named.contains(relative)) continue;
    OrphanFile orphan;
    orphan.relative_path = relative;
    if (const std::optional<TqfFileHead> head = ReadTqfFileHead(it->path()); head && head->header) {
      orphan.header = ParseTqfHeader(*head->header).fields;
      const std::uint64_t data = head->size - kTqfHeaderSize;
      orphan.samples = data / 4;
      orphan.ours = orphan.header && IsOwnTqfHeader(*head->header, *orphan.header) &&
                    data % 4 == 0 &&
                    relative == TqfRelativePath(orphan.header->station, orphan.header->channel,
                                                orphan.header->start);
    }
    orphans.push_back(std::move(orphan));
  }
  std::sort(orphans.begin(), orphans.end(), [](const OrphanFile& a, const OrphanFile& b) {
    return a.relative_path < b.relative_path;
  });
  return orphans;
}

}  // namespace korvel

#pragma once
// The file catalogue FILELIST: a row per file written, and the disk-space guard
// that deletes the oldest files of the other acquisition program.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "database/database.h"
#include "database/transaction.h"
#include "engine/catalogue.h"
#include "platform/notifier.h"

namespace korvel {

inline constexpr double kDataOffset = 512.0;

class CFileList : public Catalogue {
 public:
  CFileList(CDatabase& database, Notifier& notifier) : m_database(database), m_notifier(notifier) {}

  bool DiskSpaceGuard(const std::string& output_root, std::uint64_t extra_bytes,
                      const std::string& station, const InUse& in_use) override;
  // The statements of every change, prepared once and run again, inside
  // one transaction opened for them alone.
  void ApplyRows(const std::vector<RowChange>& changes) override;
  // Each a step of its own, or part of the transaction open around it.
  // Texts are code page 1251; cpath is relative to the output root with "/".
  void RegisterNewFile(const std::string& cpath, const std::string& station,
                       const std::string& channel, double tbegin, double tqty, double sps,
                       double calib, double calper, int gain, int datatype);
  void UpdateFileRecord(const std::string& cpath, const std::string& station,
                        const std::string& channel, double tbegin, double tqty, double sps,
                        int gain, int datatype);
  // Our own row of the path, deleted.
  void ForgetOwnFile(const std::string& cpath);
  std::optional<CataloguedFile> LatestOwnFile(const std::string& station,
                                              const std::string& channel) override;
  std::vector<CataloguedFile> OwnFilesNear(const std::string& station, const std::string& channel,
                                           double from, double to) override;

  // The row as stored (UTF-8, exactly the bytes of the catalogue), then the
  // file when there is one. False when the row could not be deleted: the
  // file is then left too.
  bool RemoveCataloguedFile(const std::optional<std::filesystem::path>& file,
                            const std::string& stored_cpath);
  bool DeleteFileRecord(const std::string& stored_cpath);

 private:
  // The station's rows of the other program whose CPATH is NULL or, as
  // stored, names nothing.
  bool DeletePathlessRecords(const std::string& station, const std::string& stored_cpath);

  // Free space far above any need, seen a moment ago: the disk is not
  // asked again at every flush of the moment (one system call per block).
  bool AmpleSpaceSeenLately(const std::string& output_root) const;
  // Once a run, before the first row goes in: FILELIST columns that would
  // round its numbers are named, with upgrade-schema.
  void WarnOnceOfLossyColumns();
  // A row whose file the guard may not take is left, and said once a run.
  void ReportKept(const std::string& cpath_utf8, const std::string& reason);

  CDatabase& m_database;
  std::string m_ample_root;
  std::chrono::steady_clock::time_point m_ample_until{};
  Notifier& m_notifier;
  std::set<std::string> m_reported_kept;
  bool m_columns_checked = false;
};

// The statement behind LatestOwnFile, for showing its plan.
std::string LatestOwnFileQuery(CDatabase& database);

}  // namespace korvel

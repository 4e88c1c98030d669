#pragma once
// A catalogue that records the writer's calls, for unit tests of the writer's
// own logic; everything else runs on the real data sources.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalogue.h"

namespace korvel::test {

struct Call {
  std::string what, cpath;
  double tbegin = 0, tqty = 0, sps = 0, calib = 0, calper = 0;
};

class RecordingCatalogue : public Catalogue {
 public:
  bool DiskSpaceGuard(const std::string& root, std::uint64_t extra, const std::string& station,
                      const InUse&, const std::function<void()>&) override {
    calls.push_back({"guard " + station + " " + std::to_string(extra), root});
    return true;
  }
  void RegisterNewFile(const std::string& cpath, const std::string&, const std::string&,
                       double tbegin, double tqty, double sps, double calib, double calper,
                       int gain, int datatype) override {
    EXPECT_EQ(gain, 1);
    EXPECT_EQ(datatype, 3);
    calls.push_back({"register", cpath, tbegin, tqty, sps, calib, calper});
    if (on_register) on_register();
  }
  void UpdateFileRecord(const std::string& cpath, const std::string&, const std::string&,
                        double tbegin, double tqty, double sps, int, int) override {
    calls.push_back({"update", cpath, tbegin, tqty, sps});
  }
  void ForgetOwnFile(const std::string& cpath) override { calls.push_back({"forget", cpath}); }
  // Answers from `own_files` (the one that starts last), as the real
  // catalogue would from its rows.
  std::optional<CataloguedFile> LatestOwnFile(const std::string& station,
                                              const std::string& channel) override {
    calls.push_back({"lookup " + station + " " + channel, ""});
    std::optional<CataloguedFile> latest;
    for (const CataloguedFile& file : own_files)
      if (!latest || file.tbegin > latest->tbegin) latest = file;
    return latest;
  }
  // From `own_files` too: those that begin in [from, to), after the latest
  // that begins before.
  std::vector<CataloguedFile> OwnFilesNear(const std::string& station, const std::string& channel,
                                           double from, double to) override {
    calls.push_back({"near " + station + " " + channel, "", from, to});
    std::vector<CataloguedFile> found;
    const CataloguedFile* before = nullptr;
    for (const CataloguedFile& file : own_files) {
      if (file.tbegin >= from && file.tbegin < to) found.push_back(file);
      if (file.tbegin < from && (before == nullptr || file.tbegin > before->tbegin)) before = &file;
    }
    if (before != nullptr) found.insert(found.begin(), *before);
    return found;
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const Call& c : calls) n += c.what.rfind(what, 0) == 0;
    return n;
  }
  std::vector<Call> calls;
  std::vector<CataloguedFile> own_files;
  std::function<void()> on_register;  // what happens on disk while a row goes in
};

}  // namespace korvel::test

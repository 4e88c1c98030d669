#pragma once
// A catalogue that records the writer's calls, for unit tests of the writer's
// own logic; everything else runs on the real data sources. Rows come as the
// real catalogue takes them: a raw file's changes at once, recorded between
// "begin" and "commit", all of them refused when one is.

#include <gtest/gtest.h>

#include <functional>
#include <map>
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
                      const InUse&) override {
    calls.push_back({"guard " + station + " " + std::to_string(extra), root});
    return true;
  }
  void ApplyRows(const std::vector<RowChange>& changes) override {
    calls.push_back({"begin", ""});
    Began();
    try {
      for (const RowChange& c : changes) {
        if (c.kind == RowChange::Kind::kRegister)
          RegisterNewFile(c.cpath, c.station, c.channel, c.tbegin, c.tqty, c.sps, c.calib, c.calper,
                          c.gain, c.datatype);
        else if (c.kind == RowChange::Kind::kUpdate)
          UpdateFileRecord(c.cpath, c.station, c.channel, c.tbegin, c.tqty, c.sps, c.gain,
                           c.datatype);
        else
          ForgetOwnFile(c.cpath);
      }
      calls.push_back({"commit", ""});
      if (refuse_commit) throw CatalogueError("commit refused");
    } catch (const CatalogueError&) {
      calls.push_back({"refused", ""});
      RolledBack();
      throw;
    }
  }
  // The TQTY of every row that the committed changes leave, by path.
  std::map<std::string, double> CommittedRows() const {
    std::map<std::string, double> rows, group;
    std::vector<std::string> forgotten;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      const Call& c = calls[i];
      if (c.what == "begin") {
        group.clear();
        forgotten.clear();
      } else if (c.what == "register" || c.what == "update") {
        group[c.cpath] = c.tqty;
      } else if (c.what == "forget") {
        group.erase(c.cpath);
        forgotten.push_back(c.cpath);
      } else if (c.what == "commit" && (i + 1 == calls.size() || calls[i + 1].what != "refused")) {
        for (const std::string& path : forgotten) rows.erase(path);
        for (const auto& [path, tqty] : group) rows[path] = tqty;
      }
    }
    return rows;
  }
  // Each change as the real catalogue runs it; an override may refuse one.
  virtual void RegisterNewFile(const std::string& cpath, const std::string&, const std::string&,
                               double tbegin, double tqty, double sps, double calib, double calper,
                               int gain, int datatype) {
    EXPECT_EQ(gain, 1);
    EXPECT_EQ(datatype, 3);
    calls.push_back({"register", cpath, tbegin, tqty, sps, calib, calper});
    if (on_register) on_register();
  }
  virtual void UpdateFileRecord(const std::string& cpath, const std::string&, const std::string&,
                                double tbegin, double tqty, double sps, int, int) {
    calls.push_back({"update", cpath, tbegin, tqty, sps});
  }
  virtual void ForgetOwnFile(const std::string& cpath) { calls.push_back({"forget", cpath}); }
  // Where a subclass keeps rows: a group begins, and one refused undoes it.
  virtual void Began() {}
  virtual void RolledBack() {}
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
  // The row changes alone, in the order they came.
  std::vector<Call> Rows() const {
    std::vector<Call> rows;
    for (const Call& c : calls)
      if (c.what == "register" || c.what == "update" || c.what == "forget") rows.push_back(c);
    return rows;
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const Call& c : calls) n += c.what.rfind(what, 0) == 0;
    return n;
  }
  std::vector<Call> calls;
  std::vector<CataloguedFile> own_files;
  std::function<void()> on_register;  // what happens on disk while a row goes in
  bool refuse_commit = false;
};

}  // namespace korvel::test

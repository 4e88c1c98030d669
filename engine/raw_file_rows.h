#pragma once
// The rows a raw file's output files owe, gathered while their bytes are
// written and sent together once the raw file is down: one transaction, and
// nothing of the catalogue locked while files are written. Each file that
// owes a row here learns the outcome: committed, its committed row advances;
// refused, every file goes back to its committed row (cut back, or removed
// when none names it), and nothing of the raw file is sent again.

#include <cstddef>
#include <vector>

#include "engine/catalogue.h"

namespace korvel {

class OutputFile;

class RawFileRows {
 public:
  RawFileRows() = default;
  RawFileRows(const RawFileRows&) = delete;
  RawFileRows& operator=(const RawFileRows&) = delete;

  // `file` owes `change`; it waits for the outcome.
  void Add(OutputFile& file, RowChange change);
  // A waiting file moved to another place.
  void Moved(const OutputFile& from, OutputFile& to);
  // A waiting file went away: it is told nothing more.
  void Leave(const OutputFile& file);

  bool Empty() const { return m_changes.empty(); }
  std::size_t Size() const { return m_changes.size(); }
  const std::vector<RowChange>& Changes() const { return m_changes; }

  // Every change in one catalogue call, then every waiting file told: all
  // learn of the commit before any staged file takes its name. A refusal
  // takes every file back and goes on as the CatalogueError.
  void Send(Catalogue& catalogue);
  // Nothing sent: every waiting file back to its committed row.
  void Abandon();

 private:
  // Empties the object first, so that a file told may add nothing to it.
  std::vector<OutputFile*> TakeFiles();

  std::vector<RowChange> m_changes;
  std::vector<OutputFile*> m_files;  // each once, in the order they joined
};

}  // namespace korvel

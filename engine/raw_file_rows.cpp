#include "engine/raw_file_rows.h"

#include <algorithm>
#include <utility>

#include "engine/output_file.h"

namespace korvel {

void RawFileRows::Add(OutputFile& file, RowChange change) {
  m_changes.push_back(std::move(change));
  if (std::find(m_files.begin(), m_files.end(), &file) == m_files.end()) m_files.push_back(&file);
}

void RawFileRows::Moved(const OutputFile& from, OutputFile& to) {
  std::replace(m_files.begin(), m_files.end(), const_cast<OutputFile*>(&from), &to);
}

void RawFileRows::Leave(const OutputFile& file) {
  // Its rows go with it: no row may name a file that is given up.
  if (std::erase(m_files, const_cast<OutputFile*>(&file)) == 0) return;
  std::erase_if(m_changes,
                [&](const RowChange& change) { return change.cpath == file.RelativePath(); });
}

std::vector<OutputFile*> RawFileRows::TakeFiles() {
  m_changes.clear();
  return std::exchange(m_files, {});
}

void RawFileRows::Send(Catalogue& catalogue) {
  if (m_changes.empty()) {
    TakeFiles();
    return;
  }
  try {
    catalogue.ApplyRows(m_changes);
  } catch (const CatalogueError&) {
    Abandon();
    throw;
  }
  // Every file learns of the commit before any staged name is taken: a
  // failure there must not leave a committed row taken for a waiting one.
  const std::vector<OutputFile*> files = TakeFiles();
  for (OutputFile* file : files) file->RowsCommitted();
  for (OutputFile* file : files) file->TakeStagedName();
}

void RawFileRows::Abandon() {
  for (OutputFile* file : TakeFiles()) file->RowsRolledBack();
}

}  // namespace korvel

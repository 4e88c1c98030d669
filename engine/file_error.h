#pragma once
// A file operation that failed, as a value: what was tried, on which file,
// and the system's reason. The file formats and the output writer hand these
// up; the commands turn them into the operator's messages.

#include <optional>
#include <string>

#include "platform/walked_folder.h"

namespace korvel {

enum class FileOperation { kCreate, kOpen, kWrite, kRead };

struct FileError {
  FileOperation operation = FileOperation::kWrite;
  std::string path;      // for display, UTF-8
  int system_error = 0;  // errno; 0 when the system gave none
  // The file to be extended is not as this program left it (another program
  // grew, cut or replaced it): nothing was written to it.
  bool changed_elsewhere = false;
  // A link on the way to the file that this program would not follow
  // (platform/walked_folder.h): nothing was done to the file.
  std::optional<WalkFailure> refused_link = std::nullopt;
};

// Nothing when the operation succeeded.
using FileResult = std::optional<FileError>;

// Where the output writer sends the failures it meets, as they happen.
class FileErrorSink {
 public:
  virtual ~FileErrorSink() = default;
  virtual void FileFailed(const FileError& error) = 0;
  // A command has ended: a sink that held failures back says so now.
  virtual void CommandEnded() {}
};

}  // namespace korvel

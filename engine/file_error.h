#pragma once
// A file operation that failed, as a value: what was tried, on which file,
// and the system's reason. The file formats and the output writer hand these
// up; the commands turn them into the operator's messages.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

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

// Selected raw data that a command could not take, as a value: a raw
// folder that cannot be listed, a raw file that cannot be read at all or
// only in part, or a later channel of a name one raw file holds twice.
struct RawDataLeft {
  enum class What { kFolder, kFile, kRestOfFile, kSecondChannel } what = What::kFile;
  std::string path;        // for display, UTF-8
  int system_error = 0;    // errno; kRestOfFile: 0 when the file ended early
  std::uint64_t read = 0;  // kRestOfFile: the bytes read, of `size`
  std::uint64_t size = 0;
  std::string channel;  // kSecondChannel: the name as matched (upper case), UTF-8

  static RawDataLeft Folder(std::string path, int system_error) {
    return Made(What::kFolder, std::move(path), system_error);
  }
  static RawDataLeft File(std::string path, int system_error) {
    return Made(What::kFile, std::move(path), system_error);
  }
  static RawDataLeft RestOfFile(std::string path, int system_error, std::uint64_t read,
                                std::uint64_t size) {
    RawDataLeft left = Made(What::kRestOfFile, std::move(path), system_error);
    left.read = read;
    left.size = size;
    return left;
  }
  static RawDataLeft SecondChannel(std::string path, std::string channel) {
    RawDataLeft left = Made(What::kSecondChannel, std::move(path), 0);
    left.channel = std::move(channel);
    return left;
  }

 private:
  static RawDataLeft Made(What what, std::string path, int system_error) {
    RawDataLeft left;
    left.what = what;
    left.path = std::move(path);
    left.system_error = system_error;
    return left;
  }
};

// Where the output writer sends the failures it meets, as they happen.
class FileErrorSink {
 public:
  virtual ~FileErrorSink() = default;
  virtual void FileFailed(const FileError& error) = 0;
  // Each piece of raw data left is told on its own, never held back as a
  // repeat; a sink that knows no better tells it as a read error.
  virtual void RawDataWasLeft(const RawDataLeft& left) {
    FileFailed({FileOperation::kRead, left.path, left.system_error});
  }
  // A command has ended: a sink that held failures back says so now.
  virtual void CommandEnded() {}
};

}  // namespace korvel

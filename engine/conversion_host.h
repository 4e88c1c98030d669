#pragma once
// What the engine needs of the window that runs it (or of the command line
// standing in for it): the ticked channels, the status line, the command
// buttons, the wait cursor and the operator's messages.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/notifier.h"

namespace korvel {

struct SelectionEntry {
  std::string station;  // code page 1251, as listed
  std::string channel;  // code page 1251, as listed
};
using SelectionList = std::vector<SelectionEntry>;

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;
  virtual const SelectionList& Selection() const = 0;
  virtual bool ScanSubdirectories() const = 0;
  virtual void SetStatusText(const std::string& text1251) = 0;
  virtual void DisableCommands() = 0;
  virtual void EnableCommands() = 0;  // also clears the status line
  virtual void BeginWaitCursor() {}
  virtual void EndWaitCursor() {}
  virtual Notifier& Operator() = 0;
  // Called once for every raw file that ConvertRawFile converted.
  virtual void FileConverted(const std::string& /*path1251*/, std::uint64_t /*bytes*/) {}
};

}  // namespace korvel

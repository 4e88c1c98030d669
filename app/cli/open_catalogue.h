#pragma once
// The shape of every korvel2tqf-cli command that needs the catalogue: open
// it (or say why not, exit 3), do the work, report a database error that
// escapes the work under the program's title (exit 4), close it.

#include <functional>

#include "app/cli/cli_commands.h"
#include "platform/notifier.h"

namespace korvel::cli {

int WithCatalogue(const ConnectionOptions& connection, Notifier& notifier,
                  const std::function<int()>& work);

}  // namespace korvel::cli

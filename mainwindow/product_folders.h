#pragma once
// Where the choosers for the window's own products (the coverage picture,
// the miniSEED tree) open.

#include <QString>

namespace korvel {

// The folder last chosen for that product in this session when it is still
// there, else the output root of tqf.ini, else the working folder. Never
// left to Qt, which opens the folder its last dialog showed: the raw folder
// of the last conversion.
QString ProductStartFolder(const QString& last_chosen);

}  // namespace korvel

#pragma once

#include "platform/WholeFile.h"

#include <QByteArray>
#include <QFile>

namespace win::sim {

// The machine folder's files are written as the program's own are: whole,
// through a new file renamed over the old one, never through a link.
using win::writeWholeFile;

// The content of an open file, read where it lies when it can be mapped (a
// machine's files can be a hundred megabytes); valid while `file` is open.
QByteArray contentOf(QFile& file);

} // namespace win::sim

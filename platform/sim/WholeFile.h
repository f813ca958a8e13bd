#pragma once

#include "platform/WholeFile.h"

namespace win::sim {

// The machine folder's files are written as the program's own are: whole,
// through a new file renamed over the old one, never through a link.
using win::writeWholeFile;

} // namespace win::sim

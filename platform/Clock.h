#pragma once

#include <QtGlobal>

namespace win {

// The one seam for the program's short waits: Sleep and GetTickCount64.
// Under test the machine's clock advances without waiting for real.
void sleepMs(int milliseconds);
quint64 tickCountMs();

} // namespace win

#pragma once

#include "platform/WinTypes.h"

namespace win {

// SRRemoveRestorePoint of srclient.dll (look it up first with
// moduleExports). ErrorSuccess when the restore point is gone; ErrorInvalidData
// when no restore point has that sequence number or it cannot be removed;
// ErrorAccessDenied for a process without administrator rights.
Error srRemoveRestorePoint(quint32 sequenceNumber);

} // namespace win

#pragma once

#include "platform/WinTypes.h"

#include <QString>
#include <functional>

namespace win {

using WindowHandle = quintptr;

// EnumWindows: calls `visit` for every top-level window in z-order until it
// answers false.
bool enumWindows(const std::function<bool(WindowHandle)>& visit);

bool isWindowVisible(WindowHandle window);
// GetClassNameW / GetWindowTextW into a buffer of maxChars (terminator
// included): longer texts come back cut.
QString windowClassName(WindowHandle window, int maxChars);
QString windowText(WindowHandle window, int maxChars);
// GetWindowLongW (GwlStyle, GwlExStyle).
qint32 windowLong(WindowHandle window, int index);
// GetWindowThreadProcessId: the owning process id, 0 for an unknown window.
quint32 windowProcessId(WindowHandle window);
// GetForegroundWindow: 0 when no window has the focus.
WindowHandle foregroundWindow();

} // namespace win

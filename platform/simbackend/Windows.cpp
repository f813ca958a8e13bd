#include "platform/Windows.h"

#include "platform/sim/MachineAccess.h"

using win::sim::MachineAccess;
using win::sim::SimWindow;

namespace win {

namespace {

template <typename Answer>
auto withWindow(WindowHandle window, Answer answer) -> decltype(answer(std::declval<const SimWindow&>()))
{
    MachineAccess access;
    const SimWindow* found = access ? access->findWindow(window) : nullptr;
    return found ? answer(*found) : decltype(answer(*found))();
}

QString cut(const QString& text, int maxChars)
{
    return maxChars <= 0 ? QString() : text.left(maxChars - 1);
}

} // namespace

bool enumWindows(const std::function<bool(WindowHandle)>& visit)
{
    QVector<WindowHandle> handles;
    {
        MachineAccess access;
        if (!access)
            return false;
        for (const SimWindow& window : access->system().windows)
            handles.append(window.handle);
    }
    // The lock is not held while the caller looks at each window.
    for (WindowHandle handle : handles) {
        if (!visit(handle))
            break;
    }
    return true;
}

bool isWindowVisible(WindowHandle window)
{
    return withWindow(window, [](const SimWindow& w) { return w.visible; });
}

QString windowClassName(WindowHandle window, int maxChars)
{
    return withWindow(window, [maxChars](const SimWindow& w) { return cut(w.className, maxChars); });
}

QString windowText(WindowHandle window, int maxChars)
{
    return withWindow(window, [maxChars](const SimWindow& w) { return cut(w.title, maxChars); });
}

qint32 windowLong(WindowHandle window, int index)
{
    return withWindow(window, [index](const SimWindow& w) {
        if (index == GwlExStyle)
            return w.exStyle;
        if (index == GwlStyle)
            return w.style | (w.visible ? qint32(WsVisible) : 0);
        return 0;
    });
}

quint32 windowProcessId(WindowHandle window)
{
    return withWindow(window, [](const SimWindow& w) { return w.pid; });
}

WindowHandle foregroundWindow()
{
    MachineAccess access;
    return access ? access->system().foregroundWindow : 0;
}

} // namespace win

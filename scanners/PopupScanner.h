#pragma once

#include "common/ScanReportBundle.h"
#include "platform/Windows.h"

#include <QString>

// Looks at the visible top-level windows and reports those whose process
// looks like an advertising pop-up: unsigned, started from a temporary folder
// or showing an advertising title. At most 30 records per scan; it only reads.
class PopupScanner
{
public:
    static constexpr int MaxRecords = 30;

    void scanPopups(ScanReportBundle& report) const;

    static bool isAdTitle(const QString& title);

private:
    void checkPopupWindow(win::WindowHandle window, ScanReportBundle& report) const;
    static bool isShellWindowClass(const QString& className);
    static bool isExemptProgram(const QString& fileName);
};

#include "scanners/PopupScanner.h"

#include "common/FileSignature.h"
#include "common/NativeSystemPath.h"
#include "common/ProcessImagePath.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "scanners/SignatureStore.h"

#include <QStringList>

namespace {

constexpr int ClassNameChars = 256;
constexpr int TitleChars = 512;

bool containsAnyOf(const QString& text, const QStringList& words)
{
    for (const QString& word : words) {
        if (text.contains(word))
            return true;
    }
    return false;
}

} // namespace

void PopupScanner::scanPopups(ScanReportBundle& report) const
{
    win::enumWindows([this, &report](win::WindowHandle window) {
        checkPopupWindow(window, report);
        return true;
    });
}

bool PopupScanner::isAdTitle(const QString& title)
{
    static const QStringList words = {
        QStringLiteral("广告"), QStringLiteral("推广"), QStringLiteral("游戏"),
        QStringLiteral("领红包"), QStringLiteral("中奖"), QStringLiteral("优惠券"),
        QStringLiteral("弹窗"), QStringLiteral("advertisement"), QStringLiteral("sponsored"),
        QStringLiteral("lottery"), QStringLiteral("coupon"), QStringLiteral("下载"),
        QStringLiteral("安装")};
    return containsAnyOf(title.toLower(), words);
}

bool PopupScanner::isShellWindowClass(const QString& className)
{
    static const QStringList shellClasses = {QStringLiteral("progman"), QStringLiteral("shelldll"),
                                             QStringLiteral("taskbar"), QStringLiteral("shell_traywnd"),
                                             QStringLiteral("workerw")};
    return containsAnyOf(className.toLower(), shellClasses);
}

bool PopupScanner::isExemptProgram(const QString& fileName)
{
    static const QStringList exempt = {QStringLiteral("explorer"), QStringLiteral("chrome"),
                                       QStringLiteral("msedge"), QStringLiteral("firefox"),
                                       QStringLiteral("qq"), QStringLiteral("wechat"),
                                       QStringLiteral("win"), QStringLiteral("taskmgr")};
    const QString lower = fileName.toLower();
    for (const QString& prefix : exempt) {
        if (lower.startsWith(prefix))
            return true;
    }
    return false;
}

void PopupScanner::checkPopupWindow(win::WindowHandle window, ScanReportBundle& report) const
{
    if (!win::isWindowVisible(window) || (quint32(win::windowLong(window, win::GwlExStyle)) & win::WsExToolWindow))
        return;
    if (isShellWindowClass(win::windowClassName(window, ClassNameChars)))
        return;
    const QString title = win::windowText(window, TitleChars).trimmed();
    if (title.isEmpty())
        return;
    const quint32 pid = win::windowProcessId(window);
    if (pid == 0 || pid == win::currentProcessId())
        return;

    const QString path = processImagePath(pid);
    const QString fileName = win::fileNameOf(path);
    // The image path is the one Windows reports, in the system's own view.
    const bool isSigned = !path.isEmpty() && hasValidSignature(nativeSystemPath(path));
    // Each reason that applies replaces the one before: the last one stands.
    QString reason;
    const QString lowerPath = path.toLower();
    if (!path.isEmpty() && (lowerPath.contains(QStringLiteral("temp")) || lowerPath.contains(QStringLiteral("appdata\\local\\temp"))))
        reason = QStringLiteral("从临时目录运行");
    if (isAdTitle(title))
        reason = QStringLiteral("标题含广告/推广特征");
    if (!isSigned && !path.isEmpty())
        reason = QStringLiteral("无有效数字签名");

    if (isSigned || isExemptProgram(fileName) || SignatureStore::instance().isProcessWhitelisted(fileName))
        return;
    if (reason.isEmpty() || report.popups.size() >= MaxRecords)
        return;
    PopupFinding finding;
    finding.processName = fileName;
    finding.windowTitle = title;
    finding.pid = int(pid);
    finding.signatureValid = false;
    finding.suspicious = true;
    finding.reason = reason;
    report.popups.append(finding);
}

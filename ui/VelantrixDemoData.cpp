#include "ui/Velantrix.h"

#include "common/ScanReportBundle.h"
#include "phase2/Phase2Page.h"
#include "ui/ResultPage.h"

// Demo mode shows the result pages filled with made-up findings; it never
// runs the engine.

namespace {

ScanReportBundle demoScanReport()
{
    ScanReportBundle report;
    report.startupItems = {
        {"SyncDrive", "C:\\Users\\demo\\AppData\\Local\\SyncDrive\\SyncDrive.exe", "HKCU Run", 2, 90, 0, false, true,
         "🟢 安全"},
        {"某加速器", "C:\\Users\\demo\\AppData\\Local\\Temp\\acc.exe", "HKLM Run", 1, 45, 2, false, true, "🔴 高风险"},
        {"AppInit_DLLs", "C:\\ProgramData\\xxx.dll", "AppInit_DLLs", 9, 10, 2, true, false, "🔴 高风险"},
    };
    report.junkware = {
        {"adw-001", "QuickDesk Helper", "快桌助手", "adware", "high", "已安装程序",
         "捆绑安装的桌面助手，常驻后台弹出推广。", {}},
        {"adw-060", "HotNews Popup", "热点资讯弹窗", "adware", "high", "运行中进程",
         "定时弹出资讯和游戏广告。",
         {"C:\\Program Files (x86)\\HotNews\\", "C:\\ProgramData\\HotNews"}},
    };
    report.browserHijacks = {{"Chrome", "首页", "http://www.daohang-portal.example/", "", true, "浏览器主页被修改"}};
    report.popups = {{"xxx_ads.exe", "热门游戏推荐", 1234, false, true, "从临时目录运行"}};
    report.conflicts = {{"antivirus", "检测到多个杀毒软件同时运行", "安心卫士、守护管家", "建议只保留一款杀毒软件"}};
    report.storage.fastStartupRecommended = true;
    report.storage.keepHibernation = true;
    report.storage.hibernationDisabledNow = false;
    report.storage.fastStartupReason = "空间充裕，建议启用快速启动";
    report.storage.hibernationReason = "快速启动依赖休眠文件，必须保持休眠";
    report.storage.pagefileAdvice = "保持系统自动管理";
    report.storage.restoreAdvice = "空间充裕，保持系统还原";
    report.storage.hibernationFreedMB = 0;
    report.uninstallResidueCount = 3;
    return report;
}

} // namespace

void Velantrix::showDemoResults()
{
    const ScanReportBundle report = demoScanReport();
    resultPage->setResults(1520, 450, 1286, 12, 2);
    resultPage->setPhase2Data(report);
    // The demo has no machine to find its leftovers on: its rows show them
    // as the canned report names them.
    phase2Page->setReport(report, OptCatalogue::Leftovers::AsReported);
    showPage(resultPage);
}

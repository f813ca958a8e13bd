#include "phase2/Phase2Executor.h"

#include "common/FileLogger.h"
#include "common/ServiceStartChange.h"
#include "common/StartupLocation.h"
#include "maintenance/StartupBackup.h"
#include "maintenance/StartupManager.h"
#include "phase2/LeftoverCleaner.h"
#include "phase2/RestorePointList.h"
#include "platform/ComApartment.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"
#include "platform/RegistryKey.h"
#include "platform/ServiceControl.h"
#include "platform/SystemFacts.h"
#include "platform/SystemRestore.h"
#include "platform/TaskScheduler.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {

struct ServiceTweak
{
    QString id;
    QString service;
    int startType;
};

const QVector<ServiceTweak>& serviceTweaks()
{
    static const QVector<ServiceTweak> table = {
        {QStringLiteral("C13"), QStringLiteral("TrkWks"), int(win::ServiceDemandStart)},
        {QStringLiteral("C10"), QStringLiteral("WwanSvc"), int(win::ServiceDemandStart)},
        {QStringLiteral("C11"), QStringLiteral("SensrSvc"), int(win::ServiceDemandStart)},
        {QStringLiteral("C14"), QStringLiteral("FrameServer"), int(win::ServiceDemandStart)},
        {QStringLiteral("C8"), QStringLiteral("BthServ"), int(win::ServiceDemandStart)},
        {QStringLiteral("C1"), QStringLiteral("WSearch"), int(win::ServiceDemandStart)},
        {QStringLiteral("C12"), QStringLiteral("wlidsvc"), int(win::ServiceDemandStart)},
        {QStringLiteral("C9"), QStringLiteral("Spooler"), int(win::ServiceDemandStart)}};
    return table;
}

const QString DiskDiagnosticTasks = QStringLiteral("\\Microsoft\\Windows\\DiskDiagnostic");
constexpr int PolicyRunType = 6;
constexpr int NetshWaitMs = 8000;
constexpr int WevtutilWaitMs = 10000;
constexpr qint64 BytesPerMB = 1048576;
constexpr quint64 LargeFileBytes = 104857600;
constexpr int LargeFileScanLimit = 40000;
constexpr int LargeFilesListed = 15;

// The maximum size in bytes that wevtutil prints for a log ("maxSize: N"
// under "logging:"); nothing when it cannot be read.
std::optional<quint64> eventLogMaxSize(const QString& log)
{
    const win::ProgramRun run = win::runProgram(QStringLiteral("wevtutil"), {QStringLiteral("get-log"), log},
                                                WevtutilWaitMs, win::StandardInput::Closed);
    if (!run.succeeded())
        return std::nullopt;
    static const QRegularExpression maxSize(QStringLiteral("^\\s+maxSize:\\s*(\\d+)\\s*$"),
                                            QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = maxSize.match(win::fromLocal8Bit(run.standardOutput));
    bool isNumber = false;
    const quint64 bytes = match.captured(1).toULongLong(&isNumber);
    return match.hasMatch() && isNumber ? std::optional<quint64>(bytes) : std::nullopt;
}

QString systemDrive()
{
    QString systemDirectory;
    const quint32 length = win::getSystemDirectory(&systemDirectory, 260);
    return length > 0 && length < 260 ? systemDirectory.left(2) : QStringLiteral("C:");
}

} // namespace

Phase2Executor::Phase2Executor(QObject* parent) : QObject(parent)
{
}

Phase2Executor::~Phase2Executor() = default;

void Phase2Executor::execute(QVector<OptItem> items, ScanReportBundle report, int h2KeepN, int a2SizeMB)
{
    m_total = qMax(1, items.size());
    m_done = 0;
    QStringList lines;
    for (const OptItem& item : items) {
        runItem(item, report, h2KeepN, a2SizeMB, lines);
        ++m_done;
        emit progressUpdated(m_done * 100 / m_total, QStringLiteral("正在执行：") + item.name);
    }
    forgetStartupScan();
    m_leftovers.reset();
    const QString summary = QStringLiteral("本次共执行 %1 项优化：").arg(items.size()) + '\n' + lines.join('\n');
    FileLogger* logger = FileLogger::instance();
    logger->log(QStringLiteral("[Phase2] 共执行 %1 项：").arg(items.size()));
    for (const QString& line : lines)
        logger->log(QStringLiteral("  ") + line);
    emit finished(summary);
}

void Phase2Executor::runItem(const OptItem& item, const ScanReportBundle& report, int h2KeepN, int a2SizeMB,
                             QStringList& lines)
{
    const QString& id = item.id;
    if (!id.startsWith(QLatin1String("ST:")))
        forgetStartupScan();
    if (id == QLatin1String("E1"))
        restoreTcpAutoTuning(lines);
    else if (id == QLatin1String("F3"))
        disableDiskDiagnostics(lines);
    else if (id == QLatin1String("A2"))
        limitEventLogs(a2SizeMB, lines);
    else if (id == QLatin1String("H2"))
        pruneRestorePoints(h2KeepN, lines);
    else if (id == QLatin1String("H3"))
        scanLargeFiles(lines);
    else if (id.startsWith(QLatin1String("ST:")))
        disableStartupItem(item, report, lines);
    else if (id.startsWith(QLatin1String("RES:")))
        cleanResidue(id.mid(4), report, lines);
    else
        setServiceManual(item, lines);
}

// ---------------------------------------------------------------------------
// Services

void Phase2Executor::setServiceManual(const OptItem& item, QStringList& lines)
{
    const QVector<ServiceTweak>& table = serviceTweaks();
    const auto row = std::find_if(table.begin(), table.end(), [&item](const ServiceTweak& t) { return t.id == item.id; });
    if (row == table.end()) {
        lines << QStringLiteral("%1：未知服务项").arg(item.id);
        return;
    }
    switch (setServiceStartType(row->service, row->startType)) {
    case ServiceStartChange::Set:
        lines << QStringLiteral("%1（%2）：已设为手动启动").arg(item.name, row->service);
        break;
    case ServiceStartChange::Kept:
        lines << QStringLiteral("%1（%2）：服务已被禁用，保持禁用").arg(item.name, row->service);
        break;
    case ServiceStartChange::Failed:
        lines << QStringLiteral("%1：设置失败或服务不存在").arg(item.id);
        break;
    }
}

// Lowered only: a service the user or an administrator disabled stays
// disabled. The service is neither stopped nor started.
ServiceStartChange::Outcome Phase2Executor::setServiceStartType(const QString& service, int startType)
{
    return lowerServiceStart(service, quint32(startType)).outcome;
}

// ---------------------------------------------------------------------------
// Network, diagnostics and event logs

void Phase2Executor::restoreTcpAutoTuning(QStringList& lines)
{
    // netsh takes a global parameter only as tag=value: given apart, the tag
    // would be read as the value of the first parameter and refused.
    const win::ProgramRun run = win::runProgram(
        QStringLiteral("netsh"),
        {QStringLiteral("interface"), QStringLiteral("tcp"), QStringLiteral("set"), QStringLiteral("global"),
         QStringLiteral("autotuninglevel=normal")},
        NetshWaitMs);
    if (run.succeeded())
        lines << QStringLiteral("TCP自动调优：已恢复为 normal");
    else
        lines << QStringLiteral("TCP自动调优：设置失败");
}

void Phase2Executor::disableDiskDiagnostics(QStringList& lines)
{
    if (disableTaskFolder(DiskDiagnosticTasks))
        lines << QStringLiteral("磁盘诊断服务：已禁用后台收集任务");
    else
        lines << QStringLiteral("磁盘诊断服务：禁用后台收集任务失败");
}

// True when the folder holds tasks and every one of them is now disabled.
bool Phase2Executor::disableTaskFolder(const QString& folderPath)
{
    const win::ComApartment com(win::ComApartment::Model::Multithreaded);
    if (!com.succeeded())
        return false;
    win::TaskService scheduler;
    win::TaskFolder folder;
    QVector<win::RegisteredTask> tasks;
    if (win::failed(scheduler.create()) || win::failed(scheduler.connect())
        || win::failed(scheduler.getFolder(folderPath, &folder)) || win::failed(folder.getTasks(true, &tasks)))
        return false;
    bool allDisabled = !tasks.isEmpty();
    for (win::RegisteredTask& task : tasks)
        allDisabled = win::succeeded(task.setEnabled(false)) && allDisabled;
    return allDisabled;
}

// A limit only ever lowers a log's maximum size: a log kept smaller already
// stays as it is, and one whose size cannot be read is not touched.
void Phase2Executor::limitEventLogs(int sizeMB, QStringList& lines)
{
    const quint64 limit = quint64(sizeMB) * BytesPerMB;
    QStringList lowered;
    QStringList smaller;
    QStringList failed;
    for (const QString& log : {QStringLiteral("Application"), QStringLiteral("System"), QStringLiteral("Security")}) {
        const std::optional<quint64> current = eventLogMaxSize(log);
        if (current && *current <= limit)
            smaller << log;
        else if (current && win::runProgram(QStringLiteral("wevtutil"),
                                            {QStringLiteral("set-log"), log, QStringLiteral("/ms:%1").arg(limit)},
                                            WevtutilWaitMs).succeeded())
            lowered << log;
        else
            failed << log;
    }
    const QString size = QString::number(sizeMB);
    if (smaller.isEmpty() && failed.isEmpty()) {
        lines << QStringLiteral("事件日志大小限制：已设为 %1 MB").arg(size);
        return;
    }
    QStringList parts;
    if (!lowered.isEmpty())
        parts << QStringLiteral("%1 已设为 %2 MB").arg(lowered.join(QStringLiteral("、")), size);
    if (!smaller.isEmpty())
        parts << QStringLiteral("%1 原本不超过 %2 MB，保持不变").arg(smaller.join(QStringLiteral("、")), size);
    if (!failed.isEmpty())
        parts << QStringLiteral("%1 未能设为 %2 MB").arg(failed.join(QStringLiteral("、")), size);
    lines << QStringLiteral("事件日志大小限制：") + parts.join(QStringLiteral("；"));
}

// ---------------------------------------------------------------------------
// Storage

void Phase2Executor::pruneRestorePoints(int keepN, QStringList& lines)
{
    RestorePointList list;
    const RestorePointList::Reading reading = list.load();
    if (reading == RestorePointList::Reading::Failed) {
        lines << QStringLiteral("系统还原点：无法读取还原点列表");
        return;
    }
    if (reading == RestorePointList::Reading::Incomplete) {
        lines << QStringLiteral("系统还原点：还原点列表未能完整读取，未删除任何还原点");
        return;
    }
    const int count = list.count();
    const int toDelete = qMin(count, count - keepN);
    if (toDelete <= 0) {
        lines << QStringLiteral("系统还原点：当前 %1 个，无需清理").arg(count);
        return;
    }
    // The oldest points go; a point counts as deleted only when System
    // Restore says it is gone.
    int deleted = 0;
    if (win::moduleExports(QStringLiteral("srclient.dll"), "SRRemoveRestorePoint")) {
        for (int i = 0; i < toDelete; ++i) {
            if (win::srRemoveRestorePoint(list.points().at(i).sequenceNumber) == win::ErrorSuccess)
                ++deleted;
        }
    }
    // The newest ones were never to go; an older one that would not go stays
    // beside them and is counted apart.
    QString line = QStringLiteral("系统还原点：共 %1 个，已删除 %2 个，保留最近 %3 个").arg(count).arg(deleted).arg(count - toDelete);
    if (deleted < toDelete)
        line += QStringLiteral("，%1 个未能删除").arg(toDelete - deleted);
    lines << line;
}

void Phase2Executor::scanLargeFiles(QStringList& lines)
{
    QStringList listed;
    int visited = 0;
    QStringList folders = {systemDrive() + '\\'};
    while (!folders.isEmpty() && visited < LargeFileScanLimit && listed.size() < LargeFilesListed) {
        QVector<win::FileEntry> entries;
        win::listDirectory(folders.takeLast(), &entries);
        QStringList subfolders;
        for (const win::FileEntry& entry : entries) {
            // Hidden and system entries are not listed, and links are never followed.
            if (entry.isHidden() || entry.isSystem() || entry.isReparsePoint())
                continue;
            if (entry.isDirectory()) {
                subfolders.prepend(entry.path);
                continue;
            }
            if (++visited > LargeFileScanLimit)
                break;
            if (entry.size > LargeFileBytes)
                listed << QStringLiteral("%1 (%2 MB)").arg(entry.path, QString::number(entry.size / 1024 / 1024));
            if (listed.size() == LargeFilesListed)
                break;
        }
        folders += subfolders;
    }
    if (listed.isEmpty())
        lines << QStringLiteral("大文件扫描：未发现超过100MB的大文件");
    else
        lines << QStringLiteral("大文件扫描：") + '\n' + listed.join('\n');
}

// ---------------------------------------------------------------------------
// Startup entries

// An "ST:" item names the location kind and the entry; it acts on the entry
// of that kind only, however many other locations hold one of its name.
void Phase2Executor::disableStartupItem(const OptItem& item, const ScanReportBundle&, QStringList& lines)
{
    const QStringList parts = item.id.split(':');
    bool isNumber = false;
    const int type = parts.value(1).toInt(&isNumber);
    if (parts.size() < 3 || !isNumber || type <= 0) {
        lines << QStringLiteral("自启禁用：参数无效");
        return;
    }
    const QString name = parts.mid(2).join(':');
    const QVector<const StartupLocation*> locations = StartupLocation::ofFindingType(type);
    if (locations.isEmpty())
        lines << QStringLiteral("自启项仅报告，未操作：%1").arg(name);
    else if (type == PolicyRunType)
        disablePolicyStartupItem(locations, name, lines);
    else
        disableListedStartupItem(*locations.first(), name, lines);
}

void Phase2Executor::disableListedStartupItem(const StartupLocation& location, const QString& name,
                                              QStringList& lines)
{
    StartupManager& manager = scannedStartupManager();
    manager.disableItems(location.managerLabel, {name});
    const QList<StartupItem> entries = manager.itemsAt(location.managerLabel, name);
    const bool allOff = std::all_of(entries.begin(), entries.end(), [](const StartupItem& entry) { return entry.disabled; });
    const QString shown = location.shownName(name);
    if (entries.isEmpty())
        lines << QStringLiteral("已禁用开机自启：%1").arg(shown) + QStringLiteral("（未找到）");
    else if (allOff)
        lines << QStringLiteral("已禁用开机自启：%1").arg(shown);
    else
        lines << QStringLiteral("禁用开机自启失败：%1").arg(shown);
}

// Windows runs every value of a policy Run key and keeps no switched-off
// state for it: the value moves into the program's backup in its own hive,
// in each policy key that holds it.
void Phase2Executor::disablePolicyStartupItem(const QVector<const StartupLocation*>& locations, const QString& name,
                                              QStringList& lines)
{
    QVector<StartupBackup::Outcome> outcomes;
    for (const StartupLocation* location : locations)
        outcomes << StartupBackup::hold(*location, name, name);
    if (outcomes.contains(StartupBackup::Outcome::Failed))
        lines << QStringLiteral("禁用组策略自启失败：%1").arg(name);
    else
        lines << QStringLiteral("已禁用组策略自启：%1%2").arg(name, outcomes.contains(StartupBackup::Outcome::Done)
                                                                            ? QString()
                                                                            : QStringLiteral("（未找到）"));
}

StartupManager& Phase2Executor::scannedStartupManager()
{
    if (!m_startupScan)
        m_startupScan = std::make_unique<StartupManager>();
    if (m_startupScans < 2) {
        m_startupScan->scanItems();
        ++m_startupScans;
    }
    return *m_startupScan;
}

void Phase2Executor::forgetStartupScan()
{
    m_startupScan.reset();
    m_startupScans = 0;
}

// ---------------------------------------------------------------------------
// Leftovers of junk software

void Phase2Executor::cleanResidue(const QString& junkwareId, const ScanReportBundle& report, QStringList& lines)
{
    if (!m_leftovers)
        m_leftovers = std::make_unique<LeftoverCleaner>(report.junkware);
    lines << m_leftovers->clean(junkwareId);
}

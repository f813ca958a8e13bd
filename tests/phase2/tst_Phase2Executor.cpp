#include "LogFileLines.h"
#include "TestMachine.h"
#include "common/FileLogger.h"
#include "phase2/Phase2Executor.h"
#include "phase2/RestorePointList.h"
#include "maintenance/StartupManager.h"
#include "platform/RegistryIterators.h"
#include "platform/RegistryKey.h"
#include "platform/sim/SignInStartup.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <iterator>

using win::sim::ProgramAvailability;
using Place = win::sim::SignInStartup::Place;

namespace {

const QString UserRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString Approved = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
const QString Startup = "C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
const QString StartupOff = QStringLiteral("已禁用开机自启：%1");
const QString NotFound = QStringLiteral("（未找到）");
const QString Removed = QStringLiteral("%1 残留清理：删除 %2 个残留项");
constexpr quint64 HundredMiB = 104857600;

using MachineSetup = void (*)(TestMachine&);

struct Run
{
    QString summary;
    QStringList lines;   // the result lines, after the summary's first line
    QList<QPair<int, QString>> progress;
};

Run execute(const QStringList& ids, const ScanReportBundle& report = {}, int h2KeepN = 1, int a2SizeMB = 256)
{
    QVector<OptItem> items;
    for (const QString& id : ids) {
        OptItem item;
        item.id = id;
        item.name = QStringLiteral("项目") + id;
        items << item;
    }
    Phase2Executor executor;
    QSignalSpy progress(&executor, &Phase2Executor::progressUpdated);
    QSignalSpy finished(&executor, &Phase2Executor::finished);
    executor.execute(items, report, h2KeepN, a2SizeMB);
    Run run;
    if (finished.size() != 1)
        return run;
    run.summary = finished.at(0).at(0).toString();
    run.lines = run.summary.split('\n').mid(1);
    for (const QList<QVariant>& signal : progress)
        run.progress.append({signal.at(0).toInt(), signal.at(1).toString()});
    return run;
}

QString runOne(const QString& id, const ScanReportBundle& report = {}, int h2KeepN = 1, int a2SizeMB = 256)
{
    return execute({id}, report, h2KeepN, a2SizeMB).lines.join('\n');
}

// What the program ran, one "program arguments" text per run.
QStringList programsRun(TestMachine& machine)
{
    QStringList runs;
    for (const win::sim::JournalEntry& entry : machine->journal()) {
        if (entry.kind == QLatin1String("run"))
            runs << (QStringList{entry.program} + entry.arguments).join(' ');
    }
    return runs;
}

QByteArray valueOf(TestMachine& machine, const QString& key, const QString& name, quint32* type = nullptr)
{
    quint32 valueType = win::RegNone;
    QByteArray data;
    if (!machine->registry().value(key, name, &valueType, &data))
        return "missing";
    if (type)
        *type = valueType;
    return data;
}

QByteArray approval(quint8 state, int size = 12)
{
    QByteArray data(size, '\0');
    data[0] = char(state);
    return data;
}

ScanReportBundle junkware(const QString& nameCn, const QStringList& evidence)
{
    ScanReportBundle report;
    JunkwareFinding finding;
    finding.id = QStringLiteral("searchprotect");
    finding.name = QStringLiteral("Search Protect");
    finding.nameCn = nameCn;
    finding.evidence = evidence;
    report.junkware << finding;
    return report;
}

void addBigFile(TestMachine& machine, const QString& path, quint64 size, quint32 attributes = 0)
{
    machine.addFile(path);
    machine->files().setVirtualSize(path, size);
    if (attributes)
        machine->files().setAttributes(path, attributes, attributes);
}

const QString ApprovedBelow = QStringLiteral("Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\");

// Every startup-approval value of the machine, in both hives and both views,
// as "key|name".
QStringList approvalValues()
{
    QStringList found;
    const QPair<win::Hive, QString> branches[] = {{win::Hive::CurrentUser, QStringLiteral("SOFTWARE\\")},
                                                  {win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\")},
                                                  {win::Hive::LocalMachine, QStringLiteral("SOFTWARE\\WOW6432Node\\")}};
    for (const auto& branch : branches) {
        for (const QString& subkey : {QStringLiteral("Run"), QStringLiteral("Run32"), QStringLiteral("StartupFolder")}) {
            const QString path = branch.second + ApprovedBelow + subkey;
            win::RegistryKey key;
            if (key.open(branch.first, path, win::KeyRead | win::KeyWow64_64Key) != win::ErrorSuccess)
                continue;
            win::RegistryValueIterator values(key, 16384);
            while (values.next())
                found << win::registryHiveName(branch.first) + '\\' + path + '|' + values.name();
        }
    }
    return found;
}

// One kind of startup location as the report names it ("ST:<type>:"), the
// startup manager's label for it, where Windows keeps its switched-off state
// (empty: nowhere), and another kind holding an entry of the same name.
struct StartupKind
{
    int type;
    QString label;
    Place place;
    QString where;       // a Run key in storage terms, or a Startup folder
    QString approvalKey;
    int twin;
};

const QString MachineSoftware = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\");
const QString UserSoftware = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\");
const QString CurrentVersion = QStringLiteral("Microsoft\\Windows\\CurrentVersion\\");
const QString CommonStartup = QStringLiteral("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\");

const StartupKind StartupKinds[] = {
    {1, "HKLM_Run", Place::MachineRun, MachineSoftware + CurrentVersion + "Run", MachineSoftware + ApprovedBelow + "Run", 1},
    {2, "HKCU_Run", Place::UserRun, UserSoftware + CurrentVersion + "Run", UserSoftware + ApprovedBelow + "Run", 4},
    {3, "HKLM_RunOnce", Place::MachineRunOnce, MachineSoftware + CurrentVersion + "RunOnce", "", 0},
    {4, "HKCU_RunOnce", Place::UserRunOnce, UserSoftware + CurrentVersion + "RunOnce", "", 1},
    {5, "HKLM_Run32", Place::MachineRun32, MachineSoftware + "WOW6432Node\\" + CurrentVersion + "Run",
     MachineSoftware + ApprovedBelow + "Run32", 0},
    {6, "HKLM_PolicyRun", Place::MachinePolicyRun, MachineSoftware + CurrentVersion + "Policies\\Explorer\\Run", "", 0},
    {6, "HKCU_PolicyRun", Place::UserPolicyRun, UserSoftware + CurrentVersion + "Policies\\Explorer\\Run", "", 1},
    {10, "StartupFolder_Common", Place::CommonStartupFolder, CommonStartup, MachineSoftware + ApprovedBelow + "StartupFolder", 8},
    {11, "StartupFolder_User", Place::UserStartupFolder, Startup, UserSoftware + ApprovedBelow + "StartupFolder", 7},
};

void addStartupEntry(TestMachine& machine, const StartupKind& kind, const QString& name)
{
    if (kind.where.endsWith('\\'))
        machine.addFile(kind.where + name, "C:\\Tools\\tool.exe");
    else
        machine.setText(kind.where, name, QStringLiteral("\"C:\\Tools\\tool.exe\" /tray"));
}

} // namespace

Q_DECLARE_METATYPE(MachineSetup)

class Phase2ExecutorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { FileLogger::instance()->init(m_logDir.path()); }
    void reportsProgressAfterEachItem_data();
    void reportsProgressAfterEachItem();
    void setsServicesToManualStart_data();
    void setsServicesToManualStart();
    void runsNetshAndWevtutil_data();
    void runsNetshAndWevtutil();
    void disablesDiskDiagnosticTasks_data();
    void disablesDiskDiagnosticTasks();
    void prunesTheOldestRestorePoints_data();
    void prunesTheOldestRestorePoints();
    void readsRestorePointsByTheirHeader_data();
    void readsRestorePointsByTheirHeader();
    void listsLargeFilesOnTheSystemDrive();
    void disablesStartupEntries_data();
    void disablesStartupEntries();
    void switchingOffStopsTheEntryWhereWindowsLooks_data();
    void switchingOffStopsTheEntryWhereWindowsLooks();
    void movesPolicyEntriesOutOfTheRunKey_data();
    void movesPolicyEntriesOutOfTheRunKey();
    void startupItemsFindWhatARescanFinds();
    void removesTheLeftoversOfAFinding_data();
    void removesTheLeftoversOfAFinding();
    void neverRemovesProtectedFolders_data();
    void neverRemovesProtectedFolders();

private:
    QTemporaryDir m_logDir;
};

void Phase2ExecutorTest::reportsProgressAfterEachItem_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QList<int>>("percents");
    QTest::newRow("nothing") << QStringList{} << QList<int>{};
    QTest::newRow("two") << QStringList{"X1", "X2"} << QList<int>{50, 100};
    QTest::newRow("three") << QStringList{"X1", "X2", "X3"} << QList<int>{33, 66, 100};
}

void Phase2ExecutorTest::reportsProgressAfterEachItem()
{
    QFETCH(QStringList, ids);
    QFETCH(QList<int>, percents);
    TestMachine machine;
    QStringList lines;
    QList<QPair<int, QString>> progress;
    for (int i = 0; i < ids.size(); ++i) {
        lines << QStringLiteral("%1：未知服务项").arg(ids.at(i));
        progress << qMakePair(percents.at(i), QStringLiteral("正在执行：项目") + ids.at(i));
    }
    LogFileLines log(FileLogger::instance()->logFilePath());
    const Run run = execute(ids);
    QCOMPARE(run.summary, QStringLiteral("本次共执行 %1 项优化：").arg(ids.size()) + '\n' + lines.join('\n'));
    QCOMPARE(run.progress, progress);
    QStringList logged = {QStringLiteral("[Phase2] 共执行 %1 项：").arg(ids.size())};
    for (const QString& line : lines)
        logged << "  " + line;
    QCOMPARE(log.lines(), logged);
}

void Phase2ExecutorTest::setsServicesToManualStart_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("service");   // empty: the machine lacks it
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<quint32>("before");
    QTest::addColumn<quint32>("after");
    QTest::addColumn<QString>("line");
    const char* const services[][2] = {{"C13", "TrkWks"}, {"C10", "WwanSvc"}, {"C11", "SensrSvc"}, {"C14", "FrameServer"},
                                       {"C8", "BthServ"},  {"C1", "WSearch"},  {"C12", "wlidsvc"},  {"C9", "Spooler"}};
    for (const auto& row : services)
        QTest::newRow(row[0]) << row[0] << row[1] << true << win::ServiceAutoStart << win::ServiceDemandStart
                              << QStringLiteral("项目%1（%2）：已设为手动启动").arg(row[0], row[1]);
    QTest::newRow("manual already") << "C13" << "TrkWks" << true << win::ServiceDemandStart << win::ServiceDemandStart
                                    << QStringLiteral("项目C13（TrkWks）：已设为手动启动");
    // What the user or an administrator switched off is never switched back on.
    QTest::newRow("disabled stays disabled") << "C1" << "WSearch" << true << win::ServiceDisabled << win::ServiceDisabled
                                             << QStringLiteral("项目C1（WSearch）：服务已被禁用，保持禁用");
    QTest::newRow("standard user") << "C1" << "WSearch" << false << win::ServiceAutoStart << win::ServiceAutoStart
                                   << QStringLiteral("C1：设置失败或服务不存在");
    QTest::newRow("service missing") << "C9" << "" << true << 0u << 0u << QStringLiteral("C9：设置失败或服务不存在");
    QTest::newRow("not a service item") << "C99" << "Spooler" << true << win::ServiceAutoStart << win::ServiceAutoStart
                                        << QStringLiteral("C99：未知服务项");
}

// Only the start type changes: the service keeps running.
void Phase2ExecutorTest::setsServicesToManualStart()
{
    QFETCH(QString, id);
    QFETCH(QString, service);
    QFETCH(bool, administrator);
    QFETCH(quint32, before);
    QFETCH(quint32, after);
    QFETCH(QString, line);
    TestMachine machine;
    machine->system().administrator = administrator;
    if (!service.isEmpty())
        machine.addService(service, win::ServiceRunning, before);
    QCOMPARE(runOne(id), line);
    if (!service.isEmpty()) {
        QCOMPARE(machine->findService(service)->startType, after);
        QCOMPARE(machine->findService(service)->state, win::ServiceRunning);
    }
}

void Phase2ExecutorTest::runsNetshAndWevtutil_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("a2SizeMB");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QString>("missing");   // a program or event log the machine lacks
    QTest::addColumn<QString>("before");    // the three log sizes
    QTest::addColumn<QString>("state");     // auto-tuning level, then the three log sizes
    QTest::addColumn<QString>("line");
    const QString fresh = QStringLiteral(" 20971520 20971520 20971520");
    const QString large = QStringLiteral(" 2147483648 2147483648 2147483648");
    const QString logs = QStringLiteral("Application、System、Security");
    QTest::newRow("E1") << "E1" << 256 << true << "" << fresh << "normal" + fresh << QStringLiteral("TCP自动调优：已恢复为 normal");
    QTest::newRow("E1 as a user") << "E1" << 256 << false << "" << fresh << "-" + fresh << QStringLiteral("TCP自动调优：设置失败");
    QTest::newRow("E1 without netsh") << "E1" << 256 << true << "netsh" << fresh << "-" + fresh << QStringLiteral("TCP自动调优：设置失败");
    QTest::newRow("A2 lowers every log, in bytes") << "A2" << 1024 << true << "" << large
                                                   << "- 1073741824 1073741824 1073741824"
                                                   << QStringLiteral("事件日志大小限制：已设为 1024 MB");
    // Windows' default of 20 MB is below every choice: a limit never raises.
    QTest::newRow("A2 never raises") << "A2" << 512 << true << "" << fresh << "-" + fresh
                                     << QStringLiteral("事件日志大小限制：%1 原本不超过 512 MB，保持不变").arg(logs);
    QTest::newRow("A2 lowers only the larger logs") << "A2" << 256 << true << "" << " 536870912 20971520 268435456"
                                                    << "- 268435456 20971520 268435456"
                                                    << QStringLiteral("事件日志大小限制：Application 已设为 256 MB；"
                                                                      "System、Security 原本不超过 256 MB，保持不变");
    QTest::newRow("A2 as a user") << "A2" << 128 << false << "" << large << "-" + large
                                  << QStringLiteral("事件日志大小限制：%1 未能设为 128 MB").arg(logs);
    QTest::newRow("A2 without a Security log") << "A2" << 512 << true << "Security" << large << "- 536870912 536870912 -"
                                               << QStringLiteral("事件日志大小限制：Application、System 已设为 512 MB；"
                                                                 "Security 未能设为 512 MB");
}

void Phase2ExecutorTest::runsNetshAndWevtutil()
{
    QFETCH(QString, id);
    QFETCH(int, a2SizeMB);
    QFETCH(bool, administrator);
    QFETCH(QString, missing);
    QFETCH(QString, before);
    QFETCH(QString, state);
    QFETCH(QString, line);
    TestMachine machine;
    machine->system().administrator = administrator;
    if (missing == QLatin1String("netsh"))
        machine->programs().setAvailability(missing, ProgramAvailability::Missing);
    const QStringList sizes = before.split(' ', Qt::SkipEmptyParts);
    const QStringList names = {"Application", "System", "Security"};
    for (int i = 0; i < names.size(); ++i)
        machine->programs().findEventLog(names.at(i))->maxSizeBytes = sizes.at(i).toULongLong();
    auto& logs = machine->programs().eventLogs();
    logs.erase(std::remove_if(logs.begin(), logs.end(), [&missing](const auto& log) { return log.name == missing; }),
               logs.end());

    QCOMPARE(runOne(id, {}, 1, a2SizeMB), line);
    if (id == QLatin1String("E1"))
        QCOMPARE(programsRun(machine), QStringList{"netsh interface tcp set global autotuninglevel=normal"});
    QStringList after = {machine->programs().tcpGlobals().value(QStringLiteral("autotuninglevel"), QStringLiteral("-"))};
    for (const char* name : {"Application", "System", "Security"}) {
        const auto* log = machine->programs().findEventLog(QLatin1String(name));
        after << (log ? QString::number(log->maxSizeBytes) : QStringLiteral("-"));
    }
    QCOMPARE(after.join(' '), state);
}

void Phase2ExecutorTest::disablesDiskDiagnosticTasks_data()
{
    QTest::addColumn<bool>("withTasks");
    QTest::addColumn<qint32>("connectResult");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<bool>("collectorRefuses");   // only SYSTEM may change it
    QTest::addColumn<QStringList>("enabledAfter");
    QTest::addColumn<bool>("disabled");
    const QStringList both = {"Collector", "Resolver"};
    QTest::newRow("collector and hidden resolver") << true << win::S_Ok << true << false << QStringList{} << true;
    QTest::newRow("no tasks") << false << win::S_Ok << true << false << QStringList{} << false;
    QTest::newRow("scheduler unreachable") << true << win::RPC_E_ServerUnavailable << true << false << both << false;
    QTest::newRow("standard user") << true << win::S_Ok << false << false << both << false;
    QTest::newRow("a task that refuses") << true << win::S_Ok << true << true << QStringList{"Collector"} << false;
}

// The folder's tasks, hidden ones too, and nothing outside it; the line
// says done only when every one of them is off.
void Phase2ExecutorTest::disablesDiskDiagnosticTasks()
{
    QFETCH(bool, withTasks);
    QFETCH(qint32, connectResult);
    QFETCH(bool, administrator);
    QFETCH(bool, collectorRefuses);
    QFETCH(QStringList, enabledAfter);
    QFETCH(bool, disabled);
    TestMachine machine;
    machine->system().taskConnectResult = connectResult;
    machine->system().administrator = administrator;
    const QString folder = QStringLiteral("\\Microsoft\\Windows\\DiskDiagnostic");
    machine->system().taskFolders << folder;
    QStringList paths = {QStringLiteral("\\Microsoft\\Windows\\Defrag\\ScheduledDefrag")};
    if (withTasks)
        paths << folder + "\\Microsoft-Windows-DiskDiagnosticDataCollector" << folder + "\\Microsoft-Windows-DiskDiagnosticResolver";
    for (const QString& path : paths) {
        win::sim::SimTask task;
        task.path = path;
        task.definition.hidden = path.endsWith(QLatin1String("Resolver"));
        task.systemOnly = collectorRefuses && path.endsWith(QLatin1String("Collector"));
        machine->system().tasks << task;
    }

    QCOMPARE(runOne(QStringLiteral("F3")), disabled ? QStringLiteral("磁盘诊断服务：已禁用后台收集任务")
                                                    : QStringLiteral("磁盘诊断服务：禁用后台收集任务失败"));
    for (const QString& path : paths) {
        const bool stays = path.contains(QLatin1String("Defrag"))
                           || std::any_of(enabledAfter.begin(), enabledAfter.end(),
                                          [&path](const QString& name) { return path.endsWith(name); });
        QVERIFY2(machine->findTask(path)->enabled == stays, qPrintable(path));
    }
}

void Phase2ExecutorTest::prunesTheOldestRestorePoints_data()
{
    QTest::addColumn<QList<int>>("points");   // in the order the machine keeps them; negative: cannot be removed
    QTest::addColumn<QString>("description"); // of every point; %1 its number
    QTest::addColumn<int>("keep");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<bool>("srClient");
    QTest::addColumn<QList<int>>("left");
    QTest::addColumn<QString>("line");
    const QString pruned = QStringLiteral("系统还原点：共 %1 个，已删除 %2 个，保留最近 %3 个");
    const QString nothing = QStringLiteral("系统还原点：当前 %1 个，无需清理");
    const QList<int> points = {12, 5, 30, 7};
    const QList<int> all = {5, 7, 12, 30};
    const QString plain = QStringLiteral("自动还原点 %1");
    QTest::newRow("keep two") << points << plain << 2 << true << true << QList<int>{12, 30} << pruned.arg(4).arg(2).arg(2);
    QTest::newRow("keep fewer than none") << points << plain << -1 << true << true << QList<int>{} << pruned.arg(4).arg(4).arg(0);
    QTest::newRow("keep as many as there are") << points << plain << 4 << true << true << all << nothing.arg(4);
    QTest::newRow("none at all") << QList<int>{} << plain << 1 << true << true << QList<int>{} << nothing.arg(0);
    QTest::newRow("srclient without the call") << points << plain << 2 << true << false << all
                                               << pruned.arg(4).arg(0).arg(2) + QStringLiteral("，2 个未能删除");
    // The newest points are kept as asked; an older one that would not go
    // stays beside them, and the line says so.
    QTest::newRow("a point that cannot be removed") << QList<int>{12, -5, 30, 7} << plain << 2 << true << true
                                                    << QList<int>{5, 12, 30}
                                                    << pruned.arg(4).arg(1).arg(2) + QStringLiteral("，1 个未能删除");
    QTest::newRow("standard user") << points << plain << 1 << false << true << all << QStringLiteral("系统还原点：无法读取还原点列表");
    // A description is free text: it may break its line or hold characters
    // the code page of wmic's output cannot carry.
    QTest::newRow("line breaks in descriptions") << points << QStringLiteral("安装前\r\n%1 号\n驱动") << 2 << true << true
                                                 << QList<int>{12, 30} << pruned.arg(4).arg(2).arg(2);
    QTest::newRow("characters beyond the code page") << points << QStringLiteral("更新 😀😀 %1 ✓ Ünïcödé 𠀀") << 1 << true
                                                     << true << QList<int>{30} << pruned.arg(4).arg(3).arg(1);
}

void Phase2ExecutorTest::prunesTheOldestRestorePoints()
{
    QFETCH(QList<int>, points);
    QFETCH(QString, description);
    QFETCH(int, keep);
    QFETCH(bool, administrator);
    QFETCH(bool, srClient);
    QFETCH(QList<int>, left);
    QFETCH(QString, line);
    QJsonArray listed;
    for (int number : points) {
        const int sequence = qAbs(number);
        listed.append(QJsonObject{{"sequenceNumber", sequence}, {"description", description.arg(sequence)},
                                  {"creationTime", QStringLiteral("202611%1").arg(sequence, 2, 10, QChar('0')) + "093012.123456-000"},
                                  {"undeletable", number < 0}});
    }
    TestMachine machine(QJsonObject{{"restorePoints", listed}});
    machine->system().administrator = administrator;
    if (!srClient)
        machine->system().missingProcedures << QStringLiteral("srclient.dll!SRRemoveRestorePoint");

    QCOMPARE(runOne(QStringLiteral("H2"), {}, keep), line);
    QList<int> sequences;
    for (const win::sim::RestorePoint& point : machine->programs().restorePoints())
        sequences << int(point.sequenceNumber);
    std::sort(sequences.begin(), sequences.end());
    QCOMPARE(sequences, left);
    QCOMPARE(programsRun(machine),
             QStringList{"wmic /namespace:\\\\root\\default path SystemRestore get SequenceNumber,CreationTime"});
}

void Phase2ExecutorTest::readsRestorePointsByTheirHeader_data()
{
    QTest::addColumn<QString>("listing");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<QStringList>("points");   // "sequence|time", oldest first
    QTest::newRow("columns by name") << "CreationTime               SequenceNumber  \r\r\n"
                                        "20261203180000.000000-000  12              \r\r\n"
                                        "20261101093012.123456+480  5               \r\r\n\r\r\n"
                                     << true
                                     << QStringList{"5|20261101093012.123456+480", "12|20261203180000.000000-000"};
    // A row that is no restore point's could hide one: nothing is counted.
    QTest::newRow("a row without a number") << "SequenceNumber  CreationTime               \r\n"
                                               "3               20261101093012.123456-000  \r\n"
                                               "x4              20261101093012.123456-000  \r\n"
                                            << false << QStringList{};
    QTest::newRow("a row without a time") << "SequenceNumber  CreationTime               \r\n"
                                             "3               Windows Update             \r\n"
                                          << false << QStringList{};
    QTest::newRow("text before the header") << "Node - PC\r\nSequenceNumber  CreationTime\r\n" << false << QStringList{};
}

void Phase2ExecutorTest::readsRestorePointsByTheirHeader()
{
    QFETCH(QString, listing);
    QFETCH(bool, whole);
    QFETCH(QStringList, points);
    QVector<RestorePointRecord> records;
    QCOMPARE(RestorePointList::parse(listing, &records), whole);
    QStringList read;
    for (const RestorePointRecord& point : records)
        read << QStringLiteral("%1|%2").arg(point.sequenceNumber).arg(point.creationTime);
    if (whole)
        QCOMPARE(read, points);
}

// Over 100 MiB, not hidden or system, not through a link; at most fifteen.
void Phase2ExecutorTest::listsLargeFilesOnTheSystemDrive()
{
    TestMachine machine;
    QCOMPARE(runOne(QStringLiteral("H3")), QStringLiteral("大文件扫描：未发现超过100MB的大文件"));
    addBigFile(machine, QStringLiteral("C:\\Videos\\movie.mkv"), HundredMiB + 1);
    addBigFile(machine, QStringLiteral("C:\\Videos\\exactly.iso"), HundredMiB);
    addBigFile(machine, QStringLiteral("C:\\hiberfil.sys"), 8 * HundredMiB, win::FileAttributeHidden | win::FileAttributeSystem);
    addBigFile(machine, QStringLiteral("C:\\Secret\\backup.vhd"), 3 * HundredMiB);
    machine->files().setAttributes(QStringLiteral("C:\\Secret"), win::FileAttributeHidden, win::FileAttributeHidden);
    addBigFile(machine, QStringLiteral("C:\\Archive\\old.zip"), 2 * HundredMiB);
    QVERIFY(QFile::link(machine.hostPath(QStringLiteral("C:\\Archive")), machine.hostPath(QStringLiteral("C:\\Link"))));
    QStringList found = runOne(QStringLiteral("H3")).split('\n');
    QCOMPARE(found.takeFirst(), QStringLiteral("大文件扫描："));
    found.sort();
    QCOMPARE(found, (QStringList{"C:\\Archive\\old.zip (200 MB)", "C:\\Videos\\movie.mkv (100 MB)"}));

    for (int i = 0; i < 20; ++i)
        addBigFile(machine, QStringLiteral("C:\\Big\\file%1.bin").arg(i), 2 * HundredMiB);
    QCOMPARE(runOne(QStringLiteral("H3")).count('\n'), 15);
}

void Phase2ExecutorTest::disablesStartupEntries_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("existing");   // the entry's approval value before the run
    QTest::addColumn<QByteArray>("approval");   // and after it
    QTest::addColumn<QString>("line");
    QTest::newRow("type not a number") << "ST:x:Helper" << QByteArray("missing") << QByteArray("missing")
                                       << QStringLiteral("自启禁用：参数无效");
    QTest::newRow("name with a colon") << "ST:2:Helper:2" << QByteArray("missing") << QByteArray("missing")
                                       << StartupOff.arg("Helper:2") + NotFound;
    // Already off (Windows writes 5 as well): said so, and not written again.
    QTest::newRow("switched off by Windows") << "ST:2:Helper" << approval(5) << approval(5) << StartupOff.arg("Helper");
    QTest::newRow("approval value unreadable") << "ST:2:Helper" << approval(2, 16) << approval(2, 16)
                                               << QStringLiteral("禁用开机自启失败：Helper");
    QTest::newRow("Winlogon is only reported") << "ST:7:Helper" << QByteArray("missing") << QByteArray("missing")
                                               << QStringLiteral("自启项仅报告，未操作：Helper");
    QTest::newRow("no name") << "ST:abc" << QByteArray("missing") << QByteArray("missing") << QStringLiteral("自启禁用：参数无效");
}

// Switched off through its approval value; the Run value itself stays.
void Phase2ExecutorTest::disablesStartupEntries()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, existing);
    QFETCH(QByteArray, approval);
    QFETCH(QString, line);
    TestMachine machine;
    machine.setText(UserRun, QStringLiteral("Helper"), QStringLiteral("C:\\Tools\\helper.exe /tray"));
    if (existing != "missing")
        machine->registry().setValue(Approved + "Run", QStringLiteral("Helper"), win::RegBinary, existing);

    QCOMPARE(runOne(id), line);
    QCOMPARE(valueOf(machine, Approved + "Run", id.section(':', 2)), approval);
    QCOMPARE(machine.text(UserRun, QStringLiteral("Helper")), QStringLiteral("C:\\Tools\\helper.exe /tray"));
}

void Phase2ExecutorTest::switchingOffStopsTheEntryWhereWindowsLooks_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("version");   // major, minor, build
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("attributes");   // of a Startup-folder file
    const QPair<const char*, QList<int>> versions[] = {
        {"Windows 7", {6, 1, 7601}}, {"Windows 10", {10, 0, 19045}}, {"Windows 11", {10, 0, 22631}}};
    for (const auto& version : versions) {
        for (int kind = 0; kind < int(std::size(StartupKinds)); ++kind) {
            const bool folder = StartupKinds[kind].where.endsWith('\\');
            QTest::addRow("%s, %s", version.first, qPrintable(StartupKinds[kind].label))
                << kind << version.second << (folder ? QStringLiteral("WeChat.lnk") : QStringLiteral("WeChat"))
                << quint32(0);
        }
        // Windows starts hidden and system files of a Startup folder too.
        QTest::addRow("%s, a hidden file", version.first)
            << 8 << version.second << QStringLiteral("Hid.lnk") << quint32(win::FileAttributeHidden);
        QTest::addRow("%s, a hidden system file", version.first)
            << 7 << version.second << QStringLiteral("Hid.lnk")
            << quint32(win::FileAttributeHidden | win::FileAttributeSystem);
    }
    // A Run key's unnamed default value starts like every other value.
    QTest::newRow("Windows 7, HKCU_Run, the default value") << 1 << QList<int>{6, 1, 7601} << QString("") << quint32(0);
}

// Switching an entry off makes Windows not start it at the next sign-in, and
// only it: an entry of the same name elsewhere goes on starting. Its state
// goes where Windows reads it, and nowhere else; where Windows keeps none,
// the entry leaves its place for the program's backup. The startup manager
// lists it as switched off, and restoring it makes it start again. The line
// names a Startup-folder file without its extension.
void Phase2ExecutorTest::switchingOffStopsTheEntryWhereWindowsLooks()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, version);
    QFETCH(QString, name);
    QFETCH(quint32, attributes);
    const StartupKind& entry = StartupKinds[kind];
    const StartupKind& twin = StartupKinds[entry.twin];
    const bool folder = entry.where.endsWith('\\');
    TestMachine machine;
    machine.setWindowsVersion(quint32(version.at(0)), quint32(version.at(1)), quint32(version.at(2)));
    addStartupEntry(machine, entry, name);
    addStartupEntry(machine, twin, name);
    if (attributes != 0)
        machine->files().setAttributes(entry.where + name, attributes, attributes);
    // Windows 7 reads no approval value: one left by a later Windows stops nothing.
    const bool approved = !entry.approvalKey.isEmpty() && version.first() >= 10;
    if (!approved && !entry.approvalKey.isEmpty())
        machine->registry().setValue(entry.approvalKey, name, win::RegBinary, approval(3));
    const QStringList approvalBefore = approvalValues();
    const win::sim::SignInStartup windows(machine.machine());
    QVERIFY(windows.wouldStart(entry.place, name) && windows.wouldStart(twin.place, name));

    QCOMPARE(runOne(QStringLiteral("ST:%1:%2").arg(entry.type).arg(name)),
             (entry.type == 6 ? QStringLiteral("已禁用组策略自启：%1") : StartupOff).arg(folder ? name.chopped(4) : name));
    QVERIFY(!windows.wouldStart(entry.place, name));
    QVERIFY(windows.wouldStart(twin.place, name));
    QCOMPARE(approvalValues(), approved ? QStringList{entry.approvalKey + '|' + name} : approvalBefore);

    StartupManager manager;
    manager.scanItems();
    const QList<StartupItem> listed = manager.itemsAt(entry.label, name);
    QCOMPARE(listed.size(), 1);
    QVERIFY(listed.first().disabled);
    QVERIFY(manager.restoreItem(listed.first()));
    QVERIFY(windows.wouldStart(entry.place, name) && windows.wouldStart(twin.place, name));
    StartupManager rescanned;
    rescanned.scanItems();
    const QList<StartupItem> again = rescanned.itemsAt(entry.label, name);
    QCOMPARE(again.size(), entry.type == 6 ? 0 : 1);   // the manager lists policy entries only while it holds them
    QVERIFY(again.isEmpty() || !again.first().disabled);
}

void Phase2ExecutorTest::movesPolicyEntriesOutOfTheRunKey_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QStringList>("hives");     // where the entry stands
    QTest::addColumn<QStringList>("moved");     // where it was moved out of the Run key
    QTest::addColumn<QString>("older");         // a backup of an earlier disable in the user's hive
    QTest::addColumn<QString>("line");
    const QString machineHive = QStringLiteral("HKEY_LOCAL_MACHINE\\");
    const QString userHive = QStringLiteral("HKEY_CURRENT_USER\\");
    const QString name = QStringLiteral("Updater");
    const QString off = QStringLiteral("已禁用组策略自启：%1").arg(name);
    const QString failed = QStringLiteral("禁用组策略自启失败：%1");
    QTest::newRow("both hives") << name << true << QStringList{machineHive, userHive}
                                << QStringList{machineHive, userHive} << QString() << off;
    QTest::newRow("nowhere") << name << true << QStringList{} << QStringList{} << QString() << off + NotFound;
    // The machine's backup cannot be written: its entry stays and goes on starting.
    QTest::newRow("machine hive as a user") << name << false << QStringList{machineHive, userHive}
                                            << QStringList{userHive} << QString() << failed.arg(name);
    QTest::newRow("an older backup is kept") << name << true << QStringList{userHive} << QStringList{userHive}
                                             << QStringLiteral("C:\\Old\\upd.exe") << off;
    // A backup's name longer than Windows allows a value name cannot be written.
    const QString longName(16380, 'u');
    QTest::newRow("backup cannot be written") << longName << true << QStringList{userHive} << QStringList{}
                                              << QString() << failed.arg(longName);
}

// Windows runs every value of a policy Run key: the entry goes to a backup
// key of its own, with its type, and leaves the Run key only then. A second
// backup of one name is kept beside the first.
void Phase2ExecutorTest::movesPolicyEntriesOutOfTheRunKey()
{
    QFETCH(QString, name);
    QFETCH(bool, administrator);
    QFETCH(QStringList, hives);
    QFETCH(QStringList, moved);
    QFETCH(QString, older);
    QFETCH(QString, line);
    TestMachine machine;
    machine->system().administrator = administrator;
    const QString policyRun = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run");
    const QString backupKey = QStringLiteral("SOFTWARE\\Tessaro\\StartupBackup\\PoliciesRun");
    const QString command = QStringLiteral("%ProgramFiles%\\Updater\\upd.exe");
    const QString backupName = name + QStringLiteral("_velantrix_bak");
    for (const QString& hive : hives)
        machine.setText(hive + policyRun, name, command, win::RegExpandSz);
    if (!older.isEmpty())
        machine.setText(QStringLiteral("HKEY_CURRENT_USER\\") + backupKey, backupName, older);

    QCOMPARE(runOne(QStringLiteral("ST:6:") + name), line);
    const win::sim::SignInStartup windows(machine.machine());
    for (const QString& hive : {QStringLiteral("HKEY_LOCAL_MACHINE\\"), QStringLiteral("HKEY_CURRENT_USER\\")}) {
        quint32 type = win::RegNone;
        const bool wasMoved = moved.contains(hive);
        const Place place = hive.contains(QLatin1String("MACHINE")) ? Place::MachinePolicyRun : Place::UserPolicyRun;
        QCOMPARE(windows.wouldStart(place, name), hives.contains(hive) && !wasMoved);
        QCOMPARE(valueOf(machine, hive + backupKey, older.isEmpty() ? backupName : backupName + '2', &type),
                 wasMoved ? win::registryTextData(command) : QByteArray("missing"));
        QCOMPARE(type, wasMoved ? win::RegExpandSz : win::RegNone);
    }
    if (!older.isEmpty())
        QCOMPARE(machine.text(QStringLiteral("HKEY_CURRENT_USER\\") + backupKey, backupName), older);
}

// Each startup item finds what a scan of its own would: a scan switches a
// legacy backup off under its plain name and only the next scan lists it;
// an item of another kind in between, here one removing a leftover, is seen
// by the startup items after it. A Startup-folder item names its file with
// its extension, and acts on that file only, not on a Run value of its name;
// its line names the file without the extension.
void Phase2ExecutorTest::startupItemsFindWhatARescanFinds()
{
    TestMachine machine;
    machine.setText(UserRun, QStringLiteral("Helper"), QStringLiteral("C:\\Tools\\helper.exe"));
    machine.setText(UserRun, QStringLiteral("Sync.velantrix_bak"), QStringLiteral("C:\\Sync\\sync.exe"));
    machine.setText(UserRun, QStringLiteral("Notes"), QStringLiteral("C:\\Notes\\notes.exe"));
    machine.addFile(Startup + QStringLiteral("Sync.lnk"));
    machine.addFile(Startup + QStringLiteral("Notes.lnk"));
    machine.addFile(Startup + QStringLiteral("Gone.lnk"));

    const Run run = execute({"ST:2:Helper", "ST:2:Sync", "ST:11:Notes.lnk", "RES:searchprotect", "ST:11:Gone.lnk"},
                            junkware(QString(), {Startup + QStringLiteral("Gone.lnk")}));
    QCOMPARE(run.lines, (QStringList{StartupOff.arg("Helper"), StartupOff.arg("Sync"), StartupOff.arg("Notes"),
                                     Removed.arg("Search Protect", "1"), StartupOff.arg("Gone") + NotFound}));
    const win::sim::SignInStartup windows(machine.machine());
    QCOMPARE(machine.text(UserRun, QStringLiteral("Sync")), QStringLiteral("C:\\Sync\\sync.exe"));
    QVERIFY(!windows.wouldStart(Place::UserRun, QStringLiteral("Helper")));
    QVERIFY(!windows.wouldStart(Place::UserRun, QStringLiteral("Sync")));
    QVERIFY(windows.wouldStart(Place::UserStartupFolder, QStringLiteral("Sync.lnk")));
    QVERIFY(!windows.wouldStart(Place::UserStartupFolder, QStringLiteral("Notes.lnk")));
    QVERIFY(windows.wouldStart(Place::UserRun, QStringLiteral("Notes")));
}

void Phase2ExecutorTest::removesTheLeftoversOfAFinding_data()
{
    QTest::addColumn<MachineSetup>("setup");
    QTest::addColumn<QStringList>("evidence");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("gone");
    QTest::addColumn<QStringList>("kept");
    const QString inUse = QStringLiteral("，%1 项仍属于在用的程序，已保留（%2）");
    const QString haoZip = QStringLiteral("C:\\Program Files (x86)\\2345Soft\\HaoZip");
    QTest::newRow("leftovers, one locked, one long gone")
        << MachineSetup([](TestMachine& machine) {
               machine.addFile(QStringLiteral("C:\\Program Files (x86)\\SearchProtect\\bin\\SPtool.exe"));
               machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\SearchProtect\\config.ini"));
               machine.addFile(QStringLiteral("C:\\ProgramData\\SearchProtect\\update.log"));
               machine.addFile(QStringLiteral("C:\\ProgramData\\SearchProtect\\cache.dat"));
               machine->files().setLocked(QStringLiteral("C:\\ProgramData\\SearchProtect\\update.log"), true);
           })
        << QStringList{"%ProgramFiles%\\SearchProtect", "%APPDATA%\\SearchProtect\\config.ini",
                       "C:\\ProgramData\\SearchProtect", "C:\\Program Files\\SearchProtect"}
        << Removed.arg(QStringLiteral("搜索保护"), "2") + QStringLiteral("，1 项只删除了一部分（其余正在使用或无法删除）")
        << QStringList{"C:\\Program Files (x86)\\SearchProtect",
                       "C:\\Users\\Tester\\AppData\\Roaming\\SearchProtect\\config.ini",
                       "C:\\ProgramData\\SearchProtect\\cache.dat"}
        << QStringList{"C:\\Users\\Tester\\AppData\\Roaming\\SearchProtect", "C:\\ProgramData\\SearchProtect\\update.log"};
    // An installed program's folder, anything in it and the folder holding
    // it are no leftovers: its own uninstall still needs them.
    QTest::newRow("install location of an installed program")
        << MachineSetup([](TestMachine& machine) {
               const QString entry = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\"
                                                    "CurrentVersion\\Uninstall\\2345HaoZip");
               machine.setText(entry, QStringLiteral("DisplayName"), QStringLiteral("2345好压"));
               machine.setText(entry, QStringLiteral("InstallLocation"), QStringLiteral("%ProgramFiles%\\2345Soft\\HaoZip\\"),
                               win::RegExpandSz);
               machine.addFile(QStringLiteral("C:\\Program Files (x86)\\2345Soft\\HaoZip\\uninst.exe"));
               machine.addFile(QStringLiteral("C:\\Program Files (x86)\\2345Soft\\HaoZip\\Skins\\blue.skin"));
               machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\2345Soft\\cache.dat"));
           })
        << QStringList{"C:\\Program Files (x86)\\2345Soft", haoZip + "\\Skins", "%APPDATA%\\2345Soft"}
        << Removed.arg(QStringLiteral("搜索保护"), "1") + inUse.arg("2", QStringLiteral("已安装：2345好压"))
        << QStringList{"C:\\Users\\Tester\\AppData\\Roaming\\2345Soft"}
        << QStringList{haoZip + "\\uninst.exe", haoZip + "\\Skins\\blue.skin"};
    QTest::newRow("folder of an uninstall command")
        << MachineSetup([](TestMachine& machine) {
               const QString entry = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                                                    "Uninstall\\SP");
               machine.setText(entry, QStringLiteral("UninstallString"),
                               QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Search Protect\\bin\\uninstall.exe /S"));
               machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Search Protect\\bin\\uninstall.exe"));
           })
        << QStringList{"%LOCALAPPDATA%\\Search Protect"}
        << Removed.arg(QStringLiteral("搜索保护"), "0") + inUse.arg("1", QStringLiteral("已安装：SP"))
        << QStringList{}
        << QStringList{"C:\\Users\\Tester\\AppData\\Local\\Search Protect\\bin\\uninstall.exe"};
    // However the entry names it: a quoted location, a DLL that rundll32
    // runs as the uninstaller, the icon of an installer's entry that names
    // no location; short names, slashes and trailing dots alike.
    QTest::newRow("every folder an uninstall entry points into")
        << MachineSetup([](TestMachine& machine) {
               const QString entries = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\"
                                                      "CurrentVersion\\Uninstall\\");
               machine.setText(entries + "Q", QStringLiteral("InstallLocation"), QStringLiteral("\"%ProgramFiles%\\Q Soft\\\""),
                               win::RegExpandSz);
               machine.setText(entries + "R", QStringLiteral("UninstallString"),
                               QStringLiteral("RunDll32.exe \"C:\\Program Files (x86)\\RSOFTW~1\\uninst.dll\",Uninstall /S"));
               machine.setText(entries + "{7A1B}", QStringLiteral("UninstallString"), QStringLiteral("MsiExec.exe /X{7A1B}"));
               machine.setText(entries + "{7A1B}", QStringLiteral("DisplayIcon"),
                               QStringLiteral("C:\\Program Files (x86)\\M Soft\\m.exe,0"));
               for (const char* file : {"Q Soft\\q.exe", "R Software\\uninst.dll", "M Soft\\m.exe"})
                   machine.addFile(QStringLiteral("C:\\Program Files (x86)\\") + QLatin1String(file));
           })
        << QStringList{"C:\\Program Files (x86)\\Q Soft", "c:/program files (x86)/r software.", "C:\\PROGRA~1\\MSOFT~1"}
        << Removed.arg(QStringLiteral("搜索保护"), "0")
               + inUse.arg("3", QStringLiteral("已安装：Q、已安装：R、已安装：{7A1B}"))
        << QStringList{}
        << QStringList{"C:\\Program Files (x86)\\Q Soft\\q.exe", "C:\\Program Files (x86)\\R Software\\uninst.dll",
                       "C:\\Program Files (x86)\\M Soft\\m.exe"};
    QTest::newRow("folder a running program was started from")
        << MachineSetup([](TestMachine& machine) {
               machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\hn\\hotnews.exe"));
               machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\hn\\ads.dat"));
               machine.addProcess(4711, QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\hn\\hotnews.exe"));
           })
        << QStringList{"%TEMP%\\hn\\ads.dat"}
        << Removed.arg(QStringLiteral("搜索保护"), "0") + inUse.arg("1", QStringLiteral("运行中：hotnews.exe"))
        << QStringList{}
        << QStringList{"C:\\Users\\Tester\\AppData\\Local\\Temp\\hn\\ads.dat"};
}

void Phase2ExecutorTest::removesTheLeftoversOfAFinding()
{
    QFETCH(MachineSetup, setup);
    QFETCH(QStringList, evidence);
    QFETCH(QString, line);
    QFETCH(QStringList, gone);
    QFETCH(QStringList, kept);
    TestMachine machine;
    setup(machine);

    QCOMPARE(runOne(QStringLiteral("RES:searchprotect"), junkware(QStringLiteral("搜索保护"), evidence)), line);
    for (const QString& path : gone)
        QVERIFY2(!win::pathExists(path), qPrintable(path));
    for (const QString& path : kept)
        QVERIFY2(win::pathExists(path), qPrintable(path));
    QCOMPARE(runOne(QStringLiteral("RES:other")), QStringLiteral("残留清理：未找到对应记录"));
}

// The one deletion routine decides (its own tests spell every protected
// folder every way): a few spellings show that every leftover goes through it.
void Phase2ExecutorTest::neverRemovesProtectedFolders_data()
{
    QTest::addColumn<QString>("evidence");
    QTest::addColumn<int>("kept");   // 0 when the path names nothing that exists
    QTest::newRow("drive root") << "c:/" << 1;
    QTest::newRow("Windows, trailing dot") << "C:\\Windows." << 1;
    QTest::newRow("a profile's folder") << "%USERPROFILE%\\Desktop" << 1;
    QTest::newRow("climbing") << "C:\\Junk\\..\\Windows" << 0;
    QTest::newRow("relative") << "Windows" << 0;
}

void Phase2ExecutorTest::neverRemovesProtectedFolders()
{
    QFETCH(QString, evidence);
    QFETCH(int, kept);
    TestMachine machine;
    const QStringList precious = {"C:\\bootmgr", "C:\\Windows\\win.ini", "C:\\Users\\Tester\\Desktop\\photo.jpg",
                                  "C:\\Users\\Tester\\Documents\\letter.txt"};
    for (const QString& path : precious)
        machine.addFile(path);
    // A leftover that is a link to a user's folder goes as a link.
    machine.addFolder("C:\\Junk");
    QVERIFY(QFile::link(machine.hostPath("C:\\Users\\Tester\\Documents"), machine.hostPath("C:\\Junk\\Docs")));

    QString line = Removed.arg("Search Protect", "1");
    if (kept > 0)
        line += QStringLiteral("，%1 项受保护或无法删除，已保留").arg(kept);
    QCOMPARE(runOne(QStringLiteral("RES:searchprotect"), junkware(QString(), {evidence, "C:\\Junk\\Docs"})), line);
    for (const QString& path : precious)
        QVERIFY2(win::pathExists(path), qPrintable(path));
    QVERIFY(!win::pathExists(QStringLiteral("C:\\Junk\\Docs")));
}

QTEST_GUILESS_MAIN(Phase2ExecutorTest)
#include "tst_Phase2Executor.moc"

#include "TestMachine.h"
#include "phase2/Phase2Executor.h"
#include "phase2/RestorePointList.h"
#include "platform/RegistryKey.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

using win::sim::ProgramAvailability;
using win::sim::SimService;
using win::sim::SimTask;

namespace {

const QString RunKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString UserRun = QStringLiteral("HKEY_CURRENT_USER\\") + RunKey;
const QString Approved = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\");
const QString PolicyRun = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run");
const QString PolicyBackup = QStringLiteral("SOFTWARE\\Tessaro\\StartupBackup\\PoliciesRun");
const QString Machine = QStringLiteral("HKEY_LOCAL_MACHINE\\");
const QString User = QStringLiteral("HKEY_CURRENT_USER\\");
const QString DiskDiagnostic = QStringLiteral("\\Microsoft\\Windows\\DiskDiagnostic\\");
constexpr quint64 HundredMiB = 104857600;

// The program's own texts.
const QString Running = QStringLiteral("正在执行：");
const QString Summary = QStringLiteral("本次共执行 %1 项优化：");
const QString TcpRestored = QStringLiteral("TCP自动调优：已恢复为 normal");
const QString DiagnosticsOff = QStringLiteral("磁盘诊断服务：已禁用后台收集任务");
const QString LogsLimited = QStringLiteral("事件日志大小限制：已设为 %1 MB");
const QString NothingToPrune = QStringLiteral("系统还原点：当前 %1 个，无需清理");
const QString PointsPruned = QStringLiteral("系统还原点：共 %1 个，已删除 %2 个，保留最近 %3 个");
const QString NoLargeFiles = QStringLiteral("大文件扫描：未发现超过100MB的大文件");
const QString LargeFiles = QStringLiteral("大文件扫描：");
const QString BadStartupId = QStringLiteral("自启禁用：参数无效");
const QString StartupOff = QStringLiteral("已禁用开机自启：%1");
const QString PolicyOff = QStringLiteral("已禁用组策略自启：%1%2");
const QString NotFound = QStringLiteral("（未找到）");
const QString ReportOnly = QStringLiteral("自启项仅报告，未操作：%1");
const QString NoFinding = QStringLiteral("残留清理：未找到对应记录");
const QString LeftoversRemoved = QStringLiteral("%1 残留清理：删除 %2 个残留项");
const QString ServiceManual = QStringLiteral("%1（%2）：已设为手动启动");
const QString ServiceFailed = QStringLiteral("%1：设置失败或服务不存在");
const QString UnknownService = QStringLiteral("%1：未知服务项");

OptItem item(const QString& id, const QString& name = QString())
{
    OptItem optItem;
    optItem.id = id;
    optItem.name = name.isEmpty() ? id : name;
    return optItem;
}

struct Run
{
    QString summary;
    QStringList lines;   // the result lines, after the summary's first line
    QList<QPair<int, QString>> progress;
};

Run execute(const QVector<OptItem>& items, const ScanReportBundle& report = ScanReportBundle(), int h2KeepN = 1,
            int a2SizeMB = 256)
{
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

QString runOne(const QString& id, const QString& name = QString())
{
    return execute({item(id, name)}).lines.join('\n');
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

void addService(TestMachine& machine, const QString& name, quint32 startType)
{
    SimService service;
    service.name = name;
    service.startType = startType;
    service.state = win::ServiceRunning;
    machine->system().services << service;
}

void addTask(TestMachine& machine, const QString& path, bool hidden = false)
{
    SimTask task;
    task.path = path;
    task.definition.hidden = hidden;
    machine->system().tasks << task;
}

QByteArray binaryValue(TestMachine& machine, const QString& key, const QString& name, quint32* type = nullptr)
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

QJsonObject restorePoints(const QList<int>& sequences)
{
    QJsonArray points;
    for (int sequence : sequences)
        points.append(QJsonObject{{"sequenceNumber", sequence}, {"description", QStringLiteral("自动还原点 %1").arg(sequence)},
                                  {"creationTime", QStringLiteral("202611%1093012.123456-000").arg(sequence, 2, 10, QChar('0'))}});
    return QJsonObject{{"restorePoints", points}};
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

bool exists(const QString& windowsPath)
{
    return win::pathExists(windowsPath);
}

const QString Startup = QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\");

QList<int> sequencesLeft(TestMachine& machine)
{
    QList<int> left;
    for (const win::sim::RestorePoint& point : machine->programs().restorePoints())
        left << int(point.sequenceNumber);
    std::sort(left.begin(), left.end());
    return left;
}

} // namespace

class Phase2ExecutorTest : public QObject
{
    Q_OBJECT

private slots:
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
    void stopsListingLargeFilesAtFifteen();
    void disablesStartupEntries_data();
    void disablesStartupEntries();
    void movesPolicyEntriesOutOfTheRunKey_data();
    void movesPolicyEntriesOutOfTheRunKey();
    void startupItemsFindWhatARescanFinds();
    void laterStartupItemsSeeRemovedLeftovers();
    void removesTheLeftoversOfAFinding();
    void neverRemovesProtectedFolders_data();
    void neverRemovesProtectedFolders();
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
    QVector<OptItem> items;
    QStringList lines;
    for (const QString& id : ids) {
        items << item(id, QStringLiteral("项目") + id);
        lines << UnknownService.arg(id);
    }
    const Run run = execute(items);
    QCOMPARE(run.summary, Summary.arg(ids.size()) + '\n' + lines.join('\n'));
    QCOMPARE(run.progress.size(), percents.size());
    for (int i = 0; i < percents.size(); ++i) {
        QCOMPARE(run.progress.at(i).first, percents.at(i));
        QCOMPARE(run.progress.at(i).second, Running + QStringLiteral("项目") + ids.at(i));
    }
}

void Phase2ExecutorTest::setsServicesToManualStart_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<quint32>("startType");
    QTest::addColumn<QString>("line");
    const QList<QPair<const char*, const char*>> rows = {{"C13", "TrkWks"}, {"C10", "WwanSvc"}, {"C11", "SensrSvc"},
                                                         {"C14", "FrameServer"}, {"C8", "BthServ"}, {"C1", "WSearch"},
                                                         {"C12", "wlidsvc"}, {"C9", "Spooler"}};
    for (const auto& row : rows) {
        QTest::newRow(row.first) << row.first << row.second << true << win::ServiceDemandStart
                                 << ServiceManual.arg(QStringLiteral("服务项"), QLatin1String(row.second));
    }
    QTest::newRow("standard user") << "C1" << "WSearch" << false << win::ServiceAutoStart << ServiceFailed.arg("C1");
    QTest::newRow("service missing") << "C9" << "" << true << win::ServiceAutoStart << ServiceFailed.arg("C9");
    QTest::newRow("not a service item") << "C99" << "Spooler" << true << win::ServiceAutoStart << UnknownService.arg("C99");
}

void Phase2ExecutorTest::setsServicesToManualStart()
{
    QFETCH(QString, id);
    QFETCH(QString, service);
    QFETCH(bool, administrator);
    QFETCH(quint32, startType);
    QFETCH(QString, line);
    TestMachine machine;
    machine->system().administrator = administrator;
    for (const char* name : {"TrkWks", "WwanSvc", "SensrSvc", "FrameServer", "BthServ", "WSearch", "wlidsvc", "Spooler"}) {
        if (service == QLatin1String(name) || (!service.isEmpty() && id == QLatin1String("C99")))
            addService(machine, QLatin1String(name), win::ServiceAutoStart);
    }
    QCOMPARE(runOne(id, QStringLiteral("服务项")), line);
    if (!service.isEmpty()) {
        QCOMPARE(machine->findService(service)->startType, startType);
        QCOMPARE(machine->findService(service)->state, win::ServiceRunning);
    }
}

void Phase2ExecutorTest::runsNetshAndWevtutil_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("a2SizeMB");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QString>("missing");   // a program or event log the machine lacks
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("line");
    const QStringList netsh = {"netsh interface tcp set global autotuninglevel=normal"};
    const auto wevtutil = [](const char* bytes) {
        QStringList runs;
        for (const char* log : {"Application", "System", "Security"})
            runs << QStringLiteral("wevtutil set-log %1 /ms:%2").arg(QLatin1String(log), QLatin1String(bytes));
        return runs;
    };
    const QString failedLogs = QStringLiteral("事件日志大小限制：%1 未能设为 %2 MB");
    QTest::newRow("E1") << "E1" << 256 << true << "" << netsh << "normal 20971520 20971520 20971520" << TcpRestored;
    QTest::newRow("E1 as a user") << "E1" << 256 << false << "" << netsh << "- 20971520 20971520 20971520"
                                  << "TCP自动调优：设置失败";
    QTest::newRow("E1 without netsh") << "E1" << 256 << true << "netsh" << netsh << "- 20971520 20971520 20971520"
                                      << "TCP自动调优：设置失败";
    QTest::newRow("A2 256 MB") << "A2" << 256 << true << "" << wevtutil("268435456")
                               << "- 268435456 268435456 268435456" << LogsLimited.arg(256);
    QTest::newRow("A2 1 GB") << "A2" << 1024 << true << "" << wevtutil("1073741824")
                             << "- 1073741824 1073741824 1073741824" << LogsLimited.arg(1024);
    QTest::newRow("A2 as a user") << "A2" << 128 << false << "" << wevtutil("134217728")
                                  << "- 20971520 20971520 20971520"
                                  << failedLogs.arg(QStringLiteral("Application、System、Security")).arg(128);
    QTest::newRow("A2 without a Security log") << "A2" << 512 << true << "Security" << wevtutil("536870912")
                                               << "- 536870912 536870912 -" << failedLogs.arg("Security").arg(512);
}

void Phase2ExecutorTest::runsNetshAndWevtutil()
{
    QFETCH(QString, id);
    QFETCH(int, a2SizeMB);
    QFETCH(bool, administrator);
    QFETCH(QString, missing);
    QFETCH(QStringList, programs);
    QFETCH(QString, state);
    QFETCH(QString, line);
    TestMachine machine;
    machine->system().administrator = administrator;
    machine->programs().setAvailability(QStringLiteral("netsh"), missing == QLatin1String("netsh")
                                                                     ? ProgramAvailability::Missing
                                                                     : ProgramAvailability::Default);
    auto& logs = machine->programs().eventLogs();
    logs.erase(std::remove_if(logs.begin(), logs.end(), [&missing](const auto& log) { return log.name == missing; }),
               logs.end());

    QCOMPARE(execute({item(id)}, ScanReportBundle(), 1, a2SizeMB).lines, QStringList{line});
    QCOMPARE(programsRun(machine), programs);
    QStringList after = {machine->programs().tcpGlobals().value(QStringLiteral("autotuninglevel"), QStringLiteral("-"))};
    for (const char* name : {"Application", "System", "Security"}) {
        const auto* log = machine->programs().findEventLog(QLatin1String(name));
        after << (log ? QString::number(log->maxSizeBytes) : QStringLiteral("-"));
    }
    QCOMPARE(after.join(' '), state);
}

void Phase2ExecutorTest::disablesDiskDiagnosticTasks_data()
{
    QTest::addColumn<QStringList>("tasks");   // names in the DiskDiagnostic folder
    QTest::addColumn<qint32>("connectResult");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<QString>("line");
    const QString failed = QStringLiteral("磁盘诊断服务：禁用后台收集任务失败");
    const QStringList both = {"Microsoft-Windows-DiskDiagnosticDataCollector", "Microsoft-Windows-DiskDiagnosticResolver"};
    QTest::newRow("collector and resolver") << both << win::S_Ok << true << true << DiagnosticsOff;
    QTest::newRow("no tasks") << QStringList{} << win::S_Ok << true << false << failed;
    QTest::newRow("scheduler unreachable") << both << win::RPC_E_ServerUnavailable << true << false << failed;
    QTest::newRow("standard user") << both << win::S_Ok << false << false << failed;
}

void Phase2ExecutorTest::disablesDiskDiagnosticTasks()
{
    QFETCH(QStringList, tasks);
    QFETCH(qint32, connectResult);
    QFETCH(bool, administrator);
    QFETCH(bool, disabled);
    QFETCH(QString, line);
    TestMachine machine;
    machine->system().taskConnectResult = connectResult;
    machine->system().administrator = administrator;
    machine->system().taskFolders << DiskDiagnostic.chopped(1);
    for (const QString& name : tasks)
        addTask(machine, DiskDiagnostic + name, name.endsWith(QLatin1String("Resolver")));
    addTask(machine, QStringLiteral("\\Microsoft\\Windows\\Defrag\\ScheduledDefrag"));

    QCOMPARE(runOne(QStringLiteral("F3")), line);
    for (const QString& name : tasks)
        QCOMPARE(machine->findTask(DiskDiagnostic + name)->enabled, !disabled);
    QVERIFY(machine->findTask(QStringLiteral("\\Microsoft\\Windows\\Defrag\\ScheduledDefrag"))->enabled);
}

void Phase2ExecutorTest::prunesTheOldestRestorePoints_data()
{
    QTest::addColumn<QList<int>>("points");   // in the order the machine keeps them
    QTest::addColumn<int>("keep");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<bool>("srClient");
    QTest::addColumn<QList<int>>("left");
    QTest::addColumn<QString>("line");
    const QList<int> points = {12, 5, 30, 7};
    const QList<int> all = {5, 7, 12, 30};
    QTest::newRow("keep two") << points << 2 << true << true << QList<int>{12, 30} << PointsPruned.arg(4).arg(2).arg(2);
    QTest::newRow("keep one") << points << 1 << true << true << QList<int>{30} << PointsPruned.arg(4).arg(3).arg(1);
    QTest::newRow("keep fewer than none") << points << -1 << true << true << QList<int>{} << PointsPruned.arg(4).arg(4).arg(0);
    QTest::newRow("keep as many as there are") << points << 4 << true << true << all << NothingToPrune.arg(4);
    QTest::newRow("none at all") << QList<int>{} << 1 << true << true << QList<int>{} << NothingToPrune.arg(0);
    QTest::newRow("srclient without the call") << points << 2 << true << false << all << PointsPruned.arg(4).arg(0).arg(4);
    QTest::newRow("standard user") << points << 1 << false << true << all
                                   << QStringLiteral("系统还原点：无法读取还原点列表");
}

void Phase2ExecutorTest::prunesTheOldestRestorePoints()
{
    QFETCH(QList<int>, points);
    QFETCH(int, keep);
    QFETCH(bool, administrator);
    QFETCH(bool, srClient);
    QFETCH(QList<int>, left);
    QFETCH(QString, line);
    TestMachine machine(restorePoints(points));
    machine->system().administrator = administrator;
    if (!srClient)
        machine->system().missingProcedures << QStringLiteral("srclient.dll!SRRemoveRestorePoint");

    QCOMPARE(execute({item(QStringLiteral("H2"))}, ScanReportBundle(), keep).lines, QStringList{line});
    QCOMPARE(sequencesLeft(machine), left);
    QCOMPARE(programsRun(machine),
             QStringList{"wmic /namespace:\\\\root\\default path SystemRestore get SequenceNumber,Description,CreationTime"});
}

void Phase2ExecutorTest::readsRestorePointsByTheirHeader_data()
{
    QTest::addColumn<QString>("listing");
    QTest::addColumn<QStringList>("points");   // "sequence|description|time", oldest first
    QTest::newRow("columns by name") << "CreationTime               Description        SequenceNumber  \r\r\n"
                                        "20261203180000.000000-000  安装 驱动 程序           12              \r\r\n"
                                        "20261101093012.123456-000  Windows Update     5               \r\r\n\r\r\n"
                                     << QStringList{"5|Windows Update|20261101093012.123456-000",
                                                    "12|安装 驱动 程序|20261203180000.000000-000"};
    QTest::newRow("sequence first") << "SequenceNumber  Description  \r\n"
                                       "7               Checkpoint   \r\n"
                                    << QStringList{"7|Checkpoint|"};
    QTest::newRow("rows without a number") << "Description     SequenceNumber  \r\r\n"
                                              "Windows Update                  \r\r\n"
                                              "Driver          x3              \r\r\n"
                                              "Driver          3               \r\r\n"
                                           << QStringList{"3|Driver|"};
    QTest::newRow("no header") << "No Instance(s) Available.\r\r\n" << QStringList{};
}

void Phase2ExecutorTest::readsRestorePointsByTheirHeader()
{
    QFETCH(QString, listing);
    QFETCH(QStringList, points);
    QStringList read;
    for (const RestorePointRecord& point : RestorePointList::parse(listing))
        read << QStringLiteral("%1|%2|%3").arg(point.sequenceNumber).arg(point.description, point.creationTime);
    QCOMPARE(read, points);
}

void Phase2ExecutorTest::listsLargeFilesOnTheSystemDrive()
{
    TestMachine machine;
    const auto bigFile = [&machine](const QString& path, quint64 size) {
        machine.addFile(path);
        machine->files().setVirtualSize(path, size);
    };
    bigFile(QStringLiteral("C:\\Videos\\movie.mkv"), HundredMiB + 1);
    bigFile(QStringLiteral("C:\\Videos\\exactly.iso"), HundredMiB);
    bigFile(QStringLiteral("C:\\hiberfil.sys"), 8 * HundredMiB);
    machine->files().setAttributes(QStringLiteral("C:\\hiberfil.sys"), win::FileAttributeHidden | win::FileAttributeSystem,
                                   win::FileAttributeHidden | win::FileAttributeSystem);
    bigFile(QStringLiteral("C:\\Secret\\backup.vhd"), 3 * HundredMiB);
    machine->files().setAttributes(QStringLiteral("C:\\Secret"), win::FileAttributeHidden, win::FileAttributeHidden);
    bigFile(QStringLiteral("C:\\Archive\\old.zip"), 2 * HundredMiB);
    QVERIFY(QFile::link(machine.hostPath(QStringLiteral("C:\\Archive")), machine.hostPath(QStringLiteral("C:\\Link"))));

    const QStringList lines = runOne(QStringLiteral("H3")).split('\n');
    QCOMPARE(lines.first(), LargeFiles);
    QStringList found = lines.mid(1);
    found.sort();
    QCOMPARE(found, (QStringList{"C:\\Archive\\old.zip (200 MB)", "C:\\Videos\\movie.mkv (100 MB)"}));
}

void Phase2ExecutorTest::stopsListingLargeFilesAtFifteen()
{
    TestMachine machine;
    QCOMPARE(runOne(QStringLiteral("H3")), NoLargeFiles);
    for (int i = 0; i < 20; ++i) {
        const QString path = QStringLiteral("C:\\Big\\file%1.bin").arg(i, 2, 10, QChar('0'));
        machine.addFile(path);
        machine->files().setVirtualSize(path, 2 * HundredMiB);
    }
    QCOMPARE(runOne(QStringLiteral("H3")).split('\n').size(), 1 + 15);
}

void Phase2ExecutorTest::disablesStartupEntries_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("existing");   // the entry's approval value before the run
    QTest::addColumn<QByteArray>("approval");   // and after it
    QTest::addColumn<QString>("line");
    QTest::newRow("user Run entry") << "ST:2:Helper" << QByteArray("missing") << approval(3) << StartupOff.arg("Helper");
    QTest::newRow("type not a number") << "ST:x:Helper" << QByteArray("missing") << approval(3) << StartupOff.arg("Helper");
    QTest::newRow("name with a colon") << "ST:2:Helper:2" << QByteArray("missing") << QByteArray("missing")
                                       << StartupOff.arg("Helper:2") + NotFound;
    QTest::newRow("enabled before") << "ST:2:Helper" << approval(2, 4) << approval(3, 4) << StartupOff.arg("Helper");
    QTest::newRow("already disabled") << "ST:2:Helper" << approval(7) << approval(7) << StartupOff.arg("Helper");
    QTest::newRow("approval value unreadable") << "ST:2:Helper" << approval(2, 16) << approval(2, 16)
                                               << QStringLiteral("禁用开机自启失败：Helper");
    QTest::newRow("not listed") << "ST:1:Nowhere" << QByteArray("missing") << QByteArray("missing")
                                << StartupOff.arg("Nowhere") + NotFound;
    QTest::newRow("Winlogon is only reported") << "ST:7:Helper" << QByteArray("missing") << QByteArray("missing")
                                               << ReportOnly.arg("Helper");
    QTest::newRow("no name") << "ST:abc" << QByteArray("missing") << QByteArray("missing") << BadStartupId;
}

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
    QCOMPARE(binaryValue(machine, Approved + "Run", id.section(':', 2)), approval);
    QCOMPARE(machine.text(UserRun, QStringLiteral("Helper")), QStringLiteral("C:\\Tools\\helper.exe /tray"));
}

void Phase2ExecutorTest::movesPolicyEntriesOutOfTheRunKey_data()
{
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QStringList>("hives");     // where the entry stands
    QTest::addColumn<QStringList>("disabled");  // where it was moved out of the Run key
    QTest::addColumn<QString>("line");
    QTest::newRow("both hives") << true << QStringList{Machine, User} << QStringList{Machine, User}
                                << PolicyOff.arg("Updater", "");
    QTest::newRow("user hive") << true << QStringList{User} << QStringList{User} << PolicyOff.arg("Updater", "");
    QTest::newRow("nowhere") << true << QStringList{} << QStringList{} << PolicyOff.arg("Updater", NotFound);
    QTest::newRow("machine hive as a user") << false << QStringList{Machine, User} << QStringList{User}
                                            << QStringLiteral("禁用组策略自启失败：Updater");
}

void Phase2ExecutorTest::movesPolicyEntriesOutOfTheRunKey()
{
    QFETCH(bool, administrator);
    QFETCH(QStringList, hives);
    QFETCH(QStringList, disabled);
    QFETCH(QString, line);
    TestMachine machine;
    machine->system().administrator = administrator;
    const QString command = QStringLiteral("%ProgramFiles%\\Updater\\upd.exe");
    for (const QString& hive : hives)
        machine.setText(hive + PolicyRun, QStringLiteral("Updater"), command, win::RegExpandSz);

    QCOMPARE(runOne(QStringLiteral("ST:6:Updater")), line);
    for (const QString& hive : {Machine, User}) {
        quint32 type = win::RegNone;
        const bool moved = disabled.contains(hive);
        QCOMPARE(machine.hasValue(hive + PolicyRun, QStringLiteral("Updater")), hives.contains(hive) && !moved);
        const QByteArray backup = binaryValue(machine, hive + PolicyBackup, QStringLiteral("Updater_velantrix_bak"), &type);
        QCOMPARE(backup, moved ? win::registryTextData(command) : QByteArray("missing"));
        QCOMPARE(type, moved ? win::RegExpandSz : win::RegNone);
    }
}

// A scan moves a legacy backup back to its plain name, and only the next scan
// lists it; where it stands in the Run key, a Startup-folder file of the same
// name is no longer listed. The items after the first see that, as they would
// with a scan of their own.
void Phase2ExecutorTest::startupItemsFindWhatARescanFinds()
{
    TestMachine machine;
    const QString& startup = Startup;
    machine.setText(UserRun, QStringLiteral("Helper"), QStringLiteral("C:\\Tools\\helper.exe"));
    machine.setText(UserRun, QStringLiteral("Sync.velantrix_bak"), QStringLiteral("C:\\Sync\\sync.exe"));
    machine.addFile(startup + QStringLiteral("Sync.lnk"));
    machine.addFile(startup + QStringLiteral("Notes.lnk"));

    const Run run = execute({item(QStringLiteral("ST:2:Helper")), item(QStringLiteral("ST:11:Sync")),
                             item(QStringLiteral("ST:11:Notes"))});
    QCOMPARE(run.lines, (QStringList{StartupOff.arg("Helper"), StartupOff.arg("Sync"), StartupOff.arg("Notes")}));
    QCOMPARE(machine.text(UserRun, QStringLiteral("Sync")), QStringLiteral("C:\\Sync\\sync.exe"));
    QCOMPARE(binaryValue(machine, Approved + "Run", QStringLiteral("Sync")), approval(3));
    QCOMPARE(binaryValue(machine, Approved + "StartupFolder", QStringLiteral("Sync")), QByteArray("missing"));
    QCOMPARE(binaryValue(machine, Approved + "StartupFolder", QStringLiteral("Notes")), approval(3));
}

void Phase2ExecutorTest::laterStartupItemsSeeRemovedLeftovers()
{
    TestMachine machine;
    machine.setText(UserRun, QStringLiteral("Helper"), QStringLiteral("C:\\Tools\\helper.exe"));
    machine.setText(UserRun, QStringLiteral("Tray"), QStringLiteral("C:\\Tools\\tray.exe"));
    machine.addFile(Startup + QStringLiteral("Notes.lnk"));
    const Run run = execute({item(QStringLiteral("ST:2:Helper")), item(QStringLiteral("ST:2:Tray")),
                             item(QStringLiteral("RES:searchprotect")), item(QStringLiteral("ST:11:Notes"))},
                            junkware(QString(), {Startup + QStringLiteral("Notes.lnk")}));
    QCOMPARE(run.lines, (QStringList{StartupOff.arg("Helper"), StartupOff.arg("Tray"), LeftoversRemoved.arg("Search Protect", "1"),
                                     StartupOff.arg("Notes") + NotFound}));
    QCOMPARE(binaryValue(machine, Approved + "StartupFolder", QStringLiteral("Notes")), QByteArray("missing"));
}

void Phase2ExecutorTest::removesTheLeftoversOfAFinding()
{
    TestMachine machine;
    machine.addFile(QStringLiteral("C:\\Program Files (x86)\\SearchProtect\\bin\\SPtool.exe"));
    machine.addFile(QStringLiteral("C:\\Program Files (x86)\\SearchProtect\\uninstall.dat"));
    machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\SearchProtect\\config.ini"));
    machine.addFile(QStringLiteral("C:\\ProgramData\\SearchProtect\\update.log"));
    machine->files().setLocked(QStringLiteral("C:\\ProgramData\\SearchProtect\\update.log"), true);
    const QStringList evidence = {QStringLiteral("%ProgramFiles%\\SearchProtect"),
                                  QStringLiteral("%APPDATA%\\SearchProtect\\config.ini"),
                                  QStringLiteral("C:\\ProgramData\\SearchProtect"),
                                  QStringLiteral("C:\\Program Files\\SearchProtect")};

    QCOMPARE(execute({item(QStringLiteral("RES:searchprotect"))}, junkware(QStringLiteral("搜索保护"), evidence)).lines,
             QStringList{LeftoversRemoved.arg(QStringLiteral("搜索保护"), "2") + QStringLiteral("，1 项受保护或无法删除，已保留")});
    QVERIFY(!exists(QStringLiteral("C:\\Program Files (x86)\\SearchProtect")));
    QVERIFY(!exists(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\SearchProtect\\config.ini")));
    QVERIFY(exists(QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\SearchProtect")));
    QVERIFY(exists(QStringLiteral("C:\\ProgramData\\SearchProtect\\update.log")));
    QCOMPARE(runOne(QStringLiteral("RES:other")), NoFinding);
}

void Phase2ExecutorTest::neverRemovesProtectedFolders_data()
{
    QTest::addColumn<QString>("evidence");
    QTest::addColumn<int>("kept");   // 0 when the path names nothing that exists
    const QList<QPair<const char*, int>> rows = {
        {"C:\\", 1}, {"C:\\.", 1}, {"c:/", 1}, {"C:\\Windows.", 1}, {"C:\\Windows ", 1}, {"C:/WINDOWS/", 1},
        {"C:\\.\\Windows", 1}, {"%SystemRoot%\\System32", 1}, {"C:\\Program Files", 1},
        {"%ProgramFiles%\\", 1}, {"%ProgramData%", 1}, {"C:\\Users", 1}, {"%USERPROFILE%", 1},
        {"C:\\Users\\Public", 1}, {"C:\\Users\\Tester\\Desktop", 1}, {"c:\\users\\tester\\documents\\.", 1},
        {"%USERPROFILE%\\AppData", 1}, {"%APPDATA%", 1}, {"%LOCALAPPDATA%\\", 1},
        {"C:\\Junk\\..\\Windows", 0}, {"..\\Windows", 0}, {"Windows", 0}, {"\\Windows", 0},
        {"%NOWHERE%\\Windows", 0}};
    for (const auto& row : rows)
        QTest::newRow(row.first) << QString::fromUtf8(row.first) << row.second;
}

void Phase2ExecutorTest::neverRemovesProtectedFolders()
{
    QFETCH(QString, evidence);
    QFETCH(int, kept);
    TestMachine machine;
    const QStringList precious = {
        "C:\\bootmgr", "C:\\Windows\\win.ini", "C:\\Windows\\System32\\kernel32.dll",
        "C:\\Program Files\\App\\app.exe", "C:\\Program Files (x86)\\App\\app.exe",
        "C:\\ProgramData\\App\\data.db", "C:\\Users\\Public\\shared.txt",
        "C:\\Users\\Tester\\Desktop\\photo.jpg", "C:\\Users\\Tester\\Documents\\letter.txt",
        "C:\\Users\\Tester\\AppData\\Roaming\\App\\settings.ini",
        "C:\\Users\\Tester\\AppData\\Local\\App\\cache.bin", "C:\\Junk\\x.tmp"};
    for (const QString& path : precious)
        machine.addFile(path);
    // A leftover that is a link to a user's folder goes as a link.
    QVERIFY(QFile::link(machine.hostPath("C:\\Users\\Tester\\Documents"), machine.hostPath("C:\\Junk\\Docs")));

    QString line = LeftoversRemoved.arg("Search Protect", "1");
    if (kept > 0)
        line += QStringLiteral("，%1 项受保护或无法删除，已保留").arg(kept);
    QCOMPARE(execute({item(QStringLiteral("RES:searchprotect"))}, junkware(QString(), {evidence, "C:\\Junk\\Docs"})).lines,
             QStringList{line});
    for (const QString& path : precious)
        QVERIFY2(exists(path), qPrintable(path));
    QVERIFY(!exists(QStringLiteral("C:\\Junk\\Docs")));
}

QTEST_GUILESS_MAIN(Phase2ExecutorTest)
#include "tst_Phase2Executor.moc"

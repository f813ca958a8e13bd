#include "platform/FileSystem.h"
#include "platform/Programs.h"
#include "platform/RegistryKey.h"
#include "platform/sim/programs/SimDefrag.h"
#include "tests/support/TestMachine.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QtTest>

using namespace win;

namespace {

const double Gib = 1024.0 * 1024.0 * 1024.0;
const QString Bcdedit = QStringLiteral("C:\\Windows\\Sysnative\\bcdedit.exe");
const QString HighPerformance = QStringLiteral("8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c");
const QString Balanced = QStringLiteral("381b4222-f694-41f0-9685-ff5bb260df2e");
const QString Hiberfil = QStringLiteral("C:\\hiberfil.sys");
const QString VolumeCaches = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\");
const QString DefragBanner = QStringLiteral("Microsoft Drive Optimizer\r\nCopyright (c) Microsoft Corp.\r\n\r\n");
const QString UserTemp = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\");
const QString Explorer = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Microsoft\\Windows\\Explorer\\");
const QString RecycleBin = QStringLiteral("C:\\$Recycle.Bin\\S-1-5-21-1\\");

QString out(const ProgramRun& run)
{
    return fromLocal8Bit(run.standardOutput);
}

QString err(const ProgramRun& run)
{
    return fromLocal8Bit(run.standardError);
}

// The defragmenter has no 32-bit copy: this 32-bit program reaches it
// through Sysnative.
const QString Defrag = QStringLiteral("C:\\Windows\\Sysnative\\defrag.exe");

ProgramRun run(const QString& program, const QStringList& arguments)
{
    return runProgram(program, arguments, 300000);
}

quint64 freeBytes(TestMachine& machine)
{
    return machine->files().drive('C')->freeBytes;
}

QJsonObject hddMachine()
{
    return QJsonObject{{"drives", QJsonObject{{"C", QJsonObject{{"folder", "drives/C"}, {"totalBytes", 500 * Gib},
                                                               {"freeBytes", 200 * Gib}, {"kind", "HDD"},
                                                               {"diskNumber", 0}}}}},
                       {"driveOptimizer", QJsonObject{{"C", QJsonObject{{"fragmentedPercent", 17}}}}}};
}

// "analyses/defragmentations/retrims/fragmented%" of drive C; empty when nothing was recorded.
QString optimizationOfC(TestMachine& machine)
{
    if (!machine->programs().optimizations().contains('C'))
        return QString();
    const sim::DriveOptimization c = machine->programs().optimizations().value('C');
    return QStringLiteral("%1/%2/%3/%4%").arg(c.analyses).arg(c.defragmentations).arg(c.retrims).arg(c.fragmentedPercent);
}

bool bootStoreUntouched(TestMachine& machine)
{
    const auto& boot = machine->programs().boot();
    return boot.timeout == 30 && (boot.loaders.isEmpty() || boot.loaders.first().settings.isEmpty());
}

void setCleanupFlag(const QString& category, quint32 value, quint32 view = KeyWow64_64Key)
{
    RegistryKey key;
    QCOMPARE(key.create(Hive::LocalMachine, VolumeCaches + category, KeyAllAccess | view), ErrorSuccess);
    QCOMPARE(key.writeDword("StateFlags0099", value), ErrorSuccess);
}

void addAgedFile(TestMachine& machine, const QString& path, int size, int ageDays)
{
    QFile file(machine.addFile(path, QByteArray(size, 'x')));
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-ageDays), QFileDevice::FileModificationTime);
}

const QString DefaultEnumeration = QStringLiteral(
    "\r\n"
    "Windows Boot Manager\r\n"
    "--------------------\r\n"
    "identifier              {bootmgr}\r\n"
    "device                  partition=\\Device\\HarddiskVolume1\r\n"
    "path                    \\EFI\\Microsoft\\Boot\\bootmgfw.efi\r\n"
    "description             Windows Boot Manager\r\n"
    "locale                  zh-CN\r\n"
    "inherit                 {globalsettings}\r\n"
    "default                 {current}\r\n"
    "displayorder            {current}\r\n"
    "toolsdisplayorder       {memdiag}\r\n"
    "timeout                 30\r\n"
    "\r\n"
    "Windows Boot Loader\r\n"
    "-------------------\r\n"
    "identifier              {current}\r\n"
    "device                  partition=C:\r\n"
    "path                    \\WINDOWS\\system32\\winload.efi\r\n"
    "description             Windows 10\r\n"
    "locale                  zh-CN\r\n"
    "inherit                 {bootloadersettings}\r\n"
    "osdevice                partition=C:\r\n"
    "systemroot              \\WINDOWS\r\n"
    "nx                      OptIn\r\n"
    "bootmenupolicy          Standard\r\n");

} // namespace

class MaintenanceProgramsTest : public QObject
{
    Q_OBJECT

private slots:
    void switchesAndListsPowerSchemes();
    void refusesUnknownPowerSchemes();
    void placesAndRemovesTheHibernationFile();
    void refusesPowercfgCalls_data();
    void refusesPowercfgCalls();
    void enumeratesTheBootStore();
    void listsEverySecondInstallation();
    void setsBootElementsAndTimeout();
    void exportsTheBootStore();
    void refusesBcdeditCalls_data();
    void refusesBcdeditCalls();
    void analysesWithoutNamingTheMedia();
    void noWindowsNamesTheMediaInItsAnalysis_data();
    void noWindowsNamesTheMediaInItsAnalysis();
    void optimizesEachMediaItsWay_data();
    void optimizesEachMediaItsWay();
    void windows7ProgramsKnowOnlyTheirOwnSwitches_data();
    void windows7ProgramsKnowOnlyTheirOwnSwitches();
    void cleansTheSelectedCategories();
    void cleansNothingUnlessAskedFor();
    void keepsProgramStateInMachineJson();
    void reportsMalformedProgramSections_data();
    void reportsMalformedProgramSections();
};

void MaintenanceProgramsTest::switchesAndListsPowerSchemes()
{
    TestMachine machine;
    machine->system().administrator = false;   // a user may switch schemes
    QCOMPARE(out(run("powercfg", {"/list"})),
             QStringLiteral("\r\nExisting Power Schemes (* Active)\r\n-----------------------------------\r\n"
                            "Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df2e  (Balanced) *\r\n"
                            "Power Scheme GUID: 8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c  (High performance)\r\n"
                            "Power Scheme GUID: a1841308-3541-4fab-bc81-f71556f20b4a  (Power saver)\r\n"));
    QCOMPARE(out(run("powercfg", {"/getactivescheme"})),
             QStringLiteral("Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df2e  (Balanced)\r\n"));

    const ProgramRun result = run("powercfg", {"/setactive", HighPerformance});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.standardOutput.isEmpty());
    QCOMPARE(machine->system().activePowerScheme, HighPerformance);
    QCOMPARE(run("powercfg", {"-S", "scheme_balanced"}).exitCode, 0);
    QCOMPARE(machine->system().activePowerScheme, Balanced);
    QCOMPARE(run("POWERCFG.EXE", {"/SETACTIVE", HighPerformance.toUpper()}).exitCode, 0);
    QCOMPARE(machine->system().activePowerScheme, HighPerformance);
}

void MaintenanceProgramsTest::refusesUnknownPowerSchemes()
{
    // A notebook that hides the high-performance scheme.
    TestMachine machine(QJsonObject{{"power", QJsonObject{{"schemes", QJsonArray{
        QJsonObject{{"guid", Balanced}, {"name", "平衡"}}}}}}});
    const ProgramRun result = run("powercfg", {"/setactive", HighPerformance});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(out(result), QStringLiteral("The power scheme, subgroup or setting specified does not exist.\r\n"));
    QCOMPARE(machine->system().activePowerScheme, Balanced);
}

void MaintenanceProgramsTest::placesAndRemovesTheHibernationFile()
{
    TestMachine machine;
    const quint64 full = machine->system().memory.totalBytes / 100 * 40;
    const quint64 reduced = machine->system().memory.totalBytes / 100 * 20;
    FileEntry entry;
    QCOMPARE(run("powercfg", {"/hibernate", "on"}).exitCode, 0);
    QVERIFY(machine->programs().power().hibernation);
    QCOMPARE(fileInfo(Hiberfil, &entry), ErrorSuccess);
    QVERIFY(entry.isHidden() && entry.isSystem());
    QCOMPARE(entry.size, full);
    const QPair<QString, quint64> types[] = {{"reduced", reduced}, {"full", full}};
    for (const auto& type : types) {
        QCOMPARE(run("powercfg", {"/h", "/type", type.first}).exitCode, 0);
        QCOMPARE(fileInfo(Hiberfil, &entry), ErrorSuccess);
        QCOMPARE(entry.size, type.second);
    }

    const quint64 before = freeBytes(machine);
    QCOMPARE(run("powercfg", {"-HIBERNATE", "OFF"}).exitCode, 0);
    QVERIFY(!pathExists(Hiberfil));
    QVERIFY(!machine->programs().power().hibernation);
    QCOMPARE(freeBytes(machine), before + full);

    QCOMPARE(run("powercfg", {"/h", "/type", "reduced"}).exitCode, 0);   // remembered for the next "on"
    QVERIFY(!pathExists(Hiberfil));
    QCOMPARE(run("powercfg", {"/h"}).exitCode, 0);
    QCOMPARE(fileInfo(Hiberfil, &entry), ErrorSuccess);
    QCOMPARE(entry.size, reduced);
}

void MaintenanceProgramsTest::refusesPowercfgCalls_data()
{
    const QString invalid = QStringLiteral("Invalid Parameters -- try \"/?\" for help\r\n");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << QStringList{} << true << invalid;
    QTest::newRow("unknown option") << QStringList{"/turbo"} << true << invalid;
    QTest::newRow("no scheme") << QStringList{"/setactive"} << true << invalid;
    QTest::newRow("hibernate maybe") << QStringList{"/hibernate", "maybe"} << true << invalid;
    QTest::newRow("unknown type") << QStringList{"/h", "/type", "tiny"} << true << invalid;
    QTest::newRow("type without value") << QStringList{"/h", "/type"} << true << invalid;
    QTest::newRow("hibernation is for administrators")
        << QStringList{"/hibernate", "on"} << false
        << "You do not have permission to enable or disable the Hibernate feature.\r\n";
}

void MaintenanceProgramsTest::refusesPowercfgCalls()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, administrator);
    QFETCH(QString, message);
    TestMachine machine;
    machine->system().administrator = administrator;
    const ProgramRun result = run("powercfg", arguments);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(out(result), message);
    QVERIFY(!pathExists(Hiberfil));
    QVERIFY(!machine->programs().power().hibernation);
    QCOMPARE(machine->system().activePowerScheme, Balanced);
}

void MaintenanceProgramsTest::enumeratesTheBootStore()
{
    TestMachine machine;
    const ProgramRun result = run(Bcdedit, {"/enum"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(out(result), DefaultEnumeration);
    QCOMPARE(out(run(Bcdedit, {})), DefaultEnumeration);
    QCOMPARE(out(run(Bcdedit, {"/ENUM", "ACTIVE"})), DefaultEnumeration);
}

void MaintenanceProgramsTest::listsEverySecondInstallation()
{
    const QJsonArray loaders{
        QJsonObject{{"identifier", "{current}"}, {"drive", "C:"}, {"description", "Windows 10"}},
        QJsonObject{{"identifier", "{0a2d4f61-8b3c-11ee-9f2a-806e6f6e6963}"}, {"drive", "D:"},
                    {"description", "Windows 7"}, {"systemRoot", "\\Windows"}}};
    TestMachine machine(QJsonObject{{"boot", QJsonObject{{"firmware", "bios"}, {"timeout", 10}, {"locale", "en-US"},
                                                         {"loaders", loaders}}}});
    const QString text = out(run(Bcdedit, {"/enum"}));
    QVERIFY(text.contains(QStringLiteral("displayorder            {current}\r\n"
                                         "                        {0a2d4f61-8b3c-11ee-9f2a-806e6f6e6963}\r\n")));
    QVERIFY(!text.contains(QStringLiteral("bootmgfw.efi")));
    QVERIFY(text.contains(QStringLiteral("timeout                 10\r\n")));
    QCOMPARE(text.count(QStringLiteral("Windows Boot Loader\r\n-------------------\r\n")), 2);
    QVERIFY(text.contains(QStringLiteral("path                    \\Windows\\system32\\winload.exe\r\n"
                                         "description             Windows 7\r\n"
                                         "locale                  en-US\r\n")));
    QVERIFY(text.contains(QStringLiteral("osdevice                partition=D:\r\n")));
}

void MaintenanceProgramsTest::setsBootElementsAndTimeout()
{
    TestMachine machine;
    const ProgramRun quiet = run(Bcdedit, {"/set", "{current}", "quietboot", "on"});
    QCOMPARE(quiet.exitCode, 0);
    QCOMPARE(out(quiet), QStringLiteral("The operation completed successfully.\r\n"));
    QCOMPARE(machine->programs().boot().loaders.first().settings.value("quietboot"), QStringLiteral("Yes"));
    QCOMPARE(run(Bcdedit, {"/timeout", "0"}).exitCode, 0);
    QCOMPARE(machine->programs().boot().timeout, 0);
    const QString text = out(run(Bcdedit, {"/enum"}));
    QVERIFY(text.endsWith(QStringLiteral("bootmenupolicy          Standard\r\nquietboot               Yes\r\n")));
    QVERIFY(text.contains(QStringLiteral("timeout                 0\r\n")));
    QCOMPARE(run(Bcdedit, {"/set", "{default}", "QuietBoot", "off"}).exitCode, 0);
    QCOMPARE(machine->programs().boot().loaders.first().settings.value("quietboot"), QStringLiteral("No"));
    QCOMPARE(run(Bcdedit, {"/timeout", "5"}).exitCode, 0);
    QCOMPARE(machine->programs().boot().timeout, 5);
}

void MaintenanceProgramsTest::exportsTheBootStore()
{
    TestMachine machine;
    const QString path = QStringLiteral("C:\\Windows\\bcd_backup_20261101_093012.bcd");
    machine.addFolder("C:\\Windows");
    const ProgramRun result = run(Bcdedit, {"/export", path});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(out(result), QStringLiteral("The operation completed successfully.\r\n"));
    QByteArray dump;
    QCOMPARE(readFile(path, &dump), ErrorSuccess);
    QCOMPARE(QString::fromUtf8(dump), DefaultEnumeration);
}

void MaintenanceProgramsTest::refusesBcdeditCalls_data()
{
    const QString help = QStringLiteral("Run \"bcdedit /?\" for command line assistance.\r\n");
    const QString incorrect = QStringLiteral("The parameter is incorrect.\r\n");
    const QString denied = QStringLiteral("The boot configuration data store could not be opened.\r\nAccess is denied.\r\n");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QString>("error");
    for (const QStringList& arguments : {QStringList{"/enum"}, QStringList{"/export", "C:\\Windows\\bcd.bcd"},
                                         QStringList{"/set", "{current}", "quietboot", "on"}, QStringList{"/timeout", "0"}})
        QTest::addRow("%s as a user", qPrintable(arguments.first())) << arguments << false << denied;
    QTest::newRow("export to a missing folder") << QStringList{"/export", "C:\\Backups\\bcd.bcd"} << true
        << "The store export operation has failed.\r\nThe system cannot find the path specified.\r\n";
    QTest::newRow("unknown switch") << QStringList{"/delete", "{current}"} << true
                                    << "Invalid command line switch: /delete\r\n" + help + incorrect;
    QTest::newRow("unknown entry") << QStringList{"/set", "{1234}", "quietboot", "on"} << true
                                   << "An error occurred while attempting to reference the specified entry.\r\n"
                                      "The system cannot find the file specified.\r\n";
    QTest::newRow("unknown element") << QStringList{"/set", "{current}", "quickboot", "on"} << true
                                     << "The element data type specified is not recognized, or does not apply to the "
                                        "specified entry.\r\n" + help + "Element not found.\r\n";
    QTest::newRow("not a boolean") << QStringList{"/set", "{current}", "quietboot", "maybe"} << true
                                   << "The boolean data is not valid as specified.\r\n" + help + incorrect;
    QTest::newRow("negative timeout") << QStringList{"/timeout", "-1"} << true
                                      << "The integer data is not valid as specified.\r\n" + help + incorrect;
    QTest::newRow("timeout in words") << QStringList{"/timeout", "five"} << true
                                      << "The integer data is not valid as specified.\r\n" + help + incorrect;
    QTest::newRow("set too short") << QStringList{"/set", "{current}", "quietboot"} << true
                                   << "The syntax of the command is incorrect.\r\n" + help + incorrect;
}

void MaintenanceProgramsTest::refusesBcdeditCalls()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, administrator);
    QFETCH(QString, error);
    TestMachine machine;
    machine.addFolder("C:\\Windows");
    machine->system().administrator = administrator;
    const ProgramRun result = run(Bcdedit, arguments);
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.standardOutput.isEmpty());
    QCOMPARE(err(result), error);
    QVERIFY(!pathExists("C:\\Windows\\bcd.bcd"));
    QVERIFY(!pathExists("C:\\Backups"));
    QVERIFY(bootStoreUntouched(machine));
}

void MaintenanceProgramsTest::analysesWithoutNamingTheMedia()
{
    TestMachine machine(QJsonObject{{"driveOptimizer", QJsonObject{{"C", QJsonObject{{"fragmentedPercent", 3}}}}}});
    const ProgramRun result = runProgram(Defrag, {"C:", "/A"}, 10000);
    QCOMPARE(result.exitCode, 0);
    const QString text = out(result);
    QCOMPARE(text, DefragBanner + QStringLiteral(
                       "Invoking analysis on (C:)...\r\n\r\n\r\n"
                       "The operation completed successfully.\r\n\r\n"
                       "Post Defragmentation Report:\r\n\r\n"
                       "\tVolume Information:\r\n"
                       "\t\tVolume size                 = 256.00 GB\r\n"
                       "\t\tFree space                  = 100.00 GB\r\n"
                       "\t\tTotal fragmented space      = 3%\r\n"
                       "\t\tLargest free space size     = 100.00 GB\r\n\r\n"
                       "\tNote: File fragments larger than 64MB are not included in the fragmentation statistics.\r\n\r\n"
                       "\tYou do not need to defragment this volume.\r\n"));
    for (const char* word : {"SSD", "HDD", "Solid State", "Hard Disk", "固态硬盘", "机械硬盘"})
        QVERIFY(!text.contains(QString::fromUtf8(word), Qt::CaseInsensitive));
    QCOMPARE(optimizationOfC(machine), QStringLiteral("1/0/0/3%"));

    TestMachine hdd(hddMachine());
    const QString fragmented = out(runProgram(Defrag, {"c:", "/a"}, 10000));
    QVERIFY(fragmented.contains(QStringLiteral("\t\tTotal fragmented space      = 17%\r\n")));
    QVERIFY(fragmented.endsWith(QStringLiteral("\tIt is recommended that you defragment this volume.\r\n")));
    QVERIFY(!fragmented.contains(QStringLiteral("Hard Disk"), Qt::CaseInsensitive));
}

// Neither the Disk Defragmenter of Windows 7 nor the Drive Optimizer of
// later versions names the kind of disk in its analysis: the Optimize Drives
// window shows the media type, the command's report does not. Both analyse an
// SSD as they analyse a hard disk.
void MaintenanceProgramsTest::noWindowsNamesTheMediaInItsAnalysis_data()
{
    QTest::addColumn<QList<int>>("version");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("banner");
    const QString defragmenter = QStringLiteral("Microsoft Disk Defragmenter\r\nCopyright (c) 2007 Microsoft Corp.\r\n\r\n");
    for (const char* kind : {"SSD", "HDD"}) {
        QTest::addRow("Windows 7, %s", kind) << QList<int>{6, 1, 7601} << kind << defragmenter;
        QTest::addRow("Windows 8.1, %s", kind) << QList<int>{6, 3, 9600} << kind << DefragBanner;
        QTest::addRow("Windows 10, %s", kind) << QList<int>{10, 0, 19045} << kind << DefragBanner;
        QTest::addRow("Windows 11, %s", kind) << QList<int>{10, 0, 26100} << kind << DefragBanner;
    }
}

void MaintenanceProgramsTest::noWindowsNamesTheMediaInItsAnalysis()
{
    QFETCH(QList<int>, version);
    QFETCH(QString, kind);
    QFETCH(QString, banner);
    QJsonObject machine = hddMachine();
    QJsonObject drives = machine.value("drives").toObject();
    QJsonObject c = drives.value("C").toObject();
    c.insert("kind", kind);
    drives.insert("C", c);
    machine.insert("drives", drives);
    TestMachine test(machine);
    test.setWindowsVersion(version.at(0), version.at(1), version.at(2));
    const ProgramRun result = runProgram(Defrag, {"C:", "/A"}, 10000);
    QCOMPARE(result.exitCode, 0);
    const QString text = out(result);
    QVERIFY(text.startsWith(banner + QStringLiteral("Invoking analysis on (C:)...\r\n")));
    QVERIFY(text.contains(QStringLiteral("\t\tTotal fragmented space      = 17%\r\n")));
    for (const char* word : {"SSD", "HDD", "Solid State", "Hard Disk", "固态硬盘", "机械硬盘", "Media", "媒体类型"})
        QVERIFY2(!text.contains(QString::fromUtf8(word), Qt::CaseInsensitive), word);
    QCOMPARE(optimizationOfC(test), QStringLiteral("1/0/0/17%"));
}

void MaintenanceProgramsTest::optimizesEachMediaItsWay_data()
{
    const QString retrim = QStringLiteral("Invoking retrim on (C:)...\r\n\r\n\r\n");
    const QString done = QStringLiteral("The operation completed successfully.\r\n");
    QTest::addColumn<QJsonObject>("machine");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("optimization");
    QTest::newRow("retrim SSD") << QJsonObject() << QStringList{"C:", "/L"} << true << 0 << retrim + done << "0/0/1/0%";
    QTest::newRow("no retrim on a rotating disk")
        << hddMachine() << QStringList{"C:", "/L"} << true << int(sim::SimDefrag::NotSupportedByHardware)
        << retrim + "The operation requested is not supported by the hardware backing the volume. (0x8900002A)\r\n"
        << "0/0/0/17%";
    QTest::newRow("optimize SSD") << QJsonObject() << QStringList{"C:", "/O"} << true << 0 << retrim + done
                                  << "0/0/1/0%";
    QTest::newRow("optimize HDD") << hddMachine() << QStringList{"C:", "/O"} << true << 0
                                  << "Invoking defragmentation on (C:)...\r\n\r\n\r\n" + done << "0/1/0/0%";
    QTest::newRow("progress per pass") << hddMachine() << QStringList{"C:", "/U"} << true << 0
                                       << "Invoking defragmentation on (C:)...\r\n\r\n\r\n"
                                          "\tAnalysis:  100% complete.\r\n"
                                          "\tDefragmentation:  100% complete.\r\n\r\n" + done
                                       << "0/1/0/0%";
    const QString incorrect = QStringLiteral("The parameter is incorrect. (0x80070057)\r\n");
    QTest::newRow("not elevated") << QJsonObject() << QStringList{"C:", "/O"} << false << int(0x80070005u)
                                  << "Access is denied. (0x80070005)\r\n" << QString();
    QTest::newRow("no volume") << QJsonObject() << QStringList{"/A"} << true << int(0x80070057u) << incorrect << QString();
    QTest::newRow("two operations") << QJsonObject() << QStringList{"C:", "/A", "/L"} << true << int(0x80070057u)
                                    << incorrect << QString();
    QTest::newRow("unknown switch") << QJsonObject() << QStringList{"C:", "/Q"} << true << int(0x80070057u)
                                    << incorrect << QString();
    QTest::newRow("unknown drive") << QJsonObject() << QStringList{"Z:", "/A"} << true << int(0x8007000Fu)
                                   << "The system cannot find the drive specified. (0x8007000F)\r\n" << QString();
}

void MaintenanceProgramsTest::optimizesEachMediaItsWay()
{
    QFETCH(QJsonObject, machine);
    QFETCH(QStringList, arguments);
    QFETCH(bool, administrator);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, optimization);
    TestMachine test(machine);
    test->system().administrator = administrator;
    const ProgramRun result = run(Defrag, arguments);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(out(result), DefragBanner + output);
    QCOMPARE(optimizationOfC(test), optimization);
}

void MaintenanceProgramsTest::windows7ProgramsKnowOnlyTheirOwnSwitches_data()
{
    const QString banner = QStringLiteral("Microsoft Disk Defragmenter\r\nCopyright (c) 2007 Microsoft Corp.\r\n\r\n");
    const QString incorrect = banner + QStringLiteral("The parameter is incorrect. (0x80070057)\r\n");
    const QString invalid = QStringLiteral("Invalid Parameters -- try \"/?\" for help\r\n");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("optimization");
    QTest::newRow("no retrim") << Defrag << QStringList{"C:", "/L"} << int(0x80070057u) << incorrect << QString();
    QTest::newRow("no optimization by media") << Defrag << QStringList{"C:", "/O"} << int(0x80070057u) << incorrect
                                              << QString();
    QTest::newRow("no /D") << Defrag << QStringList{"C:", "/D"} << int(0x80070057u) << incorrect << QString();
    // Windows 7's defragmenter defragments whatever it is given, an SSD too.
    QTest::newRow("defragments an SSD") << Defrag << QStringList{"C:", "/U"} << 0
                                        << banner + "Invoking defragmentation on (C:)...\r\n\r\n\r\n"
                                                    "\tAnalysis:  100% complete.\r\n"
                                                    "\tDefragmentation:  100% complete.\r\n\r\n"
                                                    "The operation completed successfully.\r\n"
                                        << "0/1/0/0%";
    QTest::newRow("no hibernation file types") << "powercfg" << QStringList{"/h", "/type", "full"} << 1 << invalid
                                               << QString();
    QTest::newRow("hibernation") << "powercfg" << QStringList{"/hibernate", "on"} << 0 << QString() << QString();
}

void MaintenanceProgramsTest::windows7ProgramsKnowOnlyTheirOwnSwitches()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, optimization);
    TestMachine machine;
    machine.setWindowsVersion(6, 1, 7601);
    const ProgramRun result = run(program, arguments);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(out(result), output);
    QCOMPARE(optimizationOfC(machine), optimization);
}

void MaintenanceProgramsTest::cleansTheSelectedCategories()
{
    TestMachine machine;
    setCleanupFlag("Temporary Files", 2);
    setCleanupFlag("Thumbnail Cache", 2);
    setCleanupFlag("Recycle Bin", 0);
    setCleanupFlag("Downloads Folder", 2, KeyWow64_32Key);   // a 32-bit view flag is not read
    struct Aged { QString path; int size; int ageDays; bool cleaned; };
    const Aged files[] = {{UserTemp + "old.tmp", 1000, 8, true},
                          {UserTemp + "setup\\older.log", 500, 30, true},
                          {UserTemp + "fresh.tmp", 300, 6, false},
                          {"C:\\Windows\\Temp\\cab_1234.tmp", 2000, 10, true},
                          {Explorer + "thumbcache_96.db", 4000, 0, true},
                          {Explorer + "iconcache_32.db", 100, 40, false},
                          {RecycleBin + "$RABC123.txt", 700, 40, false},
                          {"C:\\Users\\Tester\\Downloads\\old.zip", 100, 40, false}};
    for (const Aged& file : files)
        addAgedFile(machine, file.path, file.size, file.ageDays);
    quint64 before = freeBytes(machine);

    const ProgramRun result = runProgram("cleanmgr.exe", {"/sagerun:99"}, WaitForever);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    for (const Aged& file : files)
        QVERIFY2(pathExists(file.path) != file.cleaned, qPrintable(file.path));
    QCOMPARE(freeBytes(machine), before + 7500);
    QCOMPARE(machine->programs().cleanup().runs, 1);
    QCOMPARE(machine->programs().cleanup().freedBytes, quint64(7500));

    // The recycle bins are emptied whatever the age; their desktop.ini stays.
    setCleanupFlag("Recycle Bin", 2);
    addAgedFile(machine, RecycleBin + "$IABC123.txt", 100, 0);
    addAgedFile(machine, RecycleBin + "$RDEF456\\photo.jpg", 900, 0);
    machine.addFile(RecycleBin + "desktop.ini", "[.ShellClassInfo]");
    before = freeBytes(machine);
    QCOMPARE(runProgram("cleanmgr.exe", {"/sagerun:99"}, WaitForever).exitCode, 0);
    QVector<FileEntry> left;
    QCOMPARE(listDirectory(RecycleBin, &left), ErrorSuccess);
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.first().name, QStringLiteral("desktop.ini"));
    QCOMPARE(freeBytes(machine), before + 1700);
}

void MaintenanceProgramsTest::cleansNothingUnlessAskedFor()
{
    TestMachine machine;
    setCleanupFlag("Temporary Files", 1);   // a flag of another meaning
    addAgedFile(machine, UserTemp + "old.tmp", 1000, 30);
    const quint64 before = freeBytes(machine);
    QCOMPARE(runProgram("cleanmgr", {"/sagerun:99"}, WaitForever).exitCode, 0);
    QVERIFY(pathExists(UserTemp + "old.tmp"));
    QCOMPARE(freeBytes(machine), before);
    QCOMPARE(machine->programs().cleanup().runs, 1);

    setCleanupFlag("Temporary Files", 2);
    QCOMPARE(runProgram("cleanmgr", {"/SAGERUN:98"}, WaitForever).exitCode, 0);   // another preset
    QVERIFY(pathExists(UserTemp + "old.tmp"));

    // Without a preset the program waits for the user to choose.
    const ProgramRun waiting = runProgram("cleanmgr.exe", {}, 60000);
    QVERIFY(waiting.started);
    QVERIFY(!waiting.finished);
    QVERIFY(pathExists(UserTemp + "old.tmp"));
    QCOMPARE(machine->programs().cleanup().runs, 2);
}

void MaintenanceProgramsTest::keepsProgramStateInMachineJson()
{
    TestMachine machine(QJsonObject{{"programs", QJsonObject{{"wmic", "hangs"}, {"hangMs", 90000}}},
                                    {"securityCenter", QJsonObject{{"antivirus", QJsonArray{QJsonObject{
                                        {"displayName", "火绒安全软件"}, {"productState", 266240},
                                        {"pathToSignedProductExe", "C:\\Program Files\\Huorong\\HipsTray.exe"}}}}}}});
    run("powercfg", {"/setactive", HighPerformance});
    run("powercfg", {"/h", "/type", "reduced"});
    run("powercfg", {"/hibernate", "on"});
    run(Bcdedit, {"/set", "{current}", "quietboot", "on"});
    run(Bcdedit, {"/timeout", "5"});
    run("netsh", {"interface", "tcp", "set", "global", "autotuninglevel=normal"});
    run("wevtutil", {"set-log", "System", "/ms:268435456"});
    run(Defrag, {"C:", "/L"});
    run("cleanmgr", {"/sagerun:99"});
    QString error;
    QVERIFY2(machine->save(&error), qPrintable(error));

    sim::SimMachine reloaded;
    QVERIFY2(reloaded.load(machine.folder(), &error), qPrintable(error));
    const sim::ProgramState& state = reloaded.programs();
    QCOMPARE(reloaded.system().activePowerScheme, HighPerformance);
    QVERIFY(state.power().hibernation);
    QVERIFY(state.power().reducedHiberfile);
    QCOMPARE(state.power().schemes.size(), 3);
    QCOMPARE(state.boot().timeout, 5);
    QCOMPARE(state.boot().loaders.size(), 1);
    QCOMPARE(state.boot().loaders.first().settings.value("quietboot"), QStringLiteral("Yes"));
    QCOMPARE(state.tcpGlobals().value("autotuninglevel"), QStringLiteral("normal"));
    QCOMPARE(reloaded.programs().findEventLog("system")->maxSizeBytes, quint64(268435456));
    QCOMPARE(state.optimizations().value('C').retrims, 1);
    QCOMPARE(state.cleanup().runs, 1);
    QCOMPARE(state.availability("WMIC"), sim::ProgramAvailability::Hangs);
    QCOMPARE(state.hangMs(), qint64(90000));
    QCOMPARE(state.antivirusProducts().size(), 1);
    QCOMPARE(state.antivirusProducts().first().displayName, QStringLiteral("火绒安全软件"));
    QCOMPARE(state.antivirusProducts().first().productState, quint32(266240));
}

void MaintenanceProgramsTest::reportsMalformedProgramSections_data()
{
    QTest::addColumn<QJsonObject>("section");
    QTest::addColumn<QString>("field");
    QTest::newRow("availability") << QJsonObject{{"programs", QJsonObject{{"wmic", "broken"}}}} << "programs.wmic";
    QTest::newRow("firmware") << QJsonObject{{"boot", QJsonObject{{"firmware", "efi"}}}} << "boot.firmware";
    QTest::newRow("loader identifier") << QJsonObject{{"boot", QJsonObject{{"loaders", QJsonArray{QJsonObject{
                                              {"identifier", "current"}}}}}}}
                                       << "boot.loaders[0].identifier";
    QTest::newRow("hiberfile type") << QJsonObject{{"power", QJsonObject{{"hiberfileType", "tiny"}}}}
                                    << "power.hiberfileType";
    QTest::newRow("restore point") << QJsonObject{{"restorePoints", QJsonArray{QJsonObject{{"sequenceNumber", "5"}}}}}
                                   << "restorePoints[0].sequenceNumber";
    QTest::newRow("disk media") << QJsonObject{{"disks", QJsonArray{QJsonObject{{"mediaType", "NVMe"}}}}}
                                << "disks[0].mediaType";
}

void MaintenanceProgramsTest::reportsMalformedProgramSections()
{
    QFETCH(QJsonObject, section);
    QFETCH(QString, field);
    TestMachine machine(section);
    QVERIFY(!machine.loaded());
    QVERIFY2(machine.loadError().contains(field), qPrintable(machine.loadError()));
}

QTEST_GUILESS_MAIN(MaintenanceProgramsTest)
#include "tst_programs_maintenance.moc"

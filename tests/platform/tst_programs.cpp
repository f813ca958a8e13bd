#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"
#include "platform/sim/programs/SimWevtutil.h"
#include "tests/support/TestMachine.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

using namespace win;

namespace {

const QStringList AutotuningCall = {"interface", "tcp", "set", "global", "autotuninglevel", "normal"};

QString out(const ProgramRun& run)
{
    return fromLocal8Bit(run.standardOutput);
}

QString err(const ProgramRun& run)
{
    return fromLocal8Bit(run.standardError);
}

QJsonObject programs(const QJsonObject& availability)
{
    return QJsonObject{{"programs", availability}};
}

QJsonObject thirtyTwoBitWindows()
{
    QJsonObject json = TestMachine::defaultMachineJson();
    QJsonObject system = json.value("system").toObject();
    system.insert("architecture", "x86");
    return QJsonObject{{"system", system}};
}

} // namespace

class ProgramsTest : public QObject
{
    Q_OBJECT

private slots:
    void findsProgramsLikeCreateProcess_data();
    void findsProgramsLikeCreateProcess();
    void letsAHangingProgramRunOutTheWait();
    void finishesAHangAwaitedWithoutLimitAfterTheHangTime();
    void journalsEveryRunAsGiven();
    void decodesInTheMachineCodePage();
    void startsNothingWithoutAMachine();
    void flushesTheDnsCacheWhileItsClientRuns();
    void setsTcpGlobals_data();
    void setsTcpGlobals();
    void setsLogSizesInBytes();
    void reportsWevtutilErrors_data();
    void reportsWevtutilErrors();
    void opensUrlsIntoTheJournal();
    void startsMachineProgramsDetached();
    void startsHostProgramsOnlyWhenTheyExist();
};

void ProgramsTest::findsProgramsLikeCreateProcess_data()
{
    QTest::addColumn<QJsonObject>("machine");
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("started");
    const QJsonObject x64;
    QTest::newRow("bare name") << x64 << "ipconfig" << true;
    QTest::newRow("any case") << x64 << "IPCONFIG" << true;
    QTest::newRow("with extension") << x64 << "IpConfig.Exe" << true;
    QTest::newRow("system folder") << x64 << "C:\\Windows\\System32\\ipconfig.exe" << true;
    QTest::newRow("forward slashes") << x64 << "c:/windows/system32/ipconfig.exe" << true;
    QTest::newRow("trailing folder separator") << x64 << "C:\\Windows\\system32\\\\ipconfig" << true;
    QTest::newRow("32-bit folder") << x64 << "C:\\Windows\\SysWOW64\\ipconfig.exe" << true;
    QTest::newRow("native folder") << x64 << "C:\\Windows\\Sysnative\\ipconfig.exe" << true;
    QTest::newRow("wmic in wbem") << x64 << "C:\\Windows\\System32\\wbem\\WMIC.exe" << true;
    QTest::newRow("wmic not in system32") << x64 << "C:\\Windows\\System32\\wmic.exe" << false;
    QTest::newRow("ipconfig not in wbem") << x64 << "C:\\Windows\\System32\\wbem\\ipconfig.exe" << false;
    QTest::newRow("another folder") << x64 << "C:\\Tools\\ipconfig.exe" << false;
    QTest::newRow("another extension") << x64 << "ipconfig.com" << false;
    QTest::newRow("unknown program") << x64 << "notepad" << false;
    QTest::newRow("empty") << x64 << "" << false;
    // bcdedit has no 32-bit copy: a 32-bit program reaches it through Sysnative only.
    QTest::newRow("bcdedit by name") << x64 << "bcdedit" << false;
    QTest::newRow("bcdedit in system32") << x64 << "C:\\Windows\\System32\\bcdedit.exe" << false;
    QTest::newRow("bcdedit in SysWOW64") << x64 << "C:\\Windows\\SysWOW64\\bcdedit.exe" << false;
    QTest::newRow("bcdedit in Sysnative") << x64 << "C:\\Windows\\Sysnative\\bcdedit.exe" << true;
    QTest::newRow("bcdedit on 32-bit Windows") << thirtyTwoBitWindows() << "bcdedit" << true;
    // Nor has defrag, unlike powercfg, netsh, wevtutil and cleanmgr.
    QTest::newRow("defrag by name") << x64 << "defrag" << false;
    QTest::newRow("defrag in Sysnative") << x64 << "C:\\Windows\\Sysnative\\defrag.exe" << true;
    QTest::newRow("powercfg by name") << x64 << "powercfg" << true;
    QTest::newRow("no Sysnative on 32-bit Windows") << thirtyTwoBitWindows() << "C:\\Windows\\Sysnative\\ipconfig.exe"
                                                    << false;
    const QJsonObject lacking = programs({{"ipconfig", "missing"}, {"bcdedit", "present"}});
    QTest::newRow("missing program") << lacking << "ipconfig" << false;
    QTest::newRow("missing program by path") << lacking << "C:\\Windows\\System32\\ipconfig.exe" << false;
    QTest::newRow("bcdedit made present") << lacking << "bcdedit" << true;
    QTest::newRow("present bcdedit in system32") << lacking << "C:\\Windows\\System32\\bcdedit.exe" << true;
    QTest::newRow("present bcdedit elsewhere") << lacking << "C:\\Tools\\bcdedit.exe" << false;
}

void ProgramsTest::findsProgramsLikeCreateProcess()
{
    QFETCH(QJsonObject, machine);
    QFETCH(QString, program);
    QFETCH(bool, started);
    TestMachine test(machine);
    const ProgramRun run = runProgram(program, {"/flushdns"}, 10000, StandardInput::Closed);
    QCOMPARE(run.started, started);
    QCOMPARE(run.finished, started);
    if (!started) {
        QCOMPARE(run.exitCode, 0);   // as QProcess::exitCode() answers for a program that never ran
        QVERIFY(run.standardOutput.isEmpty());
    }
}

void ProgramsTest::letsAHangingProgramRunOutTheWait()
{
    TestMachine machine(programs({{"netsh", "hangs"}}));
    const quint64 before = machine->clock().nowMs();
    const ProgramRun run = runProgram("netsh", {"interface", "tcp", "set", "global", "autotuninglevel=normal"}, 8000);
    QVERIFY(run.started);
    QVERIFY(!run.finished);
    QVERIFY(run.standardOutput.isEmpty());
    QVERIFY(machine->clock().nowMs() >= before + 8000);
    QVERIFY(machine->clock().nowMs() < before + 60000);   // moved on, not waited for
    QVERIFY(machine->programs().tcpGlobals().isEmpty());
}

void ProgramsTest::finishesAHangAwaitedWithoutLimitAfterTheHangTime()
{
    TestMachine machine(QJsonObject{{"programs", QJsonObject{{"ipconfig", "hangs"}, {"hangMs", 120000}}},
                                    {"dnsCache", QJsonObject{{"entries", 40}}}});
    const quint64 before = machine->clock().nowMs();
    const ProgramRun run = runProgram("ipconfig", {"/flushdns"}, WaitForever);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(machine->clock().nowMs() >= before + 120000);
    QCOMPARE(machine->programs().dnsCacheEntries(), 0);

    TestMachine standard(programs({{"ipconfig", "hangs"}}));
    const quint64 start = standard->clock().nowMs();
    QVERIFY(runProgram("ipconfig", {"/flushdns"}, WaitForever).finished);
    QVERIFY(standard->clock().nowMs() >= start + 600000);
}

void ProgramsTest::journalsEveryRunAsGiven()
{
    TestMachine machine(programs({{"wevtutil", "missing"}}));
    runProgram("IPCONFIG.exe", {"/flushdns"}, 10000);
    runProgram("wevtutil", {"set-log", "System", "/ms:256MB"}, 10000);
    runProgram("C:/Tools/tool.exe", {}, WaitForever);
    const QVector<sim::JournalEntry> journal = machine->journal();
    QCOMPARE(journal.size(), 3);
    QCOMPARE(journal.at(0).kind, QStringLiteral("run"));
    QCOMPARE(journal.at(0).program, QStringLiteral("IPCONFIG.exe"));
    QCOMPARE(journal.at(0).arguments, QStringList{"/flushdns"});
    QCOMPARE(journal.at(0).waitMs, 10000);
    QCOMPARE(journal.at(1).program, QStringLiteral("wevtutil"));
    QCOMPARE(journal.at(1).arguments, (QStringList{"set-log", "System", "/ms:256MB"}));
    QCOMPARE(journal.at(2).program, QStringLiteral("C:/Tools/tool.exe"));
    QCOMPARE(journal.at(2).waitMs, WaitForever);
}

void ProgramsTest::decodesInTheMachineCodePage()
{
    QJsonObject json = TestMachine::defaultMachineJson();
    QJsonObject system = json.value("system").toObject();
    system.insert("ansiCodePage", 1252);
    TestMachine western(QJsonObject{{"system", system},
                                    {"securityCenter", QJsonObject{{"antivirus", QJsonArray{QJsonObject{
                                        {"displayName", "Antivírus"}}}}}}});
    const ProgramRun run = runProgram("wmic", {"/namespace:\\\\root\\SecurityCenter2", "path", "AntiVirusProduct",
                                               "get", "displayName"}, 8000);
    QVERIFY(run.standardOutput.contains(QByteArray("Antiv\xedrus")));
    QVERIFY(out(run).contains(QStringLiteral("Antivírus")));
}

void ProgramsTest::startsNothingWithoutAMachine()
{
    const ProgramRun run = runProgram("ipconfig", {"/flushdns"}, 10000);
    QVERIFY(!run.started);
    QVERIFY(!startDetached("cleanmgr.exe", {"/sagerun:99"}));
    QVERIFY(!openUrl(QUrl("https://example.com/")));
    QCOMPARE(fromLocal8Bit("plain"), QStringLiteral("plain"));
}

void ProgramsTest::flushesTheDnsCacheWhileItsClientRuns()
{
    TestMachine machine(QJsonObject{{"dnsCache", QJsonObject{{"entries", 57}}}});
    machine->system().administrator = false;   // no elevation needed
    const ProgramRun run = runProgram("ipconfig", {"/flushdns"}, 10000);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(out(run), QStringLiteral("\r\nWindows IP Configuration\r\n\r\nSuccessfully flushed the DNS Resolver Cache.\r\n"));
    QCOMPARE(machine->programs().dnsCacheEntries(), 0);
    const ProgramRun wrong = runProgram("ipconfig", {"/flush"}, 10000);
    QCOMPARE(wrong.exitCode, 1);
    QCOMPARE(out(wrong), QStringLiteral("\r\nError: unrecognized or incomplete command line.\r\n"));

    TestMachine stopped(QJsonObject{{"dnsCache", QJsonObject{{"entries", 57}}},
                                    {"services", QJsonArray{QJsonObject{{"name", "Dnscache"}, {"state", "stopped"}}}}});
    const ProgramRun failed = runProgram("ipconfig", {"/flushdns"}, 10000);
    QCOMPARE(failed.exitCode, 1);
    QCOMPARE(out(failed), QStringLiteral("\r\nWindows IP Configuration\r\n\r\n"
                                         "Could not flush the DNS Resolver Cache: Function failed during execution.\r\n"));
    QCOMPARE(stopped->programs().dnsCacheEntries(), 57);
}

void ProgramsTest::setsTcpGlobals_data()
{
    const QString incorrect = QStringLiteral("The parameter is incorrect.\r\n\r\n");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("globals");
    QTest::newRow("tagged") << QStringList{"interface", "tcp", "set", "global", "AutoTuningLevel=Normal"} << true << 0
                            << "Ok.\r\n\r\n" << "autotuninglevel=normal";
    QTest::newRow("in position") << QStringList{"int", "tcp", "set", "global", "enabled", "restricted"} << true << 0
                                 << "Ok.\r\n\r\n" << "autotuninglevel=restricted rss=enabled";
    QTest::newRow("autotuning without its tag") << AutotuningCall << true << 1
                                                << "'autotuninglevel' is not an acceptable value for 'rss'.\r\n" + incorrect
                                                << "autotuninglevel=disabled";
    QTest::newRow("out of range") << QStringList{"interface", "tcp", "set", "global", "initialrto=200"} << true << 1
                                  << "'200' is not an acceptable value for 'initialrto'.\r\n" + incorrect
                                  << "autotuninglevel=disabled";
    QTest::newRow("unknown tag") << QStringList{"interface", "tcp", "set", "global", "chimney=enabled"} << true << 1
                                 << "The syntax supplied for this command is not valid. Check help for the correct "
                                    "syntax.\r\n\r\n" << "autotuninglevel=disabled";
    QTest::newRow("not elevated") << QStringList{"interface", "tcp", "set", "global", "autotuninglevel=normal"} << false
                                  << 1 << "The requested operation requires elevation (Run as administrator).\r\n\r\n"
                                  << "autotuninglevel=disabled";
    QTest::newRow("unknown command") << QStringList{"interface", "udp", "set", "global"} << true << 1
                                     << "The following command was not found: interface udp set global.\r\n"
                                     << "autotuninglevel=disabled";
    QTest::newRow("nothing to set") << QStringList{"interface", "tcp", "set", "global"} << true << 1
                                    << "One or more essential parameters were not entered.\r\n"
                                       "Verify the required parameters, and reenter them.\r\n\r\n"
                                    << "autotuninglevel=disabled";
}

void ProgramsTest::setsTcpGlobals()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, administrator);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, globals);
    TestMachine machine(QJsonObject{{"tcp", QJsonObject{{"autotuninglevel", "disabled"}}}});
    machine->system().administrator = administrator;
    const ProgramRun run = runProgram("netsh", arguments, 8000);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(out(run), output);
    QStringList set;
    for (auto it = machine->programs().tcpGlobals().begin(); it != machine->programs().tcpGlobals().end(); ++it)
        set << it.key() + "=" + it.value();
    QCOMPARE(set.join(' '), globals);
}

void ProgramsTest::setsLogSizesInBytes()
{
    TestMachine machine;
    const ProgramRun run = runProgram("wevtutil", {"sl", "application", "/MS:268435456"}, 10000);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.standardOutput.isEmpty() && run.standardError.isEmpty());
    QCOMPARE(machine->programs().findEventLog("Application")->maxSizeBytes, quint64(268435456));
    QCOMPARE(runProgram("wevtutil", {"set-log", "System", "/maxsize:1048576"}, 10000).exitCode, 0);
    QCOMPARE(machine->programs().findEventLog("System")->maxSizeBytes, quint64(1048576));
}

void ProgramsTest::reportsWevtutilErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    for (const char* log : {"Application", "System", "Security"}) {
        QTest::addRow("%s size with a unit", log)
            << QStringList{"set-log", log, "/ms:256MB"} << true << 87
            << QStringLiteral("Failed to save configuration or activate log %1. The parameter is incorrect.\r\n")
                   .arg(QLatin1String(log));
    }
    QTest::newRow("below the minimum") << QStringList{"set-log", "System", "/ms:1048575"} << true << 87
                                       << "Failed to save configuration or activate log System. The parameter is incorrect.\r\n";
    QTest::newRow("unknown log") << QStringList{"set-log", "Setup2", "/ms:1048576"} << true
                                 << sim::SimWevtutil::ChannelNotFound
                                 << "Failed to read configuration for log Setup2. The specified channel could not be found.\r\n";
    QTest::newRow("not elevated") << QStringList{"set-log", "Security", "/ms:268435456"} << false << 5
                                  << "Failed to save configuration or activate log Security. Access is denied.\r\n";
    QTest::newRow("unknown option") << QStringList{"set-log", "System", "/rt:true"} << true << 87
                                    << "The parameter is incorrect.\r\n";
    QTest::newRow("unknown command") << QStringList{"clear-log", "System"} << true << 87
                                     << "The parameter is incorrect.\r\n";
}

void ProgramsTest::reportsWevtutilErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, administrator);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    TestMachine machine;
    machine->system().administrator = administrator;
    const ProgramRun run = runProgram("wevtutil", arguments, 10000);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(run.standardOutput.isEmpty());
    QCOMPARE(err(run), error);
    for (const char* log : {"Application", "System", "Security"})
        QCOMPARE(machine->programs().findEventLog(log)->maxSizeBytes, quint64(20971520));
}

// A person trying the program finds each desktop event as a line of the
// machine folder's journal file, with its time, long after the program ended.
void ProgramsTest::opensUrlsIntoTheJournal()
{
    TestMachine machine;
    QTemporaryDir host;
    QVERIFY(openUrl(QUrl("https://www.example.com/tessaro")));
    QVERIFY(openUrl(QUrl::fromLocalFile(host.path())));
    QVERIFY(!startDetached(host.filePath("updaterwindow.exe"), {"--auto"}));
    const QVector<sim::JournalEntry> journal = machine->journal();
    QCOMPARE(journal.size(), 3);
    QCOMPARE(journal.at(0).kind, QStringLiteral("openUrl"));
    QCOMPARE(journal.at(0).program, QStringLiteral("https://www.example.com/tessaro"));
    QCOMPARE(journal.at(1).program, QUrl::fromLocalFile(host.path()).toString());

    QFile file(QDir(machine.folder()).filePath("journal.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    const QString time = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  ");
    const QStringList expected{
        time + "Windows would open https://www.example.com/tessaro in the default browser",
        time + "Windows would open the folder " + QRegularExpression::escape(host.path()) + " in File Explorer",
        time + "Windows would not start " + QRegularExpression::escape(host.filePath("updaterwindow.exe"))
            + " --auto: there is no such program"};
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(QRegularExpression("^" + expected[i] + "$").match(lines[i]).hasMatch(), qPrintable(lines[i]));
}

void ProgramsTest::startsMachineProgramsDetached()
{
    TestMachine machine;
    machine.setDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\"
                     "Thumbnail Cache", "StateFlags0099", 2);
    machine.addFile("C:\\Users\\Tester\\AppData\\Local\\Microsoft\\Windows\\Explorer\\thumbcache_256.db", "thumbs");
    QVERIFY(startDetached("cleanmgr.exe", {"/sagerun:99"}));
    QVERIFY(!pathExists("C:\\Users\\Tester\\AppData\\Local\\Microsoft\\Windows\\Explorer\\thumbcache_256.db"));
    QCOMPARE(machine->programs().cleanup().runs, 1);
    const QVector<sim::JournalEntry> journal = machine->journal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal.first().kind, QStringLiteral("detached"));
    QCOMPARE(journal.first().program, QStringLiteral("cleanmgr.exe"));
    QCOMPARE(journal.first().arguments, QStringList{"/sagerun:99"});

    TestMachine lacking(programs({{"cleanmgr", "missing"}}));
    QVERIFY(!startDetached("cleanmgr.exe", {"/sagerun:99"}));
    QCOMPARE(lacking->programs().cleanup().runs, 0);
    TestMachine hanging(programs({{"cleanmgr", "hangs"}}));
    QVERIFY(startDetached("cleanmgr.exe", {"/sagerun:99"}));
    QCOMPARE(hanging->programs().cleanup().runs, 0);
}

void ProgramsTest::startsHostProgramsOnlyWhenTheyExist()
{
    TestMachine machine;
    QTemporaryDir host;
    const QString updater = host.filePath("updaterwindow.exe");
    QVERIFY(!startDetached(updater, {"--auto"}));
    QFile file(updater);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(startDetached(updater, {"--auto"}));
    QVERIFY(!startDetached("updaterwindow.exe", {"--auto"}));   // relative: nothing to find

    machine.addFile("C:\\Tools\\helper.exe", "MZ");
    QVERIFY(startDetached("C:\\Tools\\helper.exe", {}));
    QVERIFY(!startDetached("C:\\Tools\\absent.exe", {}));
    QVERIFY(!startDetached("C:\\Tools", {}));
    QCOMPARE(machine->journal().size(), 6);
    QCOMPARE(machine->journal().at(1).arguments, QStringList{"--auto"});
}

QTEST_GUILESS_MAIN(ProgramsTest)
#include "tst_programs.moc"

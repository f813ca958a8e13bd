#include "ScannerTestSupport.h"
#include "platform/ComApartment.h"
#include "scanners/StartupLocationScanner.h"

#include <QtTest>

using namespace scannertest;

namespace {

const QString HklmRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString HkcuRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString Winlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const QString AppInit = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const QString ShellApproved = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const QString CommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
const QString UserStartup = "C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
const QString HighRisk = QStringLiteral("🔴 高风险");
const QString TaskLabel = QStringLiteral("计划任务");

QVector<StartupFinding> scan()
{
    ScanReportBundle report;
    StartupLocationScanner().scanStartupLocations(report);
    return report.startupItems;
}

const StartupFinding* findByName(const QVector<StartupFinding>& items, const QString& name)
{
    for (const StartupFinding& item : items) {
        if (item.name == name)
            return &item;
    }
    return nullptr;
}

// A finding as one line: "location|type|command|score|risk level|risk label|flags".
QString described(const StartupFinding& item)
{
    return QStringList{item.location, QString::number(item.type), item.command, QString::number(item.score),
                       QString::number(item.riskLevel), item.riskLabel, item.hijacked ? "hijacked" : "",
                       item.canDisable ? "can disable" : ""}
        .join('|');
}

QStringList namesOf(const QVector<StartupFinding>& items)
{
    QStringList names;
    for (const StartupFinding& item : items)
        names.append(item.name);
    return names;
}

win::sim::SimTask task(const QString& path, int triggerType, bool enabled = true, bool hidden = false)
{
    win::sim::SimTask t;
    t.path = path;
    t.enabled = enabled;
    t.definition.hidden = hidden;
    win::TaskTrigger trigger;
    trigger.type = triggerType;
    t.definition.triggers.append(trigger);
    win::TaskAction action;
    action.path = "C:\\Program Files\\Plain\\plain.exe";
    t.definition.actions.append(action);
    return t;
}

} // namespace

class TestStartupLocationScanner : public QObject
{
    Q_OBJECT

private slots:
    void init() { unloadSignatures(); }

    void runKeysAreReadInLocationOrder()
    {
        TestMachine machine;
        const QString keys[] = {HklmRun, HkcuRun, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                                "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"};
        for (int i = 6; i >= 0; --i)
            machine.setText(keys[i], QString("Entry%1").arg(i), QString("C:\\Tools\\e%1.exe").arg(i));
        machine.setDword(HklmRun, "Number", 1);
        machine.setText(HklmRun, "Empty", QString());
        machine.setText(HklmRun, "Expand", "%SystemRoot%\\x.exe", win::RegExpandSz);
        setRaw(machine, HklmRun, "Binary", win::RegBinary, QByteArray("abc"));

        // Switched off where Windows reads it: the machine's own entries in the
        // machine's hive, the 32-bit ones under Run32. Windows 7 reads nothing.
        const QString approved = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
        const QByteArray off("\x05\0\0\0\0\0\0\0\0\0\0\0", 12);
        setRaw(machine, "HKEY_LOCAL_MACHINE\\" + approved + "Run", "Entry0", win::RegBinary, off);
        setRaw(machine, "HKEY_CURRENT_USER\\" + approved + "Run", "Expand", win::RegBinary, off);
        setRaw(machine, "HKEY_LOCAL_MACHINE\\" + approved + "Run32", "Entry4", win::RegBinary, off);
        setRaw(machine, "HKEY_CURRENT_USER\\" + approved + "Run", "Entry2", win::RegBinary, off);

        QVector<StartupFinding> items = scan();
        QCOMPARE(namesOf(items), QStringList({"Entry0", "Expand", "Entry1", "Entry2", "Entry3", "Entry4", "Entry5", "Entry6"}));
        QList<bool> disabled;
        for (const StartupFinding& item : items)
            disabled << item.disabled;
        QCOMPARE(disabled, QList<bool>({true, false, false, false, false, true, false, false}));
        machine.setWindowsVersion(6, 1, 7601);
        items = scan();
        QVERIFY(std::none_of(items.begin(), items.end(), [](const StartupFinding& item) { return item.disabled; }));
        const QString labels[] = {"HKLM Run", "HKLM Run", "HKCU Run", "HKLM RunOnce", "HKCU RunOnce",
                                  "WOW64 Run", "Policies Run(HKLM)", "Policies Run(HKCU)"};
        const int types[] = {1, 1, 2, 3, 4, 5, 6, 6};
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(items.at(i).location, labels[i]);
            QCOMPARE(items.at(i).type, types[i]);
            QVERIFY(items.at(i).canDisable);
            QVERIFY(!items.at(i).hijacked);
        }
        QCOMPARE(items.at(1).command, QString("%SystemRoot%\\x.exe"));
        QCOMPARE(machine->registry().openHandleCount(), 0);
    }

    void oversizedAndTerminatedValues()
    {
        TestMachine machine;
        machine.setText(HkcuRun, "Big", "C:\\" + QString(3000, 'a') + ".exe");
        machine.setText(HkcuRun, "AfterBig", "C:\\Tools\\after.exe");
        machine.setText(HkcuRun, QString(1100, 'n'), "C:\\Tools\\long.exe");
        machine.setText(HkcuRun, "AfterLongName", "C:\\Tools\\name.exe");
        QByteArray withGarbage = win::registryTextData("C:\\Tools\\cut.exe");
        withGarbage += win::registryTextData("junk");
        setRaw(machine, HkcuRun, "Cut", win::RegSz, withGarbage);
        QByteArray unterminated = win::registryTextData("C:\\Tools\\bare.exe");
        unterminated.chop(2);
        setRaw(machine, HkcuRun, "Bare", win::RegSz, unterminated);

        const QVector<StartupFinding> items = scan();
        QCOMPARE(namesOf(items), QStringList({"AfterBig", "AfterLongName", "Cut", "Bare"}));
        QCOMPARE(items.at(2).command, QString("C:\\Tools\\cut.exe"));
        QCOMPARE(items.at(3).command, QString("C:\\Tools\\bare.exe"));
    }

    void scoresAndRiskLevels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("riskLevel");
        QTest::newRow("signed, quoted with switches") << "Good" << "\"C:\\Program Files\\Good\\good.exe\" --tray" << 100 << 0;
        QTest::newRow("signed, unquoted path with blanks") << "GoodHelper" << "C:\\Program Files\\Good App\\helper.exe /background" << 100 << 0;
        QTest::newRow("signed but a known name") << "BadRunSigned" << "\"C:\\Program Files\\Good\\good.exe\"" << 75 << 1;
        QTest::newRow("signed in a temporary folder") << "TempSigned" << "C:\\Users\\Tester\\AppData\\Local\\Temp\\signed.exe" << 75 << 1;
        QTest::newRow("unsigned at a trusted place") << "Plain" << "C:\\Program Files\\Plain\\plain.exe" << 60 << 1;
        QTest::newRow("unsigned, written with a variable") << "PlainVar" << "%ProgramFiles%\\Plain\\plain.exe -s" << 60 << 1;
        // Windows starts Run entries from a 64-bit process, where the variable
        // names the 64-bit program folder, not the one this program sees.
        QTest::newRow("variable names the 64-bit folder") << "GoodVar" << "%ProgramFiles%\\Good\\good.exe" << 100 << 0;
        QTest::newRow("trusted place, program missing") << "Gone" << "C:\\Program Files\\Gone\\gone.exe" << 50 << 1;
        QTest::newRow("known process name, unsigned") << "xBadProcx" << "C:\\Program Files\\Plain\\plain.exe" << 35 << 2;
        QTest::newRow("temporary folder") << "TempTool" << "C:\\Users\\Tester\\AppData\\Local\\Temp\\t.exe" << 25 << 2;
        QTest::newRow("temporary folder, forward slashes") << "TempSlash" << "C:/Users/Tester/AppData/Local/Temp/t.exe" << 25 << 2;
        QTest::newRow("unknown drive") << "Elsewhere" << "E:\\Apps\\e.exe" << 25 << 2;
        QTest::newRow("known name elsewhere") << "BadRun" << "E:\\Apps\\e.exe" << 0 << 2;
    }

    void scoresAndRiskLevels()
    {
        QFETCH(QString, name);
        QFETCH(QString, command);
        QFETCH(int, score);
        QFETCH(int, riskLevel);
        TestMachine machine;
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, {pattern("junk", {{"startup_names", QJsonArray{"BadRun"}},
                                                             {"process_names", QJsonArray{"badproc"}}})}));
        const QStringList trusted{"C:\\Program Files\\Good\\good.exe", "C:\\Program Files\\Good App\\helper.exe",
                                  "C:\\Users\\Tester\\AppData\\Local\\Temp\\signed.exe"};
        const QStringList unsignedPrograms{"C:\\Program Files\\Plain\\plain.exe", "C:\\Program Files (x86)\\Plain\\plain.exe",
                                           "C:\\Users\\Tester\\AppData\\Local\\Temp\\t.exe"};
        for (const QString& path : trusted + unsignedPrograms)
            machine.addFile(path);
        for (const QString& path : trusted)
            trustFile(machine, path);
        machine.setText(HkcuRun, name, command);

        const QVector<StartupFinding> items = scan();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().score, score);
        QCOMPARE(items.first().riskLevel, riskLevel);
        const QString labels[] = {"🟢 安全", "🟡 可疑", "🔴 高风险"};
        QCOMPARE(items.first().riskLabel, labels[riskLevel]);
        QCOMPARE(items.first().command, command);
    }

    void plantedProgramWinsOverWholeCommand()
    {
        TestMachine machine;
        const QString updater = "C:\\Program Files\\Common Files\\Updater\\upd.exe";
        machine.addFile(updater);
        trustFile(machine, updater);
        machine.setText(HklmRun, "Updater", updater);
        QCOMPARE(scan().first().score, 100);

        // Windows tries "C:\Program" before the whole unquoted command.
        machine.addFile("C:\\Program.exe");
        QCOMPARE(StartupLocationScanner::extractTargetPath(updater), QString("C:\\Program.exe"));
        QCOMPARE(scan().first().score, 60);
    }

    void knownNamesNeedTheStore()
    {
        TestMachine machine;
        machine.addFile("C:\\Program Files\\Good\\good.exe");
        trustFile(machine, "C:\\Program Files\\Good\\good.exe");
        machine.setText(HkcuRun, "BadRunSigned", "C:\\Program Files\\Good\\good.exe");
        QTemporaryDir signatures;
        QCOMPARE(scan().first().score, 100);
        QVERIFY(loadSignatures(signatures, {pattern("junk", {{"startup_names", QJsonArray{"badrun"}}})}));
        QCOMPARE(scan().first().score, 75);
    }

    void riskLevelThresholds()
    {
        for (const auto& [score, level] : std::initializer_list<std::pair<int, int>>{{0, 2}, {49, 2}, {50, 1}, {79, 1}, {80, 0}, {100, 0}})
            QCOMPARE(StartupLocationScanner::riskLevelForScore(score), level);
    }

    void extractTargetPath_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("target");
        QTest::newRow("empty") << "   " << "";
        QTest::newRow("quoted") << "  \"C:\\Program Files\\A B\\x.exe\" /min" << "C:\\Program Files\\A B\\x.exe";
        QTest::newRow("quote never closed") << "\"C:\\Tools\\x.exe" << "\"C:\\Tools\\x.exe";
        QTest::newRow("whole command is a file") << CommonStartup + "My App.lnk" << CommonStartup + "My App.lnk";
        QTest::newRow("existing program with switches") << "C:\\Program Files\\Good App\\helper.exe /s /q"
                                                        << "C:\\Program Files\\Good App\\helper.exe";
        QTest::newRow("shortest prefix first, .exe appended") << "C:\\Tools\\My App\\run.exe -x" << "C:\\Tools\\My.exe";
        QTest::newRow("variables are resolved for the test") << "%ProgramFiles%\\Plain\\plain.exe -s"
                                                             << "%ProgramFiles%\\Plain\\plain.exe";
        QTest::newRow("missing program with blanks") << "C:\\Program Files\\Gone\\gone.exe /s"
                                                     << "C:\\Program Files\\Gone\\gone.exe";
        QTest::newRow("extension must end a word") << "C:\\x.exeutil\\y.BAT arg" << "C:\\x.exeutil\\y.BAT";
        QTest::newRow("program on the search path") << "rundll32.exe shell32.dll,Control_RunDLL" << "rundll32.exe";
        QTest::newRow("no extension at all") << "notepad  readme" << "notepad";
        QTest::newRow("folder is not a program") << "C:\\Program Files\\Plain other" << "C:\\Program";
    }

    void extractTargetPath()
    {
        QFETCH(QString, command);
        QFETCH(QString, target);
        TestMachine machine;
        machine.addFile(CommonStartup + "My App.lnk", "C:\\Program Files\\Good\\good.exe\n");
        machine.addFile("C:\\Program Files\\Good App\\helper.exe");
        machine.addFile("C:\\Program Files (x86)\\Plain\\plain.exe");
        machine.addFile("C:\\Tools\\My.exe");
        machine.addFile("C:\\Tools\\My App\\run.exe");
        QCOMPARE(StartupLocationScanner::extractTargetPath(command), target);
    }

    void startupFolderEntriesResolveToThemselves()
    {
        TestMachine machine;
        QVERIFY(scan().isEmpty());
        machine.addFile(UserStartup + "user tool.cmd");   // the common folder is still missing
        QCOMPARE(scan().size(), 1);
        QCOMPARE(scan().first().type, 11);
        machine.addFile(CommonStartup + "Helper App.lnk", "C:\\Program Files\\Good\\good.exe\n");
        machine.addFile(CommonStartup + "Tool.exe.lnk", "C:\\Program Files\\Good\\good.exe\n");
        machine.addFile(CommonStartup + "notes.txt");
        machine.addFile(CommonStartup + "sync.VBS");
        machine.addFolder(CommonStartup + "Folder.exe");
        machine.addFile(UserStartup + "signed.exe");
        trustFile(machine, UserStartup + "signed.exe");

        const QVector<StartupFinding> items = scan();
        QCOMPARE(items.size(), 5);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(items.at(i).type, 10);
            QCOMPARE(items.at(i).location, QString("Common Startup"));
        }
        for (int i = 3; i < 5; ++i) {
            QCOMPARE(items.at(i).type, 11);
            QCOMPARE(items.at(i).location, QString("User Startup"));
        }
        // A file is named with its extension, as Windows names its state.
        const StartupFinding* helper = findByName(items, "Helper App.lnk");
        QVERIFY(helper);
        QCOMPARE(helper->command.toLower(), (CommonStartup + "Helper App.lnk").toLower());
        // The entry itself exists at a trusted place: suspicious at worst, not high risk.
        QCOMPARE(helper->score, 60);
        QCOMPARE(helper->riskLevel, 1);
        QVERIFY(helper->canDisable);
        QVERIFY(findByName(items, "Tool.exe.lnk"));
        QCOMPARE(findByName(items, "sync.VBS")->score, 60);
        QCOMPARE(findByName(items, "user tool.cmd")->score, 60);
        QCOMPARE(findByName(items, "signed.exe")->score, 100);
    }

    void winlogonAndAppInitHijacks_data()
    {
        QTest::addColumn<QString>("shell");
        QTest::addColumn<QString>("userinit");
        QTest::addColumn<QString>("appInit");
        QTest::addColumn<QStringList>("hijacks");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("clean") << "explorer.exe" << "C:\\Windows\\system32\\userinit.exe," << "" << QStringList() << QStringList();
        QTest::newRow("expected names among others") << "Explorer.exe, helper.exe" << "USERINIT.EXE, x.exe" << "   "
                                                     << QStringList() << QStringList();
        QTest::newRow("replaced shell") << "  evil.exe " << "C:\\Windows\\system32\\userinit.exe" << "<none>"
                                        << QStringList({"Shell"}) << QStringList({"evil.exe"});
        QTest::newRow("replaced userinit, dll injected") << "<none>" << "C:\\evil\\init.exe" << "  C:\\x.dll C:\\y.dll "
                                                         << QStringList({"Userinit", "AppInit_DLLs"})
                                                         << QStringList({"C:\\evil\\init.exe", "C:\\x.dll C:\\y.dll"});
        QTest::newRow("both replaced") << "shell.exe" << "init.exe" << "<none>" << QStringList({"Shell", "Userinit"})
                                       << QStringList({"shell.exe", "init.exe"});
    }

    void winlogonAndAppInitHijacks()
    {
        QFETCH(QString, shell);
        QFETCH(QString, userinit);
        QFETCH(QString, appInit);
        QFETCH(QStringList, hijacks);
        QFETCH(QStringList, commands);
        TestMachine machine;
        const QString none = "<none>";
        if (shell != none)
            machine.setText(Winlogon, "Shell", shell);
        if (userinit != none)
            machine.setText(Winlogon, "Userinit", userinit, win::RegExpandSz);
        machine.setText(Winlogon, "AutoRestartShell", "1");
        if (appInit != none)
            machine.setText(AppInit, "AppInit_DLLs", appInit);

        const QVector<StartupFinding> items = scan();
        QCOMPARE(namesOf(items), hijacks);
        for (int i = 0; i < items.size(); ++i) {
            const bool appInitDlls = items.at(i).name == "AppInit_DLLs";
            QCOMPARE(described(items.at(i)), QStringLiteral("%1|%2|%3|10|2|%4|hijacked|")
                                                 .arg(appInitDlls ? "AppInit_DLLs" : "Winlogon")
                                                 .arg(appInitDlls ? 9 : 7)
                                                 .arg(commands.at(i), HighRisk));
        }
    }

    void shellExtensionSummary_data()
    {
        QTest::addColumn<int>("values");
        QTest::addColumn<bool>("reported");
        QTest::newRow("60") << 60 << false;
        QTest::newRow("61") << 61 << true;
    }

    void shellExtensionSummary()
    {
        QFETCH(int, values);
        QFETCH(bool, reported);
        TestMachine machine;
        for (int i = 0; i < values; ++i)
            machine.setText(ShellApproved, QString("{%1}").arg(i, 8, 10, QChar('0')), "Extension");
        const QVector<StartupFinding> items = scan();
        QCOMPARE(items.size(), reported ? 1 : 0);
        if (!reported)
            return;
        QCOMPARE(items.first().name, QString("Shell Extensions"));
        QCOMPARE(described(items.first()),
                 QStringLiteral("Shell Extensions Approved|13|共 %1 个|40|2|%2||").arg(values).arg(HighRisk));
    }

    void scheduledTasksWithBootOrLogonTriggers()
    {
        TestMachine machine;
        auto& tasks = machine->system().tasks;
        tasks.append(task("\\AtLogon", win::TaskTriggerLogon));
        tasks.append(task("\\AtBoot", win::TaskTriggerBoot));
        tasks.append(task("\\Daily", win::TaskTriggerDaily));
        tasks.append(task("\\OnceAtTime", win::TaskTriggerTime));
        tasks.append(task("\\SwitchedOff", win::TaskTriggerLogon, false));
        tasks.append(task("\\Hidden", win::TaskTriggerBoot, true, true));
        tasks.append(task("\\Microsoft\\Windows\\Deep", win::TaskTriggerLogon));
        win::sim::SimTask mixed = task("\\Mixed", win::TaskTriggerTime);
        mixed.definition.triggers.append(win::TaskTrigger{win::TaskTriggerLogon, true});
        tasks.append(mixed);

        const QVector<StartupFinding> items = scan();
        QCOMPARE(namesOf(items), QStringList({"AtLogon", "AtBoot", "Hidden", "Mixed"}));
        for (const StartupFinding& item : items)
            QCOMPARE(described(item), QStringLiteral("%1|12|%1|25|2|%2||").arg(TaskLabel, HighRisk));
        QVERIFY(!win::ComApartment::isInitializedOnThisThread());
    }

    void scheduledTasksSkippedWithoutScheduler()
    {
        TestMachine machine;
        machine->system().tasks.append(task("\\AtLogon", win::TaskTriggerLogon));
        machine->system().taskConnectResult = win::E_AccessDenied;
        QVERIFY(scan().isEmpty());

        machine->system().taskConnectResult = win::S_Ok;
        {
            // COM already set up in another model on this thread: the location is skipped.
            win::ComApartment other(win::ComApartment::Model::ApartmentThreaded);
            QVERIFY(scan().isEmpty());
        }
        QCOMPARE(scan().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStartupLocationScanner)
#include "tst_StartupLocationScanner.moc"

#include "EngineLog.h"
#include "TestMachine.h"
#include "engine/OptimizeCore.h"

#include <QtTest>

using win::sim::SimTask;

namespace {

const QString Machine = QStringLiteral("HKEY_LOCAL_MACHINE\\");
const QString Winlogon = Machine + QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
const QString WindowsKey = Machine + QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
const QString Approved = Machine + QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved");
const QString Uninstall = Machine + QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");

// A clean Windows: Winlogon and Windows keys hold their usual text values.
void cleanWinlogon(TestMachine& machine)
{
    machine.setText(Winlogon, QStringLiteral("Shell"), QStringLiteral("explorer.exe"));
    machine.setText(Winlogon, QStringLiteral("Userinit"), QStringLiteral("C:\\Windows\\system32\\userinit.exe,"));
    machine.setDword(Winlogon, QStringLiteral("AutoRestartShell"), 1);
    machine.setText(WindowsKey, QStringLiteral("AppInit_DLLs"), QString());
    machine.setDword(WindowsKey, QStringLiteral("LoadAppInit_DLLs"), 0);
}

SimTask task(const QString& path, QVector<int> triggers, bool enabled = true)
{
    SimTask t;
    t.path = path;
    t.enabled = enabled;
    for (int type : triggers)
        t.definition.triggers << win::TaskTrigger{type, true};
    return t;
}

} // namespace

class EngineStartupCountTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineLog> m_log;

    int count()
    {
        OptimizeCore core;
        core.startOptimize();
        return core.startupItemsCount();
    }

private slots:
    void initTestCase() { m_log = std::make_unique<EngineLog>(); }

    // A clean Winlogon counts its texts (Shell, Userinit and the empty
    // AppInit_DLLs); a replaced value counts once more as a hijack.
    void hijacksCountTwice_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("Shell replaced") << Winlogon << "Shell" << "C:\\evil\\shell.exe" << 4;
        QTest::newRow("Shell beside Explorer") << Winlogon << "Shell" << "explorer.exe, C:\\evil\\shell.exe" << 3;
        QTest::newRow("Userinit replaced") << Winlogon << "Userinit" << "C:\\Windows\\SysWOW64\\uinit.exe," << 4;
        QTest::newRow("Userinit in capitals") << Winlogon << "Userinit" << "C:\\WINDOWS\\system32\\USERINIT.EXE," << 3;
        QTest::newRow("AppInit DLL") << WindowsKey << "AppInit_DLLs" << "C:\\evil\\hook.dll" << 4;
        QTest::newRow("AppInit blanks") << WindowsKey << "AppInit_DLLs" << "   " << 3;
    }

    void hijacksCountTwice()
    {
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, value);
        TestMachine machine;
        cleanWinlogon(machine);
        machine.setText(key, name, value);
        QTEST(count(), "expected");
    }

    void runKeysCountTextValuesOnly()
    {
        TestMachine machine;
        const QString run = QStringLiteral("\\Microsoft\\Windows\\CurrentVersion\\Run");
        machine.setText(Machine + QStringLiteral("SOFTWARE") + run, QStringLiteral("A"), QStringLiteral("a.exe"));
        machine.setText(Machine + QStringLiteral("SOFTWARE") + run, QStringLiteral("B"), QStringLiteral("%ProgramFiles%\\b.exe"), win::RegExpandSz);
        machine.setDword(Machine + QStringLiteral("SOFTWARE") + run, QStringLiteral("Number"), 1);
        machine->registry().setValue(Machine + QStringLiteral("SOFTWARE") + run, QStringLiteral("Huge"), win::RegSz,
                                     win::registryTextData(QString(5000, 'x')));
        machine.setText(Machine + QStringLiteral("SOFTWARE") + run, QStringLiteral("C"), QStringLiteral("c.exe"));
        machine.setText(Machine + QStringLiteral("SOFTWARE\\WOW6432Node") + run, QStringLiteral("D"), QStringLiteral("d.exe"));
        machine.setText(QStringLiteral("HKEY_CURRENT_USER\\Software") + run + QStringLiteral("Once"), QStringLiteral("E"), QStringLiteral("e.exe"));
        machine.setText(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"),
                        QStringLiteral("F"), QStringLiteral("f.exe"));
        // The oversized value is passed over; the one after it still counts.
        QCOMPARE(count(), 6);
        QVERIFY(m_log->contains(QStringLiteral("  开机自启扫描: 共发现 6 项，预计开机提速 36 秒")));
    }

    void approvedShellExtensions_data()
    {
        QTest::addColumn<int>("values");
        QTest::addColumn<int>("added");
        QTest::newRow("50") << 50 << 0;
        QTest::newRow("59") << 59 << 0;
        QTest::newRow("60") << 60 << 1;
        QTest::newRow("75") << 75 << 2;
    }

    void approvedShellExtensions()
    {
        QFETCH(int, values);
        TestMachine machine;
        for (int i = 0; i < values; ++i)
            machine.setText(Approved, QStringLiteral("{%1}").arg(i), QStringLiteral("extension"));
        QTEST(count(), "added");
    }

    void startupFoldersCountProgramFiles()
    {
        TestMachine machine;
        const QString common = QStringLiteral("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\");
        const QString user = QStringLiteral("C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\");
        machine.addFile(common + QStringLiteral("desktop.ini"));
        machine->files().setAttributes(common + QStringLiteral("desktop.ini"), win::FileAttributeHidden, win::FileAttributeHidden);
        machine.addFile(common + QStringLiteral("Tray.lnk"), "C:\\Tray\\tray.exe");
        machine.addFile(user + QStringLiteral("hidden.vbs"));
        machine->files().setAttributes(user + QStringLiteral("hidden.vbs"), win::FileAttributeHidden, win::FileAttributeHidden);
        machine.addFile(user + QStringLiteral("notes.txt"));
        machine.addFile(user + QStringLiteral("sub\\nested.exe"));
        QCOMPARE(count(), 2);
    }

    void bootAndLogonTasksOfTheRootFolder()
    {
        TestMachine machine;
        machine->system().tasks << task(QStringLiteral("\\Updater"), {win::TaskTriggerLogon, win::TaskTriggerBoot})
                                << task(QStringLiteral("\\Disabled"), {win::TaskTriggerLogon}, false)
                                << task(QStringLiteral("\\Nightly"), {win::TaskTriggerTime, win::TaskTriggerDaily})
                                << task(QStringLiteral("\\Vendor\\Agent"), {win::TaskTriggerBoot});
        machine->system().tasks.last().definition.hidden = true;
        machine->system().tasks << task(QStringLiteral("\\HiddenAgent"), {win::TaskTriggerBoot});
        machine->system().tasks.last().definition.hidden = true;
        QCOMPARE(count(), 3);
    }

    void windows7LooksAtNoTask()
    {
        TestMachine machine;
        machine.setWindowsVersion(6, 1, 7601);
        machine->system().tasks << task(QStringLiteral("\\Updater"), {win::TaskTriggerLogon});
        QCOMPARE(count(), 0);
    }

    void uninstallResidue()
    {
        TestMachine machine;
        machine.addFolder(QStringLiteral("C:\\Program Files\\Present"));
        auto entry = [&machine](const QString& key, const QString& name, const QString& value, quint32 type = win::RegSz) {
            machine.setText(Uninstall + key, name, value, type);
        };
        entry(QStringLiteral("Gone"), QStringLiteral("InstallLocation"), QStringLiteral("C:\\Program Files\\Gone"));
        entry(QStringLiteral("Present"), QStringLiteral("InstallLocation"), QStringLiteral("C:\\Program Files\\Present"));
        entry(QStringLiteral("System"), QStringLiteral("InstallLocation"), QStringLiteral("c:\\windows\\Vendor"));
        entry(QStringLiteral("Data"), QStringLiteral("InstallLocation"), QStringLiteral("C:\\PROGRAMDATA\\Vendor"));
        entry(QStringLiteral("Empty"), QStringLiteral("InstallLocation"), QString());
        entry(QStringLiteral("Empty"), QStringLiteral("InstallDir"), QStringLiteral("C:\\Program Files\\EmptyDir"));
        machine.setDword(Uninstall + QStringLiteral("NumberThenDir"), QStringLiteral("InstallLocation"), 7);
        entry(QStringLiteral("NumberThenDir"), QStringLiteral("InstallDir"), QStringLiteral("C:\\Program Files\\OldDir"));
        entry(QStringLiteral("Unexpanded"), QStringLiteral("InstallLocation"), QStringLiteral("%NOPE%\\Tool"));
        entry(QStringLiteral("Expanded"), QStringLiteral("InstallLocation"), QStringLiteral("%ProgramW6432%\\Removed"), win::RegExpandSz);
        machine.setText(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\UserApp"),
                        QStringLiteral("InstallLocation"), QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\UserApp"));
        machine.setText(Machine + QStringLiteral("SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old32"),
                        QStringLiteral("InstallLocation"), QStringLiteral("C:\\Program Files (x86)\\Old32"));
        OptimizeCore core;
        core.startOptimize();
        // Gone, NumberThenDir, Expanded, UserApp and Old32.
        QCOMPARE(core.scanReport().uninstallResidueCount, 5);
        QVERIFY(m_log->lines().last().endsWith(QStringLiteral("卸载残留 5 个")));
    }
};

QTEST_GUILESS_MAIN(EngineStartupCountTest)
#include "tst_engine_startup_count.moc"

#include "ManagerLog.h"
#include "TestMachine.h"
#include "common/StartupApproval.h"
#include "common/SystemInfo.h"
#include "maintenance/StartupManager.h"
#include "platform/ComApartment.h"
#include "platform/FileSystem.h"
#include "platform/RegistryKey.h"
#include "platform/sim/SignInStartup.h"

#include <QtTest>

using Place = win::sim::SignInStartup::Place;

namespace {

const QString HkcuRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString HklmRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString HklmRun32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString HkcuRunOnce = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const QString HklmRunOnce = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const QString Approved = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
const QString MachineApproved = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
const QString UserStartup = "C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
const QString CommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\";
const QString ReadLine = QStringLiteral("  [%1] 读取到 %2 项");

QByteArray stateValue(int first, int length = 12)
{
    QByteArray data(length, '\0');
    data[0] = char(first);
    return data;
}

QByteArray rawValue(TestMachine& machine, const QString& keyPath, const QString& name, quint32* type = nullptr)
{
    quint32 valueType = 0;
    QByteArray data;
    if (!machine->registry().value(keyPath, name, &valueType, &data))
        return "<missing>";
    if (type)
        *type = valueType;
    return data;
}

void setBinary(TestMachine& machine, const QString& keyPath, const QString& name, const QByteArray& data)
{
    machine->registry().setValue(keyPath, name, win::RegBinary, data);
}

// Each listed item as a line: "name|displayName|command|location|locationPath|flags".
QStringList describedAll(const QList<StartupItem>& items)
{
    QStringList lines;
    for (const StartupItem& item : items) {
        lines << QStringList{item.name, item.displayName, item.command, item.location, item.locationPath,
                             QString(item.recommendDisable ? "recommended" : "") + (item.disabled ? " disabled" : "")}
                     .join('|');
    }
    return lines;
}

// A shortcut of the simulated machine holds its target on its first line.
void addProgram(TestMachine& machine, const QString& path, const QString& description)
{
    machine.addFile(path, "MZ");
    win::sim::SimVersionResource resource;
    resource.strings.insert("FileDescription", description);
    machine->system().versionResources.insert(path, resource);
}

} // namespace

class TestStartupManager : public QObject
{
    Q_OBJECT

private slots:
    // The Run keys in the views the startup scanner reads (the machine's Run and
    // RunOnce keys in the 64-bit view, Run32 in the 32-bit one), text values of
    // each key itself only; RunOnce entries as they are; both Startup folders,
    // files only, hidden and system ones too (Windows starts them), but no dot
    // files and not the folder's desktop.ini, each named with its extension
    // and shown without it. Every location lists its own entries: a name may
    // stand in several.
    // Windows reads an odd first approval byte as switched off.
    void scanListsEveryLocation()
    {
        TestMachine machine;
        machine.setText(HkcuRun, "Shared", "C:\\user\\shared.exe");
        machine.setText(HkcuRun, "Expand", "%ProgramFiles%\\x.exe", win::RegExpandSz);
        machine.setDword(HkcuRun, "Number", 1);
        machine.setText(HkcuRun + "\\Nested", "Inner", "C:\\inner.exe");
        setBinary(machine, Approved + "Run", "Expand", stateValue(1));
        machine.setText(HklmRun, "SHARED", "C:\\machine\\shared.exe");
        machine.setText(HklmRun32, "Legacy", "C:\\Legacy\\legacy.exe");
        machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "Hidden32", "C:\\x.exe");
        machine.setText(HkcuRunOnce, "QQMusicUpdate", "C:\\Music\\update.exe");
        setBinary(machine, Approved + "Run", "QQMusicUpdate", stateValue(3));
        machine.setText(HklmRunOnce, "Setup", "C:\\Windows\\setup.exe");
        // A shortcut of the simulated machine holds its target on its first line.
        addProgram(machine, "C:\\Program Files\\Photo Studio\\studio.exe", "Photo Studio");
        addProgram(machine, "C:\\Program", "Wrong program");
        machine.addFile(UserStartup + "Studio.exe.lnk", "C:\\Program Files\\Photo Studio\\studio.exe");
        machine.addFile(UserStartup + "Notes.wps", "");   // tested by its name alone
        machine.addFile(UserStartup + "script.cmd", "echo WeChat");
        setBinary(machine, Approved + "StartupFolder", "script.cmd", stateValue(5));
        machine.addFile(UserStartup + "desktop.ini", "[.ShellClassInfo]");
        machine->files().setAttributes(UserStartup + "desktop.ini", win::FileAttributeHidden, win::FileAttributeHidden);
        machine.addFile(UserStartup + ".dotfile", "x");
        machine.addFile(UserStartup + "Quiet.bat", "start quiet.exe");
        machine->files().setAttributes(UserStartup + "Quiet.bat", win::FileAttributeHidden | win::FileAttributeSystem,
                                       win::FileAttributeHidden | win::FileAttributeSystem);
        machine.addFile(UserStartup + "Sub Folder\\inner.lnk", "C:\\Tools\\tool.exe");
        machine.addFile(CommonStartup + "Studio.exe.lnk", "C:\\Program Files\\Photo Studio\\studio.exe");
        machine.addFile(CommonStartup + "WeChat Helper.lnk", "C:\\Program Files\\Photo Studio\\studio.exe");
        ManagerLog log;

        StartupManager manager;
        const QString machineRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
        const QString userRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
        const QString user = "C:/Users/Tester/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/";
        const QString common = "C:/ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/";
        QCOMPARE(describedAll(manager.scanItems()), QStringList({
            "Expand|Expand|%ProgramFiles%\\x.exe|HKCU_Run|" + userRun + "Run| disabled",
            "Shared|Shared|C:\\user\\shared.exe|HKCU_Run|" + userRun + "Run|",
            "SHARED|SHARED|C:\\machine\\shared.exe|HKLM_Run|" + machineRun + "Run|",
            "Legacy|Legacy|C:\\Legacy\\legacy.exe|HKLM_Run32|"
                "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run|",
            "QQMusicUpdate|QQMusicUpdate|C:\\Music\\update.exe|HKCU_RunOnce|" + userRun + "RunOnce|",
            "Setup|Setup|C:\\Windows\\setup.exe|HKLM_RunOnce|" + machineRun + "RunOnce|",
            "Notes.wps|Notes|" + user + "Notes.wps|StartupFolder_User|" + user + "Notes.wps|",
            "Quiet.bat|Quiet|" + user + "Quiet.bat|StartupFolder_User|" + user + "Quiet.bat|",
            "script.cmd|script|" + user + "script.cmd|StartupFolder_User|" + user + "script.cmd| disabled",
            // The shortcut's target keeps its blanks.
            "Studio.exe.lnk|Photo Studio|" + user + "Studio.exe.lnk|StartupFolder_User|" + user + "Studio.exe.lnk|",
            "Studio.exe.lnk|Photo Studio|" + common + "Studio.exe.lnk|StartupFolder_Common|" + common + "Studio.exe.lnk|",
            "WeChat Helper.lnk|Photo Studio|" + common + "WeChat Helper.lnk|StartupFolder_Common|" + common + "WeChat Helper.lnk|recommended"}));
        QCOMPARE(log.lines().mid(0, 5), QStringList({ReadLine.arg("HKCU_Run").arg(2), ReadLine.arg("HKLM_Run").arg(1),
                                                     ReadLine.arg("HKLM_Run32").arg(1), ReadLine.arg("HKCU_RunOnce").arg(1),
                                                     ReadLine.arg("HKLM_RunOnce").arg(1)}));
        QVERIFY(log.contains(ReadLine.arg("StartupFolder_User").arg(4)));
        QVERIFY(log.contains(ReadLine.arg("StartupFolder_Common").arg(2)));
        QCOMPARE(machine->registry().openHandleCount(), 0);
        QVERIFY(!win::ComApartment::isInitializedOnThisThread());
    }

    void missingStartupFolders()
    {
        QJsonObject environment = TestMachine::defaultMachineJson().value("environment").toObject();
        environment.remove("APPDATA");
        TestMachine machine(QJsonObject{{"environment", environment}});
        ManagerLog log;

        StartupManager manager;
        QVERIFY(manager.scanItems().isEmpty());
        const QString missing = QStringLiteral("  [%1] 文件夹不存在: %2");
        QVERIFY(log.contains(missing.arg("StartupFolder_User", "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup")));
        QVERIFY(log.contains(missing.arg("StartupFolder_Common", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp")));
    }

    void approvalValueTransitions_data()
    {
        QTest::addColumn<QByteArray>("before");   // "<missing>": no value
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QByteArray>("after");    // equal to `before`: not written
        QTest::newRow("missing, disable") << QByteArray("<missing>") << false << stateValue(3);
        QTest::newRow("missing, enable") << QByteArray("<missing>") << true << stateValue(2);
        QTest::newRow("empty, disable") << QByteArray() << false << stateValue(3);
        QTest::newRow("3, enable") << stateValue(3) << true << stateValue(2);
        QTest::newRow("3, disable") << stateValue(3) << false << stateValue(7);
        QTest::newRow("2, enable") << stateValue(2) << true << stateValue(6);
        QTest::newRow("2, disable") << stateValue(2) << false << stateValue(3);
        QTest::newRow("other, enable") << stateValue(0x42) << true << stateValue(6);
        QTest::newRow("other, disable") << stateValue(0x42) << false << stateValue(7);
        QTest::newRow("Windows' 5, enable") << stateValue(5) << true << stateValue(6);
        QTest::newRow("time stamp kept") << QByteArray("\x02\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b", 12) << false
                                         << QByteArray("\x03\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b", 12);
        QTest::newRow("4 bytes keep their length") << QByteArray("\x06\x09\x09\x09") << false << QByteArray("\x07\x09\x09\x09");
        QTest::newRow("13 bytes are left alone") << stateValue(2, 13) << false << stateValue(2, 13);
    }

    void approvalValueTransitions()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, enable);
        QFETCH(QByteArray, after);
        TestMachine machine;
        if (before != "<missing>")
            setBinary(machine, Approved + "Run", "Entry", before);

        const StartupLocation& userRun = *StartupLocation::withManagerLabel("HKCU_Run");
        const bool written = after != before;
        QCOMPARE(StartupApproval::write(userRun, "Entry", enable), written);
        quint32 type = 0;
        QCOMPARE(rawValue(machine, Approved + "Run", "Entry", &type), after);
        QCOMPARE(type, quint32(win::RegBinary));
        QCOMPARE(StartupApproval(userRun, WindowsVersion::Win10).isOff("Entry"), bool(after.at(0) & 1));
    }

    void stateByLocationAndFullName_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("windows7");
        QTest::addColumn<QString>("subkey");
        QTest::addColumn<bool>("switchable");   // by an approval value
        QTest::newRow("user's Run key") << "HKCU_Run" << "Tool" << false << "Run" << true;
        QTest::newRow("32-bit machine Run key") << "HKLM_Run32" << "Tool" << false << "Run32" << true;
        QTest::newRow("common Startup folder") << "StartupFolder_Common" << "Tool.lnk" << false << "StartupFolder" << true;
        QTest::newRow("RunOnce keeps no state") << "HKCU_RunOnce" << "Tool" << false << "" << false;
        QTest::newRow("Windows 7 reads none") << "HKCU_Run" << "Tool" << true << "Run" << false;
    }

    // An entry's approval value is read and written where Windows reads it,
    // for its location and its full name only: "Tool.bat" beside "Tool.lnk",
    // and "Tool" in the user's Run key beside another location's, go on
    // starting. Where Windows reads no value, none is written and the
    // failure is logged.
    void stateByLocationAndFullName()
    {
        QFETCH(QString, location);
        QFETCH(QString, name);
        QFETCH(bool, windows7);
        QFETCH(QString, subkey);
        QFETCH(bool, switchable);
        const QMap<QString, QPair<QString, Place>> places = {
            {"HKCU_Run", {HkcuRun, Place::UserRun}}, {"HKLM_Run32", {HklmRun32, Place::MachineRun32}},
            {"HKCU_RunOnce", {HkcuRunOnce, Place::UserRunOnce}},
            {"StartupFolder_Common", {CommonStartup, Place::CommonStartupFolder}}};
        const Place place = places.value(location).second;
        TestMachine machine;
        if (windows7)
            machine.setWindowsVersion(6, 1, 7601);
        // Beside the entry stand others of its name, or in its folder of its base name.
        QVector<QPair<Place, QString>> others;
        if (location.startsWith("StartupFolder")) {
            machine.addFile(CommonStartup + name, "C:\\Tools\\tool.exe");
            machine.addFile(CommonStartup + "Tool.bat", "C:\\Tools\\tool.exe");
            others.append({place, "Tool.bat"});
        } else {
            for (const QString& label : {"HKCU_Run", "HKLM_Run32", "HKCU_RunOnce"}) {
                machine.setText(places.value(label).first, name, "C:\\Tools\\tool.exe");
                if (label != location)
                    others.append({places.value(label).second, name});
            }
        }
        const win::sim::SignInStartup windows(machine.machine());
        ManagerLog log;
        StartupManager manager;
        QCOMPARE(StartupManager::approvedSubkey(location), subkey);

        QCOMPARE(manager.setApproved(location, name, false), switchable);
        QCOMPARE(manager.isDisabled(location, name), switchable);
        QCOMPARE(windows.wouldStart(place, name), !switchable);
        QCOMPARE(log.contains(QStringLiteral("修改启动项失败: %1 [%2]").arg(name, location)), !switchable);
        for (const auto& other : others)
            QVERIFY(windows.wouldStart(other.first, other.second));
        QCOMPARE(manager.setApproved(location, name, true), switchable);
        QVERIFY(!manager.isDisabled(location, name));
        QVERIFY(windows.wouldStart(place, name));
    }

    // Windows' rule for a command line: a quoted path as it stands; an
    // unquoted one is cut before the first blank that ends an existing
    // program, or else after its first program extension.
    void exePathOfFollowsWindows_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("program");
        QTest::newRow("quoted, with arguments") << "\"C:\\Program Files\\App\\app.exe\" /tray" << "C:\\Program Files\\App\\app.exe";
        QTest::newRow("unquoted, with blanks") << "C:\\Program Files\\App\\app.exe /tray" << "C:\\Program Files\\App\\app.exe";
        QTest::newRow("missing program") << "  C:\\Missing Dir\\tool.exe -s" << "C:\\Missing Dir\\tool.exe";
        QTest::newRow("nothing") << "  " << "";
    }

    void exePathOfFollowsWindows()
    {
        QFETCH(QString, command);
        TestMachine machine;
        machine.addFile("C:\\Program Files\\App\\app.exe", "MZ");
        QTEST(StartupManager::exePathOf(command), "program");
    }

    // The state, the count and the log line change only with a written value;
    // a fresh scan reads the state back.
    void switchingChangesOnlyWhatWasWritten()
    {
        TestMachine machine;
        machine.setText(HkcuRun, "Alpha", "C:\\Tools\\alpha.exe");
        machine.setText(HklmRun, "Beta", "C:\\Tools\\beta.exe");
        machine.setText(HklmRun32, "Gamma", "C:\\Tools\\gamma.exe");
        machine.addFile(CommonStartup + "Tool.lnk", "C:\\Tools\\tool.exe");
        machine.setText(HkcuRun, "QQMusic", "C:\\Music\\qqmusic.exe");
        setBinary(machine, Approved + "Run", "QQMusic", stateValue(2, 16));   // more than the value we read
        machine.setText(HkcuRun, "WeChat", "C:\\WeChat\\wechat.exe");
        setBinary(machine, Approved + "Run", "WeChat", stateValue(2));
        StartupManager manager;
        QCOMPARE(manager.disableItems({"Alpha"}), 0);   // nothing scanned yet
        QVERIFY(!manager.isApplicable());

        ManagerLog log;
        manager.scanItems();
        QCOMPARE(log.lines().last(), QStringLiteral("扫描到 6 个启动项，其中 2 个可安全禁用，0 个已禁用"));
        log.mark();
        QCOMPARE(manager.disableItems({"alpha", "Beta", "Gamma", "Tool.lnk", "Unknown"}), 4);
        QCOMPARE(log.lines(), QStringList({QStringLiteral("已禁用启动项: Alpha [HKCU_Run]"), QStringLiteral("已禁用启动项: Beta [HKLM_Run]"),
                                           QStringLiteral("已禁用启动项: Gamma [HKLM_Run32]"),
                                           QStringLiteral("已禁用启动项: Tool.lnk [StartupFolder_Common]")}));

        log.mark();
        QCOMPARE(manager.disableItems({"Alpha"}), 0);   // already disabled: not written again
        QCOMPARE(manager.restoreItems({"Alpha", "Gamma"}), 2);
        QCOMPARE(log.lines(), QStringList({QStringLiteral("已恢复启动项: Alpha [HKCU_Run]"), QStringLiteral("已恢复启动项: Gamma [HKLM_Run32]")}));

        log.mark();
        QCOMPARE(manager.recommendedCount(), 2);
        QCOMPARE(manager.disableAllRecommended(), 1);
        QCOMPARE(log.lines(), QStringList({QStringLiteral("修改启动项失败: QQMusic [HKCU_Run]"), QStringLiteral("已禁用启动项: WeChat [HKCU_Run]")}));
        QCOMPARE(manager.recommendedCount(), 1);

        QStringList disabled;
        for (const StartupItem& item : StartupManager().scanItems())
            if (item.disabled)
                disabled << item.name;
        QCOMPARE(disabled, QStringList({"WeChat", "Beta", "Tool.lnk"}));
        QVERIFY(manager.isApplicable());
        machine->system().dnsDomain = "corp.example.com";
        QVERIFY(!manager.isApplicable());
    }

    void legacyRegistryBackups_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("backup");     // the command the backup holds
        QTest::addColumn<QString>("live");       // "Key|Name": a live value that must stay as it is
        QTest::addColumn<QByteArray>("state");   // the approval value before the scan
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<bool>("windows7");
        QTest::addColumn<bool>("migrated");
        const QString command = "C:\\old.exe";
        QTest::newRow("switched off in place") << "HKCU_Run" << "\"C:\\Old App\\old.exe\" -tray" << "" << QByteArray() << true << false << true;
        QTest::newRow("machine Run key") << "HKLM_Run" << command << "" << QByteArray() << true << false << true;
        QTest::newRow("Windows 7: into the backup") << "HKLM_Run32" << command << "" << QByteArray() << true << true << true;
        QTest::newRow("another location's live value") << "HKLM_Run" << command << HkcuRun + "|OLD" << QByteArray() << true << false << true;
        QTest::newRow("empty backup left") << "HKLM_Run32" << "" << "" << QByteArray() << true << false << false;
        // "Old.velantrix_bak" sorts before "old": the registry finds the live value.
        QTest::newRow("live value in the same key") << "HKCU_Run" << command << HkcuRun + "|old" << QByteArray() << true << false << false;
        // Without the disabled state the command must not come back enabled.
        QTest::newRow("state cannot be written") << "HKCU_Run" << command << "" << stateValue(2, 20) << true << false << false;
        QTest::newRow("machine key as a user") << "HKLM_Run" << command << "" << QByteArray() << false << false << false;
    }

    // A backup "Old.velantrix_bak" of an earlier version, which Windows runs
    // as it runs every Run value, is switched off as "Old" with its type where
    // Windows reads the state (on Windows 7 in the program's backup), and
    // listed switched off from the next scan on; it never replaces a live
    // entry and never comes back switched on.
    void legacyRegistryBackups()
    {
        QFETCH(QString, location);
        QFETCH(QString, backup);
        QFETCH(QString, live);
        QFETCH(QByteArray, state);
        QFETCH(bool, administrator);
        QFETCH(bool, windows7);
        QFETCH(bool, migrated);
        const QMap<QString, QPair<QString, Place>> keys = {{"HKCU_Run", {HkcuRun, Place::UserRun}},
                                                           {"HKLM_Run", {HklmRun, Place::MachineRun}},
                                                           {"HKLM_Run32", {HklmRun32, Place::MachineRun32}}};
        const QString key = keys.value(location).first;
        const Place place = keys.value(location).second;
        const QString approvalKey = (location == "HKCU_Run" ? Approved : MachineApproved) + (location == "HKLM_Run32" ? "Run32" : "Run");
        TestMachine machine;
        if (windows7)
            machine.setWindowsVersion(6, 1, 7601);
        machine->system().administrator = administrator;
        machine.setText(key, "Old.velantrix_bak", backup, win::RegExpandSz);
        if (!live.isEmpty())
            machine.setText(live.section('|', 0, 0), live.section('|', 1), "C:\\new.exe");
        if (!state.isEmpty())
            setBinary(machine, approvalKey, "Old", state);
        ManagerLog log;

        StartupManager manager;
        manager.scanItems();
        QVERIFY(log.contains(QStringLiteral("迁移旧版 .velantrix_bak 启动项: Old [%1]").arg(location)));
        QCOMPARE(machine.hasValue(key, "Old.velantrix_bak"), !migrated);
        if (!live.isEmpty())
            QCOMPARE(machine.text(live.section('|', 0, 0), live.section('|', 1)), QStringLiteral("C:\\new.exe"));
        if (!migrated) {
            QVERIFY(live.section('|', 0, 0) == key || !machine.hasValue(key, "Old"));
            QCOMPARE(rawValue(machine, approvalKey, "Old"), state.isEmpty() ? QByteArray("<missing>") : state);
            return;
        }
        QVERIFY(!win::sim::SignInStartup(machine.machine()).wouldStart(place, "Old"));
        QCOMPARE(machine.hasValue(key, "Old"), !windows7);
        const QList<StartupItem> next = StartupManager().scanItems();
        const auto listed = std::find_if(next.begin(), next.end(), [&](const StartupItem& item) {
            return item.location == location && item.name == "Old";
        });
        QVERIFY(listed != next.end());
        QVERIFY(listed->disabled);
        QCOMPARE(listed->command, backup);
    }

    void legacyMigrationReadsItsWritesBack_data()
    {
        QTest::addColumn<QString>("guarded");     // the key a security product's registry filter keeps
        QTest::addColumn<QByteArray>("state");    // the approval value before the scan
        QTest::newRow("the approval value stays on") << Approved + "Run" << stateValue(2);
        QTest::newRow("the command is not written") << HkcuRun << QByteArray();
    }

    // A write that answers success but stores something else removes no
    // backup: the command stays in the machine, and the entry does not start.
    void legacyMigrationReadsItsWritesBack()
    {
        QFETCH(QString, guarded);
        QFETCH(QByteArray, state);
        TestMachine machine(QJsonObject{{"registryFilter", QJsonObject{{"ignoresWritesIn", QJsonArray{guarded}}}}});
        machine.setText(HkcuRun, "Old.velantrix_bak", "C:\\old.exe");
        if (!state.isEmpty())
            setBinary(machine, Approved + "Run", "Old", state);

        StartupManager().scanItems();
        QCOMPARE(machine.text(HkcuRun, "Old.velantrix_bak"), QStringLiteral("C:\\old.exe"));
        QVERIFY(!win::sim::SignInStartup(machine.machine()).wouldStart(Place::UserRun, "Old"));
    }

    // A backup file goes back to its plain name in the same scan, disabled and
    // recommended; never over a live file, and only once its state is written.
    void legacyFolderBackups()
    {
        TestMachine machine;
        addProgram(machine, "C:\\Tools\\tool.exe", "Tool Deluxe");
        machine.addFile(UserStartup + "Tool.lnk.velantrix_bak", "C:\\Tools\\tool.exe");
        machine.addFile(UserStartup + "Keep.lnk", "C:\\Tools\\keep.exe");
        machine.addFile(UserStartup + "Keep.lnk.velantrix_bak", "C:\\Tools\\old-keep.exe");
        machine.addFile(CommonStartup + "Blocked.lnk.velantrix_bak", "C:\\Tools\\blocked.exe");
        setBinary(machine, MachineApproved + "StartupFolder", "Blocked.lnk", stateValue(2, 13));
        ManagerLog log;

        StartupManager manager;
        const QString user = "C:/Users/Tester/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/";
        QCOMPARE(describedAll(manager.scanItems()),
                 QStringList({"Tool.lnk|Tool|" + user + "Tool.lnk|StartupFolder_User|" + user + "Tool.lnk|recommended disabled",
                              "Keep.lnk|Keep|" + user + "Keep.lnk|StartupFolder_User|" + user + "Keep.lnk|"}));
        QVERIFY(log.contains(QStringLiteral("  [StartupFolder_User] 迁移bak并禁用: Tool.lnk")));
        QVERIFY(log.contains(ReadLine.arg("StartupFolder_User").arg(2)));
        QCOMPARE(rawValue(machine, Approved + "StartupFolder", "Tool.lnk"), stateValue(3));
        QVERIFY(!win::pathExists(UserStartup + "Tool.lnk.velantrix_bak"));
        QVERIFY(win::pathExists(UserStartup + "Keep.lnk.velantrix_bak"));
        QVERIFY(!machine.hasValue(Approved + "StartupFolder", "Keep.lnk"));
        QVERIFY(win::pathExists(CommonStartup + "Blocked.lnk.velantrix_bak"));
        QVERIFY(!win::pathExists(CommonStartup + "Blocked.lnk"));
    }

    // Windows 7 reads no approval value: a backup file goes into the program's
    // backup instead of back to its name, so it stays off, and is listed from there.
    void legacyFolderBackupsOnWindows7()
    {
        TestMachine machine;
        machine.setWindowsVersion(6, 1, 7601);
        machine.addFile(UserStartup + "Tool.lnk.velantrix_bak", "C:\\Tools\\tool.exe");
        const QList<StartupItem> items = StartupManager().scanItems();
        QCOMPARE(items.size(), 1);
        QVERIFY(items.first().name == "Tool.lnk" && items.first().disabled);
        QVERIFY(!win::pathExists(UserStartup + "Tool.lnk.velantrix_bak"));
        QVERIFY(!win::sim::SignInStartup(machine.machine()).wouldStart(Place::UserStartupFolder, "Tool.lnk"));
    }

    void recommendation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("recommended");
        QTest::newRow("known name in any case") << "BAIDUNETDISK" << "" << true;
        QTest::newRow("inside a name") << "MyOneDriveSync" << "" << true;
        QTest::newRow("in the command") << "Helper" << "C:\\Program Files\\Thunder\\helper.exe" << true;
        QTest::newRow("TIM inside Runtime") << "Helper" << "C:\\Java Runtime\\helper.exe" << true;
        QTest::newRow("Chinese name") << QString::fromUtf8("向日葵远程") << "" << true;
        QTest::newRow("unknown") << "SecurityHealth" << "C:\\Windows\\System32\\SecurityHealthSystray.exe" << false;
        QTest::newRow("empty") << "" << "" << false;
    }

    void recommendation()
    {
        QFETCH(QString, name);
        QFETCH(QString, command);
        QTEST(StartupManager().isRecommendedToDisable(name, command), "recommended");
    }

    void fileDescriptionFromVersionResources_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("description");
        QTest::newRow("quoted program") << "\"C:\\Program Files\\Cloud\\cloud.exe\" --silent" << QString::fromUtf8("云盘助手");
        QTest::newRow("unquoted program with blanks") << "C:\\Program Files\\Cloud\\cloud.exe /s" << QString::fromUtf8("云盘助手");
        QTest::newRow("environment variable") << "%ProgramW6432%\\Cloud\\cloud.exe" << QString::fromUtf8("云盘助手");
        QTest::newRow("description trimmed") << "C:\\Tools\\padded.exe" << "Padded";
        QTest::newRow("no version resource") << "C:\\Tools\\bare.exe" << "";
        QTest::newRow("no description") << "C:\\Tools\\nameless.exe" << "";
        QTest::newRow("missing file") << "C:\\Tools\\gone.exe" << "";
        QTest::newRow("Windows' own program") << "%windir%\\system32\\SecurityHealthSystray.exe"
                                              << "Windows Security notification icon";
    }

    void fileDescriptionFromVersionResources()
    {
        QFETCH(QString, command);
        TestMachine machine;
        addProgram(machine, "C:\\Program Files\\Cloud\\cloud.exe", QString::fromUtf8("云盘助手"));
        addProgram(machine, "C:\\Tools\\padded.exe", "  Padded \t");
        addProgram(machine, "C:\\Windows\\System32\\SecurityHealthSystray.exe", "Windows Security notification icon");
        machine.addFile("C:\\Tools\\bare.exe", "MZ");
        machine.addFile("C:\\Tools\\nameless.exe", "MZ");
        machine->system().versionResources.insert("C:\\Tools\\nameless.exe", win::sim::SimVersionResource());
        win::sim::SimVersionResource gone;
        gone.strings.insert("FileDescription", "Gone");
        machine->system().versionResources.insert("C:\\Tools\\gone.exe", gone);

        QTEST(StartupManager::fileDescription(command), "description");
    }
};

QTEST_GUILESS_MAIN(TestStartupManager)
#include "tst_StartupManager.moc"

#include "LogFileLines.h"
#include "TestMachine.h"
#include "common/FileLogger.h"
#include "maintenance/StartupManager.h"
#include "platform/ComApartment.h"
#include "platform/FileSystem.h"
#include "platform/RegistryKey.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString HkcuRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString HklmRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString HklmRun32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString HkcuRunOnce = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const QString HklmRunOnce = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const QString Approved = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
const QString UserStartup = "C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
const QString CommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\";

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray data;
    for (int v : values)
        data.append(char(v));
    return data;
}

QByteArray stateValue(int first, int length = 12)
{
    QByteArray data(length, '\0');
    data[0] = char(first);
    return data;
}

QByteArray rawValue(TestMachine& machine, const QString& keyPath, const QString& name)
{
    quint32 type = 0;
    QByteArray data;
    return machine->registry().value(keyPath, name, &type, &data) ? data : QByteArray("<missing>");
}

void setBinary(TestMachine& machine, const QString& keyPath, const QString& name, const QByteArray& data)
{
    machine->registry().setValue(keyPath, name, win::RegBinary, data);
}

// One listed item as a line: "name|displayName|command|location|locationPath|flags".
QString described(const StartupItem& item)
{
    return QStringList{item.name, item.displayName, item.command, item.location, item.locationPath,
                       QString(item.recommendDisable ? "recommended" : "") + (item.disabled ? " disabled" : "")}
        .join('|');
}

const StartupItem* findItem(const QList<StartupItem>& items, const QString& name)
{
    for (const StartupItem& item : items) {
        if (item.name == name)
            return &item;
    }
    return nullptr;
}

QStringList namesOf(const QList<StartupItem>& items)
{
    QStringList names;
    for (const StartupItem& item : items)
        names << item.name;
    return names;
}

// A shortcut of the simulated machine holds its target on its first line.
void addShortcut(TestMachine& machine, const QString& path, const QString& target)
{
    machine.addFile(path, target.toUtf8());
}

void addProgram(TestMachine& machine, const QString& path, const QString& description)
{
    machine.addFile(path, "MZ");
    win::sim::SimVersionResource resource;
    resource.strings.insert("FileDescription", description);
    resource.strings.insert("ProductName", "Product");
    machine->system().versionResources.insert(path, resource);
}

} // namespace

class TestStartupManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void approvalValueTransitions_data();
    void approvalValueTransitions();
    void disableAndRestoreChangeOnlyWhatWasWritten();
    void failedApprovalWriteIsReported();
    void runKeysAreReadInTheirOwnViews();
    void namesAreDeduplicatedWithoutRegardToCase();
    void onlyTextValuesOfTheKeyItselfAreEntries();
    void runOnceEntriesAreListedAsTheyAre();
    void startupFolders();
    void missingStartupFolders();
    void legacyRegistryBackups();
    void legacyRegistryBackupNeverReplacesALiveValue();
    void legacyRegistryBackupWritesTheStateFirst();
    void legacyFolderBackups();
    void recommendation_data();
    void recommendation();
    void exePathOf_data();
    void exePathOf();
    void fileDescriptionFromVersionResources_data();
    void fileDescriptionFromVersionResources();
    void shortcutTargetsKeepTheirBlanks();
    void summaryLineAndApplicability();

private:
    QTemporaryDir m_logDir;
};

void TestStartupManager::initTestCase()
{
    FileLogger::instance()->init(m_logDir.path());
    QVERIFY(!FileLogger::instance()->logFilePath().isEmpty());
}

void TestStartupManager::approvalValueTransitions_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("enable");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("written");

    QTest::newRow("missing, disable") << false << QByteArray() << false << stateValue(3) << true;
    QTest::newRow("missing, enable") << false << QByteArray() << true << stateValue(2) << true;
    QTest::newRow("empty, disable") << true << QByteArray() << false << stateValue(3) << true;
    QTest::newRow("empty, enable") << true << QByteArray() << true << stateValue(2) << true;
    QTest::newRow("3, enable") << true << stateValue(3) << true << stateValue(2) << true;
    QTest::newRow("3, disable") << true << stateValue(3) << false << stateValue(7) << true;
    QTest::newRow("2, enable") << true << stateValue(2) << true << stateValue(6) << true;
    QTest::newRow("2, disable") << true << stateValue(2) << false << stateValue(3) << true;
    QTest::newRow("6, disable") << true << stateValue(6) << false << stateValue(7) << true;
    QTest::newRow("7, enable") << true << stateValue(7) << true << stateValue(6) << true;
    QTest::newRow("other, enable") << true << stateValue(0x42) << true << stateValue(6) << true;
    QTest::newRow("other, disable") << true << stateValue(0x42) << false << stateValue(7) << true;
    QTest::newRow("time stamp kept") << true << bytes({2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) << false
                                     << bytes({3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) << true;
    QTest::newRow("4 bytes keep their length") << true << bytes({6, 9, 9, 9}) << false << bytes({7, 9, 9, 9}) << true;
    QTest::newRow("1 byte") << true << bytes({3}) << true << bytes({2}) << true;
    QTest::newRow("13 bytes are left alone") << true << stateValue(2, 13) << false << stateValue(2, 13) << false;
}

void TestStartupManager::approvalValueTransitions()
{
    QFETCH(bool, existing);
    QFETCH(QByteArray, before);
    QFETCH(bool, enable);
    QFETCH(QByteArray, after);
    QFETCH(bool, written);

    TestMachine machine;
    if (existing)
        setBinary(machine, Approved + "Run", "Entry", before);
    LogFileLines log(FileLogger::instance()->logFilePath());

    StartupManager manager;
    QCOMPARE(manager.setApproved("HKCU_Run", "Entry", enable), written);
    QCOMPARE(rawValue(machine, Approved + "Run", "Entry"), after);
    quint32 type = 0;
    QByteArray data;
    QVERIFY(machine->registry().value(Approved + "Run", "Entry", &type, &data));
    QCOMPARE(type, quint32(win::RegBinary));
    QCOMPARE(log.lines(), written ? QStringList() : QStringList{QStringLiteral("修改启动项失败: %1 [%2]").arg("Entry", "HKCU_Run")});
    QCOMPARE(manager.isDisabled("HKCU_Run", "Entry"), after.at(0) == 3 || after.at(0) == 7);
}

void TestStartupManager::disableAndRestoreChangeOnlyWhatWasWritten()
{
    TestMachine machine;
    machine.setText(HkcuRun, "Alpha", "C:\\Tools\\alpha.exe");
    machine.setText(HklmRun, "Beta", "C:\\Tools\\beta.exe");
    machine.setText(HklmRun32, "Gamma", "C:\\Tools\\gamma.exe");
    machine.addFile(CommonStartup + "Tool.lnk", "C:\\Tools\\tool.exe");
    StartupManager manager;
    LogFileLines log(FileLogger::instance()->logFilePath());

    QCOMPARE(manager.disableItems({"Alpha"}), 0);   // nothing scanned yet
    QVERIFY(!machine.hasValue(Approved + "Run", "Alpha"));

    manager.scanItems();
    log.mark();
    QCOMPARE(manager.disableItems({"alpha", "Beta", "Gamma", "Tool", "Unknown"}), 4);
    QCOMPARE(log.lines(), QStringList({QStringLiteral("已禁用启动项: %1 [%2]").arg("Alpha", "HKCU_Run"), QStringLiteral("已禁用启动项: %1 [%2]").arg("Beta", "HKLM_Run"),
                                       QStringLiteral("已禁用启动项: %1 [%2]").arg("Gamma", "HKLM_Run32"), QStringLiteral("已禁用启动项: %1 [%2]").arg("Tool", "StartupFolder_Common")}));
    QCOMPARE(rawValue(machine, Approved + "Run", "Alpha"), stateValue(3));
    QCOMPARE(rawValue(machine, Approved + "Run", "Beta"), stateValue(3));
    QCOMPARE(rawValue(machine, Approved + "Run32", "Gamma"), stateValue(3));
    QCOMPARE(rawValue(machine, Approved + "StartupFolder", "Tool"), stateValue(3));
    QCOMPARE(manager.items().size(), 4);
    for (const StartupItem& item : manager.items())
        QVERIFY(item.disabled);

    // Already disabled: no second write, no count.
    log.mark();
    QCOMPARE(manager.disableItems({"Alpha"}), 0);
    QCOMPARE(rawValue(machine, Approved + "Run", "Alpha"), stateValue(3));
    QCOMPARE(log.lines(), QStringList());

    QCOMPARE(manager.restoreItems({"Alpha", "Gamma"}), 2);
    QCOMPARE(log.lines(), QStringList({QStringLiteral("已恢复启动项: %1 [%2]").arg("Alpha", "HKCU_Run"), QStringLiteral("已恢复启动项: %1 [%2]").arg("Gamma", "HKLM_Run32")}));
    QCOMPARE(rawValue(machine, Approved + "Run", "Alpha"), stateValue(2));
    QCOMPARE(rawValue(machine, Approved + "Run32", "Gamma"), stateValue(2));
    QCOMPARE(manager.restoreItems({"Alpha"}), 0);

    // A fresh manager reads the state back from the registry.
    StartupManager fresh;
    const QList<StartupItem> items = fresh.scanItems();
    QVERIFY(!findItem(items, "Alpha")->disabled);
    QVERIFY(findItem(items, "Beta")->disabled);
    QVERIFY(!findItem(items, "Gamma")->disabled);
    QVERIFY(findItem(items, "Tool")->disabled);
}

void TestStartupManager::failedApprovalWriteIsReported()
{
    TestMachine machine;
    machine.setText(HkcuRun, "QQMusic", "C:\\Music\\qqmusic.exe");
    machine.setText(HkcuRun, "WeChat", "C:\\WeChat\\wechat.exe");
    setBinary(machine, Approved + "Run", "QQMusic", stateValue(2, 16));   // more than the value we read
    StartupManager manager;
    manager.scanItems();
    QCOMPARE(manager.recommendedCount(), 2);
    LogFileLines log(FileLogger::instance()->logFilePath());

    QCOMPARE(manager.disableAllRecommended(), 1);
    QCOMPARE(log.lines(), QStringList({QStringLiteral("修改启动项失败: %1 [%2]").arg("QQMusic", "HKCU_Run"), QStringLiteral("已禁用启动项: %1 [%2]").arg("WeChat", "HKCU_Run")}));
    QVERIFY(!findItem(manager.items(), "QQMusic")->disabled);
    QVERIFY(findItem(manager.items(), "WeChat")->disabled);
    QCOMPARE(rawValue(machine, Approved + "Run", "QQMusic"), stateValue(2, 16));
    QCOMPARE(manager.recommendedCount(), 1);
}

void TestStartupManager::runKeysAreReadInTheirOwnViews()
{
    TestMachine machine;
    machine.setText(HklmRun, "Native", "C:\\Program Files\\Native\\native.exe");
    machine.setText(HklmRun32, "Legacy", "C:\\Program Files (x86)\\Legacy\\legacy.exe");
    machine.setText(HklmRunOnce, "Setup", "C:\\Windows\\setup.exe");
    machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "Hidden32",
                    "C:\\x.exe");
    LogFileLines log(FileLogger::instance()->logFilePath());

    StartupManager manager;
    const QList<StartupItem> items = manager.scanItems();
    QCOMPARE(items.size(), 3);
    QCOMPARE(described(items.at(0)), QString("Native|Native|C:\\Program Files\\Native\\native.exe|HKLM_Run|"
                                             "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run|"));
    QCOMPARE(described(items.at(1)), QString("Legacy|Legacy|C:\\Program Files (x86)\\Legacy\\legacy.exe|HKLM_Run32|"
                                             "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run|"));
    QCOMPARE(described(items.at(2)), QString("Setup|Setup|C:\\Windows\\setup.exe|HKLM_RunOnce|"
                                             "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce|"));
    QCOMPARE(log.lines().mid(0, 5), QStringList({QStringLiteral("  [%1] 读取到 %2 项").arg("HKCU_Run").arg(0), QStringLiteral("  [%1] 读取到 %2 项").arg("HKLM_Run").arg(1),
                                  QStringLiteral("  [%1] 读取到 %2 项").arg("HKLM_Run32").arg(1), QStringLiteral("  [%1] 读取到 %2 项").arg("HKCU_RunOnce").arg(0),
                                  QStringLiteral("  [%1] 读取到 %2 项").arg("HKLM_RunOnce").arg(1)}));
    QCOMPARE(machine->registry().openHandleCount(), 0);
}

void TestStartupManager::namesAreDeduplicatedWithoutRegardToCase()
{
    TestMachine machine;
    machine.setText(HkcuRun, "Shared", "C:\\user\\shared.exe");
    machine.setText(HklmRun, "SHARED", "C:\\machine\\shared.exe");
    machine.setText(HklmRun, "Both", "C:\\machine\\both64.exe");
    machine.setText(HklmRun32, "both", "C:\\machine\\both32.exe");
    machine.setText(HkcuRunOnce, "shared", "C:\\once.exe");
    machine.addFile(UserStartup + "shared.lnk", "C:\\folder\\shared.exe");
    machine.addFile(UserStartup + "Folder.lnk", "C:\\folder\\user.exe");
    machine.addFile(CommonStartup + "FOLDER.bat", "@echo off");

    StartupManager manager;
    const QList<StartupItem> items = manager.scanItems();
    QCOMPARE(namesOf(items), QStringList({"Shared", "Both", "Folder"}));
    QCOMPARE(items.at(0).location, QString("HKCU_Run"));
    QCOMPARE(items.at(1).command, QString("C:\\machine\\both64.exe"));
    QCOMPARE(items.at(2).location, QString("StartupFolder_User"));
}

void TestStartupManager::onlyTextValuesOfTheKeyItselfAreEntries()
{
    TestMachine machine;
    machine.setText(HkcuRun, "Plain", "C:\\plain.exe");
    machine.setText(HkcuRun, "Expand", "%ProgramFiles%\\x.exe", win::RegExpandSz);
    machine.setDword(HkcuRun, "Number", 1);
    machine.setText(HkcuRun + "\\Nested", "Inner", "C:\\inner.exe");
    machine.setText(HkcuRun + "\\Nested\\Deeper", "Deepest", "C:\\deepest.exe");

    StartupManager manager;
    QMap<QString, QString> values = manager.readRunKey(HkcuRun, "HKCU_Run");
    QCOMPARE(values.keys(), QStringList({"Expand", "Plain"}));
    QCOMPARE(values.value("Expand"), QString("%ProgramFiles%\\x.exe"));
    QCOMPARE(namesOf(manager.scanItems()), QStringList({"Expand", "Plain"}));
    QVERIFY(manager.readRunKey(HkcuRun + "\\Missing", "HKCU_Run").isEmpty());
}

void TestStartupManager::runOnceEntriesAreListedAsTheyAre()
{
    TestMachine machine;
    machine.setText(HkcuRunOnce, "QQMusicUpdate", "C:\\Music\\update.exe");
    setBinary(machine, Approved + "Run", "QQMusicUpdate", stateValue(3));
    addProgram(machine, "C:\\Music\\update.exe", "Updater");

    StartupManager manager;
    const QList<StartupItem> items = manager.scanItems();
    QCOMPARE(items.size(), 1);
    QCOMPARE(described(items.at(0)), QString("QQMusicUpdate|QQMusicUpdate|C:\\Music\\update.exe|HKCU_RunOnce|"
                                             "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce|"));
}

void TestStartupManager::startupFolders()
{
    TestMachine machine;
    addProgram(machine, "C:\\Tools\\tool.exe", "Tool Deluxe");
    addShortcut(machine, UserStartup + "Tool.exe.lnk", "C:\\Tools\\tool.exe");
    addShortcut(machine, UserStartup + "Broken.lnk", "not a shortcut");
    machine.addFile(UserStartup + "script.cmd", "echo WeChat");
    machine.addFile(UserStartup + "desktop.ini", "[.ShellClassInfo]");
    machine->files().setAttributes(UserStartup + "desktop.ini", win::FileAttributeHidden, win::FileAttributeHidden);
    machine.addFile(UserStartup + ".dotfile", "x");
    machine.addFolder(UserStartup + "Sub Folder");
    machine.addFile(UserStartup + "Sub Folder\\inner.lnk", "C:\\Tools\\tool.exe");
    addShortcut(machine, CommonStartup + "WeChat Helper.lnk", "C:\\Tools\\tool.exe");
    setBinary(machine, Approved + "StartupFolder", "script", stateValue(7));
    LogFileLines log(FileLogger::instance()->logFilePath());

    StartupManager manager;
    const QList<StartupItem> items = manager.scanItems();
    const QString user = "C:/Users/Tester/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/";
    const QString common = "C:/ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/";
    QCOMPARE(items.size(), 4);
    QCOMPARE(described(items.at(0)), "Broken|Broken|" + user + "Broken.lnk|StartupFolder_User|" + user + "Broken.lnk|");
    QCOMPARE(described(items.at(1)), "script|script|" + user + "script.cmd|StartupFolder_User|" + user + "script.cmd| disabled");
    QCOMPARE(described(items.at(2)), "Tool.exe|Tool Deluxe|" + user + "Tool.exe.lnk|StartupFolder_User|" + user + "Tool.exe.lnk|");
    QCOMPARE(described(items.at(3)), "WeChat Helper|Tool Deluxe|" + common + "WeChat Helper.lnk|StartupFolder_Common|" + common
                                         + "WeChat Helper.lnk|recommended");
    QVERIFY(log.contains(QStringLiteral("  [%1] 读取到 %2 项").arg("StartupFolder_User").arg(3)));
    QVERIFY(log.contains(QStringLiteral("  [%1] 读取到 %2 项").arg("StartupFolder_Common").arg(1)));
}

void TestStartupManager::missingStartupFolders()
{
    QJsonObject environment = TestMachine::defaultMachineJson().value("environment").toObject();
    environment.remove("APPDATA");
    TestMachine machine(QJsonObject{{"environment", environment}});
    LogFileLines log(FileLogger::instance()->logFilePath());

    StartupManager manager;
    QVERIFY(manager.scanItems().isEmpty());
    QVERIFY(log.contains(QStringLiteral("  [%1] 文件夹不存在: %2").arg("StartupFolder_User", "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup")));
    QVERIFY(log.contains(QStringLiteral("  [%1] 文件夹不存在: %2").arg("StartupFolder_Common", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp")));
}

void TestStartupManager::legacyRegistryBackups()
{
    TestMachine machine;
    machine.setText(HkcuRun, "Old.velantrix_bak", "\"C:\\Old App\\old.exe\" -tray", win::RegExpandSz);
    machine.setText(HklmRun32, "Empty.velantrix_bak", QString());
    LogFileLines log(FileLogger::instance()->logFilePath());

    StartupManager manager;
    QVERIFY(manager.scanItems().isEmpty());   // the restored value is listed from the next scan on
    QCOMPARE(log.lines().mid(3, 2), QStringList({QStringLiteral("迁移旧版 .velantrix_bak 启动项: %1 [%2]").arg("Old", "HKCU_Run"), QStringLiteral("迁移旧版 .velantrix_bak 启动项: %1 [%2]").arg("Empty", "HKLM_Run32")}));
    QCOMPARE(machine.text(HkcuRun, "Old"), QString("\"C:\\Old App\\old.exe\" -tray"));
    QVERIFY(!machine.hasValue(HkcuRun, "Old.velantrix_bak"));
    QCOMPARE(rawValue(machine, Approved + "Run", "Old"), stateValue(3));
    quint32 type = 0;
    QByteArray data;
    machine->registry().value(HkcuRun, "Old", &type, &data);
    QCOMPARE(type, quint32(win::RegExpandSz));
    // An empty backup is announced and left where it is.
    QVERIFY(machine.hasValue(HklmRun32, "Empty.velantrix_bak"));
    QVERIFY(!machine.hasValue(HklmRun32, "Empty"));

    const QList<StartupItem> items = manager.scanItems();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.at(0).name, QString("Old"));
    QVERIFY(items.at(0).disabled);
}

void TestStartupManager::legacyRegistryBackupNeverReplacesALiveValue()
{
    TestMachine machine;
    // "Live.velantrix_bak" sorts before "live": the live value is found
    // through the registry, whose names ignore case.
    machine.setText(HkcuRun, "live", "C:\\new.exe");
    machine.setText(HkcuRun, "Live.velantrix_bak", "C:\\old.exe");
    // Listed from an earlier key, in another case.
    machine.setText(HkcuRun, "Earlier", "C:\\earlier.exe");
    machine.setText(HklmRun, "EARLIER.velantrix_bak", "C:\\old-earlier.exe");

    StartupManager manager;
    QCOMPARE(namesOf(manager.scanItems()), QStringList({"Earlier", "live"}));
    QCOMPARE(machine.text(HkcuRun, "live"), QString("C:\\new.exe"));
    QCOMPARE(machine.text(HkcuRun, "Live.velantrix_bak"), QString("C:\\old.exe"));
    QCOMPARE(machine.text(HklmRun, "EARLIER.velantrix_bak"), QString("C:\\old-earlier.exe"));
    QVERIFY(!machine.hasValue(HklmRun, "EARLIER"));
    QVERIFY(!machine.hasValue(Approved + "Run", "live"));
    QVERIFY(!machine.hasValue(Approved + "Run", "Earlier"));
}

void TestStartupManager::legacyRegistryBackupWritesTheStateFirst()
{
    // The state cannot be written: the command must not come back enabled.
    {
        TestMachine machine;
        machine.setText(HkcuRun, "Blocked.velantrix_bak", "C:\\blocked.exe");
        setBinary(machine, Approved + "Run", "Blocked", stateValue(2, 20));
        StartupManager manager;
        manager.scanItems();
        QVERIFY(!machine.hasValue(HkcuRun, "Blocked"));
        QCOMPARE(machine.text(HkcuRun, "Blocked.velantrix_bak"), QString("C:\\blocked.exe"));
    }
    // A standard user cannot write the machine's key: nothing is touched,
    // not even the state.
    {
        QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
        system.insert("administrator", false);
        TestMachine machine(QJsonObject{{"system", system}});
        machine.setText(HklmRun, "Machine.velantrix_bak", "C:\\machine.exe");
        StartupManager manager;
        manager.scanItems();
        QVERIFY(!machine.hasValue(HklmRun, "Machine"));
        QCOMPARE(machine.text(HklmRun, "Machine.velantrix_bak"), QString("C:\\machine.exe"));
        QVERIFY(!machine.hasValue(Approved + "Run", "Machine"));
    }
}

void TestStartupManager::legacyFolderBackups()
{
    TestMachine machine;
    addProgram(machine, "C:\\Tools\\tool.exe", "Tool Deluxe");
    addShortcut(machine, UserStartup + "Tool.lnk.velantrix_bak", "C:\\Tools\\tool.exe");
    addShortcut(machine, UserStartup + "Keep.lnk", "C:\\Tools\\keep.exe");
    addShortcut(machine, UserStartup + "Keep.lnk.velantrix_bak", "C:\\Tools\\old-keep.exe");
    addShortcut(machine, CommonStartup + "Blocked.lnk.velantrix_bak", "C:\\Tools\\blocked.exe");
    setBinary(machine, Approved + "StartupFolder", "Blocked", stateValue(2, 13));
    LogFileLines log(FileLogger::instance()->logFilePath());

    StartupManager manager;
    const QList<StartupItem> items = manager.scanItems();
    const QString user = "C:/Users/Tester/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/";
    QCOMPARE(items.size(), 2);
    // A restored file is listed in the same scan, disabled and recommended.
    QCOMPARE(described(items.at(0)), "Tool|Tool|" + user + "Tool.lnk|StartupFolder_User|" + user + "Tool.lnk|recommended disabled");
    QCOMPARE(described(items.at(1)), "Keep|Keep|" + user + "Keep.lnk|StartupFolder_User|" + user + "Keep.lnk|");
    QVERIFY(log.contains(QStringLiteral("  [%1] 迁移bak并禁用: %2").arg("StartupFolder_User", "Tool")));
    QVERIFY(log.contains(QStringLiteral("  [%1] 读取到 %2 项").arg("StartupFolder_User").arg(2)));
    QCOMPARE(rawValue(machine, Approved + "StartupFolder", "Tool"), stateValue(3));
    QVERIFY(win::pathExists(UserStartup + "Tool.lnk"));
    QVERIFY(!win::pathExists(UserStartup + "Tool.lnk.velantrix_bak"));
    // A live file is never replaced by its backup.
    QVERIFY(win::pathExists(UserStartup + "Keep.lnk.velantrix_bak"));
    QVERIFY(!machine.hasValue(Approved + "StartupFolder", "Keep"));
    // Without the state written the file keeps its backup name.
    QVERIFY(win::pathExists(CommonStartup + "Blocked.lnk.velantrix_bak"));
    QVERIFY(!win::pathExists(CommonStartup + "Blocked.lnk"));
}

void TestStartupManager::recommendation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("recommended");
    QTest::newRow("known name") << "QQMusic" << "C:\\x.exe" << true;
    QTest::newRow("any case") << "BAIDUNETDISK" << "" << true;
    QTest::newRow("inside a name") << "MyOneDriveSync" << "" << true;
    QTest::newRow("in the command") << "Helper" << "C:\\Program Files\\Thunder\\helper.exe" << true;
    QTest::newRow("TIM inside Runtime") << "Helper" << "C:\\Java Runtime\\helper.exe" << true;
    QTest::newRow("Chinese name") << QString::fromUtf8("向日葵远程") << "" << true;
    QTest::newRow("WPS in any case") << "Office" << "C:\\Kingsoft\\wpscloud.exe" << true;
    QTest::newRow("unknown") << "SecurityHealth" << "C:\\Windows\\System32\\SecurityHealthSystray.exe" << false;
    QTest::newRow("empty") << "" << "" << false;
}

void TestStartupManager::recommendation()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(bool, recommended);
    TestMachine machine;
    StartupManager manager;
    QCOMPARE(manager.isRecommendedToDisable(name, command), recommended);
}

void TestStartupManager::exePathOf_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("path");
    QTest::newRow("quoted with arguments") << "\"C:\\Program Files\\A\\a.exe\" /min" << "C:\\Program Files\\A\\a.exe";
    QTest::newRow("unquoted with arguments") << "C:\\Tools\\a.exe /min" << "C:\\Tools\\a.exe";
    QTest::newRow("unquoted with blanks") << "C:\\Program Files\\A\\a.exe" << "C:\\Program";
    QTest::newRow("plain") << "  C:\\Tools\\a.exe  " << "C:\\Tools\\a.exe";
    QTest::newRow("quote never closed") << "\"C:\\Program Files\\a.exe" << "\"C:\\Program";
    QTest::newRow("empty quotes") << "\"\" x" << "";
    QTest::newRow("blank") << "   " << "";
}

void TestStartupManager::exePathOf()
{
    QFETCH(QString, command);
    QFETCH(QString, path);
    QCOMPARE(StartupManager::exePathOf(command), path);
}

void TestStartupManager::fileDescriptionFromVersionResources_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("description");
    QTest::newRow("quoted program") << "\"C:\\Program Files\\Cloud\\cloud.exe\" --silent" << QString::fromUtf8("云盘助手");
    QTest::newRow("environment variable") << "%ProgramW6432%\\Cloud\\cloud.exe" << QString::fromUtf8("云盘助手");
    QTest::newRow("description trimmed") << "C:\\Tools\\padded.exe" << "Padded";
    QTest::newRow("no version resource") << "C:\\Tools\\bare.exe" << "";
    QTest::newRow("no description") << "C:\\Tools\\nameless.exe" << "";
    QTest::newRow("missing file") << "C:\\Tools\\gone.exe" << "";
    QTest::newRow("empty") << "" << "";
}

void TestStartupManager::fileDescriptionFromVersionResources()
{
    QFETCH(QString, command);
    QFETCH(QString, description);
    TestMachine machine;
    addProgram(machine, "C:\\Program Files\\Cloud\\cloud.exe", QString::fromUtf8("云盘助手"));
    addProgram(machine, "C:\\Tools\\padded.exe", "  Padded \t");
    machine.addFile("C:\\Tools\\bare.exe", "MZ");
    machine.addFile("C:\\Tools\\nameless.exe", "MZ");
    machine->system().versionResources.insert("C:\\Tools\\nameless.exe", win::sim::SimVersionResource());
    win::sim::SimVersionResource gone;
    gone.strings.insert("FileDescription", "Gone");
    machine->system().versionResources.insert("C:\\Tools\\gone.exe", gone);

    QCOMPARE(StartupManager::fileDescription(command), description);
}

void TestStartupManager::shortcutTargetsKeepTheirBlanks()
{
    TestMachine machine;
    addProgram(machine, "C:\\Program Files\\Photo Studio\\studio.exe", "Photo Studio");
    addProgram(machine, "C:\\Program", "Wrong program");
    addShortcut(machine, UserStartup + "Studio.lnk", "C:\\Program Files\\Photo Studio\\studio.exe");
    QCOMPARE(StartupManager::shortcutTarget(UserStartup + "Studio.lnk"),
             QString("C:\\Program Files\\Photo Studio\\studio.exe"));
    QCOMPARE(StartupManager::shortcutTarget(UserStartup + "Missing.lnk"), QString());

    StartupManager manager;
    const QList<StartupItem> items = manager.scanItems();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.at(0).displayName, QString("Photo Studio"));
    QCOMPARE(items.at(0).command, QString("C:/Users/Tester/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/Studio.lnk"));
    QVERIFY(!win::ComApartment::isInitializedOnThisThread());
}

void TestStartupManager::summaryLineAndApplicability()
{
    TestMachine machine;
    StartupManager manager;
    manager.scanItems();
    QVERIFY(!manager.isApplicable());

    machine.setText(HkcuRun, "QQMusic", "C:\\Music\\qqmusic.exe");
    machine.setText(HkcuRun, "Thunder", "C:\\Thunder\\thunder.exe");
    machine.setText(HkcuRun, "Safe", "C:\\safe.exe");
    setBinary(machine, Approved + "Run", "Thunder", stateValue(3));
    setBinary(machine, Approved + "Run", "Safe", stateValue(7));
    LogFileLines log(FileLogger::instance()->logFilePath());
    manager.scanItems();
    QCOMPARE(log.lines().last(), QStringLiteral("扫描到 %1 个启动项，其中 %2 个可安全禁用，%3 个已禁用").arg(3).arg(1).arg(2));
    QCOMPARE(manager.recommendedCount(), 1);
    QVERIFY(manager.isApplicable());

    machine->system().dnsDomain = "corp.example.com";
    QVERIFY(!manager.isApplicable());
}

QTEST_GUILESS_MAIN(TestStartupManager)
#include "tst_StartupManager.moc"

#include "platform/FileFacts.h"
#include "platform/FileSystem.h"
#include "platform/Programs.h"
#include "platform/RegistryKey.h"
#include "platform/SystemFacts.h"
#include "tests/support/TestMachine.h"

#include <QFileInfo>
#include <QtTest>

using namespace win;

namespace {

// A machine of the given Windows architecture running a program built for `program`.
QJsonObject running(const char* program, const char* windows = "x64", int major = 10, int minor = 0)
{
    QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
    system.insert("architecture", windows);
    system.insert("programArchitecture", program);
    system.insert("version", QJsonObject{{"major", major}, {"minor", minor}, {"build", major == 10 ? 19045 : 6002}});
    return QJsonObject{{"system", system}};
}

const QJsonObject Wow64 = running("x86");
const QJsonObject Native64 = running("x64");
const QJsonObject Windows32 = running("x86", "x86");

// The same file name in both system folders, each copy saying where it lies.
void addSystemFiles(TestMachine& machine)
{
    machine.addFile("C:\\Windows\\System32\\both.dll", "System32");
    machine.addFile("C:\\Windows\\SysWOW64\\both.dll", "SysWOW64");
    machine.addFile("C:\\Windows\\System32\\only64.dll", "System32");
    for (const char* exempt : {"drivers\\etc\\hosts", "catroot\\a.cat", "catroot2\\b.log", "spool\\c.spl",
                               "LogFiles\\d.log", "DriverStore\\e.inf"})
        machine.addFile(QStringLiteral("C:\\Windows\\System32\\") + QLatin1String(exempt), "System32");
    machine.addFile("C:\\Windows\\System32\\drivers\\only64.sys", "System32");
    machine.addFile("C:\\Windows\\regedit.exe", "Windows");
    machine.addFile("C:\\Windows\\SysWOW64\\regedit.exe", "SysWOW64");
}

QString contentAt(const QString& path)
{
    QByteArray data;
    return readFile(path, &data) == ErrorSuccess ? QString::fromLatin1(data) : QString();
}

} // namespace

class Wow64Test : public QObject
{
    Q_OBJECT

private slots:
    void reachesFilesWhereWindowsSendsThem_data();
    void reachesFilesWhereWindowsSendsThem();
    void namesRedirectedEntriesAsTheCallerDid();
    void changesLandInTheRedirectedFolder();
    void verifiesSignaturesOfTheFileReached();
    void defaultRegistryViewIsTheProgramsOwn();
    void findsProgramsInTheProgramsOwnSystemFolder_data();
    void findsProgramsInTheProgramsOwnSystemFolder();
};

void Wow64Test::reachesFilesWhereWindowsSendsThem_data()
{
    QTest::addColumn<QJsonObject>("machine");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reached");   // the folder of the copy read; empty: nothing
    QTest::newRow("System32 is SysWOW64") << Wow64 << "C:\\Windows\\System32\\both.dll" << "SysWOW64";
    QTest::newRow("in any spelling") << Wow64 << "c:/windows/SYSTEM32//both.dll" << "SysWOW64";
    QTest::newRow("with trailing dots") << Wow64 << "C:\\Windows\\System32. \\both.dll" << "SysWOW64";
    QTest::newRow("a 64-bit file is not there") << Wow64 << "C:\\Windows\\System32\\only64.dll" << "";
    QTest::newRow("drivers is redirected") << Wow64 << "C:\\Windows\\System32\\drivers\\only64.sys" << "";
    QTest::newRow("drivers\\etc is not") << Wow64 << "C:\\Windows\\System32\\drivers\\etc\\hosts" << "System32";
    QTest::newRow("catroot") << Wow64 << "C:\\Windows\\System32\\catroot\\a.cat" << "System32";
    QTest::newRow("catroot2") << Wow64 << "C:\\Windows\\System32\\CatRoot2\\b.log" << "System32";
    QTest::newRow("spool") << Wow64 << "C:\\Windows\\System32\\spool\\c.spl" << "System32";
    QTest::newRow("LogFiles") << Wow64 << "C:\\Windows\\System32\\logfiles\\d.log" << "System32";
    QTest::newRow("DriverStore") << Wow64 << "C:\\Windows\\System32\\DriverStore\\e.inf" << "System32";
    QTest::newRow("DriverStore before Windows 7") << running("x86", "x64", 6, 0)
                                                  << "C:\\Windows\\System32\\DriverStore\\e.inf" << "";
    QTest::newRow("Sysnative is System32") << Wow64 << "C:\\Windows\\Sysnative\\only64.dll" << "System32";
    QTest::newRow("SysWOW64 by its name") << Wow64 << "C:\\Windows\\SysWOW64\\both.dll" << "SysWOW64";
    QTest::newRow("regedit") << Wow64 << "C:\\Windows\\regedit.exe" << "SysWOW64";
    QTest::newRow("x86 on ARM64") << running("x86", "arm64") << "C:\\Windows\\System32\\both.dll" << "SysWOW64";
    QTest::newRow("64-bit program") << Native64 << "C:\\Windows\\System32\\both.dll" << "System32";
    QTest::newRow("64-bit program, regedit") << Native64 << "C:\\Windows\\regedit.exe" << "Windows";
    QTest::newRow("no Sysnative for a 64-bit program") << Native64 << "C:\\Windows\\Sysnative\\only64.dll" << "";
    QTest::newRow("32-bit Windows") << Windows32 << "C:\\Windows\\System32\\only64.dll" << "System32";
    QTest::newRow("no Sysnative on 32-bit Windows") << Windows32 << "C:\\Windows\\Sysnative\\only64.dll" << "";
}

void Wow64Test::reachesFilesWhereWindowsSendsThem()
{
    QFETCH(QJsonObject, machine);
    QFETCH(QString, path);
    QFETCH(QString, reached);
    TestMachine test(machine);
    addSystemFiles(test);
    QCOMPARE(contentAt(path), reached);
    QCOMPARE(pathExists(path), !reached.isEmpty());
}

void Wow64Test::namesRedirectedEntriesAsTheCallerDid()
{
    TestMachine machine(Wow64);
    addSystemFiles(machine);
    machine.addFile("C:\\Windows\\SysWOW64\\sub\\deep.dll", "SysWOW64");

    FileEntry entry;
    QCOMPARE(fileInfo("c:\\windows\\system32\\both.dll", &entry), ErrorSuccess);
    QCOMPARE(entry.path, QStringLiteral("c:\\windows\\system32\\both.dll"));

    QVector<FileEntry> entries;
    QCOMPARE(listDirectory("C:\\Windows\\System32", &entries), ErrorSuccess);
    QStringList paths;
    for (const FileEntry& listed : entries)
        paths << listed.path;
    QCOMPARE(paths, QStringList({"C:\\Windows\\System32\\both.dll", "C:\\Windows\\System32\\regedit.exe",
                                 "C:\\Windows\\System32\\sub"}));

    FileWalker walker("C:\\Windows\\system32\\sub");
    QVERIFY(walker.next());
    QCOMPARE(walker.entry().path, QStringLiteral("C:\\Windows\\system32\\sub\\deep.dll"));
    QCOMPARE(walker.deleteCurrentFile(), ErrorSuccess);
    QVERIFY(!walker.next());
    QVERIFY(!QFileInfo::exists(machine.hostPath("C:\\Windows\\SysWOW64\\sub\\deep.dll")));
}

void Wow64Test::changesLandInTheRedirectedFolder()
{
    TestMachine machine(Wow64);
    addSystemFiles(machine);
    QCOMPARE(writeFile("C:\\Windows\\System32\\new.txt", "n"), ErrorSuccess);
    QVERIFY(QFileInfo::exists(machine.hostPath("C:\\Windows\\SysWOW64\\new.txt")));
    QVERIFY(!QFileInfo::exists(machine.hostPath("C:\\Windows\\System32\\new.txt")));
    QCOMPARE(createDirectoryPath("C:\\Windows\\System32\\made\\here"), ErrorSuccess);
    QVERIFY(QFileInfo(machine.hostPath("C:\\Windows\\SysWOW64\\made\\here")).isDir());
    QCOMPARE(moveFile("C:\\Windows\\System32\\new.txt", "C:\\Windows\\Sysnative\\moved.txt"), ErrorSuccess);
    QVERIFY(QFileInfo::exists(machine.hostPath("C:\\Windows\\System32\\moved.txt")));
    QCOMPARE(deleteFile("C:\\Windows\\System32\\both.dll"), ErrorSuccess);
    QVERIFY(!QFileInfo::exists(machine.hostPath("C:\\Windows\\SysWOW64\\both.dll")));
    QVERIFY(QFileInfo::exists(machine.hostPath("C:\\Windows\\System32\\both.dll")));
    QCOMPARE(removeDirectory("C:\\Windows\\System32\\made\\here"), ErrorSuccess);
    QVERIFY(!QFileInfo::exists(machine.hostPath("C:\\Windows\\SysWOW64\\made\\here")));
}

void Wow64Test::verifiesSignaturesOfTheFileReached()
{
    TestMachine machine(QJsonObject{{"system", Wow64.value("system")},
                                    {"trust", QJsonObject{{"C:\\Windows\\System32\\both.dll", "valid"},
                                                          {"C:\\Windows\\SysWOW64\\both.dll", "badDigest"}}}});
    addSystemFiles(machine);
    QCOMPARE(winVerifyTrust("C:\\Windows\\System32\\both.dll"), TRUST_E_BadDigest);
    QCOMPARE(winVerifyTrust("C:\\Windows\\Sysnative\\both.dll"), S_Ok);
    QCOMPARE(winVerifyTrust("C:\\Windows\\System32\\only64.dll"), E_FileNotFound);
}

void Wow64Test::defaultRegistryViewIsTheProgramsOwn()
{
    for (const QJsonObject& program : {Wow64, Native64}) {
        TestMachine machine(program);
        machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", "View", "64");
        machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Vendor", "View", "32");
        bool wow64 = false;
        QVERIFY(isWow64Process(&wow64));
        QString text;
        RegistryKey key;
        QCOMPARE(key.open(Hive::LocalMachine, "SOFTWARE\\Vendor", KeyRead), ErrorSuccess);
        QCOMPARE(key.readText("View", &text), ErrorSuccess);
        QCOMPARE(text, wow64 ? QStringLiteral("32") : QStringLiteral("64"));
        QCOMPARE(key.open(Hive::LocalMachine, "SOFTWARE\\Vendor", KeyRead | KeyWow64_32Key), ErrorSuccess);
        QCOMPARE(key.readText("View", &text), ErrorSuccess);
        QCOMPARE(text, QStringLiteral("32"));
        QCOMPARE(key.open(Hive::LocalMachine, "SOFTWARE\\Vendor", KeyRead | KeyWow64_64Key), ErrorSuccess);
        QCOMPARE(key.readText("View", &text), ErrorSuccess);
        QCOMPARE(text, QStringLiteral("64"));
    }
}

void Wow64Test::findsProgramsInTheProgramsOwnSystemFolder_data()
{
    QTest::addColumn<QJsonObject>("machine");
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("started");
    // bcdedit has no 32-bit copy in SysWOW64.
    QTest::newRow("WOW64, by name") << Wow64 << "bcdedit" << false;
    QTest::newRow("WOW64, through Sysnative") << Wow64 << "C:\\Windows\\Sysnative\\bcdedit.exe" << true;
    QTest::newRow("64-bit program, by name") << Native64 << "bcdedit" << true;
    QTest::newRow("64-bit program, in System32") << Native64 << "C:\\Windows\\System32\\bcdedit.exe" << true;
    QTest::newRow("64-bit program, no Sysnative") << Native64 << "C:\\Windows\\Sysnative\\bcdedit.exe" << false;
    QTest::newRow("64-bit program, SysWOW64") << Native64 << "C:\\Windows\\SysWOW64\\bcdedit.exe" << false;
    QTest::newRow("64-bit program, wmic") << Native64 << "C:\\Windows\\System32\\wbem\\wmic.exe" << true;
}

void Wow64Test::findsProgramsInTheProgramsOwnSystemFolder()
{
    QFETCH(QJsonObject, machine);
    QFETCH(QString, program);
    QFETCH(bool, started);
    TestMachine test(machine);
    QCOMPARE(runProgram(program, {"/enum"}, 5000).started, started);
}

QTEST_GUILESS_MAIN(Wow64Test)
#include "tst_wow64.moc"

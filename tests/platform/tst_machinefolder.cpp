#include "platform/FileSystem.h"
#include "platform/RegistryKey.h"
#include "platform/sim/MachineAutosave.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/TestMachine.h"

#include <QtTest>
#include <sys/stat.h>

namespace {

const double Max32 = 4294967295.0;
const double MaxInt = 2147483647.0;
const double MaxExact = 9007199254740991.0;  // 2^53 - 1, the largest whole number JSON holds exactly

QJsonObject withMachine(const QJsonObject& overrides)
{
    QJsonObject json = TestMachine::defaultMachineJson();
    for (auto it = overrides.begin(); it != overrides.end(); ++it)
        json.insert(it.key(), it.value());
    return json;
}

// Every number of machine.json at the largest value its field holds, and
// what the program may set that has no name of its own.
QJsonObject largestValues()
{
    return withMachine(QJsonObject{
        {"system", QJsonObject{{"version", QJsonObject{{"major", Max32}, {"minor", Max32}, {"build", Max32}}},
                               {"processors", Max32},
                               {"memory", QJsonObject{{"totalBytes", MaxExact}, {"availableBytes", MaxExact}}},
                               {"power", QJsonObject{{"acLineStatus", 255}, {"batteryFlag", 255}, {"batteryPercent", 255}}},
                               {"ansiCodePage", Max32},
                               {"ownPid", Max32},
                               {"fileCache", QJsonObject{{"minimumBytes", MaxExact}, {"maximumBytes", MaxExact},
                                                         {"workingSetBytes", MaxExact}}},
                               {"standbyListPurges", MaxInt},
                               {"settingChangeBroadcasts", MaxInt}}},
        {"services", QJsonArray{QJsonObject{{"name", "Svc"}, {"type", Max32}, {"errorControl", Max32},
                                            {"pid", Max32}, {"stopDelayMs", MaxInt}}}},
        {"processes", QJsonArray{QJsonObject{{"pid", Max32}, {"parentPid", Max32}, {"workingSetBytes", MaxExact}}}},
        {"windows", QJsonArray{QJsonObject{{"handle", MaxExact}, {"style", -MaxInt - 1}, {"exStyle", MaxInt},
                                           {"pid", Max32}}}},
        {"foregroundWindow", MaxExact},
        {"adapters", QJsonArray{QJsonObject{{"index", Max32}}}},
        {"versionResources", QJsonObject{{"C:\\app.exe", QJsonObject{{"language", "ffff"}, {"codePage", "ffff"}}}}},
        {"drives", QJsonObject{{"C", QJsonObject{{"folder", "drives/C"}, {"totalBytes", MaxExact},
                                                 {"freeBytes", MaxExact}, {"diskNumber", MaxInt}}}}},
        {"files", QJsonObject{{"C:\\huge.bin", QJsonObject{{"size", MaxExact}}},
                              {"C:\\empty.log", QJsonObject{}},
                              {QString::fromUtf8("C:\\中文\\\"引号\".txt"), QJsonObject{{"attributes", QJsonArray{"hidden", "readonly"}}}},
                              {"C:\\last.log", QJsonObject{{"modified", "9999-12-31T23:59:59.999Z"}}},
                              {"C:\\local.log", QJsonObject{{"modified", "2024-02-29T08:30:00"}}},
                              {"C:\\beijing.log", QJsonObject{{"modified", "2024-02-29T08:30:00.500+08:00"}}}}},
        {"boot", QJsonObject{{"timeout", MaxInt}}},
        {"eventLogs", QJsonObject{{"Application", QJsonObject{{"maxSizeBytes", MaxExact}}}}},
        {"restorePoints", QJsonArray{QJsonObject{{"sequenceNumber", Max32}, {"restorePointType", Max32},
                                                 {"eventType", Max32}}}},
        {"securityCenter", QJsonObject{{"antivirus", QJsonArray{QJsonObject{{"productState", Max32}}}}}},
        {"disks", QJsonArray{QJsonObject{{"number", MaxInt}, {"sizeBytes", MaxExact}}}},
        {"dnsCache", QJsonObject{{"entries", MaxInt}}},
        {"driveOptimizer", QJsonObject{{"C", QJsonObject{{"fragmentedPercent", 100}, {"analyses", MaxInt},
                                                         {"defragmentations", MaxInt}, {"retrims", MaxInt}}}}},
        {"cleanup", QJsonObject{{"runs", MaxInt}, {"freedBytes", MaxExact}}},
        {"programs", QJsonObject{{"hangMs", MaxExact}}},
        {"registryFilter", QJsonObject{{"ignoresWritesIn", QJsonArray{"HKEY_CURRENT_USER\\Software\\Guarded"}}}},
        {"notes", QJsonObject{{"written by", "a person"}, {"list", QJsonArray{1, "two"}}}}});
}

// The first place where `expected` holds something `actual` does not.
QString firstDifference(const QJsonValue& expected, const QJsonValue& actual, const QString& path)
{
    if (expected.isObject() && actual.isObject()) {
        const QJsonObject e = expected.toObject();
        for (auto it = e.begin(); it != e.end(); ++it) {
            const QString found = firstDifference(it.value(), actual.toObject().value(it.key()), path + '.' + it.key());
            if (!found.isEmpty())
                return found;
        }
        return QString();
    }
    if (expected.isArray() && actual.isArray() && expected.toArray().size() == actual.toArray().size()) {
        for (int i = 0; i < expected.toArray().size(); ++i) {
            const QString found = firstDifference(expected.toArray().at(i), actual.toArray().at(i),
                                                  path + QStringLiteral("[%1]").arg(i));
            if (!found.isEmpty())
                return found;
        }
        return QString();
    }
    return expected == actual ? QString() : path;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file written anew is a new file: it is written beside the old one and
// renamed over it.
ino_t identity(const QString& path)
{
    struct stat entry{};
    return stat(QFile::encodeName(path).constData(), &entry) == 0 ? entry.st_ino : 0;
}

QString userText(const QString& name)
{
    win::RegistryKey key;
    QString text;
    key.open(win::Hive::CurrentUser, "Software\\Saved", win::KeyRead);
    key.readText(name, &text);
    return text;
}

void writeUserText(const QString& name, const QString& text)
{
    win::RegistryKey key;
    QCOMPARE(key.create(win::Hive::CurrentUser, "Software\\Saved", win::KeyAllAccess), win::ErrorSuccess);
    QCOMPARE(key.writeText(name, text), win::ErrorSuccess);
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class MachineFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldRoundTripsAtItsLargestValue();
    void savesTheFactsAsTheProgramLeftThem();
    void refusesWhatItCouldNotKeep_data();
    void refusesWhatItCouldNotKeep();
    void bothRecordsOfTheVersionMustAgree_data();
    void bothRecordsOfTheVersionMustAgree();
    void autosaveWritesOnlyWhatChanged();
    void autosaveWritesTheRestAtTheEndAndReportsAFailure();
};

void MachineFolderTest::everyFieldRoundTripsAtItsLargestValue()
{
    const QJsonObject written = largestValues();
    TestMachine machine(written);
    QVERIFY2(machine.loaded(), qPrintable(machine.loadError()));
    QString error;
    QVERIFY2(machine->save(&error), qPrintable(error));
    const QString file = machine.folder() + "/machine.json";
    const QByteArray firstSave = readAll(file);
    const QString changed = firstDifference(written, QJsonDocument::fromJson(firstSave).object(), "machine.json");
    QVERIFY2(changed.isEmpty(), qPrintable(changed + " did not come back as it was written"));
    QCOMPARE(firstSave, QJsonDocument::fromJson(firstSave).toJson());   // in the form QJsonDocument writes

    win::sim::SimMachine reloaded;
    QVERIFY2(reloaded.load(machine.folder(), &error), qPrintable(error));
    QVERIFY2(reloaded.save(&error), qPrintable(error));
    QCOMPARE(readAll(file), firstSave);
}

void MachineFolderTest::savesTheFactsAsTheProgramLeftThem()
{
    const QJsonObject old{{"modified", "2020-01-01T00:00:00Z"}};
    TestMachine machine({{"files", QJsonObject{{"C:\\Temp\\gone.tmp", old}, {"C:\\Temp\\moved.tmp", old},
                                              {"C:\\Temp\\kept.tmp", old}}}});
    for (const char* name : {"gone.tmp", "moved.tmp", "kept.tmp"})
        machine.addFile(QStringLiteral("C:\\Temp\\") + name);
    QString error;
    QVERIFY2(machine->save(&error), qPrintable(error));   // as loaded

    QCOMPARE(win::deleteFile("C:\\Temp\\gone.tmp"), win::ErrorSuccess);
    QCOMPARE(win::moveFile("C:\\Temp\\moved.tmp", "C:\\Temp\\there.tmp"), win::ErrorSuccess);
    QVERIFY2(machine->save(&error), qPrintable(error));
    const QJsonObject files =
        QJsonDocument::fromJson(readAll(machine.folder() + "/machine.json")).object().value("files").toObject();
    QCOMPARE(files, (QJsonObject{{"C:\\Temp\\kept.tmp", old}, {"C:\\Temp\\there.tmp", old}}));
}

void MachineFolderTest::refusesWhatItCouldNotKeep_data()
{
    QTest::addColumn<QJsonObject>("machine");
    QTest::addColumn<QString>("error");
    const auto system = [](const QJsonObject& fields) { return withMachine({{"system", fields}}); };
    const auto service = [](const QJsonObject& fields) {
        QJsonObject record{{"name", "Svc"}};
        for (auto it = fields.begin(); it != fields.end(); ++it)
            record.insert(it.key(), it.value());
        return withMachine({{"services", QJsonArray{record}}});
    };
    const auto drive = [](const QString& folder) {
        return withMachine({{"drives", QJsonObject{{"C", QJsonObject{{"folder", folder}}}}}});
    };
    const QString range32 = ": expected a whole number from 0 to 4294967295";

    QTest::newRow("a build beyond 32 bits")
        << system({{"version", QJsonObject{{"build", 4294967296.0}}}}) << "system.version.build" + range32;
    QTest::newRow("1e300 bytes of memory")
        << system({{"memory", QJsonObject{{"totalBytes", 1e300}}}})
        << "system.memory.totalBytes: expected a whole number from 0 to 9007199254740991";
    QTest::newRow("2^64 bytes in use")
        << withMachine({{"processes", QJsonArray{QJsonObject{{"workingSetBytes", 18446744073709551616.0}}}}})
        << "processes[0].workingSetBytes: expected a whole number";
    QTest::newRow("a stop delay of 10^12 ms")
        << service({{"stopDelayMs", 1e12}}) << "services[0].stopDelayMs: expected a whole number from 0 to 2147483647";
    QTest::newRow("a negative process id") << service({{"pid", -1}}) << "services[0].pid" + range32;
    QTest::newRow("a battery of 256 %")
        << system({{"power", QJsonObject{{"batteryPercent", 256}}}})
        << "system.power.batteryPercent: expected a whole number from 0 to 255";
    QTest::newRow("half a processor") << system({{"processors", 2.5}}) << "system.processors" + range32;
    QTest::newRow("a style beyond a LONG")
        << withMachine({{"windows", QJsonArray{QJsonObject{{"style", 2147483648.0}}}}})
        << "windows[0].style: expected a whole number from -2147483648 to 2147483647";
    QTest::newRow("a language that is not hex")
        << withMachine({{"versionResources", QJsonObject{{"C:\\a.exe", QJsonObject{{"language", "chinese"}}}}}})
        << "versionResources.C:\\a.exe.language: expected four hex digits";
    QTest::newRow("an environment value that is not text")
        << withMachine({{"environment", QJsonObject{{"NUMBER_OF_PROCESSORS", 8}}}})
        << "environment.NUMBER_OF_PROCESSORS: expected a string";
    QTest::newRow("one variable in two letter cases")
        << withMachine({{"environment", QJsonObject{{"Path", "C:\\A"}, {"PATH", "C:\\B"}}}})
        << "environment.Path: the same name as \"PATH\"";
    QTest::newRow("one file's facts in two letter cases")
        << withMachine({{"files", QJsonObject{{"C:\\Temp\\a.log", QJsonObject{{"locked", true}}},
                                              {"c:/temp/A.LOG", QJsonObject{{"attributes", QJsonArray{"hidden"}}}}}}})
        << "files[\"c:/temp/A.LOG\"]: the same file as files[\"C:\\Temp\\a.log\"]";
    QTest::newRow("a lock that is not true or false")
        << withMachine({{"files", QJsonObject{{"C:\\a.log", QJsonObject{{"locked", "yes"}}}}}})
        << "files[\"C:\\a.log\"].locked: expected true or false";
    QTest::newRow("a fact nothing reads")
        << withMachine({{"files", QJsonObject{{"C:\\a.log", QJsonObject{{"owner", "me"}}}}}})
        << "files[\"C:\\a.log\"].owner: unknown field";
    QTest::newRow("a tcp setting in two letter cases")
        << withMachine({{"tcp", QJsonObject{{"autotuninglevel", "normal"}, {"AutoTuningLevel", "disabled"}}}})
        << "tcp.autotuninglevel: the same name as \"AutoTuningLevel\"";
    QTest::newRow("a misspelt field") << service({{"stopDelay", 10}}) << "services[0].stopDelay: unknown field";
    QTest::newRow("a guarded key outside every hive")
        << withMachine({{"registryFilter", QJsonObject{{"ignoresWritesIn", QJsonArray{"HKCU\\Run", "Software\\Run"}}}}})
        << "registryFilter.ignoresWritesIn[1]: expected a key path below a hive";
    QTest::newRow("a field of a newer machine")
        << system({{"colourScheme", "dark"}}) << "system.colourScheme: unknown field";
    QTest::newRow("an empty drive letter")
        << withMachine({{"driveOptimizer", QJsonObject{{"", QJsonObject{}}}}})
        << "driveOptimizer.: expected a drive letter as the name";
    QTest::newRow("a drive at the host's root") << drive("/") << "drives.C.folder: expected a folder inside the machine folder";
    QTest::newRow("a drive beside the machine")
        << drive("../outside") << "drives.C.folder: expected a folder inside the machine folder";
    QTest::newRow("a drive that is the machine folder")
        << drive("./.") << "drives.C.folder: expected a folder inside the machine folder";
    QTest::newRow("a drive through a link") << drive("drives/link/C") << "drives/link is a link";
    QTest::newRow("a drive that is a link") << drive("drives/link") << "drives/link is a link";
}

void MachineFolderTest::refusesWhatItCouldNotKeep()
{
    QFETCH(QJsonObject, machine);
    QFETCH(QString, error);
    QTemporaryDir root;
    const QString folder = root.filePath("machine");
    QDir(root.path()).mkpath("machine/drives/C");
    QDir(root.path()).mkpath("outside/C");
    QVERIFY(QFile::link(root.filePath("outside"), folder + "/drives/link"));
    writeFile(folder + "/machine.json", QJsonDocument(machine).toJson());
    const QByteArray before = readAll(folder + "/machine.json");

    win::sim::SimMachine loaded;
    QString message;
    QVERIFY(!loaded.load(folder, &message));
    QVERIFY2(message.startsWith(folder + "/machine.json: ") && message.contains(error), qPrintable(message));
    QCOMPARE(readAll(folder + "/machine.json"), before);
}

// machine.json's version and the registry's CurrentVersion values, in either
// view, must name one Windows: a folder whose records disagree is refused
// with both values named. Values the registry does not hold are not asked for.
void MachineFolderTest::bothRecordsOfTheVersionMustAgree_data()
{
    QTest::addColumn<QJsonObject>("version");
    QTest::addColumn<QString>("registry");   // below HKLM\SOFTWARE
    QTest::addColumn<QString>("error");      // empty: the folder loads
    const QJsonObject windows10{{"major", 10}, {"minor", 0}, {"build", 19045}};
    const QJsonObject windows7{{"major", 6}, {"minor", 1}, {"build", 7601}};
    const QString key = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\%1Microsoft\\Windows NT\\CurrentVersion]\r\n");
    const QString ten = QStringLiteral("\"CurrentMajorVersionNumber\"=dword:0000000a\r\n\"CurrentMinorVersionNumber\"=dword:00000000\r\n"
                                       "\"CurrentVersion\"=\"6.3\"\r\n\"CurrentBuild\"=\"19045\"\r\n\"CurrentBuildNumber\"=\"19045\"\r\n");
    const QString seven = QStringLiteral("\"CurrentVersion\"=\"6.1\"\r\n\"CurrentBuildNumber\"=\"7601\"\r\n");
    const QString native = key.arg(QString());
    const QString wow = key.arg(QStringLiteral("WOW6432Node\\"));
    QTest::newRow("Windows 10 in both views") << windows10 << native + ten + "\r\n" + wow + ten << QString();
    QTest::newRow("Windows 7 in both views") << windows7 << native + seven + "\r\n" + wow + seven << QString();
    QTest::newRow("no version values") << windows10 << native + "\"ProductName\"=\"Windows 10 Pro\"\r\n" << QString();
    QTest::newRow("a Windows 7 registry")
        << windows10 << native + seven
        << "system.version 10.0.19045 disagrees with the registry's HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT"
           "\\CurrentVersion\\CurrentVersion = \"6.1\" (that Windows stores \"6.3\")";
    QTest::newRow("a Windows 10 registry")
        << windows7 << native + ten
        << "system.version 6.1.7601 disagrees with the registry's HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT"
           "\\CurrentVersion\\CurrentMajorVersionNumber = 10 (that Windows stores 6)";
    QTest::newRow("another build in the 32-bit view")
        << windows10 << native + ten + "\r\n" + wow + "\"CurrentBuildNumber\"=\"22631\"\r\n"
        << "system.version 10.0.19045 disagrees with the registry's HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft"
           "\\Windows NT\\CurrentVersion\\CurrentBuildNumber = \"22631\" (that Windows stores \"19045\")";
    QTest::newRow("a build as a number")
        << windows10 << native + "\"CurrentBuildNumber\"=dword:00004a65\r\n"
        << "CurrentBuildNumber = 19045 (that Windows stores \"19045\")";
}

void MachineFolderTest::bothRecordsOfTheVersionMustAgree()
{
    QFETCH(QJsonObject, version);
    QFETCH(QString, registry);
    QFETCH(QString, error);
    QTemporaryDir root;
    const QString folder = root.filePath("machine");
    QDir(root.path()).mkpath("machine/drives/C");
    QDir(root.path()).mkpath("machine/registry");
    QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
    system.insert("version", version);
    writeFile(folder + "/machine.json", QJsonDocument(withMachine({{"system", system}})).toJson());
    writeFile(folder + "/registry/HKEY_LOCAL_MACHINE.reg",
              ("Windows Registry Editor Version 5.00\r\n\r\n" + registry).toUtf8());

    win::sim::SimMachine loaded;
    QString message;
    QCOMPARE(loaded.load(folder, &message), error.isEmpty());
    if (!error.isEmpty())
        QVERIFY2(message.startsWith(QDir(folder).absolutePath() + ": ") && message.endsWith(error), qPrintable(message));
}

// Off the caller's thread, a little after the first change: a hive that
// changed, and machine.json when its facts or sections changed; nothing at
// all while nothing changes. What was taken is written as it was taken.
void MachineFolderTest::autosaveWritesOnlyWhatChanged()
{
    TestMachine machine({{"files", QJsonObject{{"C:\\Temp\\old.tmp", QJsonObject{{"modified", "2020-01-01T00:00:00Z"}}}}}});
    machine.addFile("C:\\Temp\\old.tmp");
    machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\Saved", "A", "1");
    writeUserText("B", "1");
    QString error;
    QVERIFY2(machine->save(&error), qPrintable(error));
    const QString json = machine.folder() + "/machine.json";
    const QString user = machine.folder() + "/registry/HKEY_CURRENT_USER.reg";
    const QString local = machine.folder() + "/registry/HKEY_LOCAL_MACHINE.reg";
    const auto identities = [&] { return QVector<ino_t>{identity(json), identity(user), identity(local)}; };
    const QVector<ino_t> saved = identities();
    {
        win::sim::MachineAutosave autosave(machine.machine(), 10);
        QTest::qWait(100);
        QCOMPARE(autosave.savesWritten(), 0);
        writeUserText("B", "2");
        QTRY_COMPARE(autosave.savesWritten(), 1);
        QVector<ino_t> now = identities();
        QCOMPARE(now[0], saved[0]);
        QVERIFY(now[1] != saved[1]);
        QCOMPARE(now[2], saved[2]);
        QCOMPARE(win::deleteFile("C:\\Temp\\old.tmp"), win::ErrorSuccess);   // its facts and the free space
        QTRY_COMPARE(autosave.savesWritten(), 2);
        const QVector<ino_t> later = identities();
        QVERIFY(later[0] != now[0]);
        QCOMPARE(later.mid(1), now.mid(1));
    }
    win::sim::SimMachine reloaded;
    QVERIFY2(reloaded.load(machine.folder(), &error), qPrintable(error));
    QVERIFY(!reloaded.files().facts("C:\\Temp\\old.tmp"));

    const win::sim::MachineSnapshot taken = machine->changesSince(win::sim::SavedMachine());
    writeUserText("B", "later");
    win::sim::SavedMachine written;
    QVERIFY2(taken.write(&written, &error), qPrintable(error));
    win::sim::SimMachine asTaken;
    QVERIFY2(asTaken.load(machine.folder(), &error), qPrintable(error));
    win::sim::SimMachine::makeCurrent(&asTaken);
    QCOMPARE(userText("B"), QString("2"));
    win::sim::SimMachine::makeCurrent(&machine.machine());
}

void MachineFolderTest::autosaveWritesTheRestAtTheEndAndReportsAFailure()
{
    TestMachine machine;
    {
        win::sim::MachineAutosave autosave(machine.machine(), 60000);
        writeUserText("B", "at the end");
    }
    win::sim::SimMachine reloaded;
    QString error;
    QVERIFY2(reloaded.load(machine.folder(), &error), qPrintable(error));
    win::sim::SimMachine::makeCurrent(&reloaded);
    QCOMPARE(userText("B"), QString("at the end"));
    win::sim::SimMachine::makeCurrent(&machine.machine());

    const QString hive = machine.folder() + "/registry/HKEY_CURRENT_USER.reg";
    {
        win::sim::MachineAutosave autosave(machine.machine(), 60000);
        writeUserText("B", "lost");
        QVERIFY(QFile::remove(hive) && QDir().mkpath(hive + "/in the way"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be saved: .*HKEY_CURRENT_USER.reg"));
    }
}

QTEST_GUILESS_MAIN(MachineFolderTest)
#include "tst_machinefolder.moc"

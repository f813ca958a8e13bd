#include "platform/FileSystem.h"
#include "platform/sim/FileFactsTable.h"
#include "tests/support/TestMachine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <time.h>

using namespace win;

namespace {

const double Gib = 1024.0 * 1024.0 * 1024.0;

QJsonObject driveJson(const QString& folder, double totalBytes, double freeBytes, const char* kind, int disk)
{
    return QJsonObject{{"folder", folder}, {"totalBytes", totalBytes}, {"freeBytes", freeBytes},
                       {"kind", kind}, {"diskNumber", disk}};
}

QJsonObject twoDrives()
{
    return QJsonObject{{"C", driveJson("drives/C", 256 * Gib, 100 * Gib, "SSD", 0)},
                       {"D", driveJson("drives/D", 1000 * Gib, 900 * Gib, "HDD", 1)}};
}

// An entry on the host, a dangling or foreign link included.
bool hostEntryExists(const QString& hostPath)
{
    const QFileInfo info(hostPath);
    return info.exists() || info.isSymLink();
}

quint64 freeBytes(TestMachine& machine, QChar letter = 'C')
{
    return machine->files().drive(letter)->freeBytes;
}

// Loads a machine folder that holds only `machineJson`; answers the error.
QString loadErrorOf(const QJsonObject& machineJson)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("registry"));
    QDir(dir.path()).mkpath(QStringLiteral("drives/C"));
    QFile file(dir.filePath(QStringLiteral("machine.json")));
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(machineJson).toJson());
    file.close();
    win::sim::SimMachine machine;
    QString error;
    return machine.load(dir.path(), &error) ? QString() : error;
}

// Waits until the clock that stamps changes has moved past the last change
// of the host folder, so that the machine keeps the folder's names in its
// index instead of reading them again.
void waitUntilSettled(const QString& hostFolder)
{
    struct stat folder;
    QCOMPARE(stat(QFile::encodeName(hostFolder).constData(), &folder), 0);
    const qint64 changed = qint64(folder.st_ctim.tv_sec) * 1000000000 + folder.st_ctim.tv_nsec;
    const qint64 settled = changed + (folder.st_ctim.tv_nsec % 1000 != 0 ? 1 : qint64(2) * 1000000000);
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (qint64(now.tv_sec) * 1000000000 + now.tv_nsec >= settled)
            return;
        QThread::msleep(1);
    }
}

using FolderChange = void (*)(TestMachine&);

} // namespace

Q_DECLARE_METATYPE(FolderChange)

class FileSystemTest : public QObject
{
    Q_OBJECT

private slots:
    void resolvesAnySpellingOfAnExistingPath_data();
    void resolvesAnySpellingOfAnExistingPath();
    void answersWindowsErrorsForPathsThatDoNotResolve_data();
    void answersWindowsErrorsForPathsThatDoNotResolve();
    void createsMissingComponentsWithTheGivenSpelling();
    void seesEveryChangeInAnySpellingAtOnce_data();
    void seesEveryChangeInAnySpellingAtOnce();
    void neverFollowsLinks();
    void refusesLockedReadOnlyRunningAndFolderDeletions();
    void reportsFactsAndKeepsThemInMachineJson();
    void reportsModifiedTimesFromFacts();
    void keepsFreeSpaceInStep();
    void movesFilesWithTheirFacts();
    void walkerDeletesWhileWalking();
    void walkerDoesNotEnterLinksOrLeaveItsFolder();
    void walkerHoldsNoLockBetweenSteps();
    void walkerSeesFactsSetWhileItWalks();
    void factsFollowTreesByTheirFoldedPaths();
    void callsNeverFollowAFolderSwappedForALink_data();
    void callsNeverFollowAFolderSwappedForALink();
    void matchesWildcards_data();
    void matchesWildcards();
    void pathHelpers();
    void programFolderIsAWindowsPathOnlyOnADrive();
    void reportsMalformedSectionsWithTheirField_data();
    void reportsMalformedSectionsWithTheirField();
};

void FileSystemTest::resolvesAnySpellingOfAnExistingPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    const QString file = QStringLiteral("C:\\Users\\Tester\\Documents\\Report.TXT");
    QTest::newRow("as stored") << file << file;
    QTest::newRow("lower case, forward slashes") << "c:/users/tester/documents/report.txt" << file;
    QTest::newRow("repeated separators") << "C:\\\\USERS\\\\tester//Documents\\REPORT.txt" << file;
    QTest::newRow("dot components") << "C:\\Users\\.\\Tester\\Documents\\Report.TXT" << file;
    QTest::newRow("trailing dots and blanks") << "C:\\Users. \\Tester.\\Documents \\Report.TXT. " << file;
    QTest::newRow("components of dots") << "C:\\...\\Users\\. .\\Tester\\Documents\\Report.TXT" << file;
    QTest::newRow("trailing separator") << "C:\\users\\TESTER\\" << "C:\\Users\\Tester";
    QTest::newRow("drive alone") << "c:" << "C:\\";
    QTest::newRow("drive root") << "C:/" << "C:\\";
    // Windows' own volume gives long names short (8.3) aliases.
    QTest::newRow("short names") << "C:\\USERS\\tester\\docume~1\\REPORT.txt" << file;
    QTest::newRow("short name of a long extension") << "c:\\Users\\Tester\\Documents\\LONGRE~1.TEX"
                                                    << "C:\\Users\\Tester\\Documents\\Long Report.TEXT";
}

void FileSystemTest::resolvesAnySpellingOfAnExistingPath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    TestMachine machine;
    machine.addFile("C:\\Users\\Tester\\Documents\\Report.TXT", "quarterly");
    machine.addFile("C:\\Users\\Tester\\Documents\\Long Report.TEXT", "quarterly");

    FileEntry entry;
    QCOMPARE(fileInfo(path, &entry), ErrorSuccess);
    QCOMPARE(entry.path, expected);
    QVERIFY(pathExists(path));
    QString longPath;
    QCOMPARE(getLongPathName(path, &longPath), ErrorSuccess);
    QCOMPARE(longPath, expected);
    QByteArray data;
    if (entry.isFile()) {
        QCOMPARE(entry.name, fileNameOf(expected));
        QCOMPARE(entry.attributes, FileAttributeArchive);
        QCOMPARE(entry.size, quint64(9));
        QCOMPARE(readFile(path, &data), ErrorSuccess);
        QCOMPARE(data, QByteArray("quarterly"));
    } else {
        QVERIFY(isDirectory(path));
    }
}

void FileSystemTest::answersWindowsErrorsForPathsThatDoNotResolve_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Error>("error");
    QTest::newRow("unmapped drive") << "Z:\\Windows" << ErrorPathNotFound;
    QTest::newRow("missing file") << "C:\\Windows\\missing.dll" << ErrorFileNotFound;
    QTest::newRow("short name of nothing") << "C:\\Windows\\MISSIN~1.DLL" << ErrorFileNotFound;
    QTest::newRow("missing folder on the way") << "C:\\Nowhere\\missing.dll" << ErrorPathNotFound;
    QTest::newRow("file used as a folder") << "C:\\Windows\\notepad.exe\\x" << ErrorPathNotFound;
    QTest::newRow("parent reference") << "C:\\Windows\\..\\Windows" << ErrorInvalidName;
    QTest::newRow("relative") << "Windows\\notepad.exe" << ErrorInvalidName;
    QTest::newRow("drive relative") << "C:Windows" << ErrorInvalidName;
    QTest::newRow("UNC") << "\\\\server\\share\\file" << ErrorInvalidName;
    QTest::newRow("wildcard") << "C:\\Windows\\*.exe" << ErrorInvalidName;
    QTest::newRow("empty") << "" << ErrorInvalidName;
}

void FileSystemTest::answersWindowsErrorsForPathsThatDoNotResolve()
{
    QFETCH(QString, path);
    QFETCH(Error, error);
    TestMachine machine;
    machine.addFile("C:\\Windows\\notepad.exe", "MZ");

    FileEntry entry;
    entry.name = "untouched";
    QCOMPARE(fileInfo(path, &entry), error);
    QCOMPARE(entry.name, QStringLiteral("untouched"));
    QVERIFY(!pathExists(path));
    QCOMPARE(deleteFile(path), error);
    QByteArray data;
    QCOMPARE(readFile(path, &data), error);
}

void FileSystemTest::createsMissingComponentsWithTheGivenSpelling()
{
    TestMachine machine;
    machine.addFolder("C:\\Users\\Tester");

    QCOMPARE(createDirectoryPath("c:\\users\\TESTER\\Backup\\Registry\\"), ErrorSuccess);
    QVERIFY(QFileInfo(machine.driveFolder() + "/Users/Tester/Backup/Registry").isDir());
    QVERIFY(!QFileInfo::exists(machine.driveFolder() + "/users"));
    QCOMPARE(createDirectoryPath("C:\\Users\\Tester\\backup"), ErrorAlreadyExists);

    QCOMPARE(writeFile("C:\\USERS\\tester\\backup\\New.reg", "REGEDIT4"), ErrorSuccess);
    QFile written(machine.driveFolder() + "/Users/Tester/Backup/New.reg");
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("REGEDIT4"));
    QCOMPARE(writeFile("C:\\Users\\Tester\\Missing\\New.reg", "x"), ErrorPathNotFound);
    QCOMPARE(createDirectoryPath("Q:\\Folder"), ErrorPathNotFound);
    QCOMPARE(createDirectoryPath("C:\\Users\\..\\Folder"), ErrorInvalidName);
}

// Names not spelt as stored are looked up through an index of each folder's
// names; whoever changes the folder, the next lookup sees the change.
void FileSystemTest::seesEveryChangeInAnySpellingAtOnce_data()
{
    QTest::addColumn<FolderChange>("change");
    QTest::addColumn<QStringList>("lookups");
    QTest::addColumn<QStringList>("found");   // the path each lookup resolves to; empty: not found

    QTest::newRow("file created by the program")
        << FolderChange([](TestMachine&) { QCOMPARE(writeFile("C:\\Data\\Beta.txt", "b"), ErrorSuccess); })
        << QStringList{"c:\\DATA\\beta.TXT"} << QStringList{"C:\\Data\\Beta.txt"};
    QTest::newRow("folder created by the program")
        << FolderChange([](TestMachine&) { QCOMPARE(createDirectoryPath("C:\\Data\\Inner"), ErrorSuccess); })
        << QStringList{"c:\\data\\INNER"} << QStringList{"C:\\Data\\Inner"};
    QTest::newRow("file deleted by the program")
        << FolderChange([](TestMachine&) { QCOMPARE(deleteFile("C:\\Data\\Alpha.txt"), ErrorSuccess); })
        << QStringList{"c:\\data\\ALPHA.TXT"} << QStringList{QString()};
    QTest::newRow("file deleted by a walk") << FolderChange([](TestMachine&) {
        FileWalker walker("C:\\Data");
        while (walker.next()) {
            if (walker.entry().name == "Alpha.txt")
                QCOMPARE(walker.deleteCurrentFile(), ErrorSuccess);
        }
    }) << QStringList{"c:\\data\\ALPHA.TXT"} << QStringList{QString()};
    QTest::newRow("file renamed by the program")
        << FolderChange([](TestMachine&) { QCOMPARE(moveFile("C:\\Data\\Alpha.txt", "C:\\Data\\Gamma.txt"), ErrorSuccess); })
        << QStringList{"c:\\data\\alpha.txt", "C:\\DATA\\GAMMA.txt"} << QStringList{QString(), "C:\\Data\\Gamma.txt"};
    QTest::newRow("file created outside the program") << FolderChange([](TestMachine& machine) {
        QFile file(machine.hostPath("C:\\Data") + "/Beta.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
    }) << QStringList{"c:\\DATA\\beta.TXT"} << QStringList{"C:\\Data\\Beta.txt"};
    QTest::newRow("file respelt outside the program") << FolderChange([](TestMachine& machine) {
        const QString folder = machine.hostPath("C:\\Data");
        QVERIFY(QFile::rename(folder + "/Alpha.txt", folder + "/ALPHA.TXT"));
    }) << QStringList{"c:\\data\\alpha.txt"} << QStringList{"C:\\Data\\ALPHA.TXT"};
    QTest::newRow("folder replaced outside the program") << FolderChange([](TestMachine& machine) {
        const QString drive = machine.driveFolder();
        QVERIFY(QDir(drive).rename("Data", "Old"));
        QVERIFY(QDir(drive).mkpath("Data"));
        QFile file(drive + "/Data/Beta.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
    }) << QStringList{"c:\\data\\alpha.txt", "C:\\DATA\\BETA.TXT"} << QStringList{QString(), "C:\\Data\\Beta.txt"};
}

void FileSystemTest::seesEveryChangeInAnySpellingAtOnce()
{
    QFETCH(FolderChange, change);
    QFETCH(QStringList, lookups);
    QFETCH(QStringList, found);
    TestMachine machine;
    machine.addFile("C:\\Data\\Alpha.txt", "a");
    waitUntilSettled(machine.driveFolder());
    waitUntilSettled(machine.hostPath("C:\\Data"));
    FileEntry entry;
    QCOMPARE(fileInfo("c:\\data\\ALPHA.TXT", &entry), ErrorSuccess);
    for (const QString& path : lookups)
        fileInfo(path, &entry);   // every folder on the way is in the index now

    change(machine);
    for (int i = 0; i < lookups.size(); ++i) {
        const Error error = fileInfo(lookups.at(i), &entry);
        QCOMPARE(error == ErrorSuccess ? entry.path : QString(), found.at(i));
    }
}

void FileSystemTest::neverFollowsLinks()
{
    TestMachine machine;
    const QString inner = machine.addFile("C:\\Data\\Real\\inner.txt", "inner");
    const QString target = machine.addFile("C:\\Data\\target.txt", "target");
    const QString junction = machine.hostPath("C:\\Data\\Junction");
    const QString fileLink = machine.hostPath("C:\\Data\\FileLink");
    QTemporaryDir outside;
    QFile secret(outside.filePath("secret.txt"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("host secret");
    secret.close();
    QVERIFY(QFile::link(machine.hostPath("C:\\Data\\Real"), junction));
    QVERIFY(QFile::link(target, fileLink));
    QVERIFY(QFile::link(outside.path(), machine.hostPath("C:\\Data\\Escape")));

    FileEntry entry;
    QCOMPARE(fileInfo("C:\\Data\\junction", &entry), ErrorSuccess);
    QCOMPARE(entry.attributes, FileAttributeReparsePoint | FileAttributeDirectory);
    QCOMPARE(entry.path, QStringLiteral("C:\\Data\\Junction"));
    QVERIFY(!isDirectory("C:\\Data\\Junction"));
    QCOMPARE(fileInfo("C:\\Data\\FileLink", &entry), ErrorSuccess);
    QCOMPARE(entry.attributes, FileAttributeReparsePoint);
    QCOMPARE(entry.size, quint64(0));

    QCOMPARE(fileInfo("C:\\Data\\Junction\\inner.txt", &entry), ErrorPathNotFound);
    // A link is an entry that exists; nothing is found through one.
    QVERIFY(pathExists("C:\\Data\\Junction") && pathExists("C:\\Data\\FileLink"));
    QVERIFY(!pathExists("C:\\Data\\Junction\\inner.txt"));
    QVERIFY(!pathExists("C:\\Data\\Escape\\secret.txt"));
    QVector<FileEntry> entries;
    QCOMPARE(listDirectory("C:\\Data\\Junction", &entries), ErrorPathNotFound);
    QByteArray data;
    QCOMPARE(readFile("C:\\Data\\Escape\\secret.txt", &data), ErrorPathNotFound);
    QCOMPARE(readFile("C:\\Data\\FileLink", &data), ErrorAccessDenied);
    QCOMPARE(writeFile("C:\\Data\\FileLink", "overwritten"), ErrorAccessDenied);
    QCOMPARE(writeFile("C:\\Data\\Escape\\planted.txt", "x"), ErrorPathNotFound);
    QCOMPARE(createDirectoryPath("C:\\Data\\Escape\\planted"), ErrorPathNotFound);
    QVERIFY(data.isEmpty());
    QCOMPARE(QDir(outside.path()).entryList(QDir::Files), QStringList{"secret.txt"});

    QCOMPARE(listDirectory("C:\\DATA", &entries), ErrorSuccess);
    QStringList names;
    for (const FileEntry& item : entries)
        names << item.name;
    QCOMPARE(names, (QStringList{"Escape", "FileLink", "Junction", "Real", "target.txt"}));

    // Links are removed as links; what they point at stays.
    const quint64 freeBefore = freeBytes(machine);
    QCOMPARE(deleteFile("C:\\Data\\Junction"), ErrorAccessDenied);
    QCOMPARE(removeDirectory("C:\\Data\\FileLink"), ErrorDirectory);
    QCOMPARE(deleteFile("C:\\Data\\FileLink"), ErrorSuccess);
    QVERIFY(!hostEntryExists(fileLink));
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(freeBytes(machine), freeBefore);   // a link holds no file data
    QCOMPARE(removeDirectory("C:\\Data\\junction"), ErrorSuccess);
    QVERIFY(!hostEntryExists(junction));
    QVERIFY(QFileInfo::exists(inner));
}

void FileSystemTest::refusesLockedReadOnlyRunningAndFolderDeletions()
{
    TestMachine machine;
    const QString locked = machine.addFile("C:\\Windows\\Temp\\in-use.log", "busy");
    const QString readOnly = machine.addFile("C:\\Windows\\Temp\\setup.ini", "keep");
    machine.addFolder("C:\\Windows\\Temp\\Sub");
    machine->files().setLocked("c:\\windows\\temp\\IN-USE.log", true);
    machine->files().setAttributes("C:\\Windows\\Temp\\setup.ini", FileAttributeReadOnly, FileAttributeReadOnly);
    const quint64 freeBefore = freeBytes(machine);

    QCOMPARE(deleteFile("C:\\Windows\\Temp\\in-use.log"), ErrorSharingViolation);
    QCOMPARE(deleteFile("C:\\Windows\\Temp\\setup.ini"), ErrorAccessDenied);
    QCOMPARE(deleteFile("C:\\Windows\\Temp\\Sub"), ErrorAccessDenied);
    QByteArray data;
    QCOMPARE(readFile("C:\\Windows\\Temp\\in-use.log", &data), ErrorSharingViolation);
    QCOMPARE(writeFile("C:\\Windows\\Temp\\in-use.log", "x"), ErrorSharingViolation);
    QCOMPARE(writeFile("C:\\Windows\\Temp\\setup.ini", "x"), ErrorAccessDenied);
    QCOMPARE(moveFile("C:\\Windows\\Temp\\in-use.log", "C:\\Windows\\Temp\\moved.log"), ErrorSharingViolation);
    QVERIFY(QFileInfo::exists(locked));
    QVERIFY(QFileInfo::exists(readOnly));
    QVERIFY(QFileInfo(machine.hostPath("C:\\Windows\\Temp\\Sub")).isDir());
    QCOMPARE(freeBytes(machine), freeBefore);

    // Windows maps the image of a running program: it can be neither
    // deleted nor written until the program ends, however it is named.
    const QString image = machine.addFile("C:\\Program Files\\App Suite\\app.exe", "MZ");
    machine.addProcess(77, "C:\\Program Files\\APPSUI~1\\app.exe");
    QCOMPARE(deleteFile("c:\\PROGRAM FILES\\app suite\\APP.EXE"), ErrorAccessDenied);
    QCOMPARE(writeFile("C:\\Program Files\\App Suite\\app.exe", "x"), ErrorSharingViolation);
    QVERIFY(QFileInfo::exists(image));
    machine->system().processes.clear();
    QCOMPARE(deleteFile("C:\\Program Files\\App Suite\\app.exe"), ErrorSuccess);

    FileEntry entry;
    QCOMPARE(fileInfo("C:\\Windows\\Temp\\setup.ini", &entry), ErrorSuccess);
    QCOMPARE(entry.attributes, FileAttributeArchive | FileAttributeReadOnly);

    machine->files().setLocked("C:\\Windows\\Temp\\in-use.log", false);
    QCOMPARE(deleteFile("C:\\Windows\\Temp\\in-use.log"), ErrorSuccess);
    QVERIFY(!QFileInfo::exists(locked));
    QVERIFY(!machine->files().facts("C:\\Windows\\Temp\\in-use.log"));

    // Only empty folders go.
    machine.addFile("C:\\Windows\\Temp\\Sub\\a.tmp");
    QCOMPARE(removeDirectory("C:\\Windows\\Temp"), ErrorDirNotEmpty);
    QCOMPARE(removeDirectory("C:\\Windows\\Temp\\setup.ini"), ErrorDirectory);
    QCOMPARE(removeDirectory("C:\\Windows\\Gone"), ErrorFileNotFound);
    QCOMPARE(removeDirectory("C:\\"), ErrorAccessDenied);
    QCOMPARE(deleteFile("C:\\Windows\\Temp\\Sub\\a.tmp"), ErrorSuccess);
    QCOMPARE(removeDirectory("C:\\windows\\TEMP\\sub\\"), ErrorSuccess);
    QVERIFY(!QFileInfo::exists(machine.hostPath("C:\\Windows\\Temp\\Sub")));
    QVERIFY(QFileInfo::exists(readOnly));
}

void FileSystemTest::reportsFactsAndKeepsThemInMachineJson()
{
    const QJsonObject hiberfil{{"attributes", QJsonArray{"hidden", "system"}}, {"locked", true}, {"size", 6 * Gib}};
    const QJsonObject installLog{{"attributes", QJsonArray{"readonly"}}};
    const QJsonObject files{{"C:\\hiberfil.sys", hiberfil}, {"D:\\Setup\\install.log", installLog},
                            {"c:/pagefile.sys", QJsonObject{{"attributes", QJsonArray{"hidden", "system"}},
                                                            {"size", 4 * Gib}}}};
    TestMachine machine(QJsonObject{{"drives", twoDrives()}, {"files", files}});
    QVERIFY2(machine.loaded(), qPrintable(machine.loadError()));
    machine.addFile("C:\\hiberfil.sys");
    machine.addFile("C:\\pagefile.sys");
    machine.addFile("C:\\bootmgr", "0123456789");
    const quint64 freeBefore = freeBytes(machine);
    const win::sim::SimDrive* d = machine->files().drive('d');
    QCOMPARE(machine->files().drives().size(), 2);
    QCOMPARE(d->kind, win::sim::DriveKind::Hdd);
    QCOMPARE(d->diskNumber, 1);
    QCOMPARE(d->hostFolder, machine.driveFolder('D'));

    QVector<FileEntry> entries;
    QCOMPARE(listDirectory("c:\\", &entries), ErrorSuccess);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(0).name, QStringLiteral("bootmgr"));
    QCOMPARE(entries.at(0).size, quint64(10));
    QCOMPARE(entries.at(1).name, QStringLiteral("hiberfil.sys"));
    QCOMPARE(entries.at(1).path, QStringLiteral("C:\\hiberfil.sys"));
    QCOMPARE(entries.at(1).size, quint64(6 * Gib));
    QCOMPARE(entries.at(1).attributes, FileAttributeArchive | FileAttributeHidden | FileAttributeSystem);
    QCOMPARE(entries.at(2).size, quint64(4 * Gib));
    FileEntry root;
    QCOMPARE(fileInfo("C:\\", &root), ErrorSuccess);
    QCOMPARE(root.attributes, FileAttributeDirectory | FileAttributeHidden | FileAttributeSystem);

    QCOMPARE(deleteFile("C:\\hiberfil.sys"), ErrorSharingViolation);
    QCOMPARE(deleteFile("C:\\PAGEFILE.SYS"), ErrorSuccess);
    QCOMPARE(freeBytes(machine), freeBefore + quint64(4 * Gib));
    QVERIFY(!machine->files().facts("C:\\pagefile.sys"));

    QString error;
    QVERIFY2(machine->save(&error), qPrintable(error));
    QFile saved(machine.folder() + "/machine.json");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(saved.readAll()).object();
    QJsonObject drives = twoDrives();
    drives.insert("C", driveJson("drives/C", 256 * Gib, 104 * Gib, "SSD", 0));
    QCOMPARE(json.value("drives").toObject(), drives);
    QCOMPARE(json.value("files").toObject(),
             (QJsonObject{{"C:\\hiberfil.sys", hiberfil}, {"D:\\Setup\\install.log", installLog}}));
    win::sim::SimMachine reloaded;
    QVERIFY2(reloaded.load(machine.folder(), &error), qPrintable(error));
    QCOMPARE(reloaded.files().drive('C')->freeBytes, quint64(104 * Gib));
    QVERIFY(reloaded.files().facts("c:\\HIBERFIL.SYS")->locked);
}

void FileSystemTest::reportsModifiedTimesFromFacts()
{
    const QJsonObject files{{"C:\\Logs\\old.log", QJsonObject{{"modified", "2023-05-01T08:30:00"}}},
                            {"C:\\Logs\\rewritten.log", QJsonObject{{"modified", "2023-05-02T09:00:00.250"}}},
                            {"C:\\Logs\\utc.log", QJsonObject{{"modified", "2023-05-03T10:00:00Z"}}}};
    TestMachine machine(QJsonObject{{"files", files}});
    QVERIFY2(machine.loaded(), qPrintable(machine.loadError()));
    for (const char* name : {"old.log", "rewritten.log", "utc.log", "fresh.log"})
        machine.addFile(QStringLiteral("C:\\Logs\\") + QLatin1String(name), "x");
    const QDateTime old(QDate(2023, 5, 1), QTime(8, 30), Qt::LocalTime);

    FileEntry entry;
    QCOMPARE(fileInfo("C:\\Logs\\old.log", &entry), ErrorSuccess);
    QCOMPARE(entry.lastWriteTime, old);
    QCOMPARE(entry.attributes, FileAttributeArchive);
    QCOMPARE(fileInfo("C:\\Logs\\utc.log", &entry), ErrorSuccess);
    QCOMPARE(entry.lastWriteTime, QDateTime(QDate(2023, 5, 3), QTime(10, 0), Qt::UTC));
    QCOMPARE(fileInfo("C:\\Logs\\fresh.log", &entry), ErrorSuccess);
    QVERIFY(qAbs(entry.lastWriteTime.secsTo(QDateTime::currentDateTimeUtc())) < 600);

    // A walk sees the same time as a single look-up.
    QVector<FileEntry> entries;
    QCOMPARE(listDirectory("C:\\Logs", &entries), ErrorSuccess);
    QCOMPARE(entries.at(1).name, QStringLiteral("old.log"));
    QCOMPARE(entries.at(1).lastWriteTime, old);

    // Moving carries the time; writing the file makes it new.
    QCOMPARE(moveFile("C:\\Logs\\old.log", "C:\\Logs\\archived.log"), ErrorSuccess);
    QCOMPARE(fileInfo("C:\\Logs\\archived.log", &entry), ErrorSuccess);
    QCOMPARE(entry.lastWriteTime, old);
    QCOMPARE(writeFile("C:\\Logs\\rewritten.log", "new"), ErrorSuccess);
    QVERIFY(!machine->files().facts("C:\\Logs\\rewritten.log"));
    QCOMPARE(fileInfo("C:\\Logs\\rewritten.log", &entry), ErrorSuccess);
    QVERIFY(qAbs(entry.lastWriteTime.secsTo(QDateTime::currentDateTimeUtc())) < 600);

    // Deleting drops the time: a new file of the same name is new.
    QCOMPARE(deleteFile("C:\\Logs\\archived.log"), ErrorSuccess);
    QVERIFY(!machine->files().facts("C:\\Logs\\archived.log"));
    machine.addFile("C:\\Logs\\archived.log", "y");
    QCOMPARE(fileInfo("C:\\Logs\\archived.log", &entry), ErrorSuccess);
    QVERIFY(entry.lastWriteTime > old.addYears(1));

    QString error;
    QVERIFY2(machine->save(&error), qPrintable(error));
    QFile saved(machine.folder() + "/machine.json");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject savedFiles = QJsonDocument::fromJson(saved.readAll()).object().value("files").toObject();
    QCOMPARE(savedFiles, (QJsonObject{{"C:\\Logs\\utc.log", QJsonObject{{"modified", "2023-05-03T10:00:00Z"}}}}));
}

void FileSystemTest::keepsFreeSpaceInStep()
{
    TestMachine machine;
    machine->files().drive('C')->freeBytes = 1000000;
    machine.addFolder("C:\\Logs");

    QCOMPARE(writeFile("C:\\Logs\\a.log", QByteArray(1000, 'a')), ErrorSuccess);
    QCOMPARE(freeBytes(machine), quint64(999000));
    QCOMPARE(writeFile("C:\\Logs\\A.LOG", QByteArray(400, 'b')), ErrorSuccess);
    QCOMPARE(freeBytes(machine), quint64(999600));
    QCOMPARE(QFileInfo(machine.hostPath("C:\\Logs\\a.log")).size(), qint64(400));

    // Rewriting a file with a virtual size frees the size it stood for.
    machine->files().setVirtualSize("C:\\Logs\\a.log", 5000);
    QCOMPARE(writeFile("C:\\Logs\\a.log", QByteArray(100, 'c')), ErrorSuccess);
    QCOMPARE(freeBytes(machine), quint64(999600 + 5000 - 100));
    FileEntry entry;
    QCOMPARE(fileInfo("C:\\Logs\\a.log", &entry), ErrorSuccess);
    QCOMPARE(entry.size, quint64(100));

    // Free space never passes the drive's size.
    const quint64 total = machine->files().drive('C')->totalBytes;
    machine->files().setVirtualSize("C:\\Logs\\a.log", total);
    QCOMPARE(deleteFile("C:\\Logs\\a.log"), ErrorSuccess);
    QCOMPARE(freeBytes(machine), total);
}

void FileSystemTest::movesFilesWithTheirFacts()
{
    TestMachine machine(QJsonObject{{"drives", twoDrives()}});
    QVERIFY2(machine.loaded(), qPrintable(machine.loadError()));
    machine.addFile("C:\\Downloads\\setup.exe", QByteArray(300, 'x'));
    machine.addFile("C:\\Downloads\\Old\\readme.txt", "old");
    machine.addFile("D:\\Archive\\existing.exe");
    machine->files().setAttributes("C:\\Downloads\\setup.exe", FileAttributeHidden, FileAttributeHidden);
    machine->files().setAttributes("C:\\Downloads\\Old\\readme.txt", FileAttributeSystem, FileAttributeSystem);
    const quint64 freeC = freeBytes(machine, 'C');
    const quint64 freeD = freeBytes(machine, 'D');

    QCOMPARE(moveFile("C:\\Downloads\\setup.exe", "D:\\Archive\\existing.exe"), ErrorAlreadyExists);
    QCOMPARE(moveFile("C:\\Downloads\\setup.exe", "D:\\Nowhere\\setup.exe"), ErrorPathNotFound);
    QCOMPARE(moveFile("C:\\Downloads\\missing.exe", "D:\\Archive\\missing.exe"), ErrorFileNotFound);
    QCOMPARE(moveFile("C:\\Downloads\\Old", "D:\\Archive\\Old"), ErrorNotSameDevice);

    QCOMPARE(moveFile("c:\\downloads\\SETUP.EXE", "d:\\archive\\Setup.exe"), ErrorSuccess);
    QVERIFY(!QFileInfo::exists(machine.hostPath("C:\\Downloads\\setup.exe")));
    QCOMPARE(QFileInfo(machine.hostPath("D:\\Archive\\Setup.exe")).size(), qint64(300));
    QCOMPARE(freeBytes(machine, 'C'), freeC + 300);
    QCOMPARE(freeBytes(machine, 'D'), freeD - 300);
    FileEntry entry;
    QCOMPARE(fileInfo("D:\\Archive\\Setup.exe", &entry), ErrorSuccess);
    QVERIFY(entry.isHidden());

    QCOMPARE(moveFile("C:\\Downloads\\Old", "C:\\Downloads\\Older"), ErrorSuccess);
    QCOMPARE(fileInfo("C:\\Downloads\\Older\\readme.txt", &entry), ErrorSuccess);
    QVERIFY(entry.isSystem());
    QVERIFY(!machine->files().facts("C:\\Downloads\\Old\\readme.txt"));
    QCOMPARE(freeBytes(machine, 'C'), freeC + 300);
}

void FileSystemTest::walkerDeletesWhileWalking()
{
    TestMachine machine;
    machine->files().drive('C')->freeBytes = 0;
    QSet<QString> expected;
    for (int folder = 0; folder < 3; ++folder) {
        for (int file = 0; file < 20; ++file) {
            const QString path = QStringLiteral("C:\\Temp\\Folder%1\\File%2.tmp").arg(folder).arg(file);
            machine.addFile(path, QByteArray(10, 'x'));
            expected << path;
        }
    }
    machine.addFile("C:\\Temp\\Folder1\\Deeper\\Deepest\\last.tmp", QByteArray(5, 'y'));
    expected << "C:\\Temp\\Folder1\\Deeper\\Deepest\\last.tmp";
    machine->files().setLocked("C:\\Temp\\Folder0\\File3.tmp", true);
    machine->files().setAttributes("C:\\Temp\\Folder2\\File7.tmp", FileAttributeReadOnly, FileAttributeReadOnly);
    machine->files().setVirtualSize("C:\\Temp\\Folder2\\File8.tmp", 1000);

    QSet<QString> seen;
    QMap<QString, Error> refused;
    FileWalker walker("c:\\TEMP\\");
    while (walker.next()) {
        const FileEntry& entry = walker.entry();
        QVERIFY(entry.isFile());
        seen << entry.path;
        const Error result = walker.deleteCurrentFile();
        if (result != ErrorSuccess)
            refused.insert(entry.name, result);
    }
    QCOMPARE(seen, expected);
    QCOMPARE(refused, (QMap<QString, Error>{{"File3.tmp", ErrorSharingViolation}, {"File7.tmp", ErrorAccessDenied}}));
    QCOMPARE(freeBytes(machine), quint64(58 * 10 - 10 + 1000 + 5));
    const QDir temp(machine.hostPath("C:\\Temp"));
    QCOMPARE(temp.entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList{"Folder0", "Folder1", "Folder2"}));
    QCOMPARE(QDir(temp.filePath("Folder0")).entryList(QDir::Files), QStringList{"File3.tmp"});
    QCOMPARE(QDir(temp.filePath("Folder1")).entryList(QDir::Files), QStringList());
    QVERIFY(QDir(temp.filePath("Folder1/Deeper/Deepest")).exists());
    QVERIFY(!machine->files().facts("C:\\Temp\\Folder2\\File8.tmp"));

    FileWalker missing("C:\\Temp\\Missing");
    QVERIFY(!missing.next());
    QCOMPARE(missing.deleteCurrentFile(), ErrorFileNotFound);
}

void FileSystemTest::walkerDoesNotEnterLinksOrLeaveItsFolder()
{
    TestMachine machine;
    machine.addFile("C:\\Cache\\own.tmp");
    const QString kept = machine.addFile("C:\\Elsewhere\\kept.txt");
    QVERIFY(QFile::link(machine.hostPath("C:\\Elsewhere"), machine.hostPath("C:\\Cache\\Linked")));

    QStringList seen;
    FileWalker walker("C:\\Cache");
    while (walker.next()) {
        seen << walker.entry().name;
        if (walker.entry().isReparsePoint())
            QCOMPARE(walker.deleteCurrentFile(), ErrorAccessDenied);   // a folder link is no file
    }
    seen.sort();
    QCOMPARE(seen, (QStringList{"Linked", "own.tmp"}));
    QVERIFY(QFileInfo::exists(kept));

    FileWalker throughLink("C:\\Cache\\Linked");
    QVERIFY(!throughLink.next());
}

void FileSystemTest::walkerHoldsNoLockBetweenSteps()
{
    auto machine = std::make_unique<TestMachine>();
    machine->addFile("C:\\Temp\\a.tmp");
    machine->addFile("C:\\Temp\\b.tmp");
    FileWalker walker("C:\\Temp");
    QVERIFY(walker.next());
    bool lockedElsewhere = false;
    std::thread other([&] {
        lockedElsewhere = machine->machine().mutex().tryLock();
        if (lockedElsewhere)
            machine->machine().mutex().unlock();
    });
    other.join();
    QVERIFY(lockedElsewhere);

    // A walk belongs to the machine it started on.
    machine.reset();
    TestMachine next;
    next.addFile("C:\\Temp\\c.tmp");
    QVERIFY(!walker.next());
    QCOMPARE(walker.deleteCurrentFile(), ErrorInvalidHandle);
    QVERIFY(QFileInfo::exists(next.hostPath("C:\\Temp\\c.tmp")));
}

// C:\Cache is looked up, then swapped for a link to a folder outside the
// machine before the call opens it: nothing outside is read, written,
// created, moved or deleted.
void FileSystemTest::callsNeverFollowAFolderSwappedForALink_data()
{
    QTest::addColumn<QString>("call");
    for (const char* call : {"write", "read", "list", "move out", "move in", "create folders", "delete file",
                             "remove folder"})
        QTest::newRow(call) << QString::fromLatin1(call);
}

void FileSystemTest::callsNeverFollowAFolderSwappedForALink()
{
    QFETCH(QString, call);
    TestMachine machine;
    QTemporaryDir outside;
    QDir(outside.path()).mkdir("Sub");
    QFile precious(outside.filePath("a.tmp"));
    QVERIFY(precious.open(QIODevice::WriteOnly) && precious.write("outside") == 7);
    precious.close();
    const QStringList before = QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    machine.addFile("C:\\Cache\\a.tmp", "inside");
    machine.addFolder("C:\\Cache\\Sub");
    machine.addFile("C:\\Elsewhere.tmp", "e");
    const QString cache = machine.hostPath("C:\\Cache");
    bool swapped = false;
    machine->files().setBeforeOpenHook([&] {
        if (!std::exchange(swapped, true)) {
            QDir().rename(cache, cache + ".moved");
            QFile::link(outside.path(), cache);
        }
    });
    QByteArray data;
    QVector<FileEntry> entries;
    if (call == "write")
        writeFile("C:\\Cache\\a.tmp", "overwritten");
    else if (call == "read")
        readFile("C:\\Cache\\a.tmp", &data);
    else if (call == "list")
        listDirectory("C:\\Cache", &entries);
    else if (call == "move out")
        moveFile("C:\\Cache\\a.tmp", "C:\\Moved.tmp");
    else if (call == "move in")
        moveFile("C:\\Elsewhere.tmp", "C:\\Cache\\b.tmp");
    else if (call == "create folders")
        createDirectoryPath("C:\\Cache\\New\\Deeper");
    else if (call == "delete file")
        deleteFile("C:\\Cache\\a.tmp");
    else
        removeDirectory("C:\\Cache\\Sub");
    QVERIFY(swapped);
    QVERIFY(data.isEmpty());
    QVERIFY(entries.isEmpty());
    QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY(precious.open(QIODevice::ReadOnly));
    QCOMPARE(precious.readAll(), QByteArray("outside"));
}

// A walk looks a file's facts up only in folders that hold facts, and it
// learns that of a folder once; facts set, moved or dropped while it walks
// count for the very next file.
void FileSystemTest::walkerSeesFactsSetWhileItWalks()
{
    TestMachine machine;
    QStringList rest = {"a.tmp", "b.tmp", "c.tmp"};
    for (const QString& name : rest)
        machine.addFile("C:\\Temp\\" + name, "data");
    machine.addFile("C:\\Elsewhere\\kept.tmp");
    machine->files().setAttributes("C:\\Elsewhere\\kept.tmp", FileAttributeHidden, FileAttributeHidden);
    FileWalker walker("C:\\Temp");
    QVERIFY(walker.next());   // the folder is known to hold no facts now
    rest.removeOne(walker.entry().name);
    machine->files().setLocked("C:\\Temp\\" + rest.at(0), true);
    machine->files().setAttributes("C:\\Temp\\" + rest.at(1), FileAttributeReadOnly, FileAttributeReadOnly);
    QCOMPARE(walker.deleteCurrentFile(), ErrorSuccess);
    QMap<QString, Error> results;
    while (walker.next())
        results.insert(walker.entry().name, walker.deleteCurrentFile());
    QCOMPARE(results, (QMap<QString, Error>{{rest.at(0), ErrorSharingViolation}, {rest.at(1), ErrorAccessDenied}}));

    FileEntry entry;
    QCOMPARE(fileInfo("C:\\Temp\\" + rest.at(1), &entry), ErrorSuccess);
    QCOMPARE(moveFile("C:\\Elsewhere\\kept.tmp", "C:\\Temp\\kept.tmp"), ErrorSuccess);
    QCOMPARE(fileInfo("C:\\Temp\\kept.tmp", &entry), ErrorSuccess);
    QVERIFY(entry.isHidden());
    machine->files().setLocked("C:\\Temp\\" + rest.at(0), false);
    QCOMPARE(deleteFile("C:\\Temp\\" + rest.at(0)), ErrorSuccess);
}

// A tree is its path and what lies below it, in any letter case: not a
// sibling whose name merely begins like it.
void FileSystemTest::factsFollowTreesByTheirFoldedPaths()
{
    win::sim::FileFactsTable facts;
    const QStringList all{"C:\\A", "C:\\A\\x", "C:\\A\\B\\y", "C:\\A b\\z", "C:\\AB\\w", "C:\\Ab", "D:\\A\\v", "C:\\Moved\\y"};
    for (const QString& path : all.mid(0, 7)) {
        win::sim::SimFileFacts hidden;
        hidden.path = path;
        hidden.attributes = FileAttributeHidden;
        facts.put(hidden);
    }
    const auto present = [&] {
        QStringList found;
        for (const QString& path : all) {
            if (facts.find(path))
                found << path;
        }
        return found;
    };
    facts.moveTree("C:\\a\\b", "C:\\Moved");
    QCOMPARE(present(), (QStringList{"C:\\A", "C:\\A\\x", "C:\\A b\\z", "C:\\AB\\w", "C:\\Ab", "D:\\A\\v", "C:\\Moved\\y"}));
    facts.removeTree("C:\\a");
    QCOMPARE(present(), (QStringList{"C:\\A b\\z", "C:\\AB\\w", "C:\\Ab", "D:\\A\\v", "C:\\Moved\\y"}));
    facts.removeTree("C:\\");
    QCOMPARE(present(), QStringList{"D:\\A\\v"});
    QCOMPARE(facts.size(), 1);

    // A large folder, most of it removed and added to again, finds what it holds.
    const auto file = [](int n) { return QStringLiteral("D:\\Many\\File%1.tmp").arg(n); };
    const auto lock = [&](int n) {
        win::sim::SimFileFacts locked;
        locked.path = file(n);
        locked.locked = true;
        facts.put(locked);
    };
    for (int n = 0; n < 300; ++n)
        lock(n);
    for (int n = 0; n < 300; n += 3)
        facts.remove(file(n).toLower());
    for (int n = 1; n < 300; n += 3)
        facts.remove(file(n));
    for (int n = 0; n < 300; n += 3)
        lock(n);
    for (int n = 0; n < 300; ++n)
        QVERIFY2(bool(facts.find(file(n))) == (n % 3 != 1), qPrintable(file(n)));
    QCOMPARE(facts.size(), 201);
}

void FileSystemTest::matchesWildcards_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("extension, other case") << "Report.TXT" << "*.txt" << true;
    QTest::newRow("everything") << "anything.at.all" << "*" << true;
    QTest::newRow("empty name, star") << "" << "*" << true;
    QTest::newRow("question mark") << "abc" << "a?c" << true;
    QTest::newRow("question mark needs a character") << "ac" << "a?c" << false;
    QTest::newRow("suffix only at the end") << "debug.log.old" << "*.log" << false;
    QTest::newRow("prefix and suffix") << "~WRL0001.tmp" << "~*.TMP" << true;
    QTest::newRow("backtracking star") << "aaab" << "*a*b" << true;
    QTest::newRow("backtracking fails") << "aaac" << "*a*b" << false;
    QTest::newRow("longer pattern") << "abc" << "abcd" << false;
    QTest::newRow("exact name") << "thumbs.db" << "Thumbs.db" << true;
    QTest::newRow("non-ASCII case") << "日志Ä.log" << "日志ä.*" << true;
}

void FileSystemTest::matchesWildcards()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(matchesWildcard(name, pattern), matches);
    QCOMPARE(matchesAnyWildcard(name, {"*.never", pattern}), matches);
}

void FileSystemTest::pathHelpers()
{
    QCOMPARE(normalizedPath("c:/Windows//System32/"), QStringLiteral("c:\\Windows\\System32"));
    QCOMPARE(normalizedPath("C:"), QStringLiteral("C:\\"));
    QCOMPARE(normalizedPath("C:\\\\"), QStringLiteral("C:\\"));
    QCOMPARE(normalizedPath("\\\\server\\share\\"), QStringLiteral("\\\\server\\share"));
    QCOMPARE(joinPath("C:\\", "pagefile.sys"), QStringLiteral("C:\\pagefile.sys"));
    QCOMPARE(joinPath("C:\\Temp\\", "\\a/b"), QStringLiteral("C:\\Temp\\a\\b"));
    QCOMPARE(joinPath("C:", "x"), QStringLiteral("C:\\x"));
    QCOMPARE(fileNameOf("C:\\Temp\\a.tmp\\"), QStringLiteral("a.tmp"));
    QCOMPARE(fileNameOf("C:\\"), QString());
    QCOMPARE(parentPathOf("C:\\Temp"), QStringLiteral("C:\\"));
    QCOMPARE(parentPathOf("C:/Temp/Sub/"), QStringLiteral("C:\\Temp"));
    QCOMPARE(parentPathOf("C:\\"), QString());
    QVERIFY(isSameOrInside("c:\\windows\\TEMP\\a.tmp", "C:\\Windows\\Temp"));
    QVERIFY(isSameOrInside("C:/Windows/Temp/", "c:\\windows\\temp"));
    QVERIFY(isSameOrInside("C:\\Windows", "C:\\"));
    QVERIFY(!isSameOrInside("C:\\Windows\\Temp2", "C:\\Windows\\Temp"));
    QVERIFY(!isSameOrInside("D:\\Windows", "C:\\"));
    QVERIFY(!isSameOrInside("C:\\Windows", ""));
}

void FileSystemTest::programFolderIsAWindowsPathOnlyOnADrive()
{
    {
        TestMachine machine;
        QCOMPARE(programFolder(), QString());
    }
    const QDir bin(QCoreApplication::applicationDirPath());
    TestMachine machine(QJsonObject{{"drives", twoDrives()}});
    QVERIFY2(machine.loaded(), qPrintable(machine.loadError()));
    win::sim::SimDrive stick;
    stick.letter = 'T';
    stick.hostFolder = QDir::cleanPath(bin.absoluteFilePath(".."));
    machine->files().addDrive(stick);
    QCOMPARE(programFolder(), QStringLiteral("T:\\") + bin.dirName());
}

void FileSystemTest::reportsMalformedSectionsWithTheirField_data()
{
    QTest::addColumn<QJsonObject>("machine");
    QTest::addColumn<QString>("field");
    const auto withDrive = [](const QJsonObject& drive) {
        return QJsonObject{{"drives", QJsonObject{{"C", drive}}}};
    };
    QTest::newRow("drives not an object") << QJsonObject{{"drives", QJsonArray{}}} << "drives:";
    QTest::newRow("not a letter") << QJsonObject{{"drives", QJsonObject{{"CD", QJsonObject{}}}}} << "drives.CD:";
    QTest::newRow("letter twice") << QJsonObject{{"drives", QJsonObject{{"C", QJsonObject{}}, {"c", QJsonObject{}}}}}
                                  << "drives.";
    QTest::newRow("size as text") << withDrive({{"totalBytes", "big"}}) << "drives.C.totalBytes:";
    QTest::newRow("unknown kind") << withDrive({{"kind", "NVMe"}}) << "drives.C.kind:";
    QTest::newRow("more free than total") << withDrive({{"totalBytes", 5}, {"freeBytes", 10}}) << "drives.C.freeBytes:";
    QTest::newRow("missing folder") << withDrive({{"folder", "drives/Q"}}) << "drives.C.folder:";
    QTest::newRow("negative disk") << withDrive({{"diskNumber", -1}}) << "drives.C.diskNumber:";
    QTest::newRow("relative file path") << QJsonObject{{"files", QJsonObject{{"hiberfil.sys", QJsonObject{}}}}}
                                        << "files[\"hiberfil.sys\"]:";
    QTest::newRow("unknown attribute")
        << QJsonObject{{"files", QJsonObject{{"C:\\x", QJsonObject{{"attributes", QJsonArray{"hidden", "archive"}}}}}}}
        << "files[\"C:\\x\"].attributes[1]:";
    QTest::newRow("negative size") << QJsonObject{{"files", QJsonObject{{"C:\\x", QJsonObject{{"size", -1}}}}}}
                                   << "files[\"C:\\x\"].size:";
    QTest::newRow("modified not a date")
        << QJsonObject{{"files", QJsonObject{{"C:\\x", QJsonObject{{"modified", "last Tuesday"}}}}}}
        << "files[\"C:\\x\"].modified:";
    QTest::newRow("locked as text") << QJsonObject{{"files", QJsonObject{{"C:\\x", QJsonObject{{"locked", "yes"}}}}}}
                                    << "files[\"C:\\x\"].locked:";
}

void FileSystemTest::reportsMalformedSectionsWithTheirField()
{
    QFETCH(QJsonObject, machine);
    QFETCH(QString, field);
    QJsonObject json = TestMachine::defaultMachineJson();
    for (auto it = machine.begin(); it != machine.end(); ++it)
        json.insert(it.key(), it.value());
    const QString error = loadErrorOf(json);
    QVERIFY2(error.contains("machine.json: " + field), qPrintable(error));
}

QTEST_GUILESS_MAIN(FileSystemTest)
#include "tst_filesystem.moc"

#include "TestMachine.h"
#include "common/ProtectedFolders.h"

#include <QtTest>

namespace {

const QString Profile = QStringLiteral("C:\\Users\\Tester");
// A stick copied into the temporary folder: the agreement flag lies in "stick".
const QString Stick = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\stick");
const QString ProfileList = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList");

QStringList inProfile(const QString& profile, const QStringList& folders)
{
    QStringList paths;
    for (const QString& folder : folders)
        paths << profile + '\\' + folder;
    return paths;
}

} // namespace

class ProtectedFoldersTest : public QObject
{
    Q_OBJECT

private slots:
    // Which folders may be emptied (deleting what lies below them) and which
    // removed whole, on a machine whose program lies on a stick copied into
    // the temporary folder and with an account listed outside C:\Users.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("emptyingRefused");
        QTest::addColumn<bool>("removingRefused");
        // Names Windows forbids: the folder's own index stream opens the
        // folder, and an API sees a path only up to its first NUL.
        QTest::newRow("no plain full path") << QStringList{
            "", "Temp", "C:Temp", "\\\\server\\share\\Temp", "%TEMP%\\x", "\\\\.\\C:\\", "\\\\?\\C:\\Windows",
            "C:\\Windows::$INDEX_ALLOCATION", "C:\\Windows\\Temp:x", "C:\\Windows\\" + QString(QChar(0)) + "Temp",
            "C:\\Windows\\Te?p"} << true << true;
        QTest::newRow("drive roots") << QStringList{"C:\\", "d:", "C:\\.", "C:/.\\./"} << true << true;
        QTest::newRow("Windows and the programs") << QStringList{
            "C:\\.\\Windows", "C:\\Windows. .\\", "c:/wINDOWS//", "C:/windows\\.\\SYSTEM32.", "C:\\Windows\\SysWOW64",
            "C:\\Program Files", "C:\\Program Files (x86)\\", "C:\\ProgramData"} << true << true;
        QTest::newRow("profiles") << QStringList{"C:\\Users", "C:\\Temp\\..\\Users", Profile, "C:\\Users\\Other",
                                                 "C:\\Users\\Public", "C:\\Accounts\\Admin"} << true << true;
        QTest::newRow("a profile's own folders")
            << inProfile(Profile, {"Desktop", "Documents", "Downloads", "Pictures", "Music", "Videos", "AppData",
                                   "AppData\\Local", "AppData\\Roaming", "AppData\\LocalLow"})
                   + QStringList{"C:\\Users\\Other\\documents ", "c:/users/other/appdata/local",
                                 "C:\\Accounts\\Admin\\Desktop", "D:\\Docs"} << true << true;
        QTest::newRow("portable layout") << QStringList{Stick, Stick.toUpper() + ".\\.", Stick + "\\Tessaro\\config",
                                                        Stick + "\\eula_accepted.flag", Stick + "\\Tessaro\\tools\\实用工具"}
                                         << true << true;
        // Windows' own volume gives long names short aliases, and TEMP is
        // often spelt with them: an alias names what it stands for.
        QTest::newRow("short names of protected folders")
            << QStringList{"C:\\PROGRA~1", "c:\\progra~2\\", "C:\\PROGRA~3", "C:\\Users\\ADMINI~1",
                           Profile + "\\DOCUME~1", "C:\\PROGRA~1\\..\\Windows"} << true << true;
        QTest::newRow("a short name that stands for nothing") << QStringList{"C:\\NOWHER~1\\Cache"} << true << true;
        QTest::newRow("holds the layout or a listed profile")
            << QStringList{Profile + "\\AppData\\Local\\Temp", "C:\\Accounts"} << false << true;
        QTest::newRow("below the protected folders") << QStringList{
            "C:\\Windows\\Temp", "C:\\Windows\\System32\\spool\\PRINTERS", "C:\\Program Files\\Bad Toolbar",
            "C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportQueue",
            Profile + "\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache", Profile + "\\Documents\\Old",
            "C:\\Users\\Other\\AppData\\Roaming\\Bad", "C:\\Temp", Stick + "-old", "D:\\Docs\\Old",
            "C:\\PROGRA~1\\BADTOO~1", "C:\\Users\\ADMINI~1\\AppData\\Local\\Temp"} << false << false;
    }

    void refusals()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, emptyingRefused);
        QFETCH(bool, removingRefused);
        TestMachine machine;
        machine.setText(ProfileList + "\\S-1-5-21-1-500", "ProfileImagePath", "C:\\Accounts\\Admin", win::RegExpandSz);
        machine.setText("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                        "Personal", "D:\\Docs", win::RegExpandSz);
        for (const char* folder : {"C:\\Program Files\\Bad Toolbar", "C:\\Program Files (x86)", "C:\\ProgramData",
                                   "C:\\Users\\Administrator\\AppData\\Local\\Temp", "C:\\Users\\Tester\\Documents"})
            machine.addFolder(QLatin1String(folder));
        const ProtectedFolders rule(Stick + QStringLiteral("\\Tessaro\\bin"));
        for (const QString& path : paths) {
            QVERIFY2(rule.refusesEmptying(path) == emptyingRefused, qPrintable(path));
            QVERIFY2(rule.refusesRemoving(path) == removingRefused, qPrintable(path));
        }
    }

    // Copied straight onto a drive, the layout must not shield the drive.
    void layoutAtADriveRoot_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<QStringList>("allowed");
        QTest::newRow("own folder on the root") << "C:\\Tessaro\\bin"
            << QStringList{"C:\\eula_accepted.flag", "C:\\Tessaro", "C:\\Tessaro\\config", "C:\\Tessaro\\tools\\x"}
            << QStringList{"C:\\Temp", "C:\\Users\\Tester\\AppData\\Local\\Temp", "C:\\Tessaro-old"};
        QTest::newRow("program folder on the root") << "C:\\bin"
            << QStringList{"C:\\eula_accepted.flag", "C:\\config", "C:\\tools", "C:\\bin\\logs"}
            << QStringList{"C:\\Temp", "C:\\binaries"};
    }

    void layoutAtADriveRoot()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, refused);
        QFETCH(QStringList, allowed);
        TestMachine machine;
        const ProtectedFolders rule(program);
        for (const QString& path : refused)
            QVERIFY2(rule.refusesEmptying(path) && rule.refusesRemoving(path), qPrintable(path));
        for (const QString& path : allowed)
            QVERIFY2(!rule.refusesEmptying(path) && !rule.refusesRemoving(path), qPrintable(path));
    }

    // Variables that are missing or point elsewhere do not open the
    // Windows folder or the profiles: Windows says where they are.
    void refusalsHoldWithoutTheEnvironment()
    {
        TestMachine machine;
        for (const char* variable : {"SystemRoot", "windir", "USERPROFILE", "PUBLIC", "ProgramData", "ALLUSERSPROFILE"})
            machine->system().environment.remove(QLatin1String(variable));
        machine->system().systemDirectory = QStringLiteral("C:\\WinNT\\System32");
        const ProtectedFolders rule{QString()};
        for (const char* folder : {"C:\\WinNT", "C:\\WinNT\\SysWOW64", "C:\\Users", "C:\\Users\\Tester",
                                   "C:\\Users\\Tester\\Downloads"})
            QVERIFY2(rule.refusesEmptying(QLatin1String(folder)), folder);
        QVERIFY(!rule.refusesEmptying(QStringLiteral("C:\\WinNT\\Temp")));
    }

    // What an emptying walk must step around: the protected folders below
    // the folder it was given.
    void protectedFoldersInside()
    {
        TestMachine machine;
        machine.setText(ProfileList + "\\S-1-5-21-1-500", "ProfileImagePath", "C:\\Accounts\\Admin", win::RegExpandSz);
        const ProtectedFolders rule(Stick + QStringLiteral("\\Tessaro\\bin"));
        QCOMPARE(rule.protectedInside(QStringLiteral("C:\\Accounts\\.")), QStringList{"C:\\Accounts\\Admin"});
        QCOMPARE(rule.protectedInside(Profile + QStringLiteral("\\AppData\\Local\\Temp")), QStringList{Stick});
        QVERIFY(rule.protectedInside(QStringLiteral("C:\\Windows\\Temp")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ProtectedFoldersTest)
#include "tst_protectedfolders.moc"

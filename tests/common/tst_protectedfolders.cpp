#include "TestMachine.h"
#include "common/ProtectedFolders.h"

#include <QtTest>

namespace {

const QString Profile = QStringLiteral("C:\\Users\\Tester");
// A stick copied into the temporary folder: the agreement flag lies in "stick".
const QString Stick = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\stick");
const QString ProfileList = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList");

} // namespace

class ProtectedFoldersTest : public QObject
{
    Q_OBJECT

    void row(const char* name, const QString& path, bool emptying, bool removing)
    {
        QTest::newRow(name) << path << emptying << removing;
    }

private slots:
    // Which folders may be emptied (deleting what lies below them) and which
    // removed whole, on a machine whose program lies on a stick copied into
    // the temporary folder and with an account listed outside C:\Users.
    void refusals_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("emptyingRefused");
        QTest::addColumn<bool>("removingRefused");
        row("empty", QString(), true, true);
        row("relative", "Temp", true, true);
        row("drive-relative", "C:Temp", true, true);
        row("UNC", "\\\\server\\share\\Temp", true, true);
        row("unexpanded variable", "%TEMP%\\x", true, true);
        row("climbing", "C:\\Temp\\..\\Users", true, true);
        row("device path", "\\\\.\\C:\\", true, true);
        row("long-path prefix", "\\\\?\\C:\\Windows", true, true);
        // Names Windows forbids: the folder's own index stream opens the
        // folder, and an API sees a path only up to its first NUL.
        row("index stream of Windows", "C:\\Windows::$INDEX_ALLOCATION", true, true);
        row("a stream below Windows", "C:\\Windows\\Temp:x", true, true);
        row("NUL after Windows", QStringLiteral("C:\\Windows\\") + QChar(0) + QStringLiteral("Temp"), true, true);
        row("wildcard", "C:\\Windows\\Te?p", true, true);

        row("drive root", "C:\\", true, true);
        row("drive root, no separator", "d:", true, true);
        row("drive root and a dot", "C:\\.", true, true);
        row("drive root, dots and separators", "C:/.\\./", true, true);
        row("Windows", "C:\\Windows", true, true);
        row("Windows and a dot", "C:\\Windows\\.", true, true);
        row("a dot before Windows", "C:\\.\\Windows", true, true);
        row("Windows, trailing dot", "C:\\Windows.", true, true);
        row("Windows, trailing blank", "C:\\Windows ", true, true);
        row("Windows, dots and blanks", "C:\\Windows. .\\", true, true);
        row("Windows, mixed separators and case", "c:/wINDOWS//", true, true);
        row("System32", "C:\\Windows\\System32", true, true);
        row("System32 spelled oddly", "C:/windows\\.\\SYSTEM32.", true, true);
        row("SysWOW64", "C:\\Windows\\SysWOW64", true, true);
        row("Program Files", "C:\\Program Files", true, true);
        row("Program Files (x86)", "C:\\Program Files (x86)\\", true, true);
        row("ProgramData", "C:\\ProgramData", true, true);
        row("profiles", "C:\\Users", true, true);
        row("own profile", Profile, true, true);
        row("another profile", "C:\\Users\\Other", true, true);
        row("public profile", "C:\\Users\\Public", true, true);
        row("Desktop", Profile + "\\Desktop", true, true);
        row("Documents", Profile + "\\Documents", true, true);
        row("Downloads", Profile + "\\Downloads", true, true);
        row("Pictures", Profile + "\\Pictures", true, true);
        row("Music", Profile + "\\Music", true, true);
        row("Videos", Profile + "\\Videos", true, true);
        row("AppData", Profile + "\\AppData", true, true);
        row("AppData\\Local", Profile + "\\AppData\\Local", true, true);
        row("AppData\\Roaming", Profile + "\\AppData\\Roaming", true, true);
        row("AppData\\LocalLow", Profile + "\\AppData\\LocalLow", true, true);
        row("another profile's Documents", "C:\\Users\\Other\\documents ", true, true);
        row("another profile's Local", "c:/users/other/appdata/local", true, true);
        row("listed profile", "C:\\Accounts\\Admin", true, true);
        row("listed profile's Desktop", "C:\\Accounts\\Admin\\Desktop", true, true);
        row("Documents moved to another drive", "D:\\Docs", true, true);
        row("below moved Documents", "D:\\Docs\\Old", false, false);

        row("portable layout", Stick, true, true);
        row("portable layout, spelled oddly", Stick.toUpper() + ".\\.", true, true);
        row("device identifier folder", Stick + "\\Tessaro\\config", true, true);
        row("agreement flag", Stick + "\\eula_accepted.flag", true, true);
        row("tool folder", Stick + "\\Tessaro\\tools\\实用工具", true, true);

        row("holds the portable layout", Profile + "\\AppData\\Local\\Temp", false, true);
        row("holds a listed profile", "C:\\Accounts", false, true);

        row("Windows temporary folder", "C:\\Windows\\Temp", false, false);
        row("below System32", "C:\\Windows\\System32\\spool\\PRINTERS", false, false);
        row("below Program Files", "C:\\Program Files\\Bad Toolbar", false, false);
        row("error reports", "C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportQueue", false, false);
        row("cache below Local", Profile + "\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache", false, false);
        row("below Documents", Profile + "\\Documents\\Old", false, false);
        row("below another profile's Roaming", "C:\\Users\\Other\\AppData\\Roaming\\Bad", false, false);
        row("a folder of the drive", "C:\\Temp", false, false);
        row("beside the layout", Stick + "-old", false, false);
    }

    void refusals()
    {
        QFETCH(QString, path);
        TestMachine machine;
        machine.setText(ProfileList + "\\S-1-5-21-1-500", "ProfileImagePath", "C:\\Accounts\\Admin", win::RegExpandSz);
        machine.setText("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                        "Personal", "D:\\Docs", win::RegExpandSz);
        const ProtectedFolders rule(Stick + QStringLiteral("\\Tessaro\\bin"));
        QTEST(rule.refusesEmptying(path), "emptyingRefused");
        QTEST(rule.refusesRemoving(path), "removingRefused");
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

#include "ScannerTestSupport.h"
#include "scanners/JunkwareDetector.h"

#include <QtTest>

using namespace scannertest;

namespace {

const QString Uninstall64 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const QString Uninstall32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const QString UninstallUser = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const QString HkcuRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString PolicyRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
const QString Installed = QStringLiteral("已安装程序");
const QString Process = QStringLiteral("运行中进程");
const QString Startup = QStringLiteral("开机自启");
const QString Service = QStringLiteral("服务");
const QString FilePath = QStringLiteral("文件路径");
const QString BadFiles = "C:\\Users\\Tester\\AppData\\Local\\BadFiles";

QJsonArray standardSignatures()
{
    return {pattern("installed", {{"uninstall_keys", QJsonArray{"", "BadInstaller"}}}),
            pattern("process", {{"process_names", QJsonArray{"badproc"}}}),
            pattern("run", {{"startup_names", QJsonArray{"BadRun"}}}),
            pattern("service", {{"service_names", QJsonArray{"BadSvc"}}}),
            pattern("file", {{"file_paths", QJsonArray{"%LOCALAPPDATA%\\BadFiles"}}})};
}

QVector<JunkwareFinding> scan()
{
    ScanReportBundle report;
    JunkwareDetector().scanJunkware(report);
    return report.junkware;
}

void addProgram(TestMachine& machine, const QString& root, const QString& key, const QString& displayName,
                const QString& installLocation = QString())
{
    machine.setText(root + "\\" + key, "DisplayName", displayName);
    if (!installLocation.isEmpty())
        machine.setText(root + "\\" + key, "InstallLocation", installLocation, win::RegExpandSz);
}

} // namespace

class TestJunkwareDetector : public QObject
{
    Q_OBJECT

private slots:
    void findsNothingWithoutUsableSignatures()
    {
        TestMachine machine;
        addProgram(machine, Uninstall64, "Bad", "BadInstaller");
        addProcess(machine, 100, "C:\\x\\badproc.exe");
        machine.addFolder(BadFiles);
        unloadSignatures();
        QVERIFY(scan().isEmpty());

        // A blank path names no folder (blank names are the signature store's to drop).
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, {pattern("blank", {{"file_paths", QJsonArray{""}}})}));
        QVERIFY(scan().isEmpty());
    }

    void eachDimensionAlone_data()
    {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("dimension");
        QTest::addColumn<QStringList>("evidence");
        QTest::newRow("installed 64-bit") << "uninstall64" << "installed" << Installed << QStringList();
        QTest::newRow("installed 32-bit") << "uninstall32" << "installed" << Installed << QStringList();
        QTest::newRow("installed for the user") << "uninstallUser" << "installed" << Installed << QStringList();
        QTest::newRow("process") << "process" << "process" << Process << QStringList();
        QTest::newRow("run value") << "run" << "run" << Startup << QStringList();
        QTest::newRow("policy run value") << "policyRun" << "run" << Startup << QStringList();
        QTest::newRow("service") << "service" << "service" << Service << QStringList();
        QTest::newRow("folder") << "folder" << "file" << FilePath << QStringList({BadFiles});
    }

    void eachDimensionAlone()
    {
        QFETCH(QString, trace);
        QFETCH(QString, id);
        QFETCH(QString, dimension);
        QFETCH(QStringList, evidence);
        TestMachine machine;
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, standardSignatures()));
        machine.addFolder("C:\\Program Files\\Bad Installer");
        if (trace == "uninstall64")
            addProgram(machine, Uninstall64, "{1}", "The BADINSTALLER 2.0", "C:\\Program Files\\Bad Installer");
        else if (trace == "uninstall32")
            addProgram(machine, Uninstall32, "{1}", "BadInstaller");
        else if (trace == "uninstallUser")
            addProgram(machine, UninstallUser, "{1}", "BadInstaller");
        else if (trace == "process")
            addProcess(machine, 200, "C:\\Program Files\\x\\BadProc.exe");
        else if (trace == "run")
            machine.setText(HkcuRun, "xBadRunx", "whatever.exe");
        else if (trace == "policyRun")
            machine.setDword(PolicyRun, "BadRun", 1);  // the data is never looked at
        else if (trace == "service")
            addService(machine, "MyBadSvc2");
        else if (trace == "folder")
            machine.addFolder(BadFiles);

        // Traces that hit nothing: a harmless program, process, service and a driver named like the signature.
        addProgram(machine, Uninstall64, "{2}", "Good Program");
        addProcess(machine, 300, "C:\\Windows\\explorer.exe");
        addService(machine, "BadSvcDriver", win::ServiceKernelDriver);

        const QVector<JunkwareFinding> found = scan();
        QCOMPARE(found.size(), 1);
        const JunkwareFinding& f = found.first();
        QCOMPARE(QStringList({f.id, f.name, f.category, f.riskLevel, f.description, f.dimension, f.evidence.join(',')}),
                 QStringList({id, id + " Name", "adware", "medium", id + " description", dimension, evidence.join(',')}));
        QCOMPARE(machine->registry().openHandleCount(), 0);
        QCOMPARE(machine->openHandleCount(), 0);
    }

    void installedProgramEvidence_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QStringList>("evidence");
        QTest::newRow("folder still there") << "C:\\Program Files\\Bad Installer" << QStringList();
        QTest::newRow("folder gone") << "C:\\Program Files\\Bad Gone" << QStringList({"C:\\Program Files\\Bad Gone"});
        // A 64-bit program's entry means the 64-bit program folder.
        QTest::newRow("gone, written with a variable") << "%ProgramFiles%\\Bad Gone"
                                                        << QStringList({"C:\\Program Files\\Bad Gone"});
        QTest::newRow("unknown variable") << "%NOSUCHVAR%\\Bad" << QStringList();
        QTest::newRow("another user's profile") << "C:\\Users\\Someone" << QStringList();
        QTest::newRow("relative") << "Bad Gone" << QStringList();
        QTest::newRow("climbs out") << "C:\\Program Files\\Bad Gone\\..\\.." << QStringList();
    }

    void installedProgramEvidence()
    {
        QFETCH(QString, location);
        QFETCH(QStringList, evidence);
        TestMachine machine;
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, standardSignatures()));
        machine.addFolder("C:\\Program Files\\Bad Installer");
        addProgram(machine, Uninstall64, "{1}", "BadInstaller", location);
        const QVector<JunkwareFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().evidence, evidence);
    }

    void onlyTextDisplayNamesCount()
    {
        TestMachine machine;
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, standardSignatures()));
        setRaw(machine, Uninstall64 + "\\{1}", "DisplayName", win::RegBinary, win::registryTextData("BadInstaller"));
        machine.setText(Uninstall64 + "\\{2}", "DisplayName", "BadInstaller", win::RegMultiSz);
        QVERIFY(scan().isEmpty());
        machine.setText(Uninstall64 + "\\{3}", "DisplayName", "BadInstaller", win::RegExpandSz);
        QCOMPARE(scan().size(), 1);
    }

    void hitsOfOneSignatureMerge()
    {
        TestMachine machine;
        QTemporaryDir signatures;
        const QJsonObject both{{"process_names", QJsonArray{"combo"}},
                               {"file_paths", QJsonArray{"%LOCALAPPDATA%\\Combo", "C:\\Users\\Tester\\AppData\\Local\\Combo",
                                                         "%APPDATA%\\Combo", "%LOCALAPPDATA%\\Missing"}}};
        QVERIFY(loadSignatures(signatures, {pattern("combo", both), pattern("combo", {{"process_names", QJsonArray{"combo"}}})}));
        addProcess(machine, 200, "C:\\Tools\\combo.exe");
        machine.addFolder("C:\\Users\\Tester\\AppData\\Local\\Combo");
        machine.addFile("C:\\Users\\Tester\\AppData\\Roaming\\Combo");

        const QVector<JunkwareFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().dimension, Process);
        QCOMPARE(found.first().evidence, QStringList({"C:\\Users\\Tester\\AppData\\Local\\Combo",
                                                      "C:\\Users\\Tester\\AppData\\Roaming\\Combo"}));
    }

    void whitelistedIdGivesNoRecord()
    {
        TestMachine machine;
        QTemporaryDir signatures;
        QJsonArray sigs = standardSignatures();
        sigs.append(pattern("all", {{"uninstall_keys", QJsonArray{"BadInstaller"}},
                                    {"process_names", QJsonArray{"badproc"}},
                                    {"startup_names", QJsonArray{"BadRun"}},
                                    {"service_names", QJsonArray{"BadSvc"}},
                                    {"file_paths", QJsonArray{"%LOCALAPPDATA%\\BadFiles"}}}));
        QVERIFY(loadSignatures(signatures, sigs, QJsonObject{{"patterns", QJsonArray{"all"}}}));
        addProgram(machine, Uninstall64, "{1}", "BadInstaller");
        addProcess(machine, 200, "C:\\x\\badproc.exe");
        machine.setText(HkcuRun, "BadRun", "x.exe");
        addService(machine, "BadSvc");
        machine.addFolder(BadFiles);

        QStringList ids;
        for (const JunkwareFinding& finding : scan())
            ids.append(finding.id);
        QCOMPARE(ids, QStringList({"installed", "process", "run", "service", "file"}));
    }

    void whitelistedProcessIsSkippedOnlyThere()
    {
        TestMachine machine;
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, {pattern("p", {{"process_names", QJsonArray{"badproc"}},
                                                          {"file_paths", QJsonArray{"%LOCALAPPDATA%\\BadFiles"}}})},
                               QJsonObject{{"process_names", QJsonArray{"BADPROC.EXE"}}}));
        addProcess(machine, 200, "C:\\x\\badproc.exe");
        QVERIFY(scan().isEmpty());
        machine.addFolder(BadFiles);
        const QVector<JunkwareFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().dimension, FilePath);
    }

    void whitelistedPaths_data()
    {
        QTest::addColumn<QString>("signaturePath");
        QTest::addColumn<QString>("whitelistPath");
        QTest::newRow("same spelling") << "%LOCALAPPDATA%\\BadFiles" << "%LOCALAPPDATA%\\BadFiles";
        QTest::newRow("whitelist spelled out") << "%LOCALAPPDATA%\\BadFiles" << "c:\\users\\tester\\appdata\\local\\badfiles";
        QTest::newRow("signature spelled out") << BadFiles << "%LocalAppData%\\BadFiles";
        QTest::newRow("other separator") << "C:/Users/Tester/AppData/Local/BadFiles" << "%LOCALAPPDATA%\\BadFiles";
    }

    void whitelistedPaths()
    {
        QFETCH(QString, signaturePath);
        QFETCH(QString, whitelistPath);
        TestMachine machine;
        machine.addFolder(BadFiles);
        QTemporaryDir signatures;
        const QJsonArray sigs{pattern("file", {{"file_paths", QJsonArray{signaturePath}}})};
        QVERIFY(loadSignatures(signatures, sigs));
        QCOMPARE(scan().size(), 1);
        QVERIFY(loadSignatures(signatures, sigs, QJsonObject{{"file_paths", QJsonArray{"", whitelistPath}}}));
        QVERIFY(scan().isEmpty());
    }

    // A sample of the folders that are never junk, each spelt as a signature
    // may spell it; every folder and spelling is the protected folders' own
    // test's to try.
    void filePathsThatMustNeverBecomeEvidence_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("drive root") << "C:\\";
        QTest::newRow("windows") << "%SystemRoot%";
        QTest::newRow("program files") << "%ProgramW6432%";
        QTest::newRow("profile") << "%USERPROFILE%";
        QTest::newRow("local") << "%LOCALAPPDATA%\\";
        QTest::newRow("locallow") << "C:/Users/Tester/AppData/LocalLow";
        QTest::newRow("climbs back up") << "%LOCALAPPDATA%\\BadFiles\\..";
        QTest::newRow("relative") << "BadFiles";
        QTest::newRow("unknown variable") << "%NOSUCH%\\BadFiles";
    }

    void filePathsThatMustNeverBecomeEvidence()
    {
        QFETCH(QString, path);
        TestMachine machine;
        for (const char* folder : {"C:\\Windows", "C:\\Program Files", "C:\\Program Files (x86)", "C:\\ProgramData",
                                      "C:\\Users\\Other\\AppData\\Local", "C:\\Users\\Tester\\AppData\\LocalLow",
                                      "C:\\Users\\Tester\\AppData\\Roaming"})
            machine.addFolder(folder);
        machine.addFolder(BadFiles);
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, {pattern("file", {{"file_paths", QJsonArray{path}}})}));
        QVERIFY(scan().isEmpty());
    }

    void runValuesMatchByNameWhateverTheirData()
    {
        TestMachine machine;
        QTemporaryDir signatures;
        QVERIFY(loadSignatures(signatures, standardSignatures()));
        // Only the name is matched, so data too large to read hides nothing.
        machine.setText(HkcuRun, QString(1500, 'N'), "x.exe");
        machine.setText(HkcuRun, "BadRun", QString(5000, 'x'));
        const QVector<JunkwareFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().id, QString("run"));
    }
};

QTEST_GUILESS_MAIN(TestJunkwareDetector)
#include "tst_JunkwareDetector.moc"

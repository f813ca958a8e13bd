#include "platform/FileFacts.h"
#include "tests/support/TestMachine.h"

#include <QtTest>

using namespace win;

namespace {

void addResource(TestMachine& machine, const QString& path, const QString& description)
{
    sim::SimVersionResource resource;
    resource.language = 0x0409;
    resource.codePage = 0x04e4;
    resource.strings.insert("FileDescription", description);
    machine->system().versionResources.insert(path, resource);
}

QString descriptionOf(const QString& path)
{
    FileVersionInfo info;
    QVector<QPair<quint16, quint16>> translations;
    QString value;
    quint32 length = 0;
    if (!info.load(path, FileVersionInfo::size(path)) || !info.translations(&translations)
        || !info.queryString("\\StringFileInfo\\040904e4\\FileDescription", &value, &length))
        return QString();
    return value;
}

} // namespace

class TestFileFacts : public QObject
{
    Q_OBJECT

private slots:
    void versionResourceByAnySpelling();
    void loadedVersionInfoKeepsItsCopy();
    void trustAnswersFollowTheTable();
};

void TestFileFacts::versionResourceByAnySpelling()
{
    TestMachine machine;
    machine.addFile("C:\\Program Files\\App\\app.exe", "MZ");
    addResource(machine, "C:/Program Files/App//app.exe", "App");

    QCOMPARE(descriptionOf("c:\\PROGRAM FILES\\app\\APP.EXE"), QString("App"));
    QVERIFY(FileVersionInfo::size("C:\\Program Files\\App\\app.exe") > 0);
    QCOMPARE(FileVersionInfo::size("C:\\Program Files\\App\\other.exe"), 0u);

    // The table changes after it was asked: the next answer follows it.
    addResource(machine, "C:\\Program Files\\App\\app.exe", "Renamed");
    machine->system().versionResources.remove("C:/Program Files/App//app.exe");
    QCOMPARE(descriptionOf("C:\\Program Files\\App\\app.exe"), QString("Renamed"));
    machine->system().versionResources.clear();
    QCOMPARE(FileVersionInfo::size("C:\\Program Files\\App\\app.exe"), 0u);
}

void TestFileFacts::loadedVersionInfoKeepsItsCopy()
{
    TestMachine machine;
    machine.addFile("C:\\Tools\\tool.exe", "MZ");
    addResource(machine, "C:\\Tools\\tool.exe", "Tool");
    const quint32 size = FileVersionInfo::size("C:\\Tools\\tool.exe");

    FileVersionInfo tooSmall;
    QVERIFY(!tooSmall.load("C:\\Tools\\tool.exe", size - 1));
    QVector<QPair<quint16, quint16>> translations;
    QVERIFY(!tooSmall.translations(&translations));

    FileVersionInfo info;
    QVERIFY(info.load("C:\\Tools\\tool.exe", size));
    QVERIFY(QFile::remove(machine.hostPath("C:\\Tools\\tool.exe")));
    QVERIFY(info.translations(&translations));
    QCOMPARE(translations, (QVector<QPair<quint16, quint16>>{qMakePair(quint16(0x0409), quint16(0x04e4))}));
    QString value;
    quint32 length = 0;
    QVERIFY(info.queryString("\\StringFileInfo\\040904E4\\filedescription", &value, &length));
    QCOMPARE(value, QString("Tool"));
    QCOMPARE(length, 5u);
    QVERIFY(!info.queryString("\\StringFileInfo\\080404b0\\FileDescription", &value, &length));
}

void TestFileFacts::trustAnswersFollowTheTable()
{
    TestMachine machine;
    machine.addFile("C:\\Signed\\a.exe", "MZ");
    QCOMPARE(winVerifyTrust("C:\\Signed\\a.exe"), TRUST_E_NoSignature);
    machine->system().trust.insert("c:/signed/A.EXE", S_Ok);
    QCOMPARE(winVerifyTrust("C:\\Signed\\a.exe"), S_Ok);
    QCOMPARE(winVerifyTrust("C:\\Signed\\missing.exe"), E_FileNotFound);
}

QTEST_GUILESS_MAIN(TestFileFacts)
#include "tst_filefacts.moc"

#include "platform/Programs.h"
#include "platform/sim/programs/SimWmic.h"
#include "platform/sim/programs/WmiInstance.h"
#include "platform/sim/programs/WqlCondition.h"
#include "tests/support/TestMachine.h"

#include <QJsonArray>
#include <QTextCodec>
#include <QtTest>

using namespace win;

namespace {

const double Gib = 1024.0 * 1024.0 * 1024.0;
const QString SecurityCenter = QStringLiteral("/namespace:\\\\root\\SecurityCenter2");
const QString DefaultNamespace = QStringLiteral("/namespace:\\\\root\\default");
const QString StorageNamespace = QStringLiteral("/namespace:\\\\root\\Microsoft\\Windows\\Storage");

ProgramRun wmic(const QStringList& arguments)
{
    return runProgram(QStringLiteral("wmic"), arguments, 8000, StandardInput::Closed);
}

QString out(const ProgramRun& run)
{
    return fromLocal8Bit(run.standardOutput);
}

QString err(const ProgramRun& run)
{
    return fromLocal8Bit(run.standardError);
}

QString wmiError(const char* description)
{
    return QStringLiteral("Node - DESKTOP-TEST\r\r\nERROR:\r\r\nDescription = %1\r\r\n").arg(QLatin1String(description));
}

QJsonObject restorePoint(int sequence, const QString& description, const QString& time)
{
    return QJsonObject{{"sequenceNumber", sequence}, {"description", description}, {"creationTime", time},
                       {"restorePointType", 0}, {"eventType", 100}};
}

QJsonObject withRestorePoints()
{
    return QJsonObject{{"restorePoints", QJsonArray{restorePoint(5, "Windows Update", "20261101093012.123456-000"),
                                                     restorePoint(12, "安装驱动", "20261203180000.000000-000")}}};
}

QJsonObject twoDisks()
{
    const auto drive = [](const char* folder, double total, const char* kind, int disk) {
        return QJsonObject{{"folder", folder}, {"totalBytes", total}, {"freeBytes", total / 2}, {"kind", kind},
                           {"diskNumber", disk}};
    };
    return QJsonObject{
        {"drives", QJsonObject{{"C", drive("drives/C", 256 * Gib, "SSD", 0)}, {"D", drive("drives/D", 1000 * Gib, "HDD", 1)}}},
        {"disks", QJsonArray{QJsonObject{{"number", 0}, {"model", "Samsung SSD 870 EVO 500GB"}, {"busType", "SATA"},
                                         {"serial", "S5Y1NX0R123456"}},
                             QJsonObject{{"number", 1}, {"model", "ST1000DM010-2EP102"}, {"busType", "SATA"}}}}};
}

sim::WmiInstance disk(const QString& deviceId, qulonglong index, const QString& media)
{
    sim::WmiInstance instance;
    instance.set(QStringLiteral("DeviceID"), deviceId);
    instance.set(QStringLiteral("Index"), index);
    instance.set(QStringLiteral("MediaType"), media);
    instance.set(QStringLiteral("DriveLetter"), QChar('C'));
    instance.set(QStringLiteral("Removable"), false);
    instance.set(QStringLiteral("Serial"), QVariant());
    return instance;
}

} // namespace

class WmicTest : public QObject
{
    Q_OBJECT

private slots:
    void readsIdentifiersThroughClassPaths();
    void answersNoInstancesOnStandardError();
    void padsTableColumnsAndOrdersThemByName();
    void tellsMediaTypeAndPartitionsInTheStorageNamespace();
    void keepsChineseProductNamesThroughTheCodePage();
    void rejectsRestorePointDeletion();
    void reportsWmiErrors_data();
    void reportsWmiErrors();
    void waitsAtItsPromptWithoutACommand();
    void waitsForTheEndOfItsInputAfterAnswering();
    void hasWhatItsWindowsHas_data();
    void hasWhatItsWindowsHas();
    void evaluatesWqlConditions_data();
    void evaluatesWqlConditions();
    void rejectsMalformedConditions_data();
    void rejectsMalformedConditions();
    void flagsLiteralsOfTheWrongType();
};

void WmicTest::readsIdentifiersThroughClassPaths()
{
    TestMachine machine;
    const ProgramRun cpu = wmic({"path", "Win32_Processor", "get", "ProcessorId", "/value"});
    QVERIFY(cpu.started);
    QVERIFY(cpu.finished);
    QCOMPARE(cpu.exitCode, 0);
    QCOMPARE(out(cpu), QStringLiteral("\r\r\n\r\r\nProcessorId=BFEBFBFF000906EA\r\r\n\r\r\n\r\r\n\r\r\n"));
    QVERIFY(cpu.standardError.isEmpty());

    const ProgramRun board = runProgram("WMIC.EXE", {"PATH", "win32_baseboard", "GET", "serialnumber", "/VALUE"}, 5000,
                                        StandardInput::Closed);
    QCOMPARE(out(board), QStringLiteral("\r\r\n\r\r\nSerialNumber=PF2ABCDE\r\r\n\r\r\n\r\r\n\r\r\n"));

    const ProgramRun alias = wmic({"cpu", "get", "ProcessorId", "/value"});
    QCOMPARE(out(alias), out(cpu));
}

void WmicTest::waitsForTheEndOfItsInputAfterAnswering()
{
    TestMachine machine;
    const QStringList query = {"path", "Win32_Processor", "get", "ProcessorId", "/value"};
    const quint64 start = machine->clock().nowMs();
    const ProgramRun closed = runProgram("wmic", query, 5000, StandardInput::Closed);
    QVERIFY(closed.finished);
    QVERIFY(machine->clock().nowMs() - start < 1000);   // the clock also counts real time

    const ProgramRun open = runProgram("wmic", query, 5000, StandardInput::Open);
    QVERIFY(open.started);
    QVERIFY(!open.finished);
    QCOMPARE(out(open), out(closed));   // it answered, then waited for more input
    QVERIFY(machine->clock().nowMs() - start >= 5000 && machine->clock().nowMs() - start < 6000);

    const ProgramRun unbounded = runProgram("wmic", query, WaitForever, StandardInput::Open);
    QVERIFY(!unbounded.finished);
    QVERIFY(machine->clock().nowMs() - start >= 5000 + quint64(machine->programs().hangMs()));

    // Other programs never read their input.
    const ProgramRun ipconfig = runProgram("ipconfig", {"/flushdns"}, 5000, StandardInput::Open);
    QVERIFY(ipconfig.finished);
}

void WmicTest::hasWhatItsWindowsHas_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("build");
    QTest::addColumn<QJsonObject>("machine");
    QTest::addColumn<bool>("started");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Windows 7: no storage namespace") << 1 << 7601 << QJsonObject() << true << int(0x8004100Eu);
    QTest::newRow("Windows 8 has it") << 2 << 9200 << QJsonObject() << true << 0;
    QTest::newRow("Windows 11 23H2 has wmic") << 0 << 22631 << QJsonObject() << true << 0;
    QTest::newRow("a fresh Windows 11 24H2 lacks wmic") << 0 << 26100 << QJsonObject() << false << 0;
    QTest::newRow("wmic installed on 24H2") << 0 << 26100 << QJsonObject{{"programs", QJsonObject{{"wmic", "present"}}}}
                                          << true << 0;
}

void WmicTest::hasWhatItsWindowsHas()
{
    QFETCH(int, minor);
    QFETCH(int, build);
    QFETCH(QJsonObject, machine);
    QFETCH(bool, started);
    QFETCH(int, exitCode);
    TestMachine test(machine);
    test.setWindowsVersion(minor == 0 ? 10 : 6, quint32(minor), quint32(build));
    const ProgramRun run = wmic({StorageNamespace, "path", "MSFT_PhysicalDisk", "get", "MediaType", "/value"});
    QCOMPARE(run.started, started);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode != 0 && started)
        QCOMPARE(err(run), wmiError("Invalid namespace"));
}

void WmicTest::answersNoInstancesOnStandardError()
{
    TestMachine machine;
    const ProgramRun empty = wmic({SecurityCenter, "path", "AntiVirusProduct", "get", "displayName"});
    QVERIFY(empty.finished);
    QCOMPARE(empty.exitCode, 0);
    QVERIFY(empty.standardOutput.isEmpty());
    QCOMPARE(err(empty), QStringLiteral("No Instance(s) Available.\r\r\n"));

    // The disk drive table knows no solid-state media.
    const ProgramRun ssd = wmic({"diskdrive", "where", "MediaType like '%SSD%' and DeviceID like '%C%'", "get", "MediaType"});
    QCOMPARE(ssd.exitCode, 0);
    QVERIFY(ssd.standardOutput.isEmpty());
    QCOMPARE(err(ssd), QStringLiteral("No Instance(s) Available.\r\r\n"));

    const ProgramRun fixed = wmic({"diskdrive", "where", "DeviceID like '%C%'", "get", "MediaType"});
    QCOMPARE(out(fixed), QStringLiteral("MediaType              \r\r\nFixed hard disk media  \r\r\n\r\r\n"));
    QVERIFY(fixed.standardError.isEmpty());
}

void WmicTest::padsTableColumnsAndOrdersThemByName()
{
    TestMachine machine(twoDisks());
    const ProgramRun run = wmic({"diskdrive", "get", "Model,Index,InterfaceType"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(out(run), QStringLiteral("Index  InterfaceType  Model                      \r\r\n"
                                      "0      IDE            Samsung SSD 870 EVO 500GB  \r\r\n"
                                      "1      IDE            ST1000DM010-2EP102         \r\r\n"
                                      "\r\r\n"));

    TestMachine restore(withRestorePoints());
    const ProgramRun points = wmic({DefaultNamespace, "path", "SystemRestore", "get", "SequenceNumber,Description,CreationTime"});
    QCOMPARE(out(points), QStringLiteral("CreationTime               Description     SequenceNumber  \r\r\n"
                                         "20261101093012.123456-000  Windows Update  5               \r\r\n"
                                         "20261203180000.000000-000  安装驱动            12              \r\r\n"
                                         "\r\r\n"));
}

void WmicTest::tellsMediaTypeAndPartitionsInTheStorageNamespace()
{
    TestMachine machine(twoDisks());
    const ProgramRun hdd = wmic({StorageNamespace, "path", "MSFT_PhysicalDisk", "where", "DeviceId='1'", "get",
                                 "MediaType,FriendlyName,BusType"});
    QCOMPARE(out(hdd), QStringLiteral("BusType  FriendlyName        MediaType  \r\r\n"
                                      "11       ST1000DM010-2EP102  3          \r\r\n\r\r\n"));
    const ProgramRun ssd = wmic({StorageNamespace, "path", "MSFT_PhysicalDisk", "where", "DeviceId=0", "get", "MediaType",
                                 "/value"});
    QCOMPARE(out(ssd), QStringLiteral("\r\r\n\r\r\nMediaType=4\r\r\n\r\r\n\r\r\n\r\r\n"));

    const ProgramRun partition = wmic({StorageNamespace, "path", "MSFT_Partition", "where", "DriveLetter='D'", "get",
                                       "DiskNumber,PartitionNumber,DriveLetter"});
    QCOMPARE(out(partition), QStringLiteral("DiskNumber  DriveLetter  PartitionNumber  \r\r\n"
                                            "1           68           1                \r\r\n\r\r\n"));
}

void WmicTest::keepsChineseProductNamesThroughTheCodePage()
{
    const QString name = QStringLiteral("火绒安全软件");
    TestMachine machine(QJsonObject{{"securityCenter", QJsonObject{{"antivirus", QJsonArray{
        QJsonObject{{"displayName", name}, {"productState", 397568}},
        QJsonObject{{"displayName", "Windows Defender"}, {"productState", 393472}}}}}}});
    const ProgramRun run = wmic({SecurityCenter, "path", "AntiVirusProduct", "get", "displayName,productState"});
    const QString expected = QStringLiteral("displayName       productState  \r\r\n"
                                            "火绒安全软件            397568        \r\r\n"
                                            "Windows Defender  393472        \r\r\n\r\r\n");
    QCOMPARE(run.standardOutput, QTextCodec::codecForName("GBK")->fromUnicode(expected));
    QVERIFY(run.standardOutput.contains(QByteArray("\xbb\xf0\xc8\xde")));   // 火绒 in GBK
    QCOMPARE(out(run), expected);
}

void WmicTest::rejectsRestorePointDeletion()
{
    TestMachine machine(withRestorePoints());
    const ProgramRun run = wmic({DefaultNamespace, "path", "SystemRestore where SequenceNumber='5'", "call",
                                 "DeleteRestorePoint"});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, int(0x8004102Eu));
    QCOMPARE(err(run), QStringLiteral("Node - DESKTOP-TEST\r\r\nERROR:\r\r\nDescription = Invalid method\r\r\n"));
    QCOMPARE(machine->programs().restorePoints().size(), 2);

    const ProgramRun separate = wmic({DefaultNamespace, "path", "SystemRestore", "where", "SequenceNumber=5", "call",
                                      "DeleteRestorePoint"});
    QCOMPARE(separate.exitCode, int(0x8004102Eu));
    QCOMPARE(machine->programs().restorePoints().size(), 2);
}

void WmicTest::reportsWmiErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown namespace") << QStringList{"/namespace:\\\\root\\nowhere", "path", "X", "get", "A"} << true
                                       << int(0x8004100Eu) << wmiError("Invalid namespace");
    QTest::newRow("unknown class") << QStringList{"path", "Win32_Nothing", "get", "Name"} << true << int(0x80041010u)
                                   << wmiError("Invalid class");
    QTest::newRow("class of another namespace") << QStringList{"path", "AntiVirusProduct", "get", "displayName"} << true
                                                << int(0x80041010u) << wmiError("Invalid class");
    QTest::newRow("unknown property") << QStringList{"path", "Win32_Processor", "get", "Serial"} << true << int(0x80041017u)
                                      << wmiError("Invalid query");
    QTest::newRow("unknown property in where") << QStringList{"diskdrive", "where", "Kind='SSD'", "get", "Model"} << true
                                               << int(0x80041017u) << wmiError("Invalid query");
    QTest::newRow("broken where") << QStringList{"diskdrive", "where", "MediaType like", "get", "Model"} << true
                                  << int(0x80041017u) << wmiError("Invalid query");
    QTest::newRow("restore points as a user")
        << QStringList{DefaultNamespace, "path", "SystemRestore", "get", "SequenceNumber,Description"} << false
        << int(0x80041003u) << wmiError("Access denied");
    for (const char* wmiClass : {"Win32_Processor", "Win32_BaseBoard"}) {
        QTest::addRow("class %s where an alias belongs", wmiClass)
            << QStringList{wmiClass, "get", "ProcessorId", "/value"} << true << sim::SimWmic::ParserErrorExitCode
            << QString::fromLatin1(wmiClass) + QStringLiteral(" - Alias not found.\r\r\n");
    }
    QTest::newRow("unknown switch") << QStringList{"/node:pc", "cpu", "get", "ProcessorId"} << true
                                    << sim::SimWmic::ParserErrorExitCode << QStringLiteral("Invalid Global Switch.\r\r\n");
    QTest::newRow("unknown verb") << QStringList{"cpu", "show"} << true << sim::SimWmic::ParserErrorExitCode
                                  << QStringLiteral("Invalid Verb.\r\r\n");
    QTest::newRow("unknown get switch") << QStringList{"cpu", "get", "ProcessorId", "/every"} << true
                                        << sim::SimWmic::ParserErrorExitCode << QStringLiteral("Invalid Verb Switch.\r\r\n");
}

void WmicTest::reportsWmiErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, administrator);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    TestMachine machine(withRestorePoints());
    machine->system().administrator = administrator;
    const ProgramRun run = wmic(arguments);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(run.standardOutput.isEmpty());
    QCOMPARE(err(run), error);
}

void WmicTest::waitsAtItsPromptWithoutACommand()
{
    TestMachine machine;
    const quint64 before = machine->clock().nowMs();
    const ProgramRun run = wmic({DefaultNamespace});
    QVERIFY(run.started);
    QVERIFY(!run.finished);
    QVERIFY(machine->clock().nowMs() >= before + 8000);
}

void WmicTest::evaluatesWqlConditions_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<bool>("matches");
    QTest::newRow("like with percent") << "DeviceID like '%DRIVE0'" << true;
    QTest::newRow("like ignores case") << "MediaType LIKE '%HARD disk%'" << true;
    QTest::newRow("like underscore is one character") << "MediaType like 'Fixed_hard%'" << true;
    QTest::newRow("underscore needs a character") << "DeviceID like '%DRIVE0_'" << false;
    QTest::newRow("like set") << "DeviceID like '%DRIVE[0-3]'" << true;
    QTest::newRow("like negated set") << "DeviceID like '%DRIVE[^0]'" << false;
    QTest::newRow("like is anchored") << "MediaType like 'hard%'" << false;
    QTest::newRow("ssd test") << "MediaType like '%SSD%' and DeviceID like '%C%'" << false;
    QTest::newRow("or") << "MediaType like '%SSD%' or DeviceID like '%C%'" << true;
    QTest::newRow("not") << "not MediaType like '%SSD%'" << true;
    QTest::newRow("parentheses") << "(Index = 1 or Index = 0) and not (MediaType = 'x')" << true;
    QTest::newRow("and binds tighter") << "Index = 1 and MediaType = 'x' or Index = 0" << true;
    QTest::newRow("equal ignores case") << "MediaType = 'FIXED HARD DISK MEDIA'" << true;
    QTest::newRow("escaped backslashes") << "DeviceID = '\\\\\\\\.\\\\PHYSICALDRIVE0'" << true;
    QTest::newRow("number as text") << "Index = '0'" << true;
    QTest::newRow("number compare") << "Index >= 1" << false;
    QTest::newRow("not equal") << "Index != 3" << true;
    QTest::newRow("char16 by letter") << "DriveLetter = 'C'" << true;
    QTest::newRow("char16 by code") << "DriveLetter = 67" << true;
    QTest::newRow("boolean") << "Removable = FALSE" << true;
    QTest::newRow("null") << "Serial IS NULL and Index IS NOT NULL" << true;
    QTest::newRow("null never equals") << "Serial = ''" << false;
    QTest::newRow("double quotes") << "MediaType like \"%media\"" << true;
}

void WmicTest::evaluatesWqlConditions()
{
    QFETCH(QString, condition);
    QFETCH(bool, matches);
    sim::WqlCondition where;
    QVERIFY(where.parse(condition));
    bool typeError = true;
    QCOMPARE(where.matches(disk("\\\\.\\PHYSICALDRIVE0", 0, "Fixed hard disk media"), &typeError), matches);
    QVERIFY(!typeError);
}

void WmicTest::rejectsMalformedConditions_data()
{
    QTest::addColumn<QString>("condition");
    QTest::newRow("empty") << "";
    QTest::newRow("no operator") << "MediaType";
    QTest::newRow("no literal") << "MediaType like";
    QTest::newRow("open string") << "MediaType = 'x";
    QTest::newRow("open parenthesis") << "(Index = 0";
    QTest::newRow("dangling and") << "Index = 0 and";
    QTest::newRow("like a number") << "Index like 0";
    QTest::newRow("two properties") << "Index = Size";
    QTest::newRow("stray symbol") << "Index = 0 ;";
}

void WmicTest::rejectsMalformedConditions()
{
    QFETCH(QString, condition);
    QVERIFY(!sim::WqlCondition().parse(condition));
}

void WmicTest::flagsLiteralsOfTheWrongType()
{
    sim::WqlCondition where;
    QVERIFY(where.parse(QStringLiteral("Index = 'CreationTime'")));
    bool typeError = false;
    QVERIFY(!where.matches(disk("x", 0, "y"), &typeError));
    QVERIFY(typeError);

    TestMachine machine(withRestorePoints());
    const ProgramRun run = wmic({DefaultNamespace, "path", "SystemRestore", "where", "SequenceNumber='CreationTime'",
                                 "get", "Description"});
    QCOMPARE(run.exitCode, int(0x80041017u));
}

QTEST_GUILESS_MAIN(WmicTest)
#include "tst_programs_wmic.moc"

#include "ScannerTestSupport.h"
#include "scanners/ConflictScanner.h"

#include <QtTest>

using namespace scannertest;

namespace {

const QString Uninstall64 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const QString Uninstall32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const QString UninstallUser = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const quint32 Enabled = 0x061100;       // on, signatures up to date
const quint32 EnabledStale = 0x061110;  // on, signatures out of date
const quint32 Off = 0x060100;
const quint32 Snoozed = 0x062100;

QVector<ConflictFinding> scan()
{
    ScanReportBundle report;
    ConflictScanner().scanConflicts(report);
    return report.conflicts;
}

void addAntivirus(TestMachine& machine, const QString& name, quint32 state)
{
    win::sim::AntivirusProduct product;
    product.displayName = name;
    product.productState = state;
    machine->programs().antivirusProducts().append(product);
}

void install(TestMachine& machine, const QString& root, const QString& key, const QString& displayName)
{
    machine.setText(root + "\\" + key, "DisplayName", displayName);
}

} // namespace

class TestConflictScanner : public QObject
{
    Q_OBJECT

private slots:
    void init() { unloadSignatures(); }

    void antivirusProducts_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<quint32>>("states");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("detail");
        QTest::newRow("none") << QStringList() << QList<quint32>() << QString() << QString();
        QTest::newRow("one") << QStringList({"Windows Defender"}) << QList<quint32>({Enabled}) << "检测到杀毒软件"
                             << "Windows Defender";
        QTest::newRow("two") << QStringList({"Guard Pro", "Windows Defender"}) << QList<quint32>({Enabled, EnabledStale})
                             << "检测到多个杀毒软件同时运行" << "Guard Pro、Windows Defender";
        QTest::newRow("three") << QStringList({"A AV", "B AV", "C AV"}) << QList<quint32>({Enabled, Enabled, 0x041000})
                               << "检测到多个杀毒软件同时运行" << "A AV、B AV、C AV";
        QTest::newRow("built-in standing by") << QStringList({"Windows Defender", "Guard Pro"}) << QList<quint32>({Off, Enabled})
                                              << "检测到杀毒软件" << "Guard Pro";
        QTest::newRow("all off or snoozed") << QStringList({"Windows Defender", "Guard Pro"}) << QList<quint32>({Off, Snoozed})
                                            << QString() << QString();
        QTest::newRow("registered twice") << QStringList({"Guard Pro", "Guard Pro"}) << QList<quint32>({Enabled, Enabled})
                                          << "检测到杀毒软件" << "Guard Pro";
    }

    void antivirusProducts()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<quint32>, states);
        QFETCH(QString, title);
        QFETCH(QString, detail);
        TestMachine machine;
        for (int i = 0; i < names.size(); ++i)
            addAntivirus(machine, names.at(i), states.at(i));
        const QVector<ConflictFinding> found = scan();
        QCOMPARE(found.size(), title.isEmpty() ? 0 : 1);
        if (title.isEmpty())
            return;
        QCOMPARE(found.first().category, QString("antivirus"));
        QCOMPARE(found.first().title, title);
        QCOMPARE(found.first().detail, detail);
        QCOMPARE(found.first().advice, QString(title == "检测到杀毒软件" ? "如未安装杀毒软件请及时安装（Windows Defender 已内置）" : "建议只保留一款杀毒软件，避免相互冲突导致系统卡顿"));
    }

    void antivirusQueryAsked()
    {
        TestMachine machine;
        const quint64 start = machine->clock().nowMs();
        scan();
        QVERIFY(machine->clock().nowMs() - start < 1000);   // wmic's input was closed: no wait ran out (the clock runs on in real time)
        const QVector<win::sim::JournalEntry> journal = machine->journal();
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal.first().program, QString("wmic"));
        QCOMPARE(journal.first().arguments, QStringList({"/namespace:\\\\root\\SecurityCenter2", "path", "AntiVirusProduct", "get",
                                                         "displayName,productState"}));
        QCOMPARE(journal.first().waitMs, 8000);
    }

    void wmicMissingOrHanging_data()
    {
        QTest::addColumn<int>("availability");
        QTest::newRow("missing") << int(win::sim::ProgramAvailability::Missing);
        QTest::newRow("hanging") << int(win::sim::ProgramAvailability::Hangs);
    }

    void wmicMissingOrHanging()
    {
        QFETCH(int, availability);
        TestMachine machine;
        addAntivirus(machine, "Guard Pro", Enabled);
        install(machine, Uninstall64, "a", "Chrome");
        install(machine, Uninstall64, "b", "Firefox");
        install(machine, Uninstall64, "c", "Edge");
        machine->programs().setAvailability("wmic", win::sim::ProgramAvailability(availability));
        const QVector<ConflictFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().category, QString("overlap"));
    }

    void tableColumnsFollowTheHeader_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("products");
        QTest::newRow("name first") << "displayName                productState  \r\r\n"
                                       "Windows Defender           393472        \r\r\n"
                                       "Guard Pro Internet Suite   397568        \r\r\n\r\r\n"
                                    << QStringList({"Guard Pro Internet Suite"});
        QTest::newRow("state first, other case") << "PRODUCTSTATE  DISPLAYNAME        \r\n"
                                                    "397568        Guard Pro          \r\n"
                                                    "266240        Old Shield 2       \r\n"
                                                 << QStringList({"Guard Pro", "Old Shield 2"});
        QTest::newRow("shifted padding") << "displayName   productState\n安全卫士  397568\n"
                                         << QStringList({"安全卫士"});
        QTest::newRow("no header") << "Guard Pro   397568\n" << QStringList();
        QTest::newRow("unreadable state") << "displayName  productState\nGuard Pro    n/a\n" << QStringList();
        QTest::newRow("empty") << "" << QStringList();
    }

    void tableColumnsFollowTheHeader()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, products);
        QCOMPARE(ConflictScanner::enabledProductsFromTable(table), products);
    }

    void installedProgramNames()
    {
        TestMachine machine;
        install(machine, Uninstall64, "a", "  Alpha  ");
        install(machine, Uninstall32, "a", "Alpha");
        install(machine, UninstallUser, "b", "Beta");
        install(machine, Uninstall64, "c", "   ");
        machine.setText(Uninstall64 + "\\d", "DisplayName", "Dword", win::RegMultiSz);
        machine.setText(Uninstall64 + "\\e", "Other", "no display name");
        QCOMPARE(ConflictScanner::installedProgramNames(), QStringList({"Alpha", "Alpha", "Beta"}));
    }

    void programFamilies()
    {
        TestMachine machine;
        install(machine, Uninstall64, "1", "Google Chrome");
        install(machine, Uninstall32, "1", "Google Chrome");
        install(machine, Uninstall64, "2", "Chrome 浏览器");
        install(machine, Uninstall64, "3", "7-Zip 23.01");
        install(machine, Uninstall64, "4", "WinRAR archiver");
        install(machine, UninstallUser, "5", "Notepad");
        const QVector<ConflictFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().category, QString("overlap"));
        QCOMPARE(found.first().title, QStringLiteral("检测到 %1 个同类软件：%2").arg(3).arg("浏览器"));
        QCOMPARE(found.first().detail,
                 QString("Google Chrome、Chrome 浏览器、Google Chrome"));
        QCOMPARE(found.first().advice, QString("同类软件过多可能互相冲突，建议精简至 1-2 个"));
    }

    void lowQualityPrograms()
    {
        TestMachine machine;
        install(machine, Uninstall64, "1", "FunGame Toolbar");
        install(machine, Uninstall64, "2", "Cleaner Plus");
        QTemporaryDir signatures;
        QJsonObject named = pattern("fun", {{"uninstall_keys", QJsonArray{"nothing", "fungame"}}}, "pup", "low");
        named.insert("name_cn", "浏览器");
        const QJsonArray sigs{named,
                              pattern("medium", {{"uninstall_keys", QJsonArray{"fungame"}}}, "pup", "medium"),
                              pattern("adware", {{"uninstall_keys", QJsonArray{"fungame"}}}, "adware", "low"),
                              pattern("cleaner", {{"uninstall_keys", QJsonArray{"Cleaner"}}}, "pup", "low"),
                              pattern("absent", {{"uninstall_keys", QJsonArray{"Absent"}}}, "pup", "low")};
        QVERIFY(loadSignatures(signatures, sigs, QJsonObject{{"patterns", QJsonArray{"cleaner"}}}));
        const QVector<ConflictFinding> found = scan();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().category, QString("pup"));
        QCOMPARE(found.first().title, QStringLiteral("检测到低质量软件：%1").arg("浏览器"));
        QCOMPARE(found.first().detail, QString("fun description"));
        QCOMPARE(found.first().advice, QString("该软件可能捆绑广告或拖慢系统，建议在控制面板卸载"));

        QTemporaryDir withoutWhitelist;
        QVERIFY(loadSignatures(withoutWhitelist, sigs));
        const QVector<ConflictFinding> both = scan();
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.at(1).title, QStringLiteral("检测到低质量软件：%1").arg("cleaner Name"));

        unloadSignatures();
        QVERIFY(scan().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConflictScanner)
#include "tst_ConflictScanner.moc"

// The deep-optimisation catalogue: the thirteen fixed items, and the rows that
// a scan report with every kind of finding turns into, each row compared as
// one line "id | name | description | level | badge | box or info | note".
#include "MachineFolder.h"
#include "TestMachine.h"
#include "phase2/OptCatalogue.h"
#include "platform/sim/SimMachine.h"
#include "scanners/JunkwareDetector.h"
#include "scanners/SignatureStore.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(ScanReportBundle)

namespace {

QString line(const OptItem& item)
{
    return QStringList{item.id, item.name, item.description, QString::number(item.riskLevel), item.riskLabel,
                       item.infoOnly ? "info" : "box", item.note}
        .join(" | ");
}

QStringList lines(const OptGroup& group)
{
    QStringList result;
    for (const OptItem& item : group.items)
        result << line(item);
    return result;
}

StartupFinding startup(const QString& name, int type, int riskLevel, bool canDisable, bool hijacked = false,
                       const QString& command = "C:\\Tools\\tool.exe")
{
    const QString labels[] = {QString::fromUtf8("🟢 安全"), QString::fromUtf8("🟡 可疑"), QString::fromUtf8("🔴 高风险")};
    return {name, command, "HKLM Run", type, 50, riskLevel, hijacked, canDisable, labels[riskLevel]};
}

JunkwareFinding junk(const QString& id, const QString& name, const QString& nameCn, const QString& risk,
                     const QString& description, const QStringList& evidence)
{
    return {id, name, nameCn, "adware", risk, QString::fromUtf8("运行中进程"), description, evidence};
}

} // namespace

class TestOptCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void fixedItemsInDisplayOrder();
    void reportGroups_data();
    void reportGroups();
    void leftoversInUseAreNotOffered_data();
    void leftoversInUseAreNotOffered();
    void theSampleMachineOffersOnlyWhatNoProgramUses();
};

void TestOptCatalogue::fixedItemsInDisplayOrder()
{
    const QVector<OptGroup> groups = OptCatalogue::fixedGroups();
    QCOMPARE(groups.size(), 7);
    QStringList ids;
    for (const OptGroup& group : groups) {
        QVERIFY(!group.title.isEmpty() && !group.description.isEmpty());
        QStringList groupIds;
        for (const OptItem& item : group.items) {
            groupIds << item.id;
            QVERIFY(!item.infoOnly);
            QCOMPARE(item.riskLabel, OptCatalogue::riskLabel(item.riskLevel));
            QCOMPARE(item.confirmType, QStringList({"C9", "A2", "H2"}).contains(item.id) ? item.id : QString());
        }
        ids << groupIds.join(',');
    }
    QCOMPARE(ids, QStringList({"C13,C10,C11,C14,C8,C1,C12,C9", "F3,A2", "E1", "H3,H2", "", "", ""}));
    QCOMPARE(line(groups[0].items[5]),
             QString::fromUtf8("C1 | Windows Search | 文件搜索改为手动模式，搜索功能仍在但首次稍慢 | 1 | ⚠ 轻度 | box | "));
    QCOMPARE(groups[6].description,
             QString::fromUtf8("检测到您电脑上的软件搭配可能存在一些\"小摩擦\"，这些建议可以帮助您的电脑更稳定。"));
}

void TestOptCatalogue::reportGroups_data()
{
    QTest::addColumn<ScanReportBundle>("report");
    QTest::addColumn<int>("group");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("description");
    const ScanReportBundle empty;

    QTest::newRow("no startup finding")
        << empty << OptCatalogue::StartupGroup
        << QStringList{QString::fromUtf8(" | 未发现明显异常 | 扫描未发现需要处理的开机自启项。 | 0 | 💡 轻微 | info | ")}
        << QString::fromUtf8("共扫描 0 个自启项，其中 0 项建议优化。");

    ScanReportBundle startups;
    const QString longCommand = "C:\\Users\\Tester\\AppData\\Local\\Temp\\" + QString(70, 'x') + ".exe";
    const QString hijackCommand = "C:\\evil.exe " + QString(70, 'y');
    const QString emojiCommand = "C:\\Temp\\" + QString(51, 'e') + QString::fromUtf8("😀.exe");
    startups.startupItems = {
        startup("Safe", 2, 0, true),                           // safe: no row
        startup("Task", 12, 2, false),                         // cannot be disabled: no row
        startup("Long", 1, 2, true, false, longCommand),       // command cut to 60 characters
        startup("Userinit", 7, 2, true, true, hijackCommand),  // hijack first, with its whole command
        startup("a:b", 3, 1, true),                            // a name with a colon stays whole
        startup("Pol", 6, 2, true),                            // the same value in both policy keys
        startup("Pol", 6, 2, true),                            //   is one row
        startup("Emoji", 1, 1, true, false, emojiCommand),     // cut before a character's second half
        startup("AdvTool.lnk", 11, 2, true),                   // Startup-folder files are shown without
        startup("AdvTool.bat", 11, 2, true),                   //   their extension, their ids keep it
        startup("Helper.v2", 2, 1, true),                      // a Run value's name stays whole
        startup("Off", 2, 2, true),                            // already switched off: shown, not offered
    };
    startups.startupItems.last().disabled = true;
    QTest::newRow("startup entries")
        << startups << OptCatalogue::StartupGroup
        << QStringList{
               QString::fromUtf8("HJ_Userinit | Userinit（劫持风险） | 这可能是恶意软件修改，建议寻求专业人员帮助。")
                   + hijackCommand + QString::fromUtf8(" | 2 | ⚠ 中度 | info | ⚠ 劫持风险"),
               QString::fromUtf8("ST:1:Long | Long | HKLM Run：") + longCommand.left(60)
                   + QString::fromUtf8(" | 2 | 🔴 高风险 | box | 🔴 高风险"),
               QString::fromUtf8("ST:3:a:b | a:b | HKLM Run：C:\\Tools\\tool.exe | 1 | 🟡 可疑 | box | 🟡 可疑"),
               QString::fromUtf8("ST:6:Pol | Pol | HKLM Run：C:\\Tools\\tool.exe | 2 | 🔴 高风险 | box | 🔴 高风险"),
               QString::fromUtf8("ST:1:Emoji | Emoji | HKLM Run：") + emojiCommand.left(59)
                   + QString::fromUtf8(" | 1 | 🟡 可疑 | box | 🟡 可疑"),
               QString::fromUtf8("ST:11:AdvTool.lnk | AdvTool | HKLM Run：C:\\Tools\\tool.exe | 2 | 🔴 高风险 | box | 🔴 高风险"),
               QString::fromUtf8("ST:11:AdvTool.bat | AdvTool | HKLM Run：C:\\Tools\\tool.exe | 2 | 🔴 高风险 | box | 🔴 高风险"),
               QString::fromUtf8("ST:2:Helper.v2 | Helper.v2 | HKLM Run：C:\\Tools\\tool.exe | 1 | 🟡 可疑 | box | 🟡 可疑"),
               QString::fromUtf8("ST:2:Off | Off（已禁用） | HKLM Run：C:\\Tools\\tool.exe | 2 | 🔴 高风险 | info | 🔴 高风险")}
        << QString::fromUtf8("共扫描 12 个自启项，其中 7 项建议优化。");

    QTest::newRow("no junk software")
        << empty << OptCatalogue::JunkSoftwareGroup
        << QStringList{QString::fromUtf8(" | 未发现垃圾软件 | 未检测到特征库中的垃圾软件。 | 0 | 💡 轻微 | info | ")}
        << QString::fromUtf8("检测到 0 款可疑软件。卸载请到控制面板完成，本工具可清理勾选的残留文件。");

    ScanReportBundle junkware;
    junkware.junkware = {
        junk("adw-1", "HotNews", QString::fromUtf8("热点资讯"), "high", QString::fromUtf8("弹窗广告"),
             {"C:\\A", "C:\\Gone", "%TEMP%\\B", "C:\\C"}),
        junk("adw-2", "Toolbar", "", "medium", "", {"C:\\Gone"}),  // nothing left to clean: no row
        junk("adw-3", "Cleaner", "", "High", "x", {}),
        junk("adw-1", "HotNews", QString::fromUtf8("热点资讯"), "high", "", {"C:\\D"}),  // the same id again
    };
    QTest::newRow("junk software")
        << junkware << OptCatalogue::JunkSoftwareGroup
        << QStringList{
               QString::fromUtf8("ADW_adw-1 | 热点资讯 | 检测维度：运行中进程。弹窗广告 | 2 | ⚠ 中度 | info | 🟠 已安装的可疑软件"),
               QString::fromUtf8("RES:adw-1 | 热点资讯 残留文件 | 检测到卸载残留：C:\\A、%TEMP%\\B、C:\\C | 1 | ⚠ 轻度 | box | "),
               QString::fromUtf8("ADW_adw-2 | Toolbar | 检测维度：运行中进程。该软件可能带广告或捆绑行为 | 1 | ⚠ 轻度 | info | 🟠 已安装的可疑软件"),
               QString::fromUtf8("ADW_adw-3 | Cleaner | 检测维度：运行中进程。x | 0 | 💡 轻微 | info | 🟠 已安装的可疑软件")}
        << QString::fromUtf8("检测到 4 款可疑软件。卸载请到控制面板完成，本工具可清理勾选的残留文件。");

    QTest::newRow("no conflict")
        << empty << OptCatalogue::ConflictGroup
        << QStringList{QString::fromUtf8(" | 未发现明显冲突 | 未检测到软件冲突或低质量软件。 | 0 | 💡 轻微 | info | ")}
        << QString::fromUtf8("共 0 条建议，全部仅提示，不自动修改。");

    ScanReportBundle conflicts;
    conflicts.conflicts = {{"antivirus", "A", "a", "x"}, {"overlap", "O", "o", "y"}, {"antivirus", "B", "b", "z"},
                           {"pup", "P", QString::fromUtf8("p。"), "q"}};
    QTest::newRow("conflicts")
        << conflicts << OptCatalogue::ConflictGroup
        << QStringList{QString::fromUtf8("FAM_antivirus_0 | A | a。x | 2 | ⚠ 中度 | info | "),
                       QString::fromUtf8("FAM_overlap_1 | O | o。y | 1 | ⚠ 轻度 | info | "),
                       QString::fromUtf8("FAM_antivirus_2 | B | b。z | 2 | ⚠ 中度 | info | "),
                       QString::fromUtf8("FAM_pup_3 | P | p。q | 1 | ⚠ 轻度 | info | ")}
        << QString::fromUtf8("共 4 条建议，全部仅提示，不自动修改。");
}

void TestOptCatalogue::reportGroups()
{
    QFETCH(ScanReportBundle, report);
    QFETCH(int, group);
    QFETCH(QStringList, rows);
    QFETCH(QString, description);
    TestMachine machine;
    machine.addFile("C:\\A");
    machine.addFolder("C:\\C");
    machine.addFile("C:\\Users\\Tester\\AppData\\Local\\Temp\\B");
    OptGroup built;
    if (group == OptCatalogue::StartupGroup)
        built = OptCatalogue::startupGroup(report.startupItems);
    else if (group == OptCatalogue::JunkSoftwareGroup)
        built = OptCatalogue::junkSoftwareGroup(report.junkware);
    else
        built = OptCatalogue::conflictGroup(report.conflicts);
    QCOMPARE(lines(built), rows);
    QCOMPARE(built.description, description);
    QCOMPARE(built.title, OptCatalogue::fixedGroups()[group].title);
}

// A path that an installed or running program still uses is no leftover:
// the run would keep it. It is left out of the row; a row with nothing left
// is not offered. Demo mode, which has no machine, offers what it reports.
void TestOptCatalogue::leftoversInUseAreNotOffered_data()
{
    QTest::addColumn<QStringList>("evidence");
    QTest::addColumn<int>("leftovers");
    QTest::addColumn<QString>("row");   // empty: no leftover row
    const QString installed = QStringLiteral("C:\\Apps\\Tool");
    const QString running = QStringLiteral("C:\\Apps\\Runner\\cache");
    const QString free = QStringLiteral("C:\\Apps\\Left");
    const auto row = [](const QString& paths) {
        return QString::fromUtf8("RES:adw-1 | 热点资讯 残留文件 | 检测到卸载残留：") + paths
               + QString::fromUtf8(" | 1 | ⚠ 轻度 | box | ");
    };
    const int onMachine = int(OptCatalogue::Leftovers::OnThisMachine);
    QTest::newRow("all in use") << QStringList{installed, running} << onMachine << QString();
    QTest::newRow("one left") << QStringList{installed, free, running} << onMachine << row(free);
    QTest::newRow("inside an installed program") << QStringList{installed + "\\data"} << onMachine << QString();
    QTest::newRow("holding a running program") << QStringList{"C:\\Apps\\Runner"} << onMachine << QString();
    QTest::newRow("as reported")
        << QStringList{installed, "C:\\Gone\\", free} << int(OptCatalogue::Leftovers::AsReported)
        << row(installed + QString::fromUtf8("、C:\\Gone\\、") + free);
}

void TestOptCatalogue::leftoversInUseAreNotOffered()
{
    QFETCH(QStringList, evidence);
    QFETCH(int, leftovers);
    QFETCH(QString, row);
    TestMachine machine;
    machine.addFile("C:\\Apps\\Tool\\data\\tool.dat");
    machine.addFile("C:\\Apps\\Runner\\run.exe");
    machine.addFolder("C:\\Apps\\Runner\\cache");
    machine.addFile("C:\\Apps\\Left\\left.log");
    machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool", "InstallLocation",
                    "C:\\Apps\\Tool");
    machine.addProcess(4242, "C:\\Apps\\Runner\\run.exe");
    const OptGroup group = OptCatalogue::junkSoftwareGroup(
        {junk("adw-1", "HotNews", QString::fromUtf8("热点资讯"), "high", "", evidence)}, OptCatalogue::Leftovers(leftovers));
    QCOMPARE(lines(group).mid(1), row.isEmpty() ? QStringList() : QStringList{row});
}

// 2345好压 is installed and its tray program runs from its folder, which the
// sample's scan names as the program's evidence: no leftover row for it.
void TestOptCatalogue::theSampleMachineOffersOnlyWhatNoProgramUses()
{
    QVERIFY(SignatureStore::instance().load(QCoreApplication::applicationDirPath() + "/signatures"));
    QTemporaryDir dir;
    win::sim::SimMachine sample;
    QString error;
    QVERIFY2(loadMachineCopy(TESSARO_SOURCE_DIR "/machines/sample", dir.filePath("machine"), sample, &error), qPrintable(error));
    win::sim::SimMachine::makeCurrent(&sample);
    ScanReportBundle report;
    JunkwareDetector().scanJunkware(report);
    QStringList haoZipEvidence;
    for (const JunkwareFinding& finding : report.junkware) {
        if (finding.id == "cn_2345_haozip")
            haoZipEvidence = finding.evidence;
    }
    QCOMPARE(haoZipEvidence, QStringList{"C:\\Program Files (x86)\\2345Soft\\HaoZip"});
    QStringList leftoverRows;
    for (const OptItem& item : OptCatalogue::junkSoftwareGroup(report.junkware).items) {
        if (item.id.startsWith("RES:"))
            leftoverRows << item.name + " | " + item.description;
    }
    win::sim::SimMachine::makeCurrent(nullptr);
    // Search Protect's folder in Program Files is its installed program's;
    // only what it left in the roaming profile is offered.
    QCOMPARE(leftoverRows, QStringList{QString::fromUtf8("Search Protect 搜索劫持程序 残留文件 | 检测到卸载残留：")
                                       + "C:\\Users\\zhangwei\\AppData\\Roaming\\SearchProtect"});
}

QTEST_GUILESS_MAIN(TestOptCatalogue)
#include "tst_OptCatalogue.moc"

// Demo mode: the start button shows canned results at once, without the
// agreement, without an engine thread and without any machine at all.
#include "phase2/OptCatalogue.h"
#include "phase2/Phase2Page.h"
#include "tests/support/DemoMode.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestMachine.h"
#include "ui/EulaDialog.h"
#include "ui/ResultPage.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QtTest>

class TestDemoMode : public QObject
{
    Q_OBJECT

private:
    static QString text(ResultPage* page, const char* name) { return page->findChild<QLabel*>(name)->text(); }
    static QString cardValue(ResultPage* page, const char* card)
    {
        return page->findChild<QPushButton*>(card)->findChildren<QLabel*>()[1]->text();
    }

private slots:
    void init() { QFile::remove(EulaDialog::flagFilePath()); }

    // No agreement, no engine thread: the canned results count up at once,
    // and again after the next press.
    void startShowsCannedResultsCountingUp()
    {
        Velantrix w;
        QVERIFY(w.isDemoMode());
        w.show();
        auto* page = w.findChild<ResultPage*>();
        for (int press = 0; press < 2; ++press) {
            w.findChild<QPushButton*>("startBtn")->click();
            QVERIFY(QApplication::activeModalWidget() == nullptr);
            QVERIFY(page->isVisible());
            QVERIFY(w.findChildren<QThread*>().isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(text(page, "healthScore"), QString("96"), 3000);
            QCOMPARE(QStringList({text(page, "cardValue1"), text(page, "cardValue2"), text(page, "cardValue3"), text(page, "cardValue4")}),
                     QStringList({"1520 MB", "450 MB", "1286 个", "快 12 秒"}));
            w.findChild<QPushButton*>("finishBtn")->click();
            QVERIFY(!page->isVisible());
        }
        QVERIFY(!EulaDialog::isAccepted());
    }

    void cannedReportFillsTheCards()
    {
        Velantrix w;
        w.show();
        w.findChild<QPushButton*>("startBtn")->click();
        auto* page = w.findChild<ResultPage*>();
        // The hijack cannot be disabled: one startup entry, not two.
        QCOMPARE(QStringList({cardValue(page, "cardStartup"), cardValue(page, "cardAdw"), cardValue(page, "cardBhj"), cardValue(page, "cardPop")}),
                 QStringList({"1 个", "2 个", "1 个", "1 个"}));
        auto* storage = page->findChild<QLabel*>("storageCardText");
        QVERIFY(storage->isVisible());
        QVERIFY(storage->text().contains(QString::fromUtf8("空间充裕，建议启用快速启动")));
        QVERIFY(page->styleSheet().contains("#F0F2F8"));
    }

    void noUpdateCheck()
    {
        LoopbackHttpServer server;
        const QString config = QCoreApplication::applicationDirPath() + "/updater.config";
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QString(R"({"update_url": "%1"})").arg(server.url("/client/version/check")).toUtf8());
        file.close();
        Velantrix w;
        w.show();
        QTest::qWait(1800);
        QFile::remove(config);
        QVERIFY(server.targets.isEmpty());
    }

    // The window reads demo mode from the application's arguments; QtTest must
    // not see the switch, which it would take for the name of a test function.
    // Even with a machine present, the demo's deep-optimisation page changes
    // nothing: it explains itself and starts no run.
    void deepOptimisationActsOnNothing()
    {
        TestMachine machine;
        win::sim::SimService tracking;
        tracking.name = "TrkWks";
        tracking.startType = 2;
        machine->system().services << tracking;
        Velantrix w;
        w.show();
        w.findChild<QPushButton*>("startBtn")->click();
        w.findChild<QPushButton*>("phase2EntryBtn")->click();
        auto* page = w.findChild<Phase2Page*>();
        QVERIFY(page->isVisible());
        // The canned report's two findings and the leftovers of the second,
        // as the report names them: the demo never looks for them on a machine.
        const QVector<OptItem> junk = page->catalogue()[OptCatalogue::JunkSoftwareGroup].items;
        QCOMPARE(junk.size(), 3);
        QCOMPARE(QStringList({junk[2].id, junk[2].name, junk[2].description}),
                 QStringList({"RES:adw-060", QString::fromUtf8("热点资讯弹窗 残留文件"),
                              QString::fromUtf8("检测到卸载残留：C:\\Program Files (x86)\\HotNews\\、C:\\ProgramData\\HotNews")}));
        QVERIFY(page->findChild<QCheckBox*>("itemRow_RES:adw-060"));
        for (const char* item : {"C13", "E1", "RES:adw-060"})
            page->findChild<QCheckBox*>(QString("itemRow_") + item)->setChecked(true);

        ModalAnswer ok([](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click(); });
        page->findChild<QPushButton*>("executeBtn")->click();
        QVERIFY(ok.answered);
        QCOMPARE(ok.text, QString::fromUtf8("演示模式下不会对电脑做任何修改。"));
        QVERIFY(w.findChildren<QThread*>().isEmpty());
        QTest::qWait(100);
        QCOMPARE(machine->findService("TrkWks")->startType, 2u);
        QVERIFY(machine->journal().isEmpty());
    }
};

int main(int argc, char* argv[])
{
    TestDemoMode test;
    return execInDemoMode(&test, argc, argv);
}

#include "tst_DemoMode.moc"

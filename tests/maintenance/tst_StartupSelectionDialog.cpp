#include "ManagerLog.h"
#include "ModalAnswer.h"
#include "TestMachine.h"
#include "maintenance/StartupManager.h"
#include "maintenance/StartupSelectionDialog.h"
#include "platform/sim/SignInStartup.h"

#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

namespace {

const QString HkcuRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const QString ApprovedRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
// 60 and 61 characters: the first is shown whole, the second cut.
const QString SixtyChars = "C:\\Program Files\\Safe Tools\\Guardian\\bin\\guardian-servic.exe";
const QString SixtyOneChars = "C:\\Program Files\\Thunder Network\\Thunder\\Program\\Thunder2.exe";
const QString Summary = QStringLiteral("共 %1 个开机启动项，已禁用 %2 项，剩余 %3 项");

QByteArray stateValue(int first, int length = 12)
{
    QByteArray data(length, '\0');
    data[0] = char(first);
    return data;
}

QByteArray approval(TestMachine& machine, const QString& name)
{
    quint32 type = 0;
    QByteArray data;
    return machine->registry().value(ApprovedRun, name, &type, &data) ? data : QByteArray("<missing>");
}

// Four entries of the user's Run key: one switched off, two recommended
// for switching off, one with markup in its name.
void addEntries(TestMachine& machine)
{
    machine.setText(HkcuRun, "QQMusic", "C:\\Music\\qqmusic.exe");
    machine->registry().setValue(ApprovedRun, "QQMusic", win::RegBinary, stateValue(3));
    machine.setText(HkcuRun, "Thunder", SixtyOneChars);
    machine.setText(HkcuRun, "Safe", SixtyChars);
    machine.setText(HkcuRun, "<b>Markup</b>", "C:\\markup.exe");
}

// The rows the list shows now, in their order.
QList<QWidget*> rowsOf(StartupSelectionDialog& dialog)
{
    QList<QWidget*> rows;
    QLayout* layout = dialog.findChild<QWidget*>("listWidget")->layout();
    for (int i = 0; i < layout->count(); ++i) {
        if (QWidget* row = layout->itemAt(i)->widget())
            rows << row;
    }
    return rows;
}

// Each row as "name|tag|command|button".
QStringList describedRows(StartupSelectionDialog& dialog)
{
    QStringList lines;
    for (QWidget* row : rowsOf(dialog)) {
        lines << QStringList{row->findChild<QLabel*>("nameLabel")->text(), row->findChild<QLabel*>("tagLabel")->text(),
                             row->findChild<QLabel*>("commandLabel")->text(),
                             row->findChild<QPushButton*>("actionBtn")->text()}
                     .join('|');
    }
    return lines;
}

QPushButton* buttonOf(StartupSelectionDialog& dialog, const QString& name)
{
    for (QWidget* row : rowsOf(dialog)) {
        if (row->findChild<QLabel*>("nameLabel")->text() == name)
            return row->findChild<QPushButton*>("actionBtn");
    }
    return nullptr;
}

QString summaryOf(StartupSelectionDialog& dialog)
{
    return dialog.findChild<QLabel*>("summaryLabel")->text();
}

// The offscreen platform has no window manager to hand activation back to
// the dialog when a message box closes; Windows does.
void reactivate(QWidget& dialog)
{
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

} // namespace

class TestStartupSelectionDialog : public QObject
{
    Q_OBJECT

private slots:

    void rowsTagsAndButtons()
    {
        TestMachine machine;
        addEntries(machine);
        StartupManager manager;
        manager.scanItems();
        StartupSelectionDialog dialog(&manager);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("管理开机启动项"));
        QCOMPARE(summaryOf(dialog), Summary.arg(4).arg(1).arg(3));
        QCOMPARE(describedRows(dialog),
                 QStringList({QStringLiteral("<b>Markup</b>|建议保留|C:\\markup.exe|禁用"),
                              QStringLiteral("QQMusic|已禁用|C:\\Music\\qqmusic.exe|恢复"),
                              QStringLiteral("Safe|建议保留|") + SixtyChars + QStringLiteral("|禁用"),
                              QStringLiteral("Thunder|建议关闭|") + SixtyOneChars.left(57) + QStringLiteral("...|禁用")}));
        // Texts from the machine are shown as they are, never as markup.
        QCOMPARE(rowsOf(dialog).first()->findChild<QLabel*>("nameLabel")->textFormat(), Qt::PlainText);
        ManagerLog log;
        dialog.show();
        dialog.findChild<QPushButton*>("finishBtn")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(log.lines(), QStringList({QStringLiteral("启动项管理完成，当前已禁用 1 项")}));
    }

    // A file description or command of any length or shape stays on its row's
    // one line: the buttons stay in view, with no sideways scrolling.
    void longTextsKeepTheButtonsInView()
    {
        TestMachine machine;
        machine.setText(HkcuRun, "Long", "C:\\Tools\\long.exe");
        machine.addFile("C:\\Tools\\long.exe", "MZ");
        win::sim::SimVersionResource resource;
        resource.strings.insert("FileDescription", QStringLiteral("超长的文件说明").repeated(12) + "\nsecond line");
        machine->system().versionResources.insert("C:\\Tools\\long.exe", resource);
        machine.setText(HkcuRun, "Wide", QStringLiteral("C:\\程序\\") + QStringLiteral("宽").repeated(52) + ".exe");
        machine.setText(HkcuRun, "Emoji", "C:\\" + QString(53, 'a') + QStringLiteral("😀😀.exe"));
        StartupManager manager;
        manager.scanItems();
        StartupSelectionDialog dialog(&manager);
        dialog.resize(dialog.minimumSize());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        auto* scroll = dialog.findChild<QScrollArea*>("scrollArea");
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);
        for (QWidget* row : rowsOf(dialog)) {
            QVERIFY(row->findChild<QPushButton*>("actionBtn")->geometry().right() < row->width());
            for (QLabel* label : row->findChildren<QLabel*>())
                QVERIFY2(!label->text().contains('\n'), qPrintable(label->text()));
        }
        // A cut command never ends in half a character.
        QCOMPARE(describedRows(dialog).first().section('|', 2, 2), "C:\\" + QString(53, 'a') + "...");
    }

    // A file description of thousands of characters names the entry in the
    // question on one line of sixty characters: the box keeps its buttons on
    // the screen.
    void longNameAsksOnTheScreen()
    {
        TestMachine machine;
        machine.setText(HkcuRun, "Long", "C:\\Tools\\long.exe");
        machine.addFile("C:\\Tools\\long.exe", "MZ");
        win::sim::SimVersionResource resource;
        const QString description = QStringLiteral("超长的\n文件说明").repeated(500);
        resource.strings.insert("FileDescription", description);
        machine->system().versionResources.insert("C:\\Tools\\long.exe", resource);
        StartupManager manager;
        manager.scanItems();
        StartupSelectionDialog dialog(&manager);
        dialog.show();
        bool fits = false;
        ModalAnswer person([&](QWidget* modal) {
            fits = modal->height() <= modal->screen()->availableGeometry().height();
            static_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        dialog.findChild<QPushButton*>("actionBtn")->click();
        QVERIFY(person.answered);
        QVERIFY(fits);
        const QString shown = QString(description).replace('\n', ' ').left(60) + QStringLiteral("…");
        QCOMPARE(person.text, QStringLiteral("确定要禁用「%1」吗？\n\n禁用后对应程序不会随开机启动，可在需要时手动打开。").arg(shown));
        QCOMPARE(approval(machine, "Long"), stateValue(3));
    }

    void answeredConfirmation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("before");   // the entry's approval value
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("row");         // "" when the row stays as it was
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("twin");           // a machine Run entry of the same name, listed after it
        const QString disable = QStringLiteral("确认禁用|确定要禁用「%1」吗？\n\n禁用后对应程序不会随开机启动，可在需要时手动打开。");
        QTest::newRow("disable") << "Safe" << QByteArray("<missing>") << int(QMessageBox::Yes) << disable.arg("Safe")
                                 << QStringLiteral("Safe|已禁用|") + SixtyChars + QStringLiteral("|恢复") << Summary.arg(4).arg(2).arg(2)
                                 << stateValue(3)
                                 << QStringList{QStringLiteral("已禁用启动项: Safe [HKCU_Run]"), QStringLiteral("已禁用启动项: Safe")} << false;
        // Two entries of one name are two rows: the one asked about is switched off, the other stays.
        QTest::newRow("one of two of a name") << "Safe" << QByteArray("<missing>") << int(QMessageBox::Yes) << disable.arg("Safe")
                                              << QStringLiteral("Safe|已禁用|") + SixtyChars + QStringLiteral("|恢复")
                                              << Summary.arg(5).arg(2).arg(3) << stateValue(3)
                                              << QStringList{QStringLiteral("已禁用启动项: Safe [HKCU_Run]"), QStringLiteral("已禁用启动项: Safe")}
                                              << true;
        QTest::newRow("restore") << "QQMusic" << stateValue(3) << int(QMessageBox::Yes)
                                 << QStringLiteral("确认恢复|确定要恢复「QQMusic」开机启动吗？\n\n恢复后下次开机该程序会自动运行。")
                                 << QStringLiteral("QQMusic|建议关闭|C:\\Music\\qqmusic.exe|禁用") << Summary.arg(4).arg(0).arg(4)
                                 << stateValue(2)
                                 << QStringList{QStringLiteral("已恢复启动项: QQMusic [HKCU_Run]"), QStringLiteral("已恢复启动项: QQMusic")} << false;
        // A name from the machine is asked about as it is, never read as markup.
        QTest::newRow("refused") << "<b>Markup</b>" << QByteArray("<missing>") << int(QMessageBox::No)
                                 << disable.arg("<b>Markup</b>") << "" << Summary.arg(4).arg(1).arg(3)
                                 << QByteArray("<missing>") << QStringList{} << false;
        QTest::newRow("value not written") << "Thunder" << stateValue(2, 16) << int(QMessageBox::Yes)
                                           << disable.arg("Thunder") << "" << Summary.arg(4).arg(1).arg(3) << stateValue(2, 16)
                                           << QStringList{QStringLiteral("修改启动项失败: Thunder [HKCU_Run]")} << false;
    }

    // The row whose button was clicked outlives its own click, and the rows and
    // summary change only when the entry really changed.
    void answeredConfirmation()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, before);
        QFETCH(int, answer);
        QFETCH(QString, row);
        QFETCH(bool, twin);
        TestMachine machine;
        addEntries(machine);
        if (twin)
            machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", name, SixtyChars);
        if (before != "<missing>")
            machine->registry().setValue(ApprovedRun, name, win::RegBinary, before);
        StartupManager manager;
        manager.scanItems();
        StartupSelectionDialog dialog(&manager);
        dialog.show();
        const QStringList rowsBefore = describedRows(dialog);
        ManagerLog lines;

        QString asked;
        Qt::TextFormat format = Qt::AutoText;
        QMessageBox::StandardButton byDefault = QMessageBox::NoButton;
        ModalAnswer person([&](QWidget* modal) {
            auto* box = static_cast<QMessageBox*>(modal);
            asked = box->windowTitle() + '|' + box->text();
            format = box->textFormat();
            byDefault = box->standardButton(box->defaultButton());
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        QPointer<QWidget> clickedRow = buttonOf(dialog, name)->parentWidget();
        buttonOf(dialog, name)->click();
        QVERIFY(person.answered);
        QTEST(asked, "question");
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(byDefault, QMessageBox::No);
        QVERIFY(clickedRow);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QStringList rows = rowsBefore;
        if (!row.isEmpty()) {
            QVERIFY(!clickedRow);
            rows[rowsBefore.indexOf(QRegularExpression("^" + QRegularExpression::escape(name) + "\\|.*"))] = row;
        }
        QCOMPARE(describedRows(dialog), rows);
        QTEST(summaryOf(dialog), "summary");
        QTEST(approval(machine, name), "after");
        QTEST(lines.lines(), "log");
    }

    // A Startup-folder file is shown, and asked about, by its name without
    // the extension; two files of one base name are two rows, and each
    // switches its own file.
    void startupFolderFilesByTheirBaseName()
    {
        TestMachine machine;
        const QString startup = "C:\\Users\\Tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
        const QString qq = QStringLiteral("腾讯QQ");
        machine.addFile(startup + qq + ".lnk", "C:\\QQ\\qq.exe");
        machine.addFile(startup + qq + ".bat", "start C:\\QQ\\qq.exe");
        StartupManager manager;
        manager.scanItems();
        StartupSelectionDialog dialog(&manager);
        dialog.show();
        QStringList names;
        for (QWidget* row : rowsOf(dialog))
            names << row->findChild<QLabel*>("nameLabel")->text();
        QCOMPARE(names, QStringList({qq, qq}));

        QString asked;
        ModalAnswer person([&asked](QWidget* modal) {
            auto* box = static_cast<QMessageBox*>(modal);
            asked = box->text();
            box->button(QMessageBox::Yes)->click();
        });
        rowsOf(dialog).at(1)->findChild<QPushButton*>("actionBtn")->click();   // listed by file name: the .lnk
        QVERIFY2(asked.startsWith(QStringLiteral("确定要禁用「%1」吗？").arg(qq)), qPrintable(asked));
        const win::sim::SignInStartup windows(machine.machine());
        QVERIFY(!windows.wouldStart(win::sim::SignInStartup::Place::UserStartupFolder, qq + ".lnk"));
        QVERIFY(windows.wouldStart(win::sim::SignInStartup::Place::UserStartupFolder, qq + ".bat"));
    }

    // An entry switched off twice, kept twice in the program's backup, is two
    // rows: a row brings back its own command, and none overwrites the entry
    // that another row brought back.
    void restoresTheBackupOfItsRow()
    {
        TestMachine machine;
        const QString backup = "HKEY_CURRENT_USER\\SOFTWARE\\Tessaro\\StartupBackup\\PoliciesRun";
        const QString policyRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
        machine.setText(backup, "Updater_velantrix_bak", "C:\\Old\\upd.exe");
        machine.setText(backup, "Updater_velantrix_bak2", "C:\\New\\upd.exe");
        StartupManager manager;
        manager.scanItems();
        StartupSelectionDialog dialog(&manager);
        dialog.show();
        const auto yes = [](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click(); };

        ModalAnswer restoreSecond(yes);
        rowsOf(dialog).at(1)->findChild<QPushButton*>("actionBtn")->click();
        QCOMPARE(machine.text(policyRun, "Updater"), QStringLiteral("C:\\New\\upd.exe"));
        ModalAnswer restoreFirst(yes);
        rowsOf(dialog).at(0)->findChild<QPushButton*>("actionBtn")->click();
        QVERIFY(restoreFirst.answered);
        QCOMPARE(machine.text(policyRun, "Updater"), QStringLiteral("C:\\New\\upd.exe"));
        QCOMPARE(machine.text(backup, "Updater_velantrix_bak"), QStringLiteral("C:\\Old\\upd.exe"));
        QCOMPARE(describedRows(dialog), QStringList({QStringLiteral("Updater|已禁用|C:\\Old\\upd.exe|恢复"),
                                                     QStringLiteral("Updater|建议保留|C:\\New\\upd.exe|禁用")}));
    }

    void keyboard()
    {
        TestMachine machine;
        addEntries(machine);
        StartupManager manager;
        manager.scanItems();
        StartupSelectionDialog dialog(&manager);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));

        // Space on a row's button asks; Escape answers no.
        buttonOf(dialog, "Safe")->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(buttonOf(dialog, "Safe")));
        ModalAnswer escape([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(escape.answered);
        QVERIFY(!machine.hasValue(ApprovedRun, "Safe"));

        // Y answers yes; the keyboard stays on the rebuilt row of that entry.
        reactivate(dialog);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(buttonOf(dialog, "Safe")));
        ModalAnswer yes([](QWidget* box) { QTest::keyClick(box, Qt::Key_Y); });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_COMPARE(approval(machine, "Safe"), stateValue(3));
        reactivate(dialog);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(buttonOf(dialog, "Safe")));
        QCOMPARE(buttonOf(dialog, "Safe")->text(), QStringLiteral("恢复"));

        // Tab goes on to the next row's button.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(buttonOf(dialog, "Thunder")));
        // Escape closes the list as cancelled.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TestStartupSelectionDialog)
#include "tst_StartupSelectionDialog.moc"

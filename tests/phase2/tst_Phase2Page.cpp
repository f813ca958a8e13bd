// The deep-optimisation page: ticking and the special confirmations, the
// selection buttons and the count, the selection in catalogue order, search,
// folding a card, replacing the report's groups, scrolling to a group, the
// keyboard, and texts from the machine shown as they are. Its themes are
// seen in the window tests and the screenshots.
#include "TestMachine.h"
#include "phase2/GroupCard.h"
#include "phase2/OptCatalogue.h"
#include "phase2/Phase2Page.h"
#include "phase2/SelectableItemRow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

Q_DECLARE_METATYPE(OptItem)

namespace {

QStringList ids(const QVector<OptItem>& items)
{
    QStringList result;
    for (const OptItem& item : items)
        result << item.id;
    return result;
}

ScanReportBundle reportWithEveryKind()
{
    ScanReportBundle report;
    report.startupItems = {
        {"Updater", "C:\\Temp\\upd.exe", "HKCU Run", 2, 40, 2, false, true, QString::fromUtf8("🔴 高风险")},
        {"Userinit", "C:\\Users\\Tester\\AppData\\Roaming\\SearchProtect\\bin\\SPHook32.dll", "Winlogon", 7, 10, 2, true, false, QString::fromUtf8("🔴 高风险")},
    };
    report.junkware = {{"adw-1", "HotNews", "", "adware", "high", "", "", {"C:\\ProgramData\\HotNews"}}};
    report.conflicts = {{"antivirus", "Two", "a", "b"}};
    return report;
}

} // namespace

class TestPhase2Page : public QObject
{
    Q_OBJECT

private:
    static QCheckBox* box(const Phase2Page& page, const QString& itemId)
    {
        return page.findChild<QCheckBox*>("itemRow_" + itemId);
    }
    // The count as the tool bar shows it, label and button.
    static QString count(const Phase2Page& page)
    {
        return page.findChild<QLabel*>("selectedCountLabel")->text() + " | "
               + page.findChild<QPushButton*>("executeBtn")->text();
    }
    // Which cards show, each as tall as its rows: neither squeezed nor with
    // an empty band below them.
    static QString visibleCards(const Phase2Page& page)
    {
        QCoreApplication::processEvents();
        QString shown;
        for (int group = 0; group < OptCatalogue::GroupCount; ++group) {
            GroupCard* card = page.card(group);
            shown += card->isVisible() ? '1' : '0';
            if (card->isVisible() && card->height() != card->heightForWidth(card->width()))
                shown += '!';
        }
        return shown;
    }
    // What a widget draws over a white ground.
    static QImage picture(QWidget* widget)
    {
        QImage image(widget->size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    static QStringList visibleRows(const Phase2Page& page)
    {
        QStringList result;
        for (int group = 0; group < OptCatalogue::GroupCount; ++group) {
            for (const OptItem& item : page.catalogue()[group].items) {
                if (page.findChild<QWidget*>("itemRow_" + item.id)->isVisibleTo(page.card(group)))
                    result << item.id;
            }
        }
        return result;
    }

private slots:
    void initTestCase() { m_machine.addFolder("C:\\ProgramData\\HotNews"); }
    void tickingAsksForSpecialConfirmations_data();
    void tickingAsksForSpecialConfirmations();
    void selectionFollowsTheCatalogue();
    void searchFilters_data();
    void searchFilters();
    void headerClickFoldsTheCard();
    void scrollsToAGroup_data();
    void scrollsToAGroup();
    void keyboardTicksAndExecutes();
    void machineTextsShowAsPlainText();
    void longMachineTextsStayInTheView();
    void rowsLookAsLabelsWould_data();
    void rowsLookAsLabelsWould();

private:
    // The leftovers the reports name lie on this machine: only what is there
    // is offered for cleaning.
    TestMachine m_machine;
};

void TestPhase2Page::tickingAsksForSpecialConfirmations_data()
{
    QTest::addColumn<QString>("itemId");
    QTest::addColumn<bool>("asks");
    QTest::newRow("printer spooler") << "C9" << true;
    QTest::newRow("event logs") << "A2" << true;
    QTest::newRow("restore points") << "H2" << true;
    QTest::newRow("search service") << "C1" << false;
}

void TestPhase2Page::tickingAsksForSpecialConfirmations()
{
    QFETCH(QString, itemId);
    QFETCH(bool, asks);
    Phase2Page page;
    QStringList events;
    connect(page.card(0), &GroupCard::selectionChanged, [&] { events << "changed"; });
    connect(page.card(1), &GroupCard::selectionChanged, [&] { events << "changed"; });
    connect(page.card(3), &GroupCard::selectionChanged, [&] { events << "changed"; });
    connect(&page, &Phase2Page::specialConfirmRequested,
            [&](const QString& id, const QString& type) { events << id + "/" + type; });

    box(page, itemId)->setChecked(true);
    QCOMPARE(events, asks ? QStringList({"changed", itemId + "/" + itemId}) : QStringList({"changed"}));
    events.clear();
    box(page, itemId)->setChecked(false);
    QCOMPARE(events, QStringList({"changed"}));
}

// Ticks in any order come back in catalogue order, "select safe" adds the
// slight items to them, a new report clears only its own groups' ticks and
// "restore default" clears all; the count follows every step.
void TestPhase2Page::selectionFollowsTheCatalogue()
{
    Phase2Page page;
    QCOMPARE(count(page), QString::fromUtf8("已选 0 项 | 执行选中项"));
    page.setReport(reportWithEveryKind());
    QCOMPARE(count(page), QString::fromUtf8("已选 0 项 | 执行选中项(0)"));
    for (const char* info : {"HJ_Userinit", "ADW_adw-1", "FAM_antivirus_0"})
        QVERIFY(!box(page, info));  // info rows have no box
    for (const char* id : {"RES:adw-1", "H2", "ST:2:Updater", "C9"})
        box(page, id)->setChecked(true);
    QCOMPARE(ids(page.selectedItems()), QStringList({"C9", "H2", "ST:2:Updater", "RES:adw-1"}));
    QCOMPARE(page.selectedItems()[1].confirmType, QString("H2"));

    page.findChild<QPushButton*>("selectSafeBtn")->click();
    const QStringList fixed{"C13", "C10", "C11", "C9", "F3", "E1", "H3", "H2"};
    QCOMPARE(ids(page.selectedItems()), fixed + QStringList({"ST:2:Updater", "RES:adw-1"}));
    QCOMPARE(count(page), QString::fromUtf8("已选 10 项 | 执行选中项(10)"));

    GroupCard* oldStartupCard = page.card(OptCatalogue::StartupGroup);
    page.replaceGroup(7, OptGroup{});
    page.replaceGroup(-1, OptGroup{});
    QCOMPARE(page.catalogue().size(), 7);
    page.setReport(reportWithEveryKind());
    QVERIFY(page.card(OptCatalogue::StartupGroup) != oldStartupCard);
    auto* inner = page.findChild<QWidget*>("p2ScrollInner");  // the new card stands where the old one stood
    QCOMPARE(inner->layout()->indexOf(page.card(OptCatalogue::StartupGroup)), OptCatalogue::StartupGroup);
    QCOMPARE(ids(page.selectedItems()), fixed);
    QCOMPARE(count(page), QString::fromUtf8("已选 8 项 | 执行选中项(8)"));
    QCOMPARE(page.scanReport().startupItems.size(), 2);

    page.findChild<QPushButton*>("restoreDefaultBtn")->click();
    QVERIFY(page.selectedItems().isEmpty());
    QCOMPARE(count(page), QString::fromUtf8("已选 0 项 | 执行选中项(0)"));
}

void TestPhase2Page::searchFilters_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("cards");
    QTest::newRow("id, trimmed") << "  c1  " << QStringList{"C13", "C10", "C11", "C14", "C1", "C12"} << "1000000";
    QTest::newRow("name") << QString::fromUtf8("还原点") << QStringList{"H2"} << "0001000";
    QTest::newRow("description, any case") << "WIFI" << QStringList{"C10"} << "1000000";
    QTest::newRow("only a group's description") << QString::fromUtf8("运营商") << QStringList{} << "0000000";
}

void TestPhase2Page::searchFilters()
{
    QFETCH(QString, search);
    QFETCH(QStringList, rows);
    QFETCH(QString, cards);
    Phase2Page page;
    page.resize(560, 600);  // narrow enough for descriptions to wrap
    page.show();
    page.setReport(reportWithEveryKind());
    box(page, "H2")->setChecked(true);
    auto* edit = page.findChild<QLineEdit*>("searchEdit");
    edit->setText(search);
    QCOMPARE(visibleRows(page), rows);
    QCOMPARE(visibleCards(page), cards);
    QCOMPARE(ids(page.selectedItems()), QStringList({"H2"}));  // hidden rows stay selected

    edit->clear();
    QCOMPARE(visibleRows(page).size(), 18);
    QCOMPARE(visibleCards(page), QString("1111111"));
    QTest::qWait(250);  // the clear button's fade ends before the box goes
}

void TestPhase2Page::headerClickFoldsTheCard()
{
    Phase2Page page;
    page.resize(760, 600);
    page.show();
    GroupCard* card = page.card(0);
    auto* body = card->findChild<QWidget*>("groupBody");
    auto* header = card->findChild<QWidget*>("groupHeader");
    QLabel* title = header->findChildren<QLabel*>()[1];

    QTest::mouseClick(body, Qt::LeftButton);
    QVERIFY(body->isVisible());
    QTest::mouseClick(header, Qt::LeftButton, {}, title->geometry().center());  // the title lets clicks through
    QVERIFY(!card->isExpanded());
    QVERIFY(!body->isVisible());
    QCOMPARE(header->findChildren<QLabel*>()[2]->text(), QString::fromUtf8("▸"));
    QTest::mouseClick(header, Qt::LeftButton);
    QVERIFY(body->isVisible());
    QCOMPARE(header->findChildren<QLabel*>()[2]->text(), QString::fromUtf8("▾"));
}

void TestPhase2Page::scrollsToAGroup_data()
{
    QTest::addColumn<int>("startupFindings");
    QTest::addColumn<int>("group");
    QTest::newRow("a group that fits") << 1 << OptCatalogue::JunkSoftwareGroup;
    QTest::newRow("a group taller than the view opens at its header") << 30 << OptCatalogue::StartupGroup;
    QTest::newRow("no such group") << 1 << OptCatalogue::GroupCount;
}

void TestPhase2Page::scrollsToAGroup()
{
    QFETCH(int, startupFindings);
    QFETCH(int, group);
    ScanReportBundle report = reportWithEveryKind();
    for (int i = 1; i < startupFindings; ++i)
        report.startupItems << StartupFinding{QString("Entry%1").arg(i), "C:\\Temp\\e.exe", "HKCU Run", 2, 40, 2, false, true, "x"};
    Phase2Page page;
    page.resize(760, 500);
    page.show();
    page.setReport(report);
    QCoreApplication::processEvents();
    auto* area = page.findChild<QScrollArea*>("p2ScrollArea");

    page.scrollToGroup(group);
    if (group >= OptCatalogue::GroupCount) {
        QCOMPARE(area->verticalScrollBar()->value(), 0);
        return;
    }
    QWidget* header = page.card(group)->findChild<QWidget*>("groupHeader");
    const QRect headerInViewport(header->mapTo(area->viewport(), QPoint(0, 0)), header->size());
    QVERIFY(area->verticalScrollBar()->value() > 0);
    QVERIFY(area->viewport()->rect().contains(headerInViewport));
}

void TestPhase2Page::keyboardTicksAndExecutes()
{
    Phase2Page page;
    page.resize(760, 500);
    page.show();
    QApplication::setActiveWindow(&page);
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QSignalSpy execute(&page, &Phase2Page::executeClicked);
    auto* edit = page.findChild<QLineEdit*>("searchEdit");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), page.card(0)->findChild<QWidget*>("groupHeader"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box(page, "C13"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(ids(page.selectedItems()), QStringList({"C13"}));

    // Tabbing on through the boxes keeps the focused one in view.
    while (QApplication::focusWidget() != box(page, "H2"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* area = page.findChild<QScrollArea*>("p2ScrollArea");
    const QPoint boxInViewport = box(page, "H2")->mapTo(area->viewport(), QPoint(0, 0));
    QVERIFY(area->viewport()->rect().contains(boxInViewport));

    auto* executeBtn = page.findChild<QPushButton*>("executeBtn");
    executeBtn->setFocus();
    QTest::keyClick(executeBtn, Qt::Key_Space);
    QCOMPARE(execute.count(), 1);
}

void TestPhase2Page::machineTextsShowAsPlainText()
{
    ScanReportBundle report;
    report.startupItems = {
        {"<b>x</b>\ny", "<img src=\"C:/a.png\">\r\n", "HKCU Run", 2, 40, 2, false, true, "<i>r</i>"},
        {"<b>x</b>\ny", "<img src=\"C:/b.png\">", "HKCU Run", 2, 40, 2, false, true, "<i>r</i>"},
    };
    Phase2Page page;
    page.setReport(report);
    auto* row = page.findChild<SelectableItemRow*>("itemRow_ST:2:<b>x</b>\ny");
    QVERIFY(row);
    const RowTexts& texts = row->texts();
    // Line breaks show as blanks: each text keeps to its line.
    QCOMPARE(QStringList({texts.shownName(), texts.description(), texts.badge()}),
             QStringList({"<b>x</b> y", "HKCU Run" + QString::fromUtf8("：") + "<img src=\"C:/a.png\">  ", "<i>r</i>"}));
    QCOMPARE(texts.badgeColour(), QColor("#D94A4A"));  // moderate risk is red
    // Two findings that would make the same id make one row.
    QCOMPARE(page.catalogue()[OptCatalogue::StartupGroup].items.size(), 1);
}

// A leftover path of a hundred characters or more has no blank to wrap at,
// and a startup entry's name may run to thousands: the rows keep the page's
// width, with each risk badge in view and room for each description, and
// the page never scrolls sideways.
void TestPhase2Page::longMachineTextsStayInTheView()
{
    const QString name = QString(3000, 'N');
    ScanReportBundle report;
    report.startupItems = {{name, "C:\\Temp\\" + QString(300, 'e') + ".exe", "HKCU Run", 2, 40, 2, false, true, "r"}};
    const QString leftover = "C:\\Users\\Tester\\AppData\\Local\\Packages\\" + QString("HotNewsLeftover").repeated(8);
    m_machine.addFolder(leftover);
    report.junkware = {{"adw-1", "HotNews", "", "adware", "high", "", "", {leftover}}};
    Phase2Page page;
    page.resize(860, 560);
    page.setReport(report);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCoreApplication::processEvents();
    auto* area = page.findChild<QScrollArea*>("p2ScrollArea");
    QCOMPARE(area->widget()->width(), area->viewport()->width());
    for (const QString& id : {"ST:2:" + name, QString("RES:adw-1")}) {
        auto* row = page.findChild<SelectableItemRow*>("itemRow_" + id);
        QVERIFY2(row, qPrintable(id.left(12)));
        const RowTexts::Places places = row->places();
        QVERIFY2(row->mapTo(area->widget(), places.badge.topRight()).x() < area->viewport()->width(), qPrintable(id.left(12)));
        // A long name leaves the description its room.
        QVERIFY2(places.description.width() >= 300, qPrintable(id.left(12)));
    }
    const QString shownName = page.findChild<SelectableItemRow*>("itemRow_ST:2:" + name)->texts().shownName();
    QVERIFY(shownName.endsWith(QStringLiteral("…")));
    QVERIFY(name.startsWith(shownName.chopped(1)));
}

void TestPhase2Page::rowsLookAsLabelsWould_data()
{
    QTest::addColumn<OptItem>("item");
    QTest::addColumn<int>("width");
    const QString name = QString::fromUtf8("中文名字的启动项");
    const QString wrapping = QString::fromUtf8("检测到卸载残留：C:\\ProgramData\\HotNews、C:\\Program Files (x86)\\HotNews\\bin、"
                                               "C:\\Users\\Tester\\AppData\\Local\\Packages\\")
                             + QString("HotNewsLeftover").repeated(8);
    QTest::newRow("selectable") << OptItem{"ST:2:x", name, "HKLM Run: C:\\a.exe", 1, QString::fromUtf8("🟠 可疑"), false, "", ""} << 760;
    QTest::newRow("wrapping") << OptItem{"RES:x", "HotNews", wrapping, 1, QString::fromUtf8("⚠ 轻度"), false, "", ""} << 560;
    QTest::newRow("long name, no risk colour") << OptItem{"ST:1:y", QString(300, 'N'), "C:\\x.exe", 5, "r", false, "", ""} << 760;
    QTest::newRow("information") << OptItem{"HJ_x", QString::fromUtf8("مرحبا"), wrapping, 2, "x", true, "", ""} << 560;
}

// A row draws what a row of labels with the row sheets showed, pixel for
// pixel: a check box or the mark, the name cut to 320 pixels, the wrapping
// description and the badge in its colour.
void TestPhase2Page::rowsLookAsLabelsWould()
{
    QFETCH(OptItem, item);
    QFETCH(int, width);
    QWidget card;
    card.setStyleSheet("QLabel { color:#0F1520; } QCheckBox { background:#FFFFFF; color:#0F1520; spacing:0px; }");
    OptGroup group;
    group.items = {item};
    GroupCard real(group, &card);
    QWidget* row = real.findChild<QWidget*>("itemRow_" + item.id);

    QWidget labels(&card);
    auto* layout = new QHBoxLayout(&labels);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(8);
    const auto label = [&labels](const QString& text, const QString& sheet) {
        auto* shown = new QLabel(text, &labels);
        shown->setTextFormat(Qt::PlainText);
        shown->setStyleSheet(sheet);
        return shown;
    };
    if (item.infoOnly) {
        layout->addWidget(label(QString::fromUtf8("◉"), "font-size:16px; background:transparent;"));
    } else {
        auto* box = new QCheckBox(&labels);
        box->setStyleSheet("QCheckBox::indicator { width:16px; height:16px; }");
        layout->addWidget(box);
    }
    QLabel* name = label(item.name, "font-size:13px; font-weight:500; background:transparent;");
    name->ensurePolished();
    name->setText(name->fontMetrics().elidedText(item.name, Qt::ElideRight, 320));
    name->setMinimumWidth(120);
    name->setMaximumWidth(320);
    layout->addWidget(name);
    QLabel* description = label(item.description, "font-size:11px; background:transparent;");
    description->setWordWrap(true);
    description->setMinimumWidth(1);
    layout->addWidget(description, 1);
    const QString colour = QStringList{"#4A90D9", "#E8923F", "#D94A4A"}.value(item.riskLevel);
    QLabel* badge = label(item.riskLabel, "font-size:11px; font-weight:bold; color:" + colour
                                              + "; background:transparent; padding:2px 6px; border-radius:4px;");
    badge->setFixedWidth(70);
    badge->setAlignment(Qt::AlignCenter);
    layout->addWidget(badge);

    card.show();
    for (QWidget* shown : {row, &labels})
        shown->resize(width, shown->heightForWidth(width));
    QCOMPARE(row->size(), labels.size());
    QCOMPARE(picture(row), picture(&labels));
}

QTEST_MAIN(TestPhase2Page)
#include "tst_Phase2Page.moc"

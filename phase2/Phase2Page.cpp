#include "phase2/Phase2Page.h"

#include "phase2/GroupCard.h"
#include "phase2/OptCatalogue.h"
#include "uikit/KeyboardFocus.h"
#include "uikit/ThemePalette.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

namespace {

struct PageSheets
{
    const char* page;
    const char* title;
    const char* subtitle;
    const char* search;
    const char* selectSafe;
    const char* restoreDefault;
    const char* remoteHelp;
    const char* count;
    const char* execute;
    const char* skip;
};

// Each theme's sheets; the colours are the theme's roles. A button sized by
// its text keeps the focus ring's room, so the ring never cuts the text: in
// a border that shows nothing where it has none of its own, and in a pixel
// less padding where its own border is one pixel wide.
const PageSheets kPageSheets[] = {
    {"QWidget#Phase2Page { background:@page; }"
     "QScrollArea#p2ScrollArea { background:transparent; border:none; }"
     "QWidget#p2ScrollInner { background:transparent; }"
     "QFrame#p2Toolbar { background-color:@panel; border-top:1px solid @border; border-radius:12px 12px 0 0; padding:4px 0; }",
     "font-size:22px; font-weight:800; color:@text;", "font-size:13px; color:@textSecondary; padding-bottom:4px;",
     "QLineEdit { border:1px solid @fieldBorder; border-radius:10px; padding:10px 14px 10px 36px; font-size:13px; background:@surface; color:@text; }"
     "QLineEdit:focus { border-color:@accent; background:@hoverFill; }",
     "QPushButton { background:@accentFill; color:@accent; border:1px solid @accent/0.15; border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:@accentFillHover; border-color:@accent/0.3; }"
     "QPushButton:focus { padding:7px 15px; }",
     "QPushButton { background:transparent; color:@textSecondary; border:2px solid transparent; border-radius:8px; padding:6px 14px; font-size:12px; }"
     "QPushButton:hover { color:@text; }",
     "QPushButton { background:@helpFill; color:@accent; border:1px solid @helpBorder; border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:@helpHover; border-color:@accent/0.4; }",
     "font-size:13px; font-weight:bold; color:@accent;",
     "QPushButton { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color:@onAccent; border:2px solid transparent; border-radius:10px; padding:8px 22px; font-size:14px; font-weight:bold; }"
     "QPushButton:hover { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }"
     "QPushButton:disabled { background:@border; color:@textMuted; }",
     "QPushButton { background:transparent; color:@textSecondary; border:1px solid @buttonBorder; border-radius:10px; padding:10px 24px; font-size:14px; }"
     "QPushButton:hover { border-color:@fieldBorder; color:@text; }"
     "QPushButton:focus { padding:9px 23px; }",
},
    {"QWidget#Phase2Page { background:@page; }"
     "QScrollArea#p2ScrollArea { background:transparent; border:none; }"
     "QWidget#p2ScrollInner { background:transparent; }"
     "QFrame#p2Toolbar { background-color:@panel; border-top:2px solid @border; border-radius:0; }",
     "font-size:24px; font-weight:bold; color:@text;", "font-size:14px; color:@textSecondary; padding-bottom:4px;",
     "QLineEdit { border:2px solid @fieldBorder; border-radius:10px; padding:6px 14px; font-size:15px; background:@surface; color:@text; }"
     "QLineEdit:focus { border-color:@accent; }",
     "QPushButton { background:@accentFill; color:@accent; border:2px solid transparent; border-radius:8px; padding:6px 14px; font-size:14px; }"
     "QPushButton:hover { background:@accentFillHover; }",
     "QPushButton { background:@buttonFill; color:@textSecondary; border:2px solid transparent; border-radius:8px; padding:6px 14px; font-size:14px; }"
     "QPushButton:hover { background:@hoverFill; }",
     "QPushButton { background:@helpFill; color:@accent; border:1px solid @helpBorder; border-radius:8px; padding:8px 16px; font-size:14px; }"
     "QPushButton:hover { background:@helpHover; }",
     "font-size:14px; font-weight:bold; color:@accent;",
     "QPushButton { background:@accent; color:@onAccent; border:2px solid transparent; border-radius:8px; padding:6px 22px; font-size:14px; font-weight:bold; }"
     "QPushButton:hover { background:@accentDeep; }",
     "QPushButton { background:@buttonFill; color:@textSecondary; border:2px solid transparent; border-radius:8px; padding:6px 22px; font-size:14px; }"
     "QPushButton:hover { background:@hoverFill; color:@text; }",
},
    {"QWidget#Phase2Page { background:@page; }"
     "QScrollArea#p2ScrollArea { background:transparent; border:none; }"
     "QWidget#p2ScrollInner { background:transparent; }"
     "QFrame#p2Toolbar { background-color:@panel; border-top:1px solid @border; border-radius:12px 12px 0 0; padding:4px 0; }",
     "font-size:22px; font-weight:800; color:@text;", "font-size:13px; color:@textSecondary; padding-bottom:4px;",
     "QLineEdit { border:1px solid @fieldBorder; border-radius:10px; padding:10px 14px 10px 36px; font-size:14px; background:@surface; color:@text; }"
     "QLineEdit:focus { border-color:@accent; background:@buttonFill; }",
     "QPushButton { background:@accentFill; color:@accent; border:1px solid @accent/0.12; border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:@accentFillHover; }"
     "QPushButton:focus { padding:7px 15px; }",
     "QPushButton { background:transparent; color:@textMuted; border:2px solid transparent; border-radius:8px; padding:6px 14px; font-size:12px; }"
     "QPushButton:hover { color:@textSecondary; }",
     "QPushButton { background:@helpFill; color:@accent; border:1px solid @helpBorder; border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:@helpHover; }",
     "font-size:13px; font-weight:bold; color:@accent;",
     "QPushButton { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color:@onAccent; border:2px solid transparent; border-radius:10px; padding:8px 22px; font-size:14px; font-weight:bold; }"
     "QPushButton:hover { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }"
     "QPushButton:disabled { background:@buttonBorder; color:@textMuted; }",
     "QPushButton { background:transparent; color:@textSecondary; border:1px solid @buttonBorder; border-radius:10px; padding:10px 24px; font-size:14px; }"
     "QPushButton:hover { border-color:@hoverBorder; color:@text; }"
     "QPushButton:focus { padding:9px 23px; }",
},
};

QPushButton* toolbarButton(const QString& text, const char* objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setCursor(Qt::PointingHandCursor);
    button->setFlat(false);
    button->setFixedHeight(36);
    return button;
}

} // namespace

Phase2Page::Phase2Page(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground, true);
    setAutoFillBackground(true);
    setObjectName("Phase2Page");
    buildCatalogue();
    buildWidgets();
}

void Phase2Page::buildCatalogue()
{
    groups = OptCatalogue::fixedGroups();
}

void Phase2Page::buildWidgets()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 0);
    layout->setSpacing(8);

    titleLabel = new QLabel(tr("深度清理和详细分析"), this);
    titleLabel->setObjectName("titleLabel");
    titleLabel->setStyleSheet("font-size:22px; font-weight:bold;");
    subtitleLabel = new QLabel(tr("以下列出了所有检测到了可优化项，请根据您的需要勾选，然后点击《执行选中项》进行优化。"), this);
    subtitleLabel->setObjectName("subtitleLabel");
    subtitleLabel->setWordWrap(true);
    subtitleLabel->setStyleSheet("font-size:13px; padding-bottom:4px;");

    layout->addWidget(titleLabel);
    layout->addWidget(subtitleLabel);
    layout->addWidget(buildSearchRow());
    layout->addWidget(buildScrollArea(), 1);
    layout->addWidget(buildToolbar());
}

QWidget* Phase2Page::buildSearchRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel("🔍", row);
    icon->setStyleSheet("font-size:14px; background:transparent;");
    searchEdit = new QLineEdit(row);
    searchEdit->setObjectName("searchEdit");
    searchEdit->setPlaceholderText(tr("搜索优化项名称或描述..."));
    searchEdit->setClearButtonEnabled(true);
    searchEdit->setMinimumHeight(34);
    searchEdit->setStyleSheet(ThemePalette::of(theme).sheet("QLineEdit { border:1px solid @plainBorder; border-radius:8px; padding:4px 12px; font-size:13px; }QLineEdit:focus { border-color:@plainAccent; }"));
    connect(searchEdit, &QLineEdit::textChanged, this, &Phase2Page::onSearchTextChanged);
    layout->addWidget(icon, 0);
    layout->addWidget(searchEdit, 1);
    return row;
}

QWidget* Phase2Page::buildScrollArea()
{
    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName("p2ScrollArea");
    scrollArea->setWidgetResizable(true);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Without a frame the area would be an invisible stop between the search
    // box and the first check box; the control that takes the keyboard, from
    // the search box and the tool bar too, is scrolled into view.
    scrollArea->setFocusPolicy(Qt::NoFocus);
    keepFocusInView(scrollArea);
    scrollArea->verticalScrollBar()->setStyleSheet(ThemePalette::thinScrollBarSheet());

    auto* inner = new QWidget(scrollArea);
    inner->setObjectName("p2ScrollInner");
    auto* layout = new QVBoxLayout(inner);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(10);
    for (const OptGroup& group : groups) {
        GroupCard* card = makeCard(group, inner);
        cards.append(card);
        layout->addWidget(card);
    }
    // The page's spare height goes below the last card: a card (whose own
    // stretch makes it growable) would show its share as an empty band when a
    // search leaves few rows.
    layout->addStretch(1);
    scrollArea->setWidget(inner);
    return scrollArea;
}

QWidget* Phase2Page::buildToolbar()
{
    auto* toolbar = new QFrame(this);
    toolbar->setObjectName("p2Toolbar");
    toolbar->setMinimumHeight(56);
    auto* layout = new QHBoxLayout(toolbar);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(10);

    selectSafeBtn = toolbarButton(tr("全选安全项"), "selectSafeBtn", toolbar);
    restoreDefaultBtn = toolbarButton(tr("恢复默认"), "restoreDefaultBtn", toolbar);
    remoteHelpBtn = toolbarButton(tr("🆘 远程协助"), "remoteHelpBtn", toolbar);
    remoteHelpBtn->setMinimumWidth(110);
    selectedCountLabel = new QLabel(tr("已选 0 项"), toolbar);
    selectedCountLabel->setObjectName("selectedCountLabel");
    selectedCountLabel->setStyleSheet("font-size:13px; font-weight:bold;");
    executeBtn = toolbarButton(tr("执行选中项"), "executeBtn", toolbar);
    executeBtn->setMinimumWidth(120);
    skipBtn = toolbarButton(tr("跳过，完成优化"), "skipBtn", toolbar);
    skipBtn->setMinimumWidth(120);

    layout->addWidget(selectSafeBtn);
    layout->addWidget(restoreDefaultBtn);
    layout->addWidget(remoteHelpBtn);
    layout->addStretch();
    layout->addWidget(selectedCountLabel);
    layout->addWidget(executeBtn);
    layout->addWidget(skipBtn);

    connect(selectSafeBtn, &QPushButton::clicked, this, &Phase2Page::onSelectSafeClicked);
    connect(restoreDefaultBtn, &QPushButton::clicked, this, &Phase2Page::onRestoreDefaultClicked);
    connect(executeBtn, &QPushButton::clicked, this, &Phase2Page::executeClicked);
    connect(skipBtn, &QPushButton::clicked, this, &Phase2Page::skipClicked);
    connect(remoteHelpBtn, &QPushButton::clicked, this, &Phase2Page::remoteHelpClicked);
    return toolbar;
}

GroupCard* Phase2Page::makeCard(const OptGroup& group, QWidget* parent)
{
    auto* card = new GroupCard(group, parent);
    connect(card, &GroupCard::selectionChanged, this, &Phase2Page::updateSelectedCount);
    connect(card, &GroupCard::specialConfirmRequested, this, &Phase2Page::specialConfirmRequested);
    return card;
}

void Phase2Page::setReport(const ScanReportBundle& report, OptCatalogue::Leftovers leftovers)
{
    this->report = report;
    // The page's sheets go on before the new rows exist: set after them, they
    // would restyle every row once more.
    setTheme(theme);
    replaceGroup(OptCatalogue::StartupGroup, OptCatalogue::startupGroup(report.startupItems));
    replaceGroup(OptCatalogue::JunkSoftwareGroup, OptCatalogue::junkSoftwareGroup(report.junkware, leftovers));
    replaceGroup(OptCatalogue::ConflictGroup, OptCatalogue::conflictGroup(report.conflicts));
    setTheme(theme);
}

// The new card starts unticked and expanded: ticks in a replaced group are lost.
void Phase2Page::replaceGroup(int index, const OptGroup& group)
{
    if (index < 0 || index >= groups.size())
        return;
    groups[index] = group;

    GroupCard* old = cards.value(index);
    QWidget* parent = old ? old->parentWidget() : scrollArea->widget();
    auto* layout = qobject_cast<QBoxLayout*>(parent->layout());
    const int position = layout && old ? layout->indexOf(old) : -1;
    if (old) {
        if (position >= 0)
            layout->removeWidget(old);
        old->hide();
        old->deleteLater();
    }

    GroupCard* card = makeCard(group, parent);
    if (layout) {
        if (position >= 0)
            layout->insertWidget(position, card);
        else
            layout->addWidget(card);
    }
    if (index < cards.size())
        cards[index] = card;
    card->setTheme(theme);
    updateSelectedCount();
    orderTabStops();
}

// Tab follows the page as it reads: the search box, each group's header and
// check boxes, then the tool bar. A card made for a report would otherwise
// be reached after the tool bar, where new widgets join the chain.
void Phase2Page::orderTabStops()
{
    QList<QWidget*> stops{searchEdit};
    for (GroupCard* card : qAsConst(cards))
        stops += card->tabStops();
    stops += {selectSafeBtn, restoreDefaultBtn, remoteHelpBtn, executeBtn, skipBtn};
    for (int i = 1; i < stops.size(); ++i)
        setTabOrder(stops[i - 1], stops[i]);
}

QVector<OptItem> Phase2Page::selectedItems() const
{
    QVector<OptItem> items;
    for (int index = 0; index < cards.size() && index < groups.size(); ++index) {
        const QSet<QString> ids = cards[index]->selectedIds();
        for (const OptItem& item : groups[index].items) {
            if (ids.contains(item.id))
                items.append(item);
        }
    }
    return items;
}

void Phase2Page::onSelectSafeClicked()
{
    for (GroupCard* card : qAsConst(cards))
        card->selectSafe();
    updateSelectedCount();
}

void Phase2Page::untick(const QString& itemId)
{
    for (GroupCard* card : qAsConst(cards))
        card->untick(itemId);
}

void Phase2Page::onRestoreDefaultClicked()
{
    for (GroupCard* card : qAsConst(cards))
        card->clearChecks();
    updateSelectedCount();
}

void Phase2Page::onSearchTextChanged(const QString& text)
{
    const QString trimmed = text.trimmed();
    for (GroupCard* card : qAsConst(cards))
        card->applyFilter(trimmed);
}

void Phase2Page::updateSelectedCount()
{
    int count = 0;
    for (GroupCard* card : qAsConst(cards))
        count += card->selectedIds().size();
    selectedCountLabel->setText(tr("已选 %1 项").arg(count));
    executeBtn->setText(tr("执行选中项(%1)").arg(count));
}

// A card taller than the view is shown from its header: scrolling it merely
// into view would centre it and open the group in the middle of its rows.
void Phase2Page::scrollToGroup(int groupIndex)
{
    if (groupIndex < 0 || groupIndex >= cards.size())
        return;
    const int margin = 20;
    GroupCard* card = cards[groupIndex];
    if (card->height() + 2 * margin <= scrollArea->viewport()->height())
        scrollArea->ensureWidgetVisible(card, 0, margin);
    else
        scrollArea->verticalScrollBar()->setValue(card->y() - margin);
}

// Setting the page's sheet restyles every row of every card, even when the
// sheet is the one it has: a theme already applied is not applied again.
void Phase2Page::setTheme(int theme)
{
    for (GroupCard* card : qAsConst(cards))
        card->setTheme(theme);
    if (themed && theme == this->theme) {
        raise();
        return;
    }
    this->theme = theme;
    themed = true;
    const ThemePalette& palette = ThemePalette::of(theme);
    const PageSheets& sheets = kPageSheets[ThemePalette::isTheme(theme) ? theme : ThemePalette::Light];
    setStyleSheet(palette.sheet(sheets.page));
    titleLabel->setStyleSheet(palette.sheet(sheets.title));
    subtitleLabel->setStyleSheet(palette.sheet(sheets.subtitle));
    searchEdit->setStyleSheet(palette.sheet(sheets.search));
    selectedCountLabel->setStyleSheet(palette.sheet(sheets.count));
    // Each button styles itself, so each sheet carries its focus mark.
    const std::pair<QPushButton*, const char*> buttons[] = {
        {selectSafeBtn, sheets.selectSafe}, {restoreDefaultBtn, sheets.restoreDefault},
        {remoteHelpBtn, sheets.remoteHelp}, {executeBtn, sheets.execute}, {skipBtn, sheets.skip}};
    for (const auto& [button, sheet] : buttons)
        button->setStyleSheet(palette.sheet(sheet + ThemePalette::ownFocusRule()));
    raise();
}

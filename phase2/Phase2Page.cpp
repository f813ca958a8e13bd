#include "phase2/Phase2Page.h"

#include "phase2/GroupCard.h"
#include "phase2/OptCatalogue.h"

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

const PageSheets kPageSheets[] = {
    {"QWidget#Phase2Page { background:#080B14; }"
     "QScrollArea#p2ScrollArea { background:transparent; border:none; }"
     "QWidget#p2ScrollInner { background:transparent; }"
     "QFrame#p2Toolbar { background-color:#141923; border-top:1px solid #1E2433; border-radius:12px 12px 0 0; padding:4px 0; }",
     "font-size:22px; font-weight:800; color:#E8ECF2;", "font-size:13px; color:#8B94A6; padding-bottom:4px;",
     "QLineEdit { border:1px solid #2A3142; border-radius:10px; padding:10px 14px 10px 36px; font-size:13px; background:#141923; color:#E8ECF2; }"
     "QLineEdit:focus { border-color:#00C2FF; background:#181D28; }",
     "QPushButton { background:#141923; color:#00C2FF; border:1px solid rgba(0,194,255,0.15); border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:rgba(0,194,255,0.08); border-color:rgba(0,194,255,0.3); }",
     "QPushButton { background:transparent; color:#8B94A6; border:none; border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { color:#E8ECF2; }",
     "QPushButton { background:rgba(0,194,255,0.1); color:#00C2FF; border:1px solid rgba(0,194,255,0.25); border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:rgba(0,194,255,0.18); border-color:rgba(0,194,255,0.4); }",
     "font-size:13px; font-weight:bold; color:#00C2FF;",
     "QPushButton { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #00C2FF,stop:1 #009FD4); color:#0B0F17; border:none; border-radius:10px; padding:10px 24px; font-size:14px; font-weight:bold; }"
     "QPushButton:hover { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #009FD4,stop:1 #00C2FF); }"
     "QPushButton:disabled { background:#1E2433; color:#535C6E; }",
     "QPushButton { background:transparent; color:#8B94A6; border:1px solid #1E2433; border-radius:10px; padding:10px 24px; font-size:14px; }"
     "QPushButton:hover { border-color:#2A3142; color:#E8ECF2; }",
},
    {"QWidget#Phase2Page { background:#F5EDE0; }"
     "QScrollArea#p2ScrollArea { background:transparent; border:none; }"
     "QWidget#p2ScrollInner { background:transparent; }"
     "QFrame#p2Toolbar { background-color:#FFF8F0; border-top:2px solid #F0D9BD; border-radius:0; }",
     "font-size:24px; font-weight:bold; color:#2D1A08;", "font-size:14px; color:#5C3D22; padding-bottom:4px;",
     "QLineEdit { border:2px solid #F0D9BD; border-radius:10px; padding:6px 14px; font-size:15px; background:#FFFFFF; color:#2D1A08; }"
     "QLineEdit:focus { border-color:#FF7A45; }",
     "QPushButton { background:#FFF3E6; color:#FF7A45; border:none; border-radius:8px; padding:8px 16px; font-size:14px; }"
     "QPushButton:hover { background:#FFE8D5; }",
     "QPushButton { background:#FFF3E6; color:#5C3D22; border:none; border-radius:8px; padding:8px 16px; font-size:14px; }"
     "QPushButton:hover { background:#FFE8D5; }",
     "QPushButton { background:#FFF3E6; color:#FF7A45; border:1px solid #FFD0B0; border-radius:8px; padding:8px 16px; font-size:14px; }"
     "QPushButton:hover { background:#FFE8D5; }",
     "font-size:14px; font-weight:bold; color:#FF7A45;",
     "QPushButton { background:#FF7A45; color:#FFFFFF; border:none; border-radius:8px; padding:8px 24px; font-size:14px; font-weight:bold; }"
     "QPushButton:hover { background:#E8632A; }",
     "QPushButton { background:#FFF3E6; color:#5C3D22; border:none; border-radius:8px; padding:8px 24px; font-size:14px; }"
     "QPushButton:hover { background:#FFE8D5; color:#2D1A08; }",
},
    {"QWidget#Phase2Page { background:#F0F2F8; }"
     "QScrollArea#p2ScrollArea { background:transparent; border:none; }"
     "QWidget#p2ScrollInner { background:transparent; }"
     "QFrame#p2Toolbar { background-color:#FFFFFF; border-top:1px solid #E4E9F2; border-radius:12px 12px 0 0; padding:4px 0; }",
     "font-size:22px; font-weight:800; color:#0F1520;", "font-size:13px; color:#475569; padding-bottom:4px;",
     "QLineEdit { border:1px solid #CDD5E0; border-radius:10px; padding:10px 14px 10px 36px; font-size:14px; background:#FFFFFF; color:#0F1520; }"
     "QLineEdit:focus { border-color:#1A73E8; background:#F7F9FC; }",
     "QPushButton { background:#EBF3FD; color:#1A73E8; border:1px solid rgba(26,115,232,0.12); border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:#D6E8FC; }",
     "QPushButton { background:transparent; color:#94A3B8; border:none; border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { color:#475569; }",
     "QPushButton { background:#EBF3FD; color:#1A73E8; border:1px solid rgba(26,115,232,0.2); border-radius:8px; padding:8px 16px; font-size:12px; }"
     "QPushButton:hover { background:#D6E8FC; }",
     "font-size:13px; font-weight:bold; color:#1A73E8;",
     "QPushButton { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1A73E8,stop:1 #1557C0); color:white; border:none; border-radius:10px; padding:10px 24px; font-size:14px; font-weight:bold; }"
     "QPushButton:hover { background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1557C0,stop:1 #1A73E8); }"
     "QPushButton:disabled { background:#CDD5E0; color:#94A3B8; }",
     "QPushButton { background:transparent; color:#475569; border:1px solid #CDD5E0; border-radius:10px; padding:10px 24px; font-size:14px; }"
     "QPushButton:hover { border-color:#A0B4D0; color:#0F1520; }",
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
    searchEdit->setStyleSheet("QLineEdit { border:1px solid #E0E0E0; border-radius:8px; padding:4px 12px; font-size:13px; }QLineEdit:focus { border-color:#4A90D9; }");
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
    // box and the first check box; tabbing through the boxes scrolls it.
    scrollArea->setFocusPolicy(Qt::NoFocus);
    scrollArea->verticalScrollBar()->setStyleSheet("QScrollBar:vertical { width:6px; background:transparent; }QScrollBar::handle:vertical { background:#C0C0C0; border-radius:3px; min-height:20px; }QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height:0px; }");

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

void Phase2Page::setReport(const ScanReportBundle& report)
{
    this->report = report;
    // The page's sheets go on before the new rows exist: set after them, they
    // would restyle every row once more.
    setTheme(theme);
    replaceGroup(OptCatalogue::StartupGroup, OptCatalogue::startupGroup(report.startupItems));
    replaceGroup(OptCatalogue::JunkSoftwareGroup, OptCatalogue::junkSoftwareGroup(report.junkware));
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
    const PageSheets& sheets = kPageSheets[theme == 0 || theme == 1 ? theme : 2];
    setStyleSheet(QString::fromUtf8(sheets.page));
    titleLabel->setStyleSheet(QString::fromUtf8(sheets.title));
    subtitleLabel->setStyleSheet(QString::fromUtf8(sheets.subtitle));
    searchEdit->setStyleSheet(QString::fromUtf8(sheets.search));
    selectSafeBtn->setStyleSheet(QString::fromUtf8(sheets.selectSafe));
    restoreDefaultBtn->setStyleSheet(QString::fromUtf8(sheets.restoreDefault));
    remoteHelpBtn->setStyleSheet(QString::fromUtf8(sheets.remoteHelp));
    selectedCountLabel->setStyleSheet(QString::fromUtf8(sheets.count));
    executeBtn->setStyleSheet(QString::fromUtf8(sheets.execute));
    skipBtn->setStyleSheet(QString::fromUtf8(sheets.skip));
    raise();
}

#include "phase2/GroupCard.h"

#include "common/DisplayText.h"
#include "uikit/ThemePalette.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int NameMaxWidth = 320;

struct CardSheets
{
    const char* card;
    const char* arrow;
    const char* title;
};

// Beyond the card's own look, each theme gives the row texts their colour
// (they have none of their own) and the check boxes a fill: the window's
// content area makes every background below it transparent, which leaves a
// check box without a visible frame. The colours are the theme's roles; the
// header and the check boxes take the keyboard and show it with the theme's
// focus ring.
const CardSheets kCardSheets[] = {
    {"QWidget#groupCard { background-color:@surface; border-radius:12px; border:1px solid @border; margin-bottom:4px; }"
     "QFrame#groupHeader { background:transparent; border-bottom:1px solid transparent; }"
     "QFrame#groupHeader:hover { background:@accent/0.04; }"
     "QWidget#groupBody { background:transparent; }"
     "QLabel#groupDesc { color:@textMuted; background:transparent; }"
     "QLabel { color:@text; }"
     "QCheckBox { background:@checkFill; color:@text; spacing:0px; }",
     "font-size:14px; color:@accent; background:transparent;", "font-size:15px; font-weight:bold; color:@accent; background:transparent;"},
    {"QWidget#groupCard { background-color:@surface; border-radius:14px; border:1px solid @border; margin-bottom:6px; }"
     "QFrame#groupHeader { background:@bar; border-bottom:1px solid transparent; border-radius:14px 14px 0 0; }"
     "QFrame#groupHeader:hover { background:@hoverFill; }"
     "QWidget#groupBody { background:transparent; }"
     "QLabel#groupDesc { color:@textSecondary; background:transparent; }"
     "QLabel { color:@text; }"
     "QCheckBox { background:@checkFill; color:@text; spacing:0px; }",
     "font-size:16px; color:@accent; background:transparent;", "font-size:17px; font-weight:bold; color:@accent; background:transparent;"},
    {"QWidget#groupCard { background-color:@surface; border-radius:12px; border:1px solid @border; margin-bottom:4px; }"
     "QFrame#groupHeader { background:transparent; border-bottom:1px solid transparent; }"
     "QFrame#groupHeader:hover { background:@accent/0.03; }"
     "QWidget#groupBody { background:transparent; }"
     "QLabel#groupDesc { color:@textSecondary; background:transparent; }"
     "QLabel { color:@text; }"
     "QCheckBox { background:@checkFill; color:@text; spacing:0px; }",
     "font-size:14px; color:@accent; background:transparent;", "font-size:15px; font-weight:bold; color:@accent; background:transparent;"},
};

// A check box keeps room for its ring, so its box never moves.
const char* const kFocusRules = "QFrame#groupHeader:focus { border:2px solid @focus; border-radius:12px; }"
                                "QCheckBox { border:2px solid transparent; border-radius:4px; background-clip:padding; }"
                                "QCheckBox:focus { border-color:@focus; outline:none; }";

const char* badgeColour(int riskLevel)
{
    switch (riskLevel) {
    case 0: return "@riskSlight";
    case 1: return "@riskMild";
    case 2: return "@riskModerate";
    default: return "";
    }
}

// Space and Enter fold a group as a click does; a key held down folds it once.
bool isFoldingKey(QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return !key->isAutoRepeat() && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
           && (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
}

// Names and descriptions come from the machine (startup entries, programs):
// they are shown as they are, never read as markup.
QLabel* plainLabel(const QString& text, const QString& sheet, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setStyleSheet(sheet);
    return label;
}

} // namespace

GroupCard::GroupCard(const OptGroup& group, QWidget* parent)
    : QWidget(parent)
    , group(group)
{
    setAttribute(Qt::WA_StyledBackground, true);
    setObjectName("groupCard");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildHeader();
    buildBody();
    layout->addWidget(header);
    layout->addWidget(body);
    layout->addStretch();
}

void GroupCard::buildHeader()
{
    header = new QFrame(this);
    header->setObjectName("groupHeader");
    header->setCursor(Qt::PointingHandCursor);
    // Reached with Tab, folded with Space or Enter as a click folds it.
    header->setFocusPolicy(Qt::StrongFocus);
    header->setAccessibleName(group.title);
    header->setMinimumHeight(48);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(16, 8, 16, 8);

    QLabel* icon = plainLabel(group.icon, "font-size:20px; background:transparent;", header);
    titleLabel = plainLabel(group.title, "font-size:15px; font-weight:bold; background:transparent;", header);
    arrowLabel = plainLabel("▾", "font-size:14px; background:transparent;", header);
    arrowLabel->setFixedWidth(20);
    arrowLabel->setAlignment(Qt::AlignCenter);
    for (QLabel* label : {icon, titleLabel, arrowLabel})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(icon, 0);
    layout->addWidget(titleLabel, 1);
    layout->addWidget(arrowLabel);
    header->installEventFilter(this);
}

void GroupCard::buildBody()
{
    body = new QWidget(this);
    body->setObjectName("groupBody");
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(16, 8, 16, 12);
    layout->setSpacing(6);
    QLabel* description = plainLabel(group.description, "font-size:12px; background:transparent; padding-bottom:4px;", body);
    description->setObjectName("groupDesc");
    description->setWordWrap(true);
    layout->addWidget(description);
    for (const OptItem& item : group.items) {
        QWidget* row = buildRow(item);
        rows.append(row);
        layout->addWidget(row);
    }
}

QWidget* GroupCard::buildRow(const OptItem& item)
{
    auto* row = new QWidget(body);
    row->setObjectName(QStringLiteral("itemRow_%1").arg(item.id));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(8);

    if (item.infoOnly) {
        layout->addWidget(plainLabel("◉", "font-size:16px; background:transparent;", row));
    } else {
        auto* box = new QCheckBox(row);
        box->setStyleSheet("QCheckBox::indicator { width:16px; height:16px; }");
        box->setAccessibleName(item.name);
        connect(box, &QCheckBox::toggled, this, [this, item](bool ticked) { onBoxToggled(item, ticked); });
        checkBoxes.append(box);
        layout->addWidget(box);
    }
    // An entry's name or command may hold line breaks; a row keeps each text
    // on its line.
    QLabel* name = plainLabel(oneLine(item.name), "font-size:13px; font-weight:500; background:transparent;", row);
    name->setMinimumWidth(120);
    // A name of hundreds of characters (a startup entry's) ends in "…" where
    // it would take the description's place in the row.
    name->ensurePolished();
    name->setText(name->fontMetrics().elidedText(name->text(), Qt::ElideRight, NameMaxWidth));
    name->setMaximumWidth(NameMaxWidth);
    layout->addWidget(name);
    QLabel* description = plainLabel(oneLine(item.description), "font-size:11px; background:transparent;", row);
    description->setWordWrap(true);
    // A leftover's path has no blank to wrap at: what does not fit the row is
    // cut, instead of the row widening the page past its view.
    description->setMinimumWidth(1);
    layout->addWidget(description, 1);
    const QString badgeSheet = QString::fromUtf8("font-size:11px; font-weight:bold; color:%1; background:transparent; padding:2px 6px; border-radius:4px;").arg(badgeColour(item.riskLevel));
    QLabel* badge = plainLabel(item.riskLabel, ThemePalette::of(theme).sheet(badgeSheet), row);
    badge->setFixedWidth(70);
    badge->setAlignment(Qt::AlignCenter);
    layout->addWidget(badge);
    return row;
}

void GroupCard::onBoxToggled(const OptItem& item, bool ticked)
{
    emit selectionChanged();
    if (ticked && !item.confirmType.isEmpty())
        emit specialConfirmRequested(item.id, item.confirmType);
}

template <class Visit>
void GroupCard::forEachSelectable(Visit visit) const
{
    int k = 0;
    for (const OptItem& item : group.items) {
        if (item.infoOnly)
            continue;
        if (k < checkBoxes.size())
            visit(item, checkBoxes[k]);
        ++k;
    }
}

QSet<QString> GroupCard::selectedIds() const
{
    QSet<QString> ids;
    forEachSelectable([&ids](const OptItem& item, QCheckBox* box) {
        if (box->isChecked())
            ids.insert(item.id);
    });
    return ids;
}

void GroupCard::selectSafe()
{
    forEachSelectable([](const OptItem& item, QCheckBox* box) {
        if (item.riskLevel == 0)
            box->setChecked(true);
    });
}

void GroupCard::untick(const QString& itemId)
{
    forEachSelectable([&itemId](const OptItem& item, QCheckBox* box) {
        if (item.id == itemId)
            box->setChecked(false);
    });
}

void GroupCard::clearChecks()
{
    for (QCheckBox* box : checkBoxes)
        box->setChecked(false);
}

// Hidden rows keep their ticks: filtering only changes what is shown.
void GroupCard::applyFilter(const QString& text)
{
    if (text.isEmpty()) {
        for (QWidget* row : rows)
            row->setVisible(true);
        setVisible(true);
        return;
    }
    const QString needle = text.toLower();
    bool anyMatch = false;
    for (int i = 0; i < group.items.size() && i < rows.size(); ++i) {
        const OptItem& item = group.items[i];
        const bool match = item.name.toLower().contains(needle) || item.description.toLower().contains(needle)
                           || item.id.toLower().contains(needle);
        rows[i]->setVisible(match);
        anyMatch = anyMatch || match;
    }
    setVisible(anyMatch);
}

QList<QWidget*> GroupCard::tabStops() const
{
    QList<QWidget*> stops{header};
    for (QCheckBox* box : checkBoxes)
        stops << box;
    return stops;
}

void GroupCard::toggleExpanded()
{
    expanded = !expanded;
    body->setVisible(expanded);
    arrowLabel->setText(expanded ? "▾" : "▸");
}

// The header's labels let mouse events through, so a release anywhere on
// the header reaches the header itself.
bool GroupCard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == header && (event->type() == QEvent::MouseButtonRelease || isFoldingKey(event))) {
        toggleExpanded();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void GroupCard::setTheme(int theme)
{
    this->theme = theme;
    const ThemePalette& palette = ThemePalette::of(theme);
    const CardSheets& sheets = kCardSheets[ThemePalette::isTheme(theme) ? theme : ThemePalette::Light];
    setStyleSheet(palette.sheet(QString::fromUtf8(sheets.card) + kFocusRules));
    arrowLabel->setStyleSheet(palette.sheet(sheets.arrow));
    titleLabel->setStyleSheet(palette.sheet(sheets.title));
}

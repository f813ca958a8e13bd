#include "phase2/GroupCard.h"

#include "phase2/InfoItemRow.h"
#include "phase2/SelectableItemRow.h"
#include "uikit/ThemePalette.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace {

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

// A row draws its own ring around the whole row (see SelectableItemRow).
const char* const kFocusRules = "QFrame#groupHeader:focus { border:2px solid @focus; border-radius:12px; }"
                                "QCheckBox { outline:none; }";

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

bool matches(const OptItem& item, const QString& needle)
{
    return item.name.toLower().contains(needle) || item.description.toLower().contains(needle)
           || item.id.toLower().contains(needle);
}

// Holds a widget's layout for its scope: the layout takes no part while
// widgets in it are shown or hidden, and is laid out once when the scope ends.
class HeldLayout
{
public:
    explicit HeldLayout(QWidget* widget) : m_layout(widget->layout())
    {
        if (m_layout)
            m_layout->setEnabled(false);
    }
    ~HeldLayout()
    {
        if (!m_layout)
            return;
        m_layout->setEnabled(true);
        m_layout->invalidate();
    }
    HeldLayout(HeldLayout&& other) noexcept : m_layout(std::exchange(other.m_layout, nullptr)) {}
    HeldLayout(const HeldLayout&) = delete;
    HeldLayout& operator=(const HeldLayout&) = delete;
    HeldLayout& operator=(HeldLayout&&) = delete;

private:
    QLayout* m_layout;
};

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
    QVBoxLayout* blockLayout = nullptr;
    for (const OptItem& item : group.items) {
        if (rows.size() % RowsPerBlock == 0)
            blockLayout = addBlock(layout);
        QWidget* row = buildRow(item, blockLayout->parentWidget());
        rows.append(row);
        blockLayout->addWidget(row);
    }
}

// Rows stand in blocks, spaced as rows are. Each widget that shows is
// repainted by walking the siblings it has: thousands of rows side by side
// would cost the square of their number whenever they show.
QVBoxLayout* GroupCard::addBlock(QVBoxLayout* bodyLayout)
{
    auto* block = new QWidget(body);
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(bodyLayout->spacing());
    bodyLayout->addWidget(block);
    blocks.append(block);
    return layout;
}

// A row is one widget that draws its texts (see RowTexts): a report of
// thousands of entries makes thousands of rows.
QWidget* GroupCard::buildRow(const OptItem& item, QWidget* block)
{
    QWidget* row = nullptr;
    if (item.infoOnly) {
        row = new InfoItemRow(item, block);
    } else {
        auto* box = new SelectableItemRow(item, block);
        connect(box, &QCheckBox::toggled, this, [this, item](bool ticked) { onBoxToggled(item, ticked); });
        checkBoxes.append(box);
        row = box;
    }
    row->setObjectName(QStringLiteral("itemRow_%1").arg(item.id));
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
    const QString needle = text.toLower();
    bool anyMatch = false;
    {
        // Qt lays out every shown ancestor of a widget the moment it is shown:
        // shown one by one, rows would lay the card out once each. The body
        // and its blocks stand still while rows change, and are laid out once.
        std::vector<HeldLayout> held;
        held.reserve(blocks.size() + 1);
        held.emplace_back(body);
        for (QWidget* block : qAsConst(blocks))
            held.emplace_back(block);
        for (int b = 0; b < blocks.size(); ++b) {
            bool blockMatch = false;
            for (int i = b * RowsPerBlock; i < qMin(rows.size(), (b + 1) * RowsPerBlock); ++i) {
                const bool match = text.isEmpty() || (i < group.items.size() && matches(group.items[i], needle));
                rows[i]->setVisible(match);
                blockMatch = blockMatch || match;
            }
            blocks[b]->setVisible(blockMatch);
            anyMatch = anyMatch || blockMatch;
        }
    }
    setVisible(anyMatch || text.isEmpty());
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

// Setting a sheet restyles every row below the card, even when the sheet
// is the one it has: a theme already applied is not applied again.
void GroupCard::setTheme(int theme)
{
    if (theme == this->theme)
        return;
    this->theme = theme;
    const ThemePalette& palette = ThemePalette::of(theme);
    const CardSheets& sheets = kCardSheets[ThemePalette::isTheme(theme) ? theme : ThemePalette::Light];
    setStyleSheet(palette.sheet(QString::fromUtf8(sheets.card) + kFocusRules));
    arrowLabel->setStyleSheet(palette.sheet(sheets.arrow));
    titleLabel->setStyleSheet(palette.sheet(sheets.title));
    for (QWidget* row : qAsConst(rows)) {
        if (auto* selectable = qobject_cast<SelectableItemRow*>(row))
            selectable->setTheme(theme);
        else if (auto* info = qobject_cast<InfoItemRow*>(row))
            info->setTheme(theme);
    }
}

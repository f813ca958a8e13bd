#include "phase2/RowTexts.h"

#include "common/DisplayText.h"
#include "uikit/ThemePalette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QVector>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

constexpr int Margin = 4;
constexpr int Spacing = 8;
constexpr int NameMinWidth = 120;
constexpr int NameMaxWidth = 320;
constexpr int DescriptionMinWidth = 1;
constexpr int BadgeWidth = 70;
const QMargins BadgePadding(6, 2, 6, 2);
// What a label measures its text in when nothing bounds it.
constexpr int Unbounded = 2000;

const QString Mark = QStringLiteral("◉");

// A style sheet's font-weight in QFont's scale.
int styleSheetWeight(int cssWeight)
{
    return qRound(cssWeight / 8.0);
}

QFont sized(QFont font, int pixels, int weight = -1)
{
    font.setPixelSize(pixels);
    if (weight >= 0)
        font.setWeight(weight);
    return font;
}

// The alignment a label gives `text`: leading and vertically centred, or
// centred, each as the text's own direction turns it, with the flags that
// tell the painter that direction.
int textFlags(const QString& text, Qt::Alignment alignment)
{
    const Qt::LayoutDirection direction = text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    return int(QStyle::visualAlignment(direction, alignment))
           | (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
}

const Qt::Alignment Leading = Qt::AlignLeading | Qt::AlignVCenter;
const Qt::Alignment Wrapping = Leading | Qt::Alignment(Qt::TextWordWrap);

// What a label's text takes within `width` (a label without word wrap is
// measured as wide as it likes): the call a label makes, with its flags.
QSize textSize(const QFont& font, const QString& text, Qt::Alignment alignment, int width = Unbounded)
{
    const int flags = textFlags(text, alignment) & ~(Qt::AlignVCenter | Qt::AlignHCenter)
                      & ~(Qt::TextForceLeftToRight | Qt::TextForceRightToLeft);
    return QFontMetrics(font).boundingRect(0, 0, width, Unbounded, flags, text).size();
}

// The size of a text many rows share (the badges, the mark), measured once
// for all of them.
QSize sharedTextSize(const QFont& font, const QString& text, Qt::Alignment alignment)
{
    struct Measured
    {
        QFont font;
        QString text;
        QSize size;
    };
    static QVector<Measured> measured;   // the few texts and fonts of the page's rows
    for (const Measured& known : qAsConst(measured)) {
        if (known.text == text && known.font == font)
            return known.size;
    }
    const QSize size = textSize(font, text, alignment);
    if (measured.size() == 32)
        measured.removeFirst();
    measured.append({font, text, size});
    return size;
}

void drawText(QPainter& painter, const QWidget& row, const QRect& rect, const QFont& font, Qt::Alignment alignment,
              const QString& text, const QPalette& palette)
{
    painter.setFont(font);
    row.style()->drawItemText(&painter, rect, textFlags(text, alignment), palette, row.isEnabled(), text,
                              row.foregroundRole());
}

} // namespace

RowTexts::RowTexts(const OptItem& item)
    : m_name(oneLine(item.name))
    , m_description(oneLine(item.description))
    , m_badge(item.riskLabel)
    , m_riskLevel(item.riskLevel)
{
}

void RowTexts::setRowFont(const QFont& rowFont)
{
    // A row is restyled whenever a sheet above it is set; its font mostly stays.
    if (m_rowFont && rowFont == *m_rowFont && rowFont.resolve() == m_rowFont->resolve())
        return;
    m_rowFont = rowFont;
    m_nameFont = sized(rowFont, 13, styleSheetWeight(500));
    m_descriptionFont = sized(rowFont, 11);
    m_badgeFont = sized(rowFont, 11, QFont::Bold);
    m_markFont = sized(rowFont, 16);
    m_nameSize = QSize();
    m_descriptionSize = QSize();
    m_wrapped = {};
    m_badgeHeight = -1;
    m_markSize = QSize();
    m_estimatedContent = -1;
}

QColor RowTexts::badgeColour() const
{
    static const char* const riskRoles[] = {"riskSlight", "riskMild", "riskModerate"};
    if (m_riskLevel < 0 || m_riskLevel > 2)
        return QColor();
    return QColor(ThemePalette::of(m_theme).colour(riskRoles[m_riskLevel]));
}

void RowTexts::measureName() const
{
    if (m_nameSize.isValid())
        return;
    m_shownName = m_name;
    m_nameSize = textSize(m_nameFont, m_name, Leading);
    if (m_nameSize.width() > NameMaxWidth) {
        m_shownName = QFontMetrics(m_nameFont).elidedText(m_name, Qt::ElideRight, NameMaxWidth);
        m_nameSize = textSize(m_nameFont, m_shownName, Leading);
    }
}

QString RowTexts::shownName() const
{
    measureName();
    return m_shownName;
}

QSize RowTexts::descriptionSize() const
{
    if (!m_descriptionSize.isValid())
        m_descriptionSize = textSize(m_descriptionFont, m_description, Wrapping);
    return m_descriptionSize;
}

// Text that fits the width on one line takes it as measured once; only a
// width it has to wrap at is measured again.
int RowTexts::descriptionHeight(int width) const
{
    width = qMax(width, DescriptionMinWidth);
    if (descriptionSize().width() <= width)
        return m_descriptionSize.height();
    // A layout asks at a few widths in turn: with the scroll bar and without.
    for (const Wrapped& wrapped : m_wrapped) {
        if (wrapped.width == width)
            return wrapped.height;
    }
    std::rotate(m_wrapped.begin(), m_wrapped.end() - 1, m_wrapped.end());
    m_wrapped[0] = {width, textSize(m_descriptionFont, m_description, Wrapping, width).height()};
    return m_wrapped[0].height;
}

QSize RowTexts::markSize() const
{
    if (!m_markSize.isValid())
        m_markSize = sharedTextSize(m_markFont, Mark, Leading);
    return m_markSize;
}

int RowTexts::badgeHeight() const
{
    if (m_badgeHeight < 0)
        m_badgeHeight = sharedTextSize(m_badgeFont, m_badge, Qt::AlignCenter).height() + BadgePadding.top()
                        + BadgePadding.bottom();
    return m_badgeHeight;
}

// The name takes its own width within its bounds and the description the
// rest, down to its minimum; only a row too narrow even for that squeezes
// the name.
RowTexts::Widths RowTexts::widths(int rowWidth, const QSize& lead) const
{
    measureName();
    const int texts = rowWidth - 2 * Margin - lead.width() - 3 * Spacing - BadgeWidth;
    Widths widths;
    widths.name = qBound(NameMinWidth, m_nameSize.width(), NameMaxWidth);
    widths.description = texts - widths.name;
    if (widths.description < DescriptionMinWidth) {
        widths.name = qMax(NameMinWidth, texts - DescriptionMinWidth);
        widths.description = qMax(DescriptionMinWidth, texts - widths.name);
    }
    return widths;
}

int RowTexts::heightForWidth(int width, const QSize& lead, bool shown) const
{
    if (!shown)
        return estimatedHeight(lead);
    return contentHeight(lead, descriptionHeight(widths(width, lead).description)) + 2 * Margin;
}

int RowTexts::contentHeight(const QSize& lead, int descriptionHeight) const
{
    measureName();
    return qMax(qMax(lead.height(), m_nameSize.height()), qMax(descriptionHeight, badgeHeight()));
}

// The hints are the row's with its description on one line, as a wrapping
// label gives its height for one line; the height at the width the row
// gets comes from heightForWidth.
QSize RowTexts::sizeHint(const QSize& lead, bool shown) const
{
    if (!shown)
        return QSize(minimumWidth(lead), estimatedHeight(lead));
    measureName();
    // A description asks for the width of eighty average characters at most,
    // as a wrapping label does.
    const int description = qMin(descriptionSize().width(), QFontMetrics(m_descriptionFont).averageCharWidth() * 80);
    const int width = 2 * Margin + lead.width() + qBound(NameMinWidth, m_nameSize.width(), NameMaxWidth)
                      + description + BadgeWidth + 3 * Spacing;
    return QSize(width, contentHeight(lead, descriptionSize().height()) + 2 * Margin);
}

QSize RowTexts::minimumSizeHint(const QSize& lead, bool shown) const
{
    if (!shown)
        return QSize(minimumWidth(lead), estimatedHeight(lead));
    return QSize(minimumWidth(lead), contentHeight(lead, descriptionSize().height()) + 2 * Margin);
}

int RowTexts::minimumWidth(const QSize& lead) const
{
    return 2 * Margin + lead.width() + NameMinWidth + DescriptionMinWidth + BadgeWidth + 3 * Spacing;
}

bool RowTexts::takeEstimated()
{
    return std::exchange(m_estimated, false);
}

int RowTexts::estimatedHeight(const QSize& lead) const
{
    m_estimated = true;
    if (m_estimatedContent < 0) {
        m_estimatedContent = qMax(qMax(QFontMetrics(m_nameFont).height(), QFontMetrics(m_descriptionFont).height()),
                                  QFontMetrics(m_badgeFont).height() + BadgePadding.top() + BadgePadding.bottom());
    }
    return qMax(lead.height(), m_estimatedContent) + 2 * Margin;
}

RowTexts::Places RowTexts::place(const QRect& row, const QSize& lead, bool leadFillsHeight) const
{
    const QRect content = row.adjusted(Margin, Margin, -Margin, -Margin);
    const Widths widths = this->widths(row.width(), lead);
    Places places;
    int x = content.left();
    places.lead = leadFillsHeight ? QRect(x, content.top(), lead.width(), content.height())
                                  : QRect(x, content.top() + (content.height() - lead.height()) / 2, lead.width(),
                                          lead.height());
    x += lead.width() + Spacing;
    places.name = QRect(x, content.top(), widths.name, content.height());
    x += widths.name + Spacing;
    places.description = QRect(x, content.top(), widths.description, content.height());
    x += widths.description + Spacing;
    places.badge = QRect(x, content.top(), BadgeWidth, content.height());
    return places;
}

void RowTexts::paint(QPainter& painter, const QWidget& row, const Places& places, bool withMark) const
{
    const QPalette& palette = row.palette();
    if (withMark)
        drawText(painter, row, places.lead, m_markFont, Leading, Mark, palette);
    drawText(painter, row, places.name, m_nameFont, Leading, shownName(), palette);
    drawText(painter, row, places.description, m_descriptionFont, Wrapping, m_description, palette);
    QPalette badgePalette = palette;
    if (badgeColour().isValid())
        badgePalette.setColor(row.foregroundRole(), badgeColour());
    drawText(painter, row, places.badge.marginsRemoved(BadgePadding), m_badgeFont, Qt::AlignCenter, m_badge,
             badgePalette);
}

#pragma once

#include "phase2/OptItem.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

class QPainter;
class QWidget;

// The texts of one row of a group card: the item's name, its description
// and its risk badge, behind a leading cell (the row's check box, or the
// information mark of an item that cannot be selected). They are placed,
// measured and drawn as a row of labels with the row sheets would show them
// (name 13 px at weight 500, at least 120 and at most 320 px wide, cut with
// "…" beyond; description 11 px, wrapped, taking the rest of the row; badge
// 11 px bold, 70 px wide with 2 px by 6 px of padding, centred, in the colour
// of its risk; mark 16 px; 4 px around the row and 8 px between its parts),
// but without a widget for each: a report of thousands of entries makes
// thousands of rows, and a label costs more to make, style and measure than
// its text does. Each text is measured once for its font and again only for
// a width it has to wrap at.
class RowTexts
{
public:
    explicit RowTexts(const OptItem& item);

    // The row widget's own font, whose family the texts keep.
    void setRowFont(const QFont& rowFont);

    // The texts as the row shows them, each on one line of its own; a name
    // too long for its place is cut and ends in "…".
    QString shownName() const;
    const QString& description() const { return m_description; }
    const QString& badge() const { return m_badge; }
    // The theme whose risk colours the badge takes.
    void setTheme(int theme) { m_theme = theme; }
    int theme() const { return m_theme; }
    // The badge's colour; invalid when its risk has none, and the badge then
    // takes the row's text colour.
    QColor badgeColour() const;

    QSize markSize() const;

    // A row `width` pixels wide whose leading cell asks for `lead`. A row
    // that is not `shown` (on a page not shown yet) is not measured: it
    // answers the line heights of its fonts, as if each text took one line,
    // and notes that it did (takeEstimated), to be laid out again once shown.
    int heightForWidth(int width, const QSize& lead, bool shown) const;
    QSize sizeHint(const QSize& lead, bool shown) const;
    QSize minimumSizeHint(const QSize& lead, bool shown) const;
    // Whether hints were estimated since this was last asked.
    bool takeEstimated();

    // Where each part of a row stands. A lead that fills the row's height is
    // a text centred in it (the mark); one that does not is a box of its own
    // height, centred.
    struct Places
    {
        QRect lead, name, description, badge;
    };
    Places place(const QRect& row, const QSize& lead, bool leadFillsHeight) const;

    // Draws the texts (and the mark, when asked) with the row's style and palette.
    void paint(QPainter& painter, const QWidget& row, const Places& places, bool withMark) const;

private:
    struct Widths
    {
        int name = 0;
        int description = 0;
    };
    Widths widths(int rowWidth, const QSize& lead) const;
    void measureName() const;
    QSize descriptionSize() const;
    int descriptionHeight(int width) const;
    int estimatedHeight(const QSize& lead) const;
    int minimumWidth(const QSize& lead) const;
    int contentHeight(const QSize& lead, int descriptionHeight) const;
    int badgeHeight() const;

    QString m_name;          // one line, before it is cut to its place
    QString m_description;   // one line
    QString m_badge;
    int m_riskLevel = 0;
    int m_theme = 2;   // light, as the page starts
    std::optional<QFont> m_rowFont;   // the fonts below are made from
    QFont m_nameFont;
    QFont m_descriptionFont;
    QFont m_badgeFont;
    QFont m_markFont;
    // Measures in the fonts above, taken when first asked for.
    mutable QString m_shownName;
    mutable QSize m_nameSize;                  // invalid until measured
    mutable QSize m_descriptionSize;           // on one line; invalid until measured
    struct Wrapped
    {
        int width = -1;
        int height = 0;
    };
    mutable std::array<Wrapped, 4> m_wrapped;  // the last widths the description wrapped at
    mutable int m_badgeHeight = -1;
    mutable QSize m_markSize;
    mutable int m_estimatedContent = -1;
    mutable bool m_estimated = false;
};

#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QTextLayout>

class QPainter;

// A text laid out once as QPainter::drawText(rect, Qt::AlignCenter, text)
// lays it out anew at every call, drawn centred in any rectangle with the
// very pixels that call gives there. Shaping the text is most of that call's
// cost, and the keyword sphere draws each of its keywords some thirty times a
// second at a handful of sizes.
class CenteredTextLayout
{
public:
    // Laid out in the painter's font and direction.
    CenteredTextLayout(const QString& text, const QPainter& painter);
    CenteredTextLayout(const CenteredTextLayout&) = delete;
    CenteredTextLayout& operator=(const CenteredTextLayout&) = delete;

    // Whether the painter's font, resolution and direction are the ones the
    // text was laid out for.
    bool fits(const QPainter& painter) const;

    // Paints with the painter's pen, as drawText would.
    void draw(QPainter& painter, const QRectF& rect) const;

private:
    QFont m_font;
    int m_dpi = 0;
    Qt::LayoutDirection m_direction = Qt::LeftToRight;
    QTextLayout m_layout;
    qreal m_width = 0;
    qreal m_height = 0;
};

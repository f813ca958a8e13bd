#include "ui/CenteredTextLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>

#include <cmath>

namespace {

// drawText's own handling of control characters: a carriage return or a tab
// (which centred text does not expand) becomes a blank, a newline a line
// separator.
QString asDrawn(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
        else if (c == QLatin1Char('\n'))
            c = QChar::LineSeparator;
    }
    return text;
}

} // namespace

CenteredTextLayout::CenteredTextLayout(const QString& text, const QPainter& painter)
    : m_font(painter.font())
    , m_dpi(painter.device()->logicalDpiY())
    , m_direction(painter.layoutDirection())
    , m_layout(asDrawn(text), m_font)
{
    QTextOption option;
    option.setTextDirection(m_direction);
    option.setAlignment(Qt::AlignLeft);   // centring is done when drawn
    m_layout.setTextOption(option);
    m_layout.setCacheEnabled(true);

    const qreal leading = QFontMetricsF(m_font).leading();
    m_height = -leading;
    m_layout.beginLayout();
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        line.setLineWidth(0x01000000);
        m_height = std::ceil(m_height + leading);   // each line starts on a whole pixel
        line.setPosition(QPointF(0, m_height));
        m_height += line.ascent() + line.descent();
        m_width = qMax(m_width, line.naturalTextWidth());
    }
    m_layout.endLayout();
}

bool CenteredTextLayout::fits(const QPainter& painter) const
{
    return painter.font() == m_font && painter.device()->logicalDpiY() == m_dpi
           && painter.layoutDirection() == m_direction;
}

void CenteredTextLayout::draw(QPainter& painter, const QRectF& rect) const
{
    if (m_layout.text().isEmpty() || painter.pen().style() == Qt::NoPen)
        return;
    const qreal top = (rect.height() - m_height) / 2;
    const qreal left = (rect.width() - m_width) / 2;
    const bool clip = !rect.contains(QRectF(rect.x() + left, rect.y() + top, m_width, m_height));
    if (clip) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    for (int i = 0; i < m_layout.lineCount(); ++i) {
        const QTextLine line = m_layout.lineAt(i);
        line.draw(&painter, QPointF(rect.x() + (rect.width() - line.horizontalAdvance()) / 2, rect.y() + top));
    }
    if (clip)
        painter.restore();
}

#include "ui/CircularProgressBar.h"

#include <QFont>
#include <QPainter>
#include <QPen>

CircularProgressBar::CircularProgressBar(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(120, 120);
}

void CircularProgressBar::setValue(int v)
{
    const int clamped = qBound(0, v, 100);
    if (clamped == m_value)
        return;
    m_value = clamped;
    update();
}

void CircularProgressBar::setProgressColor(const QColor& color)
{
    m_progressColor = color;
    update();
}

void CircularProgressBar::setTrackColor(const QColor& color)
{
    m_trackColor = color;
    update();
}

void CircularProgressBar::setTextColor(const QColor& color)
{
    m_textColor = color;
    update();
}

void CircularProgressBar::setPenWidth(int width)
{
    m_penWidth = width;
    update();
}

QRectF CircularProgressBar::ringRect() const
{
    const int side = qMin(width(), height());
    if (side <= m_penWidth)
        return {};
    return QRectF((width() - side) / 2 + m_penWidth / 2, (height() - side) / 2 + m_penWidth / 2,
                  side - m_penWidth, side - m_penWidth);
}

void CircularProgressBar::paintEvent(QPaintEvent*)
{
    const QRectF rect = ringRect();
    if (rect.isEmpty())
        return;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(m_trackColor, m_penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawArc(rect, 90 * 16, 360 * 16);

    pen.setColor(m_progressColor);
    painter.setPen(pen);
    painter.drawArc(rect, 90 * 16, -static_cast<int>(m_value / 100.0 * 360 * 16));

    if (m_showText) {
        painter.setPen(m_textColor);
        painter.setFont(QFont("Microsoft YaHei", 20, QFont::Bold));
        painter.drawText(rect.adjusted(10, 10, -10, -10), Qt::AlignCenter, QString::number(m_value) + "%");
    }
}

#include "moc_CircularProgressBar.cpp"

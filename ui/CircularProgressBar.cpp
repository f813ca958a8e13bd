#include "ui/CircularProgressBar.h"

#include <QFont>
#include <QPaintEvent>
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
    changed();
}

void CircularProgressBar::setProgressColor(const QColor& color)
{
    m_progressColor = color;
    changed();
}

void CircularProgressBar::setTrackColor(const QColor& color)
{
    m_trackColor = color;
    changed();
}

void CircularProgressBar::setTextColor(const QColor& color)
{
    m_textColor = color;
    changed();
}

void CircularProgressBar::setPenWidth(int width)
{
    m_penWidth = width;
    changed();
}

void CircularProgressBar::changed()
{
    m_painted = QPixmap();
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

// The progress page's sphere turns above the ring and has it repainted some
// thirty times a second; the ring itself changes only with its value, so it
// is drawn once into a picture and copied from there.
void CircularProgressBar::paintEvent(QPaintEvent* event)
{
    if (ringRect().isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (m_painted.size() != pixels || m_painted.devicePixelRatio() != ratio) {
        m_painted = QPixmap(pixels);
        m_painted.setDevicePixelRatio(ratio);
        m_painted.fill(Qt::transparent);
        QPainter picture(&m_painted);
        paintRing(picture);
    }
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawPixmap(area, m_painted, QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
}

void CircularProgressBar::paintRing(QPainter& painter) const
{
    const QRectF rect = ringRect();
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

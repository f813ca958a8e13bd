#include "ui/CircularProgressBar.h"

#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <cmath>

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
    // The track stays as it is drawn; only the arc follows the value.
    m_arc = QPixmap();
    update();
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
    m_track = QPixmap();
    m_arc = QPixmap();
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
// thirty times a second; the ring itself changes only with its value, so the
// track and the arc are each drawn once into a picture and copied from there.
// Each picture holds one layer as drawing it would have laid it down, so
// copying them in turn gives the very pixels of drawing them in turn.
void CircularProgressBar::paintEvent(QPaintEvent* event)
{
    const QRectF rect = ringRect();
    if (rect.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    if (m_track.size() != size() * ratio || m_track.devicePixelRatio() != ratio) {
        m_track = layer([this, &rect](QPainter& painter) {
            painter.setPen(ringPen(m_trackColor));
            painter.drawArc(rect, 90 * 16, 360 * 16);
        });
        m_band = bandOf(rect);
        m_arc = QPixmap();
    }
    if (m_arc.isNull()) {
        m_arc = layer([this, &rect](QPainter& painter) {
            painter.setPen(ringPen(m_progressColor));
            painter.drawArc(rect, 90 * 16, -static_cast<int>(m_value / 100.0 * 360 * 16));
        });
    }
    QPainter painter(this);
    for (const QRect& area : event->region() & m_band) {
        const QRectF source(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio);
        painter.drawPixmap(area, m_track, source);
        painter.drawPixmap(area, m_arc, source);
    }

    if (m_showText) {
        painter.setPen(m_textColor);
        painter.setFont(QFont("Microsoft YaHei", 20, QFont::Bold));
        painter.drawText(rect.adjusted(10, 10, -10, -10), Qt::AlignCenter, QString::number(m_value) + "%");
    }
}

// Where the pictures may hold the ring: the disk of the pen's outer edge,
// less the disk of its inner edge, which the pen never reaches. Each disk is
// traced by a few rectangles a step of angle apart, the outer one by
// rectangles that cover it, the inner one by rectangles inside it, so that
// the copies, some thirty a second under the turning sphere, skip most of
// what is transparent.
QRegion CircularProgressBar::bandOf(const QRectF& rect) const
{
    const qreal reach = m_penWidth / 2.0 + 2;   // the pen's half width and its anti-aliased edge
    const qreal outerRadius = rect.width() / 2 + reach;
    const qreal innerRadius = rect.width() / 2 - reach;
    const QPointF centre = rect.center();
    const auto centred = [&centre](qreal halfWidth, qreal halfHeight) {
        return QRectF(centre.x() - halfWidth, centre.y() - halfHeight, 2 * halfWidth, 2 * halfHeight);
    };
    constexpr int steps = 6;   // to a quarter turn
    const qreal step = std::acos(-1.0) / 2 / steps;
    QRegion band;
    for (int k = 0; k < steps; ++k) {
        // Every point of the outer disk between the angles k and k + 1 steps
        // from the horizontal, in each quarter.
        band += centred(outerRadius * std::cos(k * step), outerRadius * std::sin((k + 1) * step)).toAlignedRect();
    }
    if (innerRadius <= 0)
        return band;
    for (int k = 1; k < steps; ++k) {
        // Its corners lie on the inner circle.
        const QRectF inside = centred(innerRadius * std::cos(k * step), innerRadius * std::sin(k * step));
        band -= QRegion(inside.adjusted(1, 1, -1, -1).toRect());
    }
    return band;
}

QPen CircularProgressBar::ringPen(const QColor& color) const
{
    return QPen(color, m_penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPixmap CircularProgressBar::layer(const std::function<void(QPainter&)>& draw) const
{
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return picture;
}

#include "moc_CircularProgressBar.cpp"

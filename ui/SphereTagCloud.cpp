#include "ui/SphereTagCloud.h"

#include "ui/CenteredTextLayout.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

SphereTagCloud::SphereTagCloud(QWidget* parent)
    : QWidget(parent)
    , stateColors{QColor(150, 150, 150), QColor(234, 67, 53), QColor(251, 140, 0), QColor(52, 168, 83)}
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    timer.setInterval(30);
    connect(&timer, &QTimer::timeout, this, &SphereTagCloud::tick);
}

// The sphere turns only while it can be seen: a hidden one (on a page not
// shown) lets the window sleep.
void SphereTagCloud::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    timer.start();
}

void SphereTagCloud::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    timer.stop();
}

void SphereTagCloud::addTag(const QString& text)
{
    Tag tag;
    tag.text = text;
    tags.append(tag);
    layoutTags();
}

void SphereTagCloud::clearTags()
{
    tags.clear();
    order.clear();
    update();
}

void SphereTagCloud::resetStates()
{
    for (Tag& tag : tags)
        tag.state = 0;
    update();
}

void SphereTagCloud::setTagState(int index, int state)
{
    if (index < 0 || index >= tags.size())
        return;
    tags[index].state = state;
    update();
}

void SphereTagCloud::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    radius = 0.4f * static_cast<float>(qMin(width(), height()));
    layoutTags();
}

void SphereTagCloud::tick()
{
    yaw += 0.008f;
    pitch += 0.003f;
    projectTags();
    update();
}

// A Fibonacci sphere: equal steps in z, a golden-angle turn from tag to tag.
void SphereTagCloud::layoutTags()
{
    if (tags.isEmpty() || radius <= 0)
        return;
    const float n = static_cast<float>(tags.size());
    const float golden = (std::sqrt(5.0f) + 1.0f) / 2.0f;
    for (int i = 0; i < tags.size(); ++i) {
        const float theta = static_cast<float>(i) * 6.2831855f / golden;
        const float phi = std::acos(1.0f - (static_cast<float>(i) + 0.5f) * 2.0f / n);
        Tag& tag = tags[i];
        tag.x = std::cos(theta) * std::sin(phi);
        tag.y = std::sin(theta) * std::sin(phi);
        tag.z = std::cos(phi);
        tag.placed = true;
    }
    projectTags();
}

void SphereTagCloud::projectTags()
{
    if (tags.isEmpty())
        return;
    const float cy = std::cos(yaw), sy = std::sin(yaw);
    const float cp = std::cos(pitch), sp = std::sin(pitch);
    order.clear();
    for (int i = 0; i < tags.size(); ++i) {
        Tag& tag = tags[i];
        if (!tag.placed)
            continue;
        const float x1 = tag.x * cy - tag.z * sy;
        const float z1 = tag.z * cy + tag.x * sy;
        const float y1 = tag.y * cp - z1 * sp;
        tag.depth = z1 * cp + tag.y * sp;
        tag.scale = 3.0f / (3.0f - tag.depth);
        tag.screenX = static_cast<float>(width()) / 2 + x1 * radius * tag.scale;
        tag.screenY = static_cast<float>(height()) / 2 + y1 * radius * tag.scale;
        order.append(i);
    }
    std::sort(order.begin(), order.end(),
              [this](int a, int b) { return tags[a].depth < tags[b].depth; });
}

void SphereTagCloud::paintEvent(QPaintEvent*)
{
    if (order.isEmpty() || radius <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QFont base("Microsoft YaHei", 10, QFont::Medium);
    for (int index : qAsConst(order))
        paintTag(painter, base, tags[index]);
}

void SphereTagCloud::paintTag(QPainter& painter, const QFont& base, Tag& tag)
{
    const bool lit = tag.state == 1 || tag.state == 2;
    QColor color = stateColors[static_cast<size_t>(qBound(0, tag.state, 3))];
    const qreal alpha = (tag.depth + 1) * 0.6 / 2 + 0.4;
    color.setAlphaF(alpha);

    // The font engine takes sizes in 64ths of a pixel and rounds every size
    // to that grid. A size already on the grid draws exactly as the sizes
    // that round to it, and it comes back again and again while the sphere
    // turns: its font engine, its glyphs, the text's extent and its layout
    // are made once, and the text is never shaped again at that size.
    const qreal pixelsPerPoint = logicalDpiY() / 72.0;
    const int size64 = qRound((3 * tag.scale + 8) * pixelsPerPoint * 64);
    QFont font = base;
    font.setPointSizeF(size64 / 64.0 / pixelsPerPoint);
    font.setBold(lit);
    painter.setFont(font);

    const int key = size64 * 2 + (lit ? 1 : 0);
    auto drawn = tag.drawn.find(key);
    if (drawn == tag.drawn.end())
        drawn = tag.drawn.insert(key, {QFontMetricsF(font).boundingRect(tag.text), nullptr});
    QRectF rect = drawn->extent;
    rect.moveCenter(QPointF(tag.screenX, tag.screenY));
    rect.adjust(-10, -5, 10, 5);

    if (lit) {
        QColor halo = color;
        halo.setAlphaF(alpha * 0.3);
        painter.setPen(Qt::NoPen);
        painter.setBrush(halo);
        painter.drawRoundedRect(rect, 8, 8);
        painter.setBrush(Qt::NoBrush);
    }
    painter.setPen(color);
    // Laying the text out is most of what drawing it costs; each layout is
    // kept for as long as the painter's font, resolved against the widget's,
    // stays the one it was made for.
    if (!drawn->layout || !drawn->layout->fits(painter))
        drawn->layout = std::make_shared<const CenteredTextLayout>(tag.text, painter);
    drawn->layout->draw(painter, rect);
}

#include "moc_SphereTagCloud.cpp"

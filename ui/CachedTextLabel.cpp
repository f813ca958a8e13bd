#include "ui/CachedTextLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

void CachedTextLabel::paintEvent(QPaintEvent*)
{
    if (!isCurrent())
        takePicture();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void CachedTextLabel::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::LayoutDirectionChange:
        m_picture = QPixmap();
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

bool CachedTextLabel::isCurrent() const
{
    const qreal ratio = devicePixelRatioF();
    return !m_picture.isNull() && m_pictureText == text() && m_picture.size() == size() * ratio
           && m_picture.devicePixelRatio() == ratio;
}

// The picture is drawn directly rather than through QWidget::render, which
// first sends every widget of the window its pending move and resize events:
// the pages still hidden would be laid out for nothing, before they are
// styled, on the progress page's first percentage.
void CachedTextLabel::takePicture()
{
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawText(painter);
    painter.end();
    m_picture = picture;
    m_pictureText = text();
}

// What QLabel draws for plain text: its frame, then the text in the frame's
// contents less the margin, in the colours its style sheet gives it.
void CachedTextLabel::drawText(QPainter& painter)
{
    QStyleOption option;
    option.initFrom(this);
    painter.setFont(font());
    drawFrame(&painter);
    const QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const Qt::LayoutDirection direction = text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const int flags = QStyle::visualAlignment(direction, alignment())
                      | (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
    style()->drawItemText(&painter, box, flags, option.palette, isEnabled(), text(), foregroundRole());
}

#include "moc_CachedTextLabel.cpp"

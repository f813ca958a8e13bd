#include "ui/CachedTextLabel.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>

void CachedTextLabel::paintEvent(QPaintEvent* event)
{
    if (m_takingPicture || !isCurrent()) {
        QLabel::paintEvent(event);
        // A widget cannot be rendered while it paints: the picture is taken
        // as soon as this paint is over.
        if (!m_takingPicture && !m_pictureQueued) {
            m_pictureQueued = true;
            QTimer::singleShot(0, this, &CachedTextLabel::takePicture);
        }
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void CachedTextLabel::setText(const QString& text)
{
    QLabel::setText(text);
    takePicture();
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

void CachedTextLabel::takePicture()
{
    m_pictureQueued = false;
    if (isCurrent() || !isVisible())
        return;
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    m_takingPicture = true;
    render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    m_takingPicture = false;
    m_picture = picture;
    m_pictureText = text();
}

#include "moc_CachedTextLabel.cpp"

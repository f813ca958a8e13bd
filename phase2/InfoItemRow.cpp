#include "phase2/InfoItemRow.h"

#include <QEvent>
#include <QPainter>

InfoItemRow::InfoItemRow(const OptItem& item, QWidget* parent)
    : QLabel(parent)
    , m_texts(item)
{
    setAccessibleName(item.name);
    setAccessibleDescription(item.description);
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    m_texts.setRowFont(font());
}

RowTexts::Places InfoItemRow::places() const
{
    return m_texts.place(rect(), m_texts.markSize(), true);
}

// A hidden row is not measured (see RowTexts::estimatedHeight).
QSize InfoItemRow::sizeHint() const
{
    ensurePolished();
    if (estimating())
        return QSize(m_texts.minimumWidth(m_texts.markSize()), m_texts.estimatedHeight(m_texts.markSize()));
    return m_texts.sizeHint(m_texts.markSize());
}

QSize InfoItemRow::minimumSizeHint() const
{
    ensurePolished();
    if (estimating())
        return QSize(m_texts.minimumWidth(m_texts.markSize()), m_texts.estimatedHeight(m_texts.markSize()));
    return m_texts.minimumSizeHint(m_texts.markSize());
}

int InfoItemRow::heightForWidth(int width) const
{
    ensurePolished();
    if (estimating())
        return m_texts.estimatedHeight(m_texts.markSize());
    return m_texts.heightForWidth(width, m_texts.markSize());
}

bool InfoItemRow::estimating() const
{
    m_estimated = m_estimated || !isVisible();
    return !isVisible();
}

void InfoItemRow::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    if (m_estimated) {
        m_estimated = false;
        updateGeometry();
    }
}

void InfoItemRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_texts.paint(painter, *this, places(), true);
}

void InfoItemRow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_texts.setRowFont(font());
    QLabel::changeEvent(event);
}

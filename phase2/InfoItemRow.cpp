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

QSize InfoItemRow::sizeHint() const
{
    ensurePolished();
    return m_texts.sizeHint(m_texts.markSize(), isVisible());
}

QSize InfoItemRow::minimumSizeHint() const
{
    ensurePolished();
    return m_texts.minimumSizeHint(m_texts.markSize(), isVisible());
}

int InfoItemRow::heightForWidth(int width) const
{
    ensurePolished();
    return m_texts.heightForWidth(width, m_texts.markSize(), isVisible());
}

void InfoItemRow::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    if (m_texts.takeEstimated())
        updateGeometry();
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

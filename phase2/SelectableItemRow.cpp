#include "phase2/SelectableItemRow.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOptionButton>

SelectableItemRow::SelectableItemRow(const OptItem& item, QWidget* parent)
    : QCheckBox(parent)
    , m_texts(item)
{
    setStyleSheet("QCheckBox::indicator { width:16px; height:16px; }");
    setAccessibleName(item.name);
    setAccessibleDescription(item.description);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred, QSizePolicy::CheckBox);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    m_texts.setRowFont(font());
}

RowTexts::Places SelectableItemRow::places() const
{
    return m_texts.place(rect(), boxSize(), false);
}

// A hidden row is not measured (see RowTexts::estimatedHeight).
QSize SelectableItemRow::sizeHint() const
{
    ensurePolished();
    if (estimating())
        return QSize(m_texts.minimumWidth(boxSize()), m_texts.estimatedHeight(boxSize()));
    return m_texts.sizeHint(boxSize());
}

QSize SelectableItemRow::minimumSizeHint() const
{
    ensurePolished();
    if (estimating())
        return QSize(m_texts.minimumWidth(boxSize()), m_texts.estimatedHeight(boxSize()));
    return m_texts.minimumSizeHint(boxSize());
}

int SelectableItemRow::heightForWidth(int width) const
{
    ensurePolished();
    if (estimating())
        return m_texts.estimatedHeight(boxSize());
    return m_texts.heightForWidth(width, boxSize());
}

bool SelectableItemRow::estimating() const
{
    m_estimated = m_estimated || !isVisible();
    return !isVisible();
}

void SelectableItemRow::showEvent(QShowEvent* event)
{
    QCheckBox::showEvent(event);
    if (m_estimated) {
        m_estimated = false;
        updateGeometry();
    }
}

bool SelectableItemRow::hitButton(const QPoint& pos) const
{
    return places().lead.contains(pos);
}

void SelectableItemRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const RowTexts::Places at = places();
    QStyleOptionButton box;
    initStyleOption(&box);
    box.rect = at.lead;
    style()->drawControl(QStyle::CE_CheckBox, &box, &painter, this);
    m_texts.paint(painter, *this, at, false);
}

void SelectableItemRow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_texts.setRowFont(font());
    QCheckBox::changeEvent(event);
}

#include "phase2/SelectableItemRow.h"

#include "uikit/ThemePalette.h"

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

QSize SelectableItemRow::sizeHint() const
{
    ensurePolished();
    return m_texts.sizeHint(boxSize(), isVisible());
}

QSize SelectableItemRow::minimumSizeHint() const
{
    ensurePolished();
    return m_texts.minimumSizeHint(boxSize(), isVisible());
}

int SelectableItemRow::heightForWidth(int width) const
{
    ensurePolished();
    return m_texts.heightForWidth(width, boxSize(), isVisible());
}

void SelectableItemRow::showEvent(QShowEvent* event)
{
    QCheckBox::showEvent(event);
    if (m_texts.takeEstimated())
        updateGeometry();
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
    if (hasFocus())
        paintFocusRing(painter);
}

// The ring goes around the whole row, the control the keyboard is on, in
// the theme's focus colour; the row's margins leave it room.
void SelectableItemRow::paintFocusRing(QPainter& painter) const
{
    constexpr qreal RingWidth = 2;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(ThemePalette::of(m_texts.theme()).colour("focus")), RingWidth));
    const qreal inset = RingWidth / 2;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 4, 4);
}

void SelectableItemRow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_texts.setRowFont(font());
    QCheckBox::changeEvent(event);
}

#include "uikit/KeyboardFocus.h"

#include <QApplication>
#include <QScrollArea>

namespace {

bool takesTab(const QWidget* widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) && widget->isVisible() && widget->isEnabled();
}

} // namespace

void focusFirstControl(QWidget* area)
{
    for (QWidget* next = area->nextInFocusChain(); next != area; next = next->nextInFocusChain()) {
        if (area->isAncestorOf(next) && takesTab(next)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    area->setFocus();
}

void keepFocusInView(QScrollArea* area)
{
    QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget*, QWidget* now) {
        if (now && area->widget() && area->widget()->isAncestorOf(now))
            area->ensureWidgetVisible(now);
    });
}

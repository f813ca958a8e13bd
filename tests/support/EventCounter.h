#pragma once

#include <QEvent>
#include <QObject>

// Counts the events of one type that the objects it is installed on receive:
// how often a widget was painted, laid out or restyled.
class EventCounter : public QObject
{
public:
    explicit EventCounter(QEvent::Type type = QEvent::Paint) : m_type(type) {}

    int count = 0;

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

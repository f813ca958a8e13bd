#pragma once

#include "phase2/OptItem.h"

#include <QString>
#include <QVector>

// One group of the deep-optimisation page, its items in display order.
struct OptGroup
{
    QString icon;
    QString title;
    QString description;
    QVector<OptItem> items;
};

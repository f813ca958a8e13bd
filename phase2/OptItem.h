#pragma once

#include <QString>

// One row of the deep-optimisation page, copied by value into cards,
// selections and the executor's own list. The executor dispatches on `id`.
struct OptItem
{
    QString id;
    QString name;
    QString description;
    int riskLevel = 0;  // 0 slight, 1 mild, 2 moderate
    QString riskLabel;
    bool infoOnly = false;  // shown without a check box, never selected
    QString confirmType;    // the item's own id on "C9", "A2" and "H2"; else empty
    QString note;
};

#pragma once

#include <QString>

// The figures of the maintenance pipeline's last run.
struct OptimizeStats
{
    quint64 cleanedMB = 0;
    quint64 freedMemoryMB = 0;
    int settingsCount = 0;
    bool diskDone = false;
    QString diskType;   // "跳过", "未知", "机械硬盘(HDD)" or "固态硬盘(SSD)"
    int elapsedSeconds = 0;
};

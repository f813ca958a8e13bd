#pragma once

#include <QStringList>

// Collects the engine's step lines (its debug-output copy of every log line)
// for the life of the object.
class EngineLog
{
public:
    EngineLog();
    ~EngineLog();
    EngineLog(const EngineLog&) = delete;
    EngineLog& operator=(const EngineLog&) = delete;

    QStringList lines() const;
    bool contains(const QString& line) const { return lines().contains(line); }
    // Lines that start with `prefix`.
    QStringList startingWith(const QString& prefix) const;
    void clear();
};

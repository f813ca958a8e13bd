#pragma once

#include <QString>
#include <QVector>

// One system restore point as wmic lists it.
struct RestorePointRecord
{
    quint32 sequenceNumber = 0;
    QString creationTime;
};

// The machine's system restore points, read once through wmic. Both the
// restore-point question of the main window and the pruning of the deep
// optimisation count through this class, so the number the user is shown is
// the number the pruning starts from.
//
// Only the sequence numbers and creation times are asked for: a point's
// description is free text that may break its line or hold characters the
// code page of wmic's output cannot carry, and a row it spoils could hide a
// point or misplace its number. A listing with a row that still cannot be
// read counts as not read whole, and nothing may be pruned from it.
class RestorePointList
{
public:
    static constexpr int WaitMs = 8000;

    enum class Reading {
        Whole,        // every point was read
        Incomplete,   // the listing holds a row that could not be read
        Failed,       // wmic missing, refused, failed or slower than its wait
    };

    // Runs the listing. The points are empty unless it was read whole.
    Reading load();

    // Oldest first, by sequence number.
    const QVector<RestorePointRecord>& points() const { return m_points; }
    int count() const { return m_points.size(); }

    // The rows of a wmic table listing, found by its header line: wmic puts
    // the columns in the order of their names and pads them to the widest
    // value, so each value is read from under its own heading. False when a
    // row (or text before the header) is not a restore point's.
    static bool parse(const QString& listing, QVector<RestorePointRecord>* points);

private:
    QVector<RestorePointRecord> m_points;
};

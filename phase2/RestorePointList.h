#pragma once

#include <QString>
#include <QVector>

// One system restore point as wmic lists it.
struct RestorePointRecord
{
    quint32 sequenceNumber = 0;
    QString description;
    QString creationTime;
};

// The machine's system restore points, read once through wmic. Both the
// restore-point question of the main window and the pruning of the deep
// optimisation count through this class, so the number the user is shown is
// the number the pruning starts from.
class RestorePointList
{
public:
    static constexpr int WaitMs = 8000;

    // Runs the listing; false when it could not be read (wmic missing,
    // refused, failed or slower than its wait). The points are then empty.
    bool load();

    // Oldest first, by sequence number.
    const QVector<RestorePointRecord>& points() const { return m_points; }
    int count() const { return m_points.size(); }

    // The rows of a wmic table listing, found by its header line: wmic puts
    // the columns in the order of their names and pads them to the widest
    // value, so each value is read from under its own heading. Rows without a
    // numeric sequence number are skipped.
    static QVector<RestorePointRecord> parse(const QString& listing);

private:
    QVector<RestorePointRecord> m_points;
};

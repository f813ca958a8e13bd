#pragma once

#include "common/DiskType.h"

#include <QObject>
#include <QString>

// Maintains the system disk by its kind in one blocking call: TRIM for an
// SSD, optimisation for an HDD, and for a disk of unknown kind what the
// optimizer itself finds suitable, all through the Windows defragmenter on
// drive C:. The kind is taken from the defragmenter's analysis where it names
// one, else from the one disk-kind detection.
class DiskMaintainer : public QObject
{
    Q_OBJECT

public:
    explicit DiskMaintainer(QObject* parent = nullptr);

    // Answers whether the defragmenter run succeeded.
    bool performMaintenance();
    DiskType diskType() const { return m_diskType; }
    bool isOnBatteryPower() const;

    // The kind an analysis report names: the SSD words are looked for first,
    // so a report naming both kinds (two disks) names an SSD.
    static DiskType diskTypeNamedIn(const QString& analysis);

signals:
    void progressUpdated(int percent, QString status);
    void maintenanceCompleted(bool success, DiskType diskType);

private:
    DiskType detectDiskType();
    bool runDefrag(const QString& arguments);
    bool defragmentHdd();
    bool trimSsd();
    bool optimizeUnknownDisk();

    DiskType m_diskType = DiskType::Unknown;
};

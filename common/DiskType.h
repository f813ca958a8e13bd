#pragma once

#include <QMetaType>
#include <QString>

// The kind of a disk, with the codes the disk maintainer's signal carries.
enum class DiskType : int { Unknown = 0, HDD = 1, SSD = 2 };

Q_DECLARE_METATYPE(DiskType)

// The one detection of the kind of the disk that holds a drive ("C:"), for
// every part that treats SSDs and hard disks apart. The disk-drive class
// never reports "SSD" as its media type on a real machine, so when it finds
// nothing the storage namespace is asked for the physical disk behind the
// drive (media type 3 is an HDD, 4 an SSD). Without that namespace (Windows
// 7), without wmic (Windows 11 24H2 and later) or for a disk that names no
// kind, the kind is unknown. The defragmenter's analysis is no help: it
// names no media type on any Windows version.
DiskType diskTypeOfDrive(const QString& drive);

#pragma once

#include <QMetaType>

// The kind of the system disk as the disk maintainer detects it.
enum class DiskType : int { Unknown = 0, HDD = 1, SSD = 2 };

Q_DECLARE_METATYPE(DiskType)

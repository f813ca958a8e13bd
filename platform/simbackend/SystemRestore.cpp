#include "platform/SystemRestore.h"

#include "platform/sim/MachineAccess.h"

#include <algorithm>

using win::sim::MachineAccess;
using win::sim::RestorePoint;

namespace win {

Error srRemoveRestorePoint(quint32 sequenceNumber)
{
    MachineAccess access;
    if (!access)
        return ErrorInvalidHandle;
    if (!access->system().administrator)
        return ErrorAccessDenied;
    QVector<RestorePoint>& points = access->programs().restorePoints();
    const auto point = std::find_if(points.begin(), points.end(), [sequenceNumber](const RestorePoint& p) {
        return p.sequenceNumber == sequenceNumber;
    });
    if (point == points.end() || point->undeletable)
        return ErrorInvalidData;
    points.erase(point);
    access->markChanged();
    return ErrorSuccess;
}

} // namespace win

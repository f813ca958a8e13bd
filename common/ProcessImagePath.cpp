#include "common/ProcessImagePath.h"

#include "platform/Processes.h"

namespace {

constexpr quint32 ImagePathChars = 260;

} // namespace

QString processImagePath(quint32 processId)
{
    win::ProcessHandle process;
    QString path;
    if (process.open(processId, win::ProcessQueryLimitedInformation) != win::ErrorSuccess
        || process.queryFullImageName(&path, ImagePathChars) != win::ErrorSuccess)
        return QString();
    return path;
}

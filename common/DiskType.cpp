#include "common/DiskType.h"

#include "common/WmicQuery.h"
#include "platform/Programs.h"

namespace {

constexpr int WmicWaitMs = 5000;

} // namespace

DiskType diskTypeOfDrive(const QString& drive)
{
    const QString letter = drive.left(1).toUpper();
    const win::ProgramRun run = win::runProgram(
        QStringLiteral("wmic"),
        {QStringLiteral("diskdrive"), QStringLiteral("where"),
         QStringLiteral("MediaType like '%SSD%' and DeviceID like '%") + letter + QStringLiteral("%'"),
         QStringLiteral("get"), QStringLiteral("MediaType")},
        WmicWaitMs, win::StandardInput::Closed);
    if (win::fromLocal8Bit(run.standardOutput).contains(QLatin1String("SSD"), Qt::CaseInsensitive))
        return DiskType::SSD;
    const QString storage = QStringLiteral("/namespace:\\\\root\\Microsoft\\Windows\\Storage");
    const QString disk = wmicValueOf({storage, QStringLiteral("path"), QStringLiteral("MSFT_Partition"),
                                      QStringLiteral("where"), QStringLiteral("DriveLetter='%1'").arg(letter),
                                      QStringLiteral("get"), QStringLiteral("DiskNumber"), QStringLiteral("/value")},
                                     QStringLiteral("DiskNumber"), WmicWaitMs);
    if (disk.isEmpty())
        return DiskType::Unknown;
    const QString mediaType = wmicValueOf({storage, QStringLiteral("path"), QStringLiteral("MSFT_PhysicalDisk"),
                                           QStringLiteral("where"), QStringLiteral("DeviceId='%1'").arg(disk),
                                           QStringLiteral("get"), QStringLiteral("MediaType"), QStringLiteral("/value")},
                                          QStringLiteral("MediaType"), WmicWaitMs);
    if (mediaType == QLatin1String("4"))
        return DiskType::SSD;
    return mediaType == QLatin1String("3") ? DiskType::HDD : DiskType::Unknown;
}

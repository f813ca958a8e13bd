#pragma once

#include "platform/WinTypes.h"
#include "platform/sim/programs/SimProgram.h"

namespace win::sim {

struct SimDrive;
struct DriveOptimization;

// defrag.exe (Microsoft Drive Optimizer): "<volume> [/A | /D | /L | /O]
// [/U] [/V] [/H] [/M]". /A analyses and reports the volume (the report does
// not name the media type), /D defragments (the default), /L retrims (an
// HDD's hardware does not support it), /O does what suits the media: retrim
// on an SSD, defragmentation otherwise. /U prints the progress of each pass.
// Windows 7's Disk Defragmenter knows neither /D, /L nor /O and defragments
// whatever disk it is given. Needs elevation. Each run is counted in the
// drive optimizer's state.
class SimDefrag : public SimProgram
{
public:
    using SimProgram::SimProgram;

    ProgramOutput run(const QStringList& arguments) override;

    static constexpr int NotSupportedByHardware = int(0x8900002Au);

private:
    enum class Operation { Analysis, Defragmentation, Retrim, Optimize };
    struct Request
    {
        QChar drive;
        Operation operation = Operation::Defragmentation;
        bool progress = false;
        bool verbose = false;
    };

    bool isDriveOptimizer() const;
    QString banner() const;
    ProgramOutput win32Failure(Error error) const;
    static bool parse(const QStringList& arguments, bool driveOptimizer, Request* request);
    ProgramOutput perform(const Request& request, const SimDrive& drive);
    static QString report(const SimDrive& drive, const DriveOptimization& state);
    static QString sizeText(quint64 bytes);
};

} // namespace win::sim

#pragma once

#include "platform/sim/programs/SimProgram.h"

namespace win::sim {

// wevtutil.exe get-log (gl) <log>, which prints the log's configuration in
// wevtutil's text form (its "maxSize:" line under "logging:" in bytes), and
// set-log (sl) <log> /ms:<bytes> (also /maxsize:). The size is a plain
// number of bytes: wevtutil knows no unit suffixes, and the event log
// service refuses a value that is not a whole number of bytes of at least
// 1 MB ("256MB" among them). Saving a log's configuration needs elevation;
// reading it does not.
class SimWevtutil : public SimProgram
{
public:
    using SimProgram::SimProgram;

    ProgramOutput run(const QStringList& arguments) override;

    static constexpr quint64 MinimumLogBytes = 1048576;
    static constexpr int ChannelNotFound = 15007;   // ERROR_EVT_CHANNEL_NOT_FOUND

private:
    ProgramOutput getLog(const QString& logName, const QStringList& options);
    ProgramOutput setLog(const QString& logName, const QStringList& options);
    ProgramOutput channelNotFound(const QString& logName) const;
    static ProgramOutput failure(int exitCode, const QString& text);
};

} // namespace win::sim

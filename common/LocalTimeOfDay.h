#pragma once

#include <QString>
#include <QtGlobal>
#include <limits>

// The local time of day of an instant as the log writes it, "HH:mm:ss".
// Qt answers local time through the C library, which on some hosts reads
// the zone's rules again at every call; the offset from UTC is asked for
// once for each second of the clock instead. A zone changes its offset only
// at a whole second (daylight saving time as every other change of its
// rules), so every instant of one second has the offset asked for it, and
// the text is the one QDateTime::currentDateTime() gives, also at a change.
// A new zone chosen on the machine shows from the next second.
class LocalTimeOfDay
{
public:
    QString at(qint64 utcMs);

private:
    qint64 m_second = std::numeric_limits<qint64>::min();
    qint64 m_offsetMs = 0;
};

#include "common/LocalTimeOfDay.h"

#include <QDateTime>
#include <QTime>

namespace {

constexpr qint64 MsPerSecond = 1000;
constexpr qint64 MsPerDay = 24 * 60 * 60 * MsPerSecond;

// Division that rounds down, also before 1970.
qint64 floorDiv(qint64 value, qint64 divisor)
{
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

} // namespace

QString LocalTimeOfDay::at(qint64 utcMs)
{
    const qint64 second = floorDiv(utcMs, MsPerSecond);
    if (second != m_second) {
        m_second = second;
        m_offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime).offsetFromUtc()) * MsPerSecond;
    }
    const qint64 local = utcMs + m_offsetMs;
    const qint64 ofDay = local - floorDiv(local, MsPerDay) * MsPerDay;
    return QTime::fromMSecsSinceStartOfDay(int(ofDay)).toString(QStringLiteral("HH:mm:ss"));
}

#include "platform/sim/FileFact.h"

namespace win::sim {

FileFact FileFact::from(const SimFileFacts& facts)
{
    FileFact fact;
    fact.m_attributes = quint8(facts.attributes);
    fact.m_flags = quint8((facts.locked ? Locked : 0) | (facts.hasSize ? HasSize : 0));
    fact.m_size = facts.size;
    if (facts.modified.isValid()) {
        switch (facts.modified.timeSpec()) {
        case Qt::UTC:
            fact.m_spec = Utc;
            fact.m_time = facts.modified.toMSecsSinceEpoch();
            break;
        case Qt::LocalTime:
            // Kept as the local date and time it names, not as a moment:
            // read back, it names the same date and time.
            fact.m_spec = Local;
            fact.m_time = QDateTime(facts.modified.date(), facts.modified.time(), Qt::UTC).toMSecsSinceEpoch();
            break;
        default:
            fact.m_spec = Offset;
            fact.m_time = facts.modified.toMSecsSinceEpoch();
            fact.m_offsetSeconds = facts.modified.offsetFromUtc();
            break;
        }
    }
    return fact;
}

QDateTime FileFact::modified() const
{
    switch (timeSpec()) {
    case Utc:
        return QDateTime::fromMSecsSinceEpoch(m_time, Qt::UTC);
    case Offset:
        return QDateTime::fromMSecsSinceEpoch(m_time, Qt::OffsetFromUTC, m_offsetSeconds);
    case Local: {
        const QDateTime wallClock = QDateTime::fromMSecsSinceEpoch(m_time, Qt::UTC);
        return QDateTime(wallClock.date(), wallClock.time(), Qt::LocalTime);
    }
    case NoTime:
        break;
    }
    return QDateTime();
}

qint64 FileFact::modifiedUtcMs() const
{
    return timeSpec() == Local ? modified().toMSecsSinceEpoch() : m_time;
}

SimFileFacts FileFact::facts(const QString& path) const
{
    SimFileFacts facts;
    facts.path = path;
    facts.attributes = m_attributes;
    facts.locked = locked();
    facts.hasSize = hasSize();
    facts.size = m_size;
    facts.modified = modified();
    return facts;
}

} // namespace win::sim

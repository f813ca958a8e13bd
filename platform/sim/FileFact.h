#pragma once

#include <QDateTime>
#include <QString>

namespace win::sim {

// What the machine knows about a file beyond its real folder entry.
struct SimFileFacts
{
    QString path;             // the Windows path as it was written
    quint32 attributes = 0;   // FileAttributeHidden, FileAttributeSystem, FileAttributeReadOnly
    bool locked = false;      // held open by another process without sharing
    bool hasSize = false;     // `size` is reported instead of the real size
    quint64 size = 0;
    // Reported as the last write time instead of the real one: a machine kept
    // in a repository gets the checkout time on every file, so old files can
    // only be old through this fact. Invalid when the file has none.
    QDateTime modified;

    bool isEmpty() const { return attributes == 0 && !locked && !hasSize && !modified.isValid(); }
};

// One file's facts as the table keeps them: a few numbers, the name kept
// with its folder's names.
class FileFact
{
public:
    quint32 attributes() const { return m_attributes; }
    bool locked() const { return m_flags & Locked; }
    bool hasSize() const { return m_flags & HasSize; }
    quint64 size() const { return m_size; }
    bool hasModified() const { return timeSpec() != NoTime; }
    QDateTime modified() const;
    // The last write time in milliseconds since 1970 UTC; of a time without
    // an offset, as the machine's local time gives it.
    qint64 modifiedUtcMs() const;

private:
    friend class FileFactsTable;
    friend struct FileFactsFolder;
    friend class FileFactsSection;
    enum Flag : quint8 { Locked = 1, HasSize = 2, Removed = 4 };
    // How `m_time` reads: milliseconds since 1970 in UTC, at an offset, or
    // the local date and time read as if they were UTC.
    enum TimeSpec : quint8 { NoTime, Utc, Offset, Local };

    static FileFact from(const SimFileFacts& facts);
    SimFileFacts facts(const QString& path) const;
    TimeSpec timeSpec() const { return TimeSpec(m_spec); }

    qint64 m_time = 0;
    quint64 m_size = 0;
    qint32 m_offsetSeconds = 0;
    uint m_nameHash = 0;      // of the folded name
    qint32 m_nameAt = 0;      // in the folder's names
    quint16 m_nameLength = 0;
    quint8 m_attributes = 0;
    quint8 m_flags = 0;
    quint8 m_spec = NoTime;
};

} // namespace win::sim

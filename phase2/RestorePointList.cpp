#include "phase2/RestorePointList.h"

#include "platform/Programs.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

const QString SequenceNumber = QStringLiteral("SequenceNumber");
const QString CreationTime = QStringLiteral("CreationTime");

// Where each heading starts in the header line, in line order.
struct Column
{
    QString name;
    int start = 0;
};

QVector<Column> columnsOf(const QString& header)
{
    static const QRegularExpression heading(QStringLiteral("\\S+"));
    QVector<Column> columns;
    for (auto it = heading.globalMatch(header); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        columns.append({match.captured(), match.capturedStart()});
    }
    return columns;
}

QString cell(const QString& row, const QVector<Column>& columns, const QString& name)
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const int start = columns.at(i).start;
        const int end = i + 1 < columns.size() ? columns.at(i + 1).start : row.size();
        return row.mid(start, end - start).trimmed();
    }
    return QString();
}

bool isHeader(const QVector<Column>& columns)
{
    return std::any_of(columns.begin(), columns.end(), [](const Column& column) {
        return column.name.compare(SequenceNumber, Qt::CaseInsensitive) == 0;
    });
}

// A CIM datetime: yyyymmddHHMMSS.mmmmmm and the offset from UTC in minutes.
bool isCimDateTime(const QString& text)
{
    static const QRegularExpression cim(QStringLiteral("^\\d{14}\\.\\d{6}[+-]\\d{3}$"));
    return cim.match(text).hasMatch();
}

} // namespace

RestorePointList::Reading RestorePointList::load()
{
    m_points.clear();
    const win::ProgramRun run = win::runProgram(
        QStringLiteral("wmic"),
        {QStringLiteral("/namespace:\\\\root\\default"), QStringLiteral("path"), QStringLiteral("SystemRestore"),
         QStringLiteral("get"), QStringLiteral("SequenceNumber,CreationTime")},
        WaitMs, win::StandardInput::Closed);
    if (!run.succeeded())
        return Reading::Failed;
    QVector<RestorePointRecord> points;
    if (!parse(win::fromLocal8Bit(run.standardOutput), &points))
        return Reading::Incomplete;
    m_points = points;
    return Reading::Whole;
}

bool RestorePointList::parse(const QString& listing, QVector<RestorePointRecord>* points)
{
    points->clear();
    QVector<Column> columns;
    for (QString row : listing.split('\n')) {
        while (row.endsWith('\r'))
            row.chop(1);
        if (row.trimmed().isEmpty())
            continue;
        if (columns.isEmpty()) {
            columns = columnsOf(row);
            if (!isHeader(columns))
                return false;
            continue;
        }
        bool isNumber = false;
        RestorePointRecord point;
        point.sequenceNumber = cell(row, columns, SequenceNumber).toUInt(&isNumber);
        point.creationTime = cell(row, columns, CreationTime);
        if (!isNumber || !isCimDateTime(point.creationTime))
            return false;
        points->append(point);
    }
    std::stable_sort(points->begin(), points->end(), [](const RestorePointRecord& a, const RestorePointRecord& b) {
        return a.sequenceNumber < b.sequenceNumber;
    });
    return true;
}

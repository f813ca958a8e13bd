#include "phase2/LeftoverCleaner.h"

#include "common/EnvironmentPath.h"
#include "platform/FileSystem.h"

#include <QStringList>

LeftoverCleaner::LeftoverCleaner(const QVector<JunkwareFinding>& findings)
    : m_findings(findings), m_programs(m_remover.rule())
{
    for (int i = findings.size() - 1; i >= 0; --i)
        m_firstById.insert(findings.at(i).id, i);   // from the back, so the first finding of an id stays
}

// The one deletion routine decides what may go: it refuses what must never
// go (drive roots, the system, program and profile folders however a path
// spells them, relative and unexpanded paths, the program's own layout) and
// removes a link as a link. A folder of which some files would not go (in
// use, read-only) is left in part, and the line says so.
QString LeftoverCleaner::clean(const QString& junkwareId)
{
    const auto found = m_firstById.constFind(junkwareId);
    if (found == m_firstById.constEnd())
        return QStringLiteral("残留清理：未找到对应记录");
    const JunkwareFinding& finding = m_findings.at(*found);
    Outcome outcome;
    for (const QString& entry : finding.evidence) {
        const QString path = expandEnvironmentPath(entry);
        if (!win::pathExists(path))
            continue;
        const QString user = m_programs.userOf(path);
        if (!user.isEmpty()) {
            ++outcome.inUse;
            if (!outcome.users.contains(user))
                outcome.users << user;
            continue;
        }
        const PathRemoval removal = m_remover.removePath(path);
        if (removal.gone)
            ++outcome.removed;
        else if (removal.removed.files > 0 || removal.removed.folders > 0)
            ++outcome.partly;
        else
            ++outcome.kept;
    }
    return lineOf(finding.nameCn.isEmpty() ? finding.name : finding.nameCn, outcome);
}

QString LeftoverCleaner::lineOf(const QString& name, const Outcome& outcome)
{
    QString line = QStringLiteral("%1 残留清理：删除 %2 个残留项").arg(name, QString::number(outcome.removed));
    if (outcome.inUse > 0)
        line += QStringLiteral("，%1 项仍属于在用的程序，已保留（%2）")
                    .arg(QString::number(outcome.inUse), outcome.users.join(QStringLiteral("、")));
    if (outcome.partly > 0)
        line += QStringLiteral("，%1 项只删除了一部分（其余正在使用或无法删除）").arg(outcome.partly);
    if (outcome.kept > 0)
        line += QStringLiteral("，%1 项受保护或无法删除，已保留").arg(outcome.kept);
    return line;
}

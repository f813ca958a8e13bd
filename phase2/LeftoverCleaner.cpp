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
// removes a link as a link.
QString LeftoverCleaner::clean(const QString& junkwareId)
{
    const auto found = m_firstById.constFind(junkwareId);
    if (found == m_firstById.constEnd())
        return QStringLiteral("残留清理：未找到对应记录");
    const JunkwareFinding& finding = m_findings.at(*found);
    int removed = 0;
    int kept = 0;
    int inUse = 0;
    QStringList users;
    for (const QString& entry : finding.evidence) {
        const QString path = expandEnvironmentPath(entry);
        if (!win::pathExists(path))
            continue;
        const QString user = m_programs.userOf(path);
        if (!user.isEmpty()) {
            ++inUse;
            if (!users.contains(user))
                users << user;
        } else if (m_remover.removePath(path).gone) {
            ++removed;
        } else {
            ++kept;
        }
    }
    const QString name = finding.nameCn.isEmpty() ? finding.name : finding.nameCn;
    QString line = QStringLiteral("%1 残留清理：删除 %2 个残留项").arg(name, QString::number(removed));
    if (inUse > 0)
        line += QStringLiteral("，%1 项仍属于在用的程序，已保留（%2）")
                    .arg(QString::number(inUse), users.join(QStringLiteral("、")));
    if (kept > 0)
        line += QStringLiteral("，%1 项受保护或无法删除，已保留").arg(kept);
    return line;
}

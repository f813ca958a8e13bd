#include "platform/Environment.h"

#include "platform/sim/MachineAccess.h"

using win::sim::MachineAccess;

namespace win {

namespace {

bool lookup(const QHash<QString, QString>& environment, const QString& name, QString* value)
{
    for (auto it = environment.begin(); it != environment.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            *value = it.value();
            return true;
        }
    }
    return false;
}

// Windows keeps an undefined %NAME% as written and lets its closing percent
// sign open the next variable.
QString expand(const QHash<QString, QString>& environment, const QString& source)
{
    QString out;
    int pos = 0;
    while (pos < source.size()) {
        const int open = source.indexOf('%', pos);
        const int close = open < 0 ? -1 : source.indexOf('%', open + 1);
        if (close < 0) {
            out += source.mid(pos);
            break;
        }
        out += source.mid(pos, open - pos);
        QString value;
        const QString name = source.mid(open + 1, close - open - 1);
        if (!name.isEmpty() && lookup(environment, name, &value)) {
            out += value;
            pos = close + 1;
        } else {
            out += source.mid(open, close - open);
            pos = close;
        }
    }
    return out;
}

} // namespace

quint32 expandEnvironmentStrings(const QString& source, QString* expanded, quint32 bufferChars)
{
    MachineAccess access;
    const QString result = access ? expand(access->system().environment, source) : source;
    const quint32 needed = quint32(result.size()) + 1;
    if (needed <= bufferChars)
        *expanded = result;
    return needed;
}

quint32 getEnvironmentVariable(const QString& name, QString* value, quint32 bufferChars)
{
    MachineAccess access;
    QString found;
    if (!access || !lookup(access->system().environment, name, &found))
        return 0;
    if (quint32(found.size()) + 1 > bufferChars)
        return quint32(found.size()) + 1;
    *value = found;
    return quint32(found.size());
}

QString tempPath()
{
    MachineAccess access;
    if (!access)
        return QString();
    QString path;
    const auto& environment = access->system().environment;
    if (!lookup(environment, QStringLiteral("TMP"), &path) && !lookup(environment, QStringLiteral("TEMP"), &path)
        && !lookup(environment, QStringLiteral("USERPROFILE"), &path))
        path = QStringLiteral("C:\\Windows");
    if (!path.endsWith('\\'))
        path += '\\';
    return path;
}

} // namespace win

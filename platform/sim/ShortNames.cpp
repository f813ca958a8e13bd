#include "platform/sim/ShortNames.h"

#include <QCryptographicHash>
#include <algorithm>

namespace win::sim {

namespace {

constexpr int StemChars = 6;
constexpr int ExtensionChars = 3;
constexpr int NumberedPerStem = 4;

const QString Allowed = QStringLiteral("!#$%&'()-@^_`{}~");
const QString Replaced = QStringLiteral("+,;=[]");

bool isShortNameCharacter(QChar c)
{
    return c.unicode() < 128 && (c.isLetterOrNumber() || Allowed.contains(c));
}

// The name's characters as 8.3 names may hold them, upper case; blanks and
// what no 8.3 name can hold drop out.
QString cleaned(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (Replaced.contains(c))
            out += '_';
        else if (isShortNameCharacter(c))
            out += c.toUpper();
    }
    return out;
}

QString checksum(const QString& name)
{
    const QByteArray digest = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Md5);
    return QString::fromLatin1(digest.toHex().left(4)).toUpper();
}

} // namespace

// The first of ~1 to ~4 that no entry has taken yet, else the checksum form.
QString ShortNames::aliasOf(const QString& name, const QHash<QString, QString>& taken)
{
    const int dot = name.lastIndexOf('.');
    const QString extension = dot <= 0 ? QString() : cleaned(name.mid(dot + 1)).left(ExtensionChars);
    QString stem = cleaned(dot <= 0 ? name : name.left(dot)).left(StemChars);
    if (stem.size() <= 2)
        stem += checksum(name);
    const QString suffix = extension.isEmpty() ? QString() : '.' + extension;
    for (int number = 1; number <= NumberedPerStem; ++number) {
        const QString alias = stem + '~' + QString::number(number) + suffix;
        if (!taken.contains(alias))
            return alias;
    }
    const QString base = stem.left(2) + checksum(name);
    QString alias;
    for (int number = 1; alias.isEmpty() || taken.contains(alias); ++number)
        alias = base + '~' + QString::number(number) + suffix;
    return alias;
}

bool ShortNames::isShortName(const QString& name)
{
    const int dot = name.lastIndexOf('.');
    const QString stem = dot < 0 ? name : name.left(dot);
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    return !stem.isEmpty() && stem.size() <= 8 && extension.size() <= ExtensionChars && (dot < 0 || !extension.isEmpty())
           && std::all_of(stem.begin(), stem.end(), isShortNameCharacter)
           && std::all_of(extension.begin(), extension.end(), isShortNameCharacter);
}

QHash<QString, QString> ShortNames::aliasesOf(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QHash<QString, QString> aliases;
    for (const QString& name : qAsConst(names)) {
        if (isShortName(name))
            aliases.insert(name.toUpper(), name);   // taken: no alias may be spelt so
    }
    for (const QString& name : qAsConst(names)) {
        if (!isShortName(name))
            aliases.insert(aliasOf(name, aliases), name);
    }
    return aliases;
}

} // namespace win::sim

#include "platform/RegistryKey.h"

#include <QtEndian>

// The registry's data formats and the names of its hives, which need no machine.

namespace win {

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "registry text is read in place as UTF-16LE");

QString registryText(const QByteArray& data)
{
    QString text(reinterpret_cast<const QChar*>(data.constData()), data.size() / 2);
    const int end = text.indexOf(QChar(0));
    if (end >= 0)
        text.truncate(end);
    return text;
}

QByteArray registryTextData(const QString& text)
{
    // utf16() is NUL-terminated: the terminator is stored with the text.
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), (text.size() + 1) * 2);
}

QStringList registryMultiText(const QByteArray& data)
{
    // The strings end at the first empty one (the list's closing NUL); a last
    // string without its terminator still counts.
    QStringList texts;
    const QString all(reinterpret_cast<const QChar*>(data.constData()), data.size() / 2);
    for (const QString& part : all.split(QChar(0))) {
        if (part.isEmpty())
            break;
        texts << part;
    }
    return texts;
}

QByteArray registryMultiTextData(const QStringList& texts)
{
    QByteArray data;
    for (const QString& text : texts)
        data += registryTextData(text);
    data.append(2, '\0');
    return data;
}

QByteArray registryDwordData(quint32 value)
{
    QByteArray data(4, '\0');
    qToLittleEndian(value, data.data());
    return data;
}

QByteArray registryQwordData(quint64 value)
{
    QByteArray data(8, '\0');
    qToLittleEndian(value, data.data());
    return data;
}

bool isRegistryTextType(quint32 type)
{
    return type == RegSz || type == RegExpandSz;
}

QString registryHiveName(Hive hive)
{
    switch (hive) {
    case Hive::ClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case Hive::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case Hive::LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case Hive::Users:
        return QStringLiteral("HKEY_USERS");
    case Hive::CurrentConfig:
        return QStringLiteral("HKEY_CURRENT_CONFIG");
    }
    return QString();
}

bool parseRegistryPath(const QString& path, Hive* hive, QString* subKey)
{
    static const struct
    {
        const char* name;
        Hive hive;
    } roots[] = {{"HKEY_LOCAL_MACHINE", Hive::LocalMachine}, {"HKLM", Hive::LocalMachine},
                 {"HKEY_CURRENT_USER", Hive::CurrentUser},   {"HKCU", Hive::CurrentUser},
                 {"HKEY_USERS", Hive::Users},                {"HKU", Hive::Users},
                 {"HKEY_CLASSES_ROOT", Hive::ClassesRoot},   {"HKCR", Hive::ClassesRoot},
                 {"HKEY_CURRENT_CONFIG", Hive::CurrentConfig}, {"HKCC", Hive::CurrentConfig}};
    const int separator = path.indexOf(QLatin1Char('\\'));
    const QStringRef head = separator < 0 ? QStringRef(&path) : path.leftRef(separator);
    for (const auto& root : roots) {
        if (head.compare(QLatin1String(root.name), Qt::CaseInsensitive) == 0) {
            *hive = root.hive;
            *subKey = separator < 0 ? QString() : path.mid(separator + 1);
            return true;
        }
    }
    return false;
}

} // namespace win

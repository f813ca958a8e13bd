#include "platform/RegistrySettings.h"

#include "platform/RegistryIterators.h"
#include "platform/sim/MachineAccess.h"

#include <QDataStream>
#include <QDateTime>
#include <QtEndian>

namespace win {

namespace {

// QSettings opens its registry keys with read and write access at once.
constexpr quint32 SettingsAccess = KeyRead | KeyWrite;

// QSettings' text form of a value that the registry has no type for: a
// QByteArray becomes "@ByteArray(<bytes as Latin-1>)", an invalid value
// "@Invalid()", a string starting with '@' gets a second '@', a string with a
// NUL inside "@String(...)", numbers and bools their text ("true"/"false"),
// anything else "@Variant(...)" (or "@DateTime(...)") around its QDataStream form.
QString variantToText(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return QLatin1String("@ByteArray(") + QLatin1String(bytes.constData(), bytes.size()) + QLatin1Char(')');
    }
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Double: {
        const QString text = value.toString();
        if (text.contains(QChar::Null))
            return QLatin1String("@String(") + text + QLatin1Char(')');
        return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
    }
    default:
        break;
    }
    const bool dateTime = value.userType() == QMetaType::QDateTime;
    QByteArray stream;
    {
        QDataStream out(&stream, QIODevice::WriteOnly);
        out.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
        out << value;
    }
    return QLatin1String(dateTime ? "@DateTime(" : "@Variant(") + QLatin1String(stream.constData(), stream.size())
           + QLatin1Char(')');
}

QVariant textToVariant(const QString& text)
{
    if (!text.startsWith(QLatin1Char('@')))
        return text;
    if (text.endsWith(QLatin1Char(')'))) {
        if (text.startsWith(QLatin1String("@ByteArray(")))
            return text.midRef(11, text.size() - 12).toLatin1();
        if (text.startsWith(QLatin1String("@String(")))
            return text.mid(8, text.size() - 9);
        const bool dateTime = text.startsWith(QLatin1String("@DateTime("));
        if (dateTime || text.startsWith(QLatin1String("@Variant("))) {
            QByteArray stream = text.midRef(dateTime ? 10 : 9).toLatin1();
            QDataStream in(&stream, QIODevice::ReadOnly);
            in.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
            QVariant result;
            in >> result;
            return result;
        }
        if (text == QLatin1String("@Invalid()"))
            return QVariant();
    }
    return text.startsWith(QLatin1String("@@")) ? QVariant(text.mid(1)) : QVariant(text);
}

QVariant textListToVariant(const QStringList& texts)
{
    QStringList plain = texts;
    for (QString& text : plain) {
        if (!text.startsWith(QLatin1Char('@')))
            continue;
        if (!text.startsWith(QLatin1String("@@"))) {
            QVariantList values;
            for (const QString& each : texts)
                values << textToVariant(each);
            return values;
        }
        text.remove(0, 1);
    }
    return plain;
}

QByteArray utf16Data(const QString& text, bool withTerminator)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), (text.size() + (withTerminator ? 1 : 0)) * 2);
}

// The registry type and bytes QSettings writes for a value. Lists whose items
// are all non-empty and free of NULs become REG_MULTI_SZ, other lists the
// "@Variant(...)" text as REG_BINARY; a text with a NUL inside (as a
// QByteArray's "@ByteArray(...)" text may have) is REG_BINARY without a
// terminator, any other text REG_SZ.
void encodeValue(const QVariant& value, quint32* type, QByteArray* data)
{
    switch (value.userType()) {
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QStringList texts;
        bool multiText = true;
        for (const QVariant& item : value.toList()) {
            texts << variantToText(item);
            multiText = multiText && !texts.last().isEmpty() && !texts.last().contains(QChar::Null);
        }
        if (multiText) {
            *type = RegMultiSz;
            *data = registryMultiTextData(texts);
        } else {
            *type = RegBinary;
            *data = utf16Data(variantToText(value), false);
        }
        return;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
        *type = RegDword;
        *data = registryDwordData(quint32(value.toInt()));
        return;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        *type = RegQword;
        *data = registryQwordData(quint64(value.toLongLong()));
        return;
    default: {
        const QString text = variantToText(value);
        const bool binary = text.contains(QChar::Null);
        *type = binary ? RegBinary : RegSz;
        *data = utf16Data(text, !binary);
        return;
    }
    }
}

template <typename T>
T littleEndianNumber(QByteArray data)
{
    data.resize(int(sizeof(T)));  // short data is read as if padded with zeros
    return qFromLittleEndian<T>(data.constData());
}

// REG_EXPAND_SZ stays unexpanded; REG_BINARY is read as UTF-16 code units,
// so its toByteArray() is the UTF-8 of that text. Types QSettings does not
// know give an invalid value.
QVariant decodeValue(quint32 type, const QByteArray& data)
{
    switch (type) {
    case RegSz:
    case RegExpandSz:
        return textToVariant(registryText(data));
    case RegMultiSz:
        return textListToVariant(registryMultiText(data));
    case RegBinary:
        return textToVariant(QString(reinterpret_cast<const QChar*>(data.constData()), data.size() / 2));
    case RegDword:
        return int(littleEndianNumber<quint32>(data));
    case RegQword:
        return qlonglong(littleEndianNumber<quint64>(data));
    default:
        return QVariant();
    }
}

// QSettings lists the default value under the name ".".
QString settingsKeyName(const QString& valueName)
{
    return valueName.isEmpty() ? QStringLiteral(".") : valueName;
}

QString joinedPath(const QString& head, const QString& tail)
{
    if (head.isEmpty())
        return tail;
    return tail.isEmpty() ? head : head + QLatin1Char('\\') + tail;
}

} // namespace

RegistrySettings::RegistrySettings(const QString& rootPath, View view)
    : m_view(view)
{
    QString path = rootPath;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    if (!parseRegistryPath(path, &m_hive, &m_rootKey)) {
        m_hive = Hive::LocalMachine;
        m_rootKey = path;
    }
}

quint32 RegistrySettings::viewFlag() const
{
    switch (m_view) {
    case View::Registry32:
        return KeyWow64_32Key;
    case View::Registry64:
        return KeyWow64_64Key;
    case View::Default:
        break;
    }
    return 0;
}

void RegistrySettings::setStatus(Status status) const
{
    if (m_status == NoError)
        m_status = status;
}

QString RegistrySettings::fullPath(const QString& relativePath) const
{
    return joinedPath(m_rootKey, relativePath);
}

RegistrySettings::Location RegistrySettings::locate(const QString& key) const
{
    QString normalized = key;
    normalized.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QStringList parts = normalized.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    Location location;
    location.groupPath = parts.join(QLatin1Char('\\'));
    if (!parts.isEmpty()) {
        const QString name = parts.takeLast();
        // Exactly "Default" or ".", as QSettings compares them.
        const bool isDefault = name == QLatin1String("Default") || name == QLatin1String(".");
        location.valueName = isDefault ? QString() : name;
    }
    location.keyPath = parts.join(QLatin1Char('\\'));
    return location;
}

QVariant RegistrySettings::value(const QString& key, const QVariant& defaultValue) const
{
    sim::MachineAccess machine;
    const Location location = locate(key);
    RegistryKey registryKey;
    quint32 type = RegNone;
    QByteArray data;
    if (registryKey.open(m_hive, fullPath(location.keyPath), KeyRead | viewFlag()) != ErrorSuccess
        || registryKey.queryValue(location.valueName, &type, &data) != ErrorSuccess)
        return defaultValue;
    return decodeValue(type, data);
}

void RegistrySettings::setValue(const QString& key, const QVariant& value)
{
    sim::MachineAccess machine;
    const Location location = locate(key);
    quint32 type = RegNone;
    QByteArray data;
    encodeValue(value, &type, &data);
    RegistryKey registryKey;
    if (registryKey.create(m_hive, fullPath(location.keyPath), SettingsAccess | viewFlag()) != ErrorSuccess
        || registryKey.setValue(location.valueName, type, data) != ErrorSuccess)
        setStatus(AccessError);
}

void RegistrySettings::remove(const QString& key)
{
    sim::MachineAccess machine;
    RegistryKey root;
    const Error error = root.open(m_hive, m_rootKey, SettingsAccess | KeyDelete | viewFlag());
    if (error == ErrorFileNotFound)
        return;
    if (error != ErrorSuccess) {
        setStatus(AccessError);
        return;
    }
    const Location location = locate(key);
    if (location.groupPath.isEmpty()) {
        root.deleteSubKeyTreeRecursively(QString());
        return;
    }
    // QSettings removes both the value of that name and the group of that name.
    RegistryKey parent;
    if (root.openSubKey(location.keyPath, SettingsAccess, parent) == ErrorSuccess)
        parent.deleteValue(location.valueName);
    root.deleteSubKeyTreeRecursively(location.groupPath);
}

bool RegistrySettings::contains(const QString& key) const
{
    sim::MachineAccess machine;
    const Location location = locate(key);
    RegistryKey registryKey;
    return registryKey.open(m_hive, fullPath(location.keyPath), KeyRead | viewFlag()) == ErrorSuccess
           && registryKey.queryValue(location.valueName, nullptr, nullptr) == ErrorSuccess;
}

QStringList RegistrySettings::childKeys() const
{
    sim::MachineAccess machine;
    QStringList names;
    RegistryKey root;
    if (root.open(m_hive, m_rootKey, KeyRead | viewFlag()) == ErrorSuccess) {
        for (RegistryValueIterator it(root, RegistryKey::UnlimitedBuffer, RegistryKey::UnlimitedBuffer); it.next();)
            names << settingsKeyName(it.name());
    }
    names.sort();
    return names;
}

QStringList RegistrySettings::childGroups() const
{
    sim::MachineAccess machine;
    QStringList names;
    RegistryKey root;
    if (root.open(m_hive, m_rootKey, KeyRead | viewFlag()) == ErrorSuccess) {
        for (RegistryKeyIterator it(root, RegistryKey::UnlimitedBuffer); it.next();)
            names << it.name();
    }
    names.sort();
    return names;
}

QStringList RegistrySettings::allKeys() const
{
    sim::MachineAccess machine;
    QStringList keys;
    RegistryKey root;
    if (root.open(m_hive, m_rootKey, KeyRead | viewFlag()) == ErrorSuccess)
        collectKeys(QString(), root, keys);
    keys.sort();
    return keys;
}

void RegistrySettings::collectKeys(const QString& prefix, const RegistryKey& key, QStringList& out) const
{
    for (RegistryValueIterator it(key, RegistryKey::UnlimitedBuffer, RegistryKey::UnlimitedBuffer); it.next();)
        out << prefix + settingsKeyName(it.name());
    for (RegistryKeyIterator it(key, RegistryKey::UnlimitedBuffer); it.next();) {
        RegistryKey subKey;
        if (key.openSubKey(it.name(), KeyRead, subKey) == ErrorSuccess)
            collectKeys(prefix + it.name() + QLatin1Char('/'), subKey, out);
    }
}

} // namespace win

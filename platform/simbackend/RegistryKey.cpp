#include "platform/RegistryKey.h"

#include "platform/sim/MachineAccess.h"

#include <QtEndian>
#include <utility>

using win::sim::MachineAccess;
using win::sim::RegistryValue;

namespace win {

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "registry text is read in place as UTF-16LE");




void RegistryKey::close()
{
    m_handle.reset();
}

Error RegistryKey::open(Hive root, const QString& subKey, quint32 access)
{
    close();
    MachineAccess machine;
    if (!machine)
        return ErrorInvalidHandle;
    quintptr handle = 0;
    const Error error = machine->registry().openKey(root, subKey, access, machine->system().administrator, &handle);
    m_handle.reset(handle);
    return error;
}

Error RegistryKey::create(Hive root, const QString& subKey, quint32 access)
{
    close();
    MachineAccess machine;
    if (!machine)
        return ErrorInvalidHandle;
    quintptr handle = 0;
    const Error error
        = machine->registry().createKey(root, subKey, access, machine->system().administrator, &handle);
    m_handle.reset(handle);
    if (error == ErrorSuccess)
        machine->markChanged();
    return error;
}

Error RegistryKey::openSubKey(const QString& subKey, quint32 access, RegistryKey& out) const
{
    quintptr handle = 0;
    {
        MachineAccess machine;
        if (!machine || !m_handle.isValid())
            return ErrorInvalidHandle;
        if (const Error error = machine->registry().openSubKey(m_handle.get(), subKey, access,
                                                               machine->system().administrator, &handle))
            return error;
    }
    // `out` may be this very key: its old handle goes only once the new one is open.
    out.close();
    out.m_handle.reset(handle);
    return ErrorSuccess;
}

Error RegistryKey::queryValue(const QString& name, quint32* type, QByteArray* data, quint32 bufferBytes,
                              quint32* requiredBytes) const
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    const RegistryValue* value = nullptr;
    if (const Error error = machine->registry().queryValue(m_handle.get(), name, &value))
        return error;
    const quint32 size = quint32(value->data.size());
    if (requiredBytes)
        *requiredBytes = size;
    if (type)
        *type = value->type;
    if (data && size > bufferBytes)
        return ErrorMoreData;
    if (data)
        *data = value->data;
    return ErrorSuccess;
}

Error RegistryKey::setValue(const QString& name, quint32 type, const QByteArray& data)
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    const Error error = machine->registry().setValue(m_handle.get(), name, type, data);
    if (error == ErrorSuccess)
        machine->markChanged();
    return error;
}

Error RegistryKey::deleteValue(const QString& name)
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    const Error error = machine->registry().deleteValue(m_handle.get(), name);
    if (error == ErrorSuccess)
        machine->markChanged();
    return error;
}

Error RegistryKey::enumValue(quint32 index, QString* name, quint32 nameBufferChars, quint32* type,
                             QByteArray* data, quint32 dataBufferBytes, quint32* requiredDataBytes) const
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    const RegistryValue* value = nullptr;
    if (const Error error = machine->registry().enumValue(m_handle.get(), index, &value))
        return error;
    // The name buffer also holds the terminating NUL.
    if (quint32(value->name.size()) >= nameBufferChars)
        return ErrorMoreData;
    if (name)
        *name = value->name;
    if (type)
        *type = value->type;
    if (requiredDataBytes)
        *requiredDataBytes = quint32(value->data.size());
    if (data && quint32(value->data.size()) > dataBufferBytes)
        return ErrorMoreData;
    if (data)
        *data = value->data;
    return ErrorSuccess;
}

Error RegistryKey::enumKey(quint32 index, QString* name, quint32 nameBufferChars) const
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    QString found;
    if (const Error error = machine->registry().enumKey(m_handle.get(), index, &found))
        return error;
    if (quint32(found.size()) >= nameBufferChars)
        return ErrorMoreData;
    if (name)
        *name = found;
    return ErrorSuccess;
}

Error RegistryKey::queryInfo(RegistryKeyInfo* info) const
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    return machine->registry().queryInfoKey(m_handle.get(), info);
}

Error RegistryKey::deleteEmptySubKey(const QString& subKey)
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    const Error error = machine->registry().deleteKey(m_handle.get(), subKey, machine->system().administrator);
    if (error == ErrorSuccess)
        machine->markChanged();
    return error;
}

Error RegistryKey::deleteSubKeyTreeRecursively(const QString& subKey)
{
    MachineAccess machine;
    if (!machine || !m_handle.isValid())
        return ErrorInvalidHandle;
    const Error error = machine->registry().deleteTree(m_handle.get(), subKey, machine->system().administrator);
    if (error == ErrorSuccess)
        machine->markChanged();
    return error;
}

Error RegistryKey::readText(const QString& name, QString* text, quint32 bufferBytes, quint32* type) const
{
    quint32 valueType = RegNone;
    QByteArray data;
    if (const Error error = queryValue(name, &valueType, &data, bufferBytes))
        return error;
    *text = registryText(data);
    if (type)
        *type = valueType;
    return ErrorSuccess;
}

Error RegistryKey::readString(const QString& name, QString* text, quint32 bufferBytes) const
{
    quint32 type = RegNone;
    QByteArray data;
    if (const Error error = queryValue(name, &type, &data, bufferBytes))
        return error;
    if (!isRegistryTextType(type))
        return ErrorInvalidData;
    *text = registryText(data);
    return ErrorSuccess;
}

Error RegistryKey::readDword(const QString& name, quint32* value) const
{
    quint32 type = RegNone;
    QByteArray data;
    if (const Error error = queryValue(name, &type, &data, 4))
        return error;
    if (type != RegDword || data.size() != 4)
        return ErrorInvalidData;
    *value = qFromLittleEndian<quint32>(data.constData());
    return ErrorSuccess;
}

Error RegistryKey::writeDword(const QString& name, quint32 value)
{
    return setValue(name, RegDword, registryDwordData(value));
}

Error RegistryKey::writeText(const QString& name, const QString& text, quint32 type)
{
    return setValue(name, type, registryTextData(text));
}

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

namespace detail {

void closeRegistryHandle(quintptr handle)
{
    MachineAccess machine;
    if (machine)
        machine->registry().closeKey(handle);
}

} // namespace detail

} // namespace win

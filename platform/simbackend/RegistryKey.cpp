#include "platform/RegistryKey.h"

#include "platform/sim/MachineAccess.h"

#include <QtEndian>
#include <utility>

using win::sim::MachineAccess;
using win::sim::RegistryValue;

namespace win {

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
    const Error error = machine->registry().setValue(m_handle.get(), name, type, data, machine->system().writesIgnoredIn);
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

namespace detail {

void closeRegistryHandle(quintptr handle)
{
    MachineAccess machine;
    if (machine)
        machine->registry().closeKey(handle);
}

} // namespace detail

} // namespace win

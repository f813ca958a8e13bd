#pragma once

#include "platform/RegistryKey.h"

namespace win {

// Walks the values of an open key with the caller's buffer limits. An entry
// whose name or data does not fit is passed over, so one oversized value
// never hides the ones after it; any other error ends the walk.
class RegistryValueIterator
{
public:
    RegistryValueIterator(const RegistryKey& key, quint32 nameBufferChars, quint32 dataBufferBytes);
    // Names and types only, as RegEnumValueW answers without a data buffer:
    // no value is passed over for the size of its data.
    RegistryValueIterator(const RegistryKey& key, quint32 nameBufferChars);

    bool next();
    const QString& name() const { return m_name; }
    quint32 type() const { return m_type; }
    const QByteArray& data() const { return m_data; }
    QString text() const { return registryText(m_data); }
    bool isText() const { return isRegistryTextType(m_type); }

private:
    const RegistryKey& m_key;
    quint32 m_nameChars;
    quint32 m_dataBytes;
    bool m_readsData;
    quint32 m_index = 0;
    QString m_name;
    quint32 m_type = RegNone;
    QByteArray m_data;
};

// Walks the subkey names of an open key; oversized names are passed over.
class RegistryKeyIterator
{
public:
    RegistryKeyIterator(const RegistryKey& key, quint32 nameBufferChars);

    bool next();
    const QString& name() const { return m_name; }

private:
    const RegistryKey& m_key;
    quint32 m_nameChars;
    quint32 m_index = 0;
    QString m_name;
};

} // namespace win

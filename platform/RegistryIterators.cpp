#include "platform/RegistryIterators.h"

namespace win {

RegistryValueIterator::RegistryValueIterator(const RegistryKey& key, quint32 nameBufferChars,
                                             quint32 dataBufferBytes)
    : m_key(key)
    , m_nameChars(nameBufferChars)
    , m_dataBytes(dataBufferBytes)
    , m_readsData(true)
{
}

RegistryValueIterator::RegistryValueIterator(const RegistryKey& key, quint32 nameBufferChars)
    : m_key(key)
    , m_nameChars(nameBufferChars)
    , m_dataBytes(0)
    , m_readsData(false)
{
}

bool RegistryValueIterator::next()
{
    for (;;) {
        QByteArray* data = m_readsData ? &m_data : nullptr;
        const Error error = m_key.enumValue(m_index++, &m_name, m_nameChars, &m_type, data, m_dataBytes);
        if (error != ErrorMoreData)
            return error == ErrorSuccess;
    }
}

RegistryKeyIterator::RegistryKeyIterator(const RegistryKey& key, quint32 nameBufferChars)
    : m_key(key)
    , m_nameChars(nameBufferChars)
{
}

bool RegistryKeyIterator::next()
{
    for (;;) {
        const Error error = m_key.enumKey(m_index++, &m_name, m_nameChars);
        if (error != ErrorMoreData)
            return error == ErrorSuccess;
    }
}

} // namespace win

#include "common/StartupApproval.h"

namespace {

constexpr quint32 ReadAccess = win::KeyQueryValue | win::KeyWow64_64Key;
constexpr quint32 WriteAccess = win::KeyQueryValue | win::KeySetValue | win::KeyWow64_64Key;
constexpr int ValueBytes = 12;

constexpr quint8 NewOn = 2;
constexpr quint8 NewOff = 3;
constexpr quint8 ChangedOn = 6;
constexpr quint8 ChangedOff = 7;

QString approvalKeyOf(const StartupLocation& location)
{
    return StartupLocation::ApprovedKeyBase + location.approvalSubkey;
}

bool readsOff(const QByteArray& state)
{
    return !state.isEmpty() && (quint8(state.at(0)) & 1);
}

quint8 nextStateByte(bool existing, quint8 current, bool on)
{
    if (!existing)
        return on ? NewOn : NewOff;
    if (current == NewOff)
        return on ? NewOn : ChangedOff;
    if (current == NewOn)
        return on ? ChangedOn : NewOff;
    return on ? ChangedOn : ChangedOff;
}

} // namespace

StartupApproval::StartupApproval(const StartupLocation& location, int windowsVersion)
{
    if (location.keepsApprovalOn(windowsVersion))
        m_key.open(location.hive, approvalKeyOf(location), ReadAccess);
}

bool StartupApproval::isOff(const QString& valueName) const
{
    QByteArray state;
    return m_key.isValid() && m_key.queryValue(valueName, nullptr, &state) == win::ErrorSuccess && readsOff(state);
}

bool StartupApproval::write(const StartupLocation& location, const QString& valueName, bool on)
{
    if (location.approvalSubkey.isEmpty())
        return false;
    win::RegistryKey key;
    if (key.open(location.hive, approvalKeyOf(location), WriteAccess) != win::ErrorSuccess
        && key.create(location.hive, approvalKeyOf(location), WriteAccess) != win::ErrorSuccess)
        return false;
    QByteArray state;
    const win::Error read = key.queryValue(valueName, nullptr, &state, ValueBytes);
    if (read != win::ErrorSuccess && read != win::ErrorFileNotFound)
        return false;
    const bool existing = read == win::ErrorSuccess && !state.isEmpty();
    if (!existing)
        state = QByteArray(ValueBytes, '\0');
    state[0] = char(nextStateByte(existing, quint8(state.at(0)), on));
    QByteArray written;
    return key.setValue(valueName, win::RegBinary, state) == win::ErrorSuccess
           && key.queryValue(valueName, nullptr, &written) == win::ErrorSuccess && readsOff(written) == !on;
}

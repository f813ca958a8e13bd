#pragma once

#include "platform/ScopedHandle.h"
#include "platform/WinTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace win {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// What RegQueryInfoKeyW answers.
struct RegistryKeyInfo
{
    quint32 subKeyCount = 0;
    quint32 maxSubKeyNameChars = 0;
    quint32 valueCount = 0;
    quint32 maxValueNameChars = 0;
    quint32 maxValueDataBytes = 0;
};

// An open registry key: a move-only handle that closes itself. It remembers
// the registry view it was opened in, so keys opened below it use the same
// view. Every call answers with a Win32 error code; a failed read leaves the
// caller's outputs untouched. Buffer sizes are the caller's buffer, as in the
// Win32 calls: a name or data that does not fit answers ErrorMoreData, data
// that does not fit still with its type and the size needed.
class RegistryKey
{
public:
    static constexpr quint32 UnlimitedBuffer = 0xFFFFFFFFu;

    RegistryKey() = default;
    RegistryKey(RegistryKey&&) noexcept = default;
    RegistryKey& operator=(RegistryKey&&) noexcept = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() = default;

    // RegOpenKeyExW / RegCreateKeyExW. The access mask carries the view flags
    // (KeyWow64_64Key, KeyWow64_32Key).
    Error open(Hive root, const QString& subKey, quint32 access);
    Error create(Hive root, const QString& subKey, quint32 access);
    // Opens a key below this one, in this key's view.
    Error openSubKey(const QString& subKey, quint32 access, RegistryKey& out) const;

    bool isValid() const { return m_handle.isValid(); }
    void close();

    // RegQueryValueExW. `type` and `data` may be null; `requiredBytes`
    // receives the size of the data when it is not null. Data larger than
    // the buffer answers ErrorMoreData with the type and the size needed
    // reported and `data` untouched.
    Error queryValue(const QString& name, quint32* type, QByteArray* data,
                     quint32 bufferBytes = UnlimitedBuffer, quint32* requiredBytes = nullptr) const;
    Error setValue(const QString& name, quint32 type, const QByteArray& data);
    Error deleteValue(const QString& name);

    // RegEnumValueW and RegEnumKeyExW by index; ErrorNoMoreItems at the end.
    // A name longer than nameBufferChars - 1 answers ErrorMoreData with
    // nothing reported; data larger than dataBufferBytes answers
    // ErrorMoreData with the name, the type and the size needed reported and
    // `data` untouched. `requiredDataBytes` receives the size of the data.
    Error enumValue(quint32 index, QString* name, quint32 nameBufferChars,
                    quint32* type, QByteArray* data, quint32 dataBufferBytes,
                    quint32* requiredDataBytes = nullptr) const;
    Error enumKey(quint32 index, QString* name, quint32 nameBufferChars) const;
    Error queryInfo(RegistryKeyInfo* info) const;

    // RegDeleteKeyExW: removes an empty subkey only ("" is this key itself,
    // which then needs KeyDelete); a key with subkeys answers ErrorAccessDenied.
    Error deleteEmptySubKey(const QString& subKey);
    // RegDeleteTreeW: removes the subkey and everything below it. With "" it
    // empties this key (values and subkeys) and keeps it; that needs
    // KeyDelete, KeyEnumerateSubKeys and KeyQueryValue.
    Error deleteSubKeyTreeRecursively(const QString& subKey);

    // Convenience reads used all over the program. Text is built from the
    // byte count that was returned and cut at the first NUL; it never relies
    // on a terminator being present. readDword reads into a four-byte buffer
    // (larger data answers ErrorMoreData) and answers ErrorInvalidData for a
    // value that is not a REG_DWORD of exactly four bytes.
    Error readText(const QString& name, QString* text, quint32 bufferBytes = UnlimitedBuffer,
                   quint32* type = nullptr) const;
    // readText for REG_SZ and REG_EXPAND_SZ only: another type answers
    // ErrorInvalidData and leaves `text` untouched.
    Error readString(const QString& name, QString* text, quint32 bufferBytes = UnlimitedBuffer) const;
    Error readDword(const QString& name, quint32* value) const;
    Error writeDword(const QString& name, quint32 value);
    Error writeText(const QString& name, const QString& text, quint32 type = RegSz);

private:
    RegistryHandle m_handle;
};

// Registry data encoding helpers (the layout Windows stores).
QString registryText(const QByteArray& data);
QByteArray registryTextData(const QString& text);
QStringList registryMultiText(const QByteArray& data);
QByteArray registryMultiTextData(const QStringList& texts);
QByteArray registryDwordData(quint32 value);
QByteArray registryQwordData(quint64 value);
bool isRegistryTextType(quint32 type);

// Full key paths: "HKEY_LOCAL_MACHINE\SOFTWARE\X" (the short forms HKLM, HKCU,
// HKU, HKCR and HKCC are understood too) split into the hive and the path below it.
QString registryHiveName(Hive hive);
bool parseRegistryPath(const QString& path, Hive* hive, QString* subKey);

} // namespace win

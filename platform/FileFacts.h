#pragma once

#include "platform/WinTypes.h"

#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

namespace win {

// WinVerifyTrust with WINTRUST_ACTION_GENERIC_VERIFY_V2, no user interface,
// no revocation checks: 0 when the file carries a valid Authenticode signature.
HResult winVerifyTrust(const QString& path);

// The name of a version resource's string block for one translation, as
// "\StringFileInfo\<block>\<name>" takes it: the language and the code page
// in four lower-case hexadecimal digits each ("080404b0").
QString versionStringBlock(quint16 language, quint16 codePage);

// The version resource of a file (GetFileVersionInfoSizeW /
// GetFileVersionInfoW / VerQueryValueW), as one object. Like the buffer that
// GetFileVersionInfoW fills, a loaded object answers its queries without
// going back to the file.
class FileVersionInfo
{
public:
    // GetFileVersionInfoSizeW: 0 when the file has no version resource.
    static quint32 size(const QString& path);
    // GetFileVersionInfoW into a buffer of bufferBytes.
    bool load(const QString& path, quint32 bufferBytes);
    // VerQueryValueW "\VarFileInfo\Translation": the language and code-page
    // pairs; false when the block is missing.
    bool translations(QVector<QPair<quint16, quint16>>* pairs) const;
    // VerQueryValueW "\StringFileInfo\<lang><codepage>\<name>": the string and
    // its length in characters, terminator included.
    bool queryString(const QString& subBlock, QString* value, quint32* lengthChars) const;

private:
    bool m_loaded = false;
    quint16 m_language = 0;
    quint16 m_codePage = 0;
    QMap<QString, QString> m_strings;
};

// A shell link read through IShellLinkW and IPersistFile.
class ShellLink
{
public:
    // CoCreateInstance(CLSID_ShellLink); needs COM on this thread.
    HResult create();
    // IPersistFile::Load(path, STGM_READ)
    HResult load(const QString& path);
    // IShellLinkW::GetPath into bufferChars (terminator included).
    HResult getPath(QString* target, int bufferChars) const;

private:
    bool m_created = false;
    QString m_target;
    bool m_loaded = false;
};

} // namespace win

#pragma once

#include "platform/sim/programs/SimProgram.h"

#include <QDateTime>

namespace win::sim {

// cleanmgr.exe /sagerun:n: cleans, without asking, every category whose
// handler key below HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer
// \VolumeCaches" (64-bit view) holds the DWORD "StateFlags<nnnn>" = 2. The
// machine carries out "Temporary Files" (files of %TEMP% and
// %SystemRoot%\Temp not written for 7 days), "Thumbnail Cache"
// (%LOCALAPPDATA%\Microsoft\Windows\Explorer\thumbcache_*.db) and "Recycle
// Bin" (every drive's $Recycle.Bin); other categories free nothing here.
// Without /sagerun it shows its dialog and waits for the user.
class SimCleanmgr : public SimProgram
{
public:
    using SimProgram::SimProgram;

    ProgramOutput run(const QStringList& arguments) override;

private:
    QStringList selectedCategories(int preset) const;
    quint64 clean(const QString& category) const;
    quint64 cleanTemporaryFiles() const;
    quint64 cleanThumbnailCache() const;
    quint64 emptyRecycleBins() const;
    // Deletes the files below `folder` that `wanted` accepts; answers the bytes freed.
    template <typename Predicate>
    static quint64 deleteFilesBelow(const QString& folder, Predicate wanted);
    static void removeEmptyFoldersBelow(const QString& folder);
    static QString expanded(const QString& text);
};

} // namespace win::sim

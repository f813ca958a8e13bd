#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace win {

// Small files the program keeps beside itself (the device identifier) and
// the files of the machine folder, on the host: read and written whole, and
// only ever as regular files of their own, as CreateFileW with
// FILE_FLAG_OPEN_REPARSE_POINT and a look at GetFileType would do.

// Reads the file whole. False, and `data` untouched, when it is missing, is a
// link, a FIFO, a folder or anything but a regular file, is larger than
// maxBytes, or cannot be read. Opening never waits (a FIFO answers at once).
bool readRegularFile(const QString& path, qint64 maxBytes, QByteArray* data);

// Writes the file whole: into a new file beside it first, then renamed over
// the old entry, so that a killed program never leaves half a file behind.
// Whatever stood there (a link, a FIFO, an earlier file) is replaced and
// never written through or waited on; an empty folder in its place is
// removed first, one that holds entries stays and the write fails.
// `error` receives the path and the reason of a failure.
bool writeWholeFile(const QString& path, const QByteArray& data, QString* error);
// The same for a file made of pieces, written one after another.
bool writeWholeFile(const QString& path, const QByteArrayList& pieces, QString* error);

} // namespace win

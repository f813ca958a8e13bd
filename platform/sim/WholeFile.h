#pragma once

#include <QByteArray>
#include <QString>

namespace win::sim {

// Writes a file of the machine folder whole: into a temporary file first,
// then renamed over the old one, so that a killed program never leaves half
// a file behind.
bool writeWholeFile(const QString& path, const QByteArray& data, QString* error);

} // namespace win::sim

#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace win::sim {

class FileFactsTable;

// The "files" section of machine.json, read into a table of facts and written
// from one.
class FileFactsSection
{
public:
    // Replaces the table's facts with the section's; a section that cannot be
    // kept is refused with the entry named in `error`, the table unchanged.
    static bool read(const QJsonObject& section, FileFactsTable* table, QString* error);
    // The section as machine.json holds it: a JSON object in the indented
    // form of a member of machine.json's top-level object.
    static QByteArray text(const FileFactsTable& table);
    // The same as an object, for a machine of a few facts.
    static QJsonObject json(const FileFactsTable& table);
};

} // namespace win::sim

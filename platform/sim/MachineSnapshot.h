#pragma once

#include "platform/sim/FileFactsTable.h"
#include "platform/sim/RegistryStore.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>
#include <array>

namespace win::sim {

// What a machine folder holds after a save, for the next save to compare
// with: only what differs from it is written again.
struct SavedMachine
{
    QJsonObject json;               // machine.json's sections, the facts left out
    quint64 factsChanges = ~quint64(0);
    QByteArray factsText;           // the facts as machine.json holds them; null when not known
    std::array<quint64, 5> hiveChanges;   // by hive
    bool registryWhole = false;     // the registry folder holds the hive files and nothing else

    SavedMachine() { hiveChanges.fill(~quint64(0)); }
};

// What changed in a machine since a save, taken under the machine's lock
// (SimMachine::changesSince) and written without it, so that the machine
// goes on while its files are written: machine.json when its sections or
// its facts changed, and the hives that changed. The facts are shared with
// the machine's until it changes them, and turned into text only here.
class MachineSnapshot
{
public:
    // What stands for the facts in the sections of machine.json a snapshot
    // holds; their text takes its place when the file is written.
    static QString factsMarker();

    bool isEmpty() const;
    // Writes into the machine's folder, each file whole and then renamed
    // over the old one. `saved` becomes what the folder now holds; a failed
    // write answers false with the reason and leaves it as it was.
    bool write(SavedMachine* saved, QString* error) const;

private:
    friend class SimMachine;

    QString m_folder;
    QJsonObject m_json;
    bool m_jsonChanged = false;
    FileFactsTable m_facts;
    bool m_factsChanged = false;
    std::array<quint64, 5> m_hiveChanges{};
    QVector<RegistryStore::HiveFile> m_hives;   // the hives to write
    bool m_registryWhole = false;
};

} // namespace win::sim

#include "platform/sim/MachineSnapshot.h"

#include "platform/sim/WholeFile.h"

#include <QDir>
#include <QJsonDocument>

namespace win::sim {

namespace {

const char* const MachineFileName = "machine.json";
const char* const RegistryFolderName = "registry";

// The facts marker as QJsonDocument writes it.
const char* const FactsMarkerText = "\"\\u0001facts\\u0001\"";

// machine.json as QJsonDocument writes it, its facts (which stand in the
// sections as the marker) replaced by their own text.
QByteArrayList machineJsonPieces(const QJsonObject& sections, const QByteArray& factsText)
{
    const QByteArray text = QJsonDocument(sections).toJson(QJsonDocument::Indented);
    const QByteArray marker(FactsMarkerText);
    const int at = text.indexOf(marker);
    if (at < 0)
        return {text};
    return {text.left(at), factsText, text.mid(at + marker.size())};
}

} // namespace

QString MachineSnapshot::factsMarker()
{
    return QStringLiteral("\x01" "facts" "\x01");
}

bool MachineSnapshot::isEmpty() const
{
    return !m_jsonChanged && !m_factsChanged && m_hives.isEmpty();
}

bool MachineSnapshot::write(SavedMachine* saved, QString* error) const
{
    if (m_folder.isEmpty()) {
        *error = QStringLiteral("the machine has no folder to be saved to");
        return false;
    }
    const QDir dir(m_folder);
    if (!dir.mkpath(RegistryFolderName)) {
        *error = QStringLiteral("%1: cannot create the registry folder").arg(m_folder);
        return false;
    }
    QByteArray factsText = saved->factsText;
    if (m_jsonChanged || m_factsChanged) {
        if (m_factsChanged || factsText.isNull())
            factsText = m_facts.sectionText();
        if (!writeWholeFile(dir.filePath(MachineFileName), machineJsonPieces(m_json, factsText), error))
            return false;
    }
    if (!m_hives.isEmpty()
        && !RegistryStore::writeHiveFiles(dir.filePath(RegistryFolderName), m_hives, m_registryWhole, error))
        return false;
    saved->json = m_json;
    saved->factsChanges = m_facts.changeCount();
    saved->factsText = factsText;
    saved->hiveChanges = m_hiveChanges;
    saved->registryWhole = saved->registryWhole || m_registryWhole;
    return true;
}

} // namespace win::sim

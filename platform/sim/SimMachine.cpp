#include "platform/sim/SimMachine.h"

#include "platform/sim/SimSystemJson.h"
#include "platform/sim/VersionRecords.h"
#include "platform/sim/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <mutex>
#include <atomic>

namespace win::sim {

namespace {

std::atomic<SimMachine*> g_current{nullptr};

const char* const MachineFileName = "machine.json";
const char* const RegistryFolderName = "registry";

int lineOfOffset(const QByteArray& text, int offset)
{
    return int(text.left(offset).count('\n')) + 1;
}

// Every section the machine's parts write. Each part writes all of its
// sections on every save, even empty ones, so that these names are exactly
// the sections load understands. The file facts stand as the marker their
// text replaces when machine.json is written.
QJsonObject sectionsOf(const SimSystem& system, const SimFileSystem& files, const ProgramState& programs)
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), 1);
    saveSystem(system, &root);
    files.save(root);
    root.insert(QStringLiteral("files"), MachineSnapshot::factsMarker());
    programs.save(root);
    return root;
}

bool isKnownSection(const QString& name)
{
    static const QStringList known = sectionsOf(SimSystem(), SimFileSystem(), ProgramState()).keys();
    return known.contains(name);
}

} // namespace

SimMachine::SimMachine()
{
    m_files.setRunningImageTest([this](const QString& path) { return isRunningImage(path); });
}

SimMachine::~SimMachine()
{
    SimMachine* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

SimMachine* SimMachine::current()
{
    return g_current.load();
}

void SimMachine::makeCurrent(SimMachine* machine)
{
    g_current.store(machine);
}

bool SimMachine::load(const QString& folder, QString* error)
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    const QDir dir(folder);
    if (!dir.exists()) {
        *error = QStringLiteral("%1: the machine folder does not exist").arg(folder);
        return false;
    }
    if (!loadMachineJson(dir.filePath(MachineFileName), error))
        return false;
    m_registry.setNative64Bit(is64Bit());
    m_registry.setWow64Caller(isWow64Process());
    if (!m_registry.loadFolder(dir.filePath(RegistryFolderName), error))
        return false;
    // A folder whose two records of the Windows version disagree would load
    // as half one Windows and half another.
    const QString disagreement = versionDisagreement(m_system.version, m_registry);
    if (!disagreement.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(dir.absolutePath(), disagreement);
        return false;
    }
    m_folder = dir.absolutePath();
    return true;
}

bool SimMachine::loadMachineJson(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray text = contentOf(file);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(lineOfOffset(text, parseError.offset))
                     .arg(parseError.errorString());
        return false;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("%1:1: the file must hold one JSON object").arg(path);
        return false;
    }
    const QJsonObject root = document.object();
    QString fieldError;
    if (!loadSystem(root, &m_system, &fieldError) || !m_files.load(root, QFileInfo(path).absolutePath(), &fieldError)
        || !m_programs.load(root, &fieldError)) {
        *error = QStringLiteral("%1: %2").arg(path, fieldError);
        return false;
    }
    if (!m_system.systemDirectory.isEmpty())
        m_files.setSystemDrive(m_system.systemDirectory.at(0));
    // Sections of a newer machine, or a person's notes, go back as they came.
    m_otherSections = QJsonObject();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!isKnownSection(it.key()))
            m_otherSections.insert(it.key(), it.value());
    }
    return true;
}

QJsonObject SimMachine::jsonSections() const
{
    QJsonObject root = sectionsOf(m_system, m_files, m_programs);
    for (auto it = m_otherSections.begin(); it != m_otherSections.end(); ++it)
        root.insert(it.key(), it.value());
    return root;
}

MachineSnapshot SimMachine::changesSince(const SavedMachine& saved) const
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    m_changeHeard = false;
    MachineSnapshot snapshot;
    snapshot.m_folder = m_folder;
    snapshot.m_json = jsonSections();
    snapshot.m_jsonChanged = snapshot.m_json != saved.json;
    snapshot.m_facts = m_files.factsTable();
    snapshot.m_factsChanged = snapshot.m_facts.changeCount() != saved.factsChanges;
    bool hiveChanged = false;
    for (Hive hive : RegistryTree::hives()) {
        snapshot.m_hiveChanges[size_t(hive)] = m_registry.changeCount(hive);
        hiveChanged = hiveChanged || m_registry.changeCount(hive) != saved.hiveChanges[size_t(hive)];
    }
    // The first time a hive is written, every hive is: the folder may hold
    // other .reg files, and those go.
    for (Hive hive : RegistryTree::hives()) {
        if (hiveChanged && (!saved.registryWhole || m_registry.changeCount(hive) != saved.hiveChanges[size_t(hive)]))
            snapshot.m_hives << m_registry.hiveFile(hive);
    }
    snapshot.m_registryWhole = hiveChanged && !saved.registryWhole;
    return snapshot;
}

void SimMachine::setChangeListener(std::function<void()> listener)
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    m_changeListener = std::move(listener);
    m_changeHeard = false;
}

SavedMachine SimMachine::savedAsLoaded() const
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    SavedMachine saved;
    saved.json = jsonSections();
    saved.factsChanges = m_files.factsTable().changeCount();
    for (Hive hive : RegistryTree::hives())
        saved.hiveChanges[size_t(hive)] = m_registry.changeCount(hive);
    saved.registryWhole = m_registry.folderAsSaved();
    return saved;
}

bool SimMachine::save(QString* error)
{
    return saveTo(m_folder, error);
}

// Everything, whatever was saved before.
bool SimMachine::saveTo(const QString& folder, QString* error)
{
    MachineSnapshot snapshot = changesSince(SavedMachine());
    snapshot.m_folder = folder;
    SavedMachine saved;
    return snapshot.write(&saved, error);
}

void SimMachine::record(const JournalEntry& entry)
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    JournalEntry stamped = entry;
    stamped.atMs = m_clock.nowMs();
    m_journal.append(stamped);
}

QVector<JournalEntry> SimMachine::journal() const
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    return m_journal;
}

void SimMachine::clearJournal()
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    m_journal.clear();
}

quintptr SimMachine::openServiceHandle(const ServiceHandleData& data)
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    const quintptr handle = m_nextHandle += 4;
    m_serviceHandles.insert(handle, data);
    return handle;
}

quintptr SimMachine::openProcessHandle(const ProcessHandleData& data)
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    const quintptr handle = m_nextHandle += 4;
    m_processHandles.insert(handle, data);
    return handle;
}

bool SimMachine::serviceHandle(quintptr handle, ServiceHandleData* data) const
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    const auto it = m_serviceHandles.constFind(handle);
    if (it == m_serviceHandles.constEnd())
        return false;
    *data = *it;
    return true;
}

bool SimMachine::processHandle(quintptr handle, ProcessHandleData* data) const
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    const auto it = m_processHandles.constFind(handle);
    if (it == m_processHandles.constEnd())
        return false;
    *data = *it;
    return true;
}

void SimMachine::closeHandle(quintptr handle)
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    m_serviceHandles.remove(handle);
    m_processHandles.remove(handle);
}

int SimMachine::openHandleCount() const
{
    const std::lock_guard<MachineLock> lock(m_mutex);
    return m_serviceHandles.size() + m_processHandles.size() + m_registry.openHandleCount();
}

SimService* SimMachine::findService(const QString& name)
{
    for (SimService& service : m_system.services) {
        if (service.name.compare(name, Qt::CaseInsensitive) == 0)
            return &service;
    }
    return nullptr;
}

// Few processes run at a time, and most deleted files are named unlike any
// of them: the name is compared first, the whole path only when it matches.
// An image path spelt with short (8.3) names is compared in its long form.
bool SimMachine::isRunningImage(const QString& windowsPath) const
{
    const QString name = fileNameOf(windowsPath);
    for (const SimProcess& process : m_system.processes) {
        const bool shortNamed = process.imagePath.contains('~');
        if (!shortNamed && !process.imagePath.endsWith(name, Qt::CaseInsensitive))
            continue;
        QString image;
        if (fullPathName(process.imagePath, &image) != ErrorSuccess
            || (shortNamed && m_files.longPathName(image, &image) != ErrorSuccess))
            continue;
        if (image.compare(windowsPath, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

SimProcess* SimMachine::findProcess(quint32 pid)
{
    return m_processIndex.find(m_system.processes, pid);
}

SimTask* SimMachine::findTask(const QString& path)
{
    for (SimTask& task : m_system.tasks) {
        if (task.path.compare(path, Qt::CaseInsensitive) == 0)
            return &task;
    }
    return nullptr;
}

SimWindow* SimMachine::findWindow(quintptr handle)
{
    return m_windowIndex.find(m_system.windows, handle);
}

} // namespace win::sim

#include "platform/TaskScheduler.h"

#include "platform/ComApartment.h"
#include "platform/sim/MachineAccess.h"

using win::sim::MachineAccess;
using win::sim::SimTask;

namespace win {

namespace {

// "\Microsoft\Windows\X\" and "\Microsoft\Windows\X" name the same folder;
// the root is "\".
QString folderKey(const QString& path)
{
    QString key = path;
    key.replace('/', '\\');
    while (key.size() > 1 && key.endsWith('\\'))
        key.chop(1);
    if (!key.startsWith('\\'))
        key.prepend('\\');
    return key;
}

QString parentFolderOf(const QString& taskPath)
{
    const int slash = taskPath.lastIndexOf('\\');
    return slash <= 0 ? QStringLiteral("\\") : taskPath.left(slash);
}

bool folderExists(MachineAccess& access, const QString& folder)
{
    if (folder == QLatin1String("\\"))
        return true;
    for (const QString& known : access->system().taskFolders) {
        if (folderKey(known).compare(folder, Qt::CaseInsensitive) == 0)
            return true;
    }
    const QString prefix = folder + '\\';
    for (const SimTask& task : access->system().tasks) {
        if (task.path.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString childPath(const QString& folder, const QString& name)
{
    return folder == QLatin1String("\\") ? folder + name : folder + '\\' + name;
}

} // namespace

QString RegisteredTask::name() const
{
    return m_path.mid(m_path.lastIndexOf('\\') + 1);
}

HResult RegisteredTask::enabled(bool* enabled) const
{
    MachineAccess access;
    const SimTask* task = access ? access->findTask(m_path) : nullptr;
    if (!task)
        return E_FileNotFound;
    *enabled = task->enabled;
    return S_Ok;
}

HResult RegisteredTask::setEnabled(bool enabled)
{
    MachineAccess access;
    SimTask* task = access ? access->findTask(m_path) : nullptr;
    if (!task)
        return E_FileNotFound;
    if (!access->system().administrator || task->systemOnly)
        return E_AccessDenied;
    task->enabled = enabled;
    access->markChanged();
    return S_Ok;
}

HResult RegisteredTask::definition(TaskDefinition* definition) const
{
    MachineAccess access;
    const SimTask* task = access ? access->findTask(m_path) : nullptr;
    if (!task)
        return E_FileNotFound;
    *definition = task->definition;
    return S_Ok;
}

HResult TaskFolder::getTask(const QString& name, RegisteredTask* task) const
{
    MachineAccess access;
    const QString path = childPath(m_path, name);
    const SimTask* found = access ? access->findTask(path) : nullptr;
    if (!found)
        return E_FileNotFound;
    *task = RegisteredTask(found->path);
    return S_Ok;
}

HResult TaskFolder::getTasks(bool includeHidden, QVector<RegisteredTask>* tasks) const
{
    MachineAccess access;
    if (!access)
        return E_Fail;
    QVector<RegisteredTask> found;
    for (const SimTask& task : access->system().tasks) {
        if (parentFolderOf(task.path).compare(m_path, Qt::CaseInsensitive) != 0)
            continue;
        if (task.definition.hidden && !includeHidden)
            continue;
        found.append(RegisteredTask(task.path));
    }
    *tasks = found;
    return S_Ok;
}

HResult TaskService::create()
{
    if (!ComApartment::isInitializedOnThisThread())
        return CO_E_NotInitialized;
    m_created = true;
    return S_Ok;
}

HResult TaskService::connect()
{
    if (!m_created)
        return E_Pointer;
    MachineAccess access;
    if (!access)
        return RPC_E_ServerUnavailable;
    const HResult result = access->system().taskConnectResult;
    m_connected = succeeded(result);
    return result;
}

HResult TaskService::getFolder(const QString& path, TaskFolder* folder) const
{
    if (!m_connected)
        return hresultFromWin32(1251);  // ERROR_ONLY_IF_CONNECTED
    MachineAccess access;
    const QString key = folderKey(path);
    if (!access || !folderExists(access, key))
        return E_FileNotFound;
    *folder = TaskFolder(key);
    return S_Ok;
}

} // namespace win

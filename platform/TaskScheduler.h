#pragma once

#include "platform/WinTypes.h"

#include <QString>
#include <QVector>

namespace win {

// TASK_TRIGGER_TYPE2
constexpr int TaskTriggerTime = 1;
constexpr int TaskTriggerDaily = 2;
constexpr int TaskTriggerWeekly = 3;
constexpr int TaskTriggerIdle = 6;
constexpr int TaskTriggerRegistration = 7;
constexpr int TaskTriggerBoot = 8;
constexpr int TaskTriggerLogon = 9;

struct TaskTrigger
{
    int type = TaskTriggerTime;
    bool enabled = true;
};

struct TaskAction
{
    QString path;
    QString arguments;
};

struct TaskDefinition
{
    QVector<TaskTrigger> triggers;
    QVector<TaskAction> actions;
    bool hidden = false;
};

// IRegisteredTask
class RegisteredTask
{
public:
    RegisteredTask() = default;
    explicit RegisteredTask(const QString& path) : m_path(path) {}

    QString path() const { return m_path; }
    QString name() const;
    HResult enabled(bool* enabled) const;
    HResult setEnabled(bool enabled);
    HResult definition(TaskDefinition* definition) const;

private:
    QString m_path;
};

// ITaskFolder
class TaskFolder
{
public:
    TaskFolder() = default;
    explicit TaskFolder(const QString& path) : m_path(path) {}

    QString path() const { return m_path; }
    HResult getTask(const QString& name, RegisteredTask* task) const;
    // GetTasks; TASK_ENUM_HIDDEN when includeHidden.
    HResult getTasks(bool includeHidden, QVector<RegisteredTask>* tasks) const;

private:
    QString m_path;
};

// ITaskService: created on a thread with COM, connected to the local machine
// with empty arguments, then asked for folders by path ("\" is the root;
// a trailing backslash is accepted, as the real service does).
class TaskService
{
public:
    HResult create();
    HResult connect();
    HResult getFolder(const QString& path, TaskFolder* folder) const;

private:
    bool m_created = false;
    bool m_connected = false;
};

} // namespace win

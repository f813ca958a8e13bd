#pragma once

#include "platform/sim/ProgramState.h"
#include "platform/sim/programs/WmiInstance.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace win::sim {

class SimMachine;

// A WMI class as the simulated repository knows it: the properties it
// reports (the class's own spelling) and the methods it declares.
struct WmiClass
{
    QString nameSpace;   // "root\cimv2"
    QString name;
    QStringList properties;
    QStringList methods;
    bool requiresAdministrator = false;   // enumerating instances needs elevation
    quint32 sinceBuild = 0;               // the first Windows build that has the class

    // The class's spelling of a property; empty when the class has none such.
    QString propertyName(const QString& anyCase) const;
    bool hasMethod(const QString& anyCase) const;
};

// The WMI namespaces and classes that the machine answers queries about,
// with instances built from the machine's facts on every query.
class WmiRepository
{
public:
    explicit WmiRepository(SimMachine& machine);

    // `nameSpace` without the leading "\\", any letter case. What exists
    // follows the machine's Windows build: the storage namespace came with
    // Windows 8.
    bool hasNamespace(const QString& nameSpace) const;
    const WmiClass* findClass(const QString& nameSpace, const QString& className) const;
    QVector<WmiInstance> instances(const WmiClass& wmiClass) const;

    // The physical disks: those machine.json names, then one for every other
    // disk number of the drive table, each with its size and media type.
    QVector<PhysicalDisk> disks() const;

private:
    bool isAvailable(const WmiClass& wmiClass) const;
    QVector<WmiInstance> processors() const;
    QVector<WmiInstance> baseBoards() const;
    QVector<WmiInstance> diskDrives() const;
    QVector<WmiInstance> storageDisks() const;
    QVector<WmiInstance> partitions() const;
    QVector<WmiInstance> antivirusProducts() const;
    QVector<WmiInstance> restorePoints() const;
    QString mediaTypeOfDisk(int number) const;

    SimMachine& m_machine;
};

} // namespace win::sim

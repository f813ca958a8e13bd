#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace win::sim {
class SimMachine;
}

// Writes a simulated Windows machine folder of a chosen size, for benchmarks
// and for trying the program on a machine fuller than the test fixtures. The
// result is an ordinary machine folder: machine.json, registry/*.reg and
// drives/C. Each kind of content is made by one function of its own, so that
// a new kind (uninstall entries, services, ...) is one more count and one
// more function.
class MachineGenerator
{
public:
    struct Counts
    {
        int registryValues = 0;   // spread over keys of HKLM and HKCU, mixed types
        int files = 0;            // small files below the user's temporary folder, each with
                                  // a last write time among the facts of machine.json
        int startupEntries = 0;   // Run values of both hives and views, policy Run
                                  // values and Startup-folder shortcuts, in turn
    };

    // One generated registry value, in storage terms.
    struct RegistryValue
    {
        QString keyPath;   // "HKEY_LOCAL_MACHINE\SOFTWARE\Generated\..."
        QString name;
        quint32 type = 0;
        QByteArray data;
    };

    explicit MachineGenerator(const Counts& counts) : m_counts(counts) {}

    // The value number `index`: values spread over keys of both hives so
    // that every type appears in every key.
    static RegistryValue registryValue(int index);

    // The Windows path of the generated file number `index`.
    static QString filePath(int index);
    // The "files" section of machine.json for `files` generated files: a last
    // write time for each.
    static QJsonObject fileFacts(int files);

    // Creates `folder` (which must not hold a machine yet) and fills it.
    bool write(const QString& folder, QString* error) const;

    // `files` small files in numbered folders of `filesPerFolder` each below
    // `hostFolder`, the same tree for the same arguments.
    static bool writeFileTree(const QString& hostFolder, int files, int filesPerFolder, QString* error);

    static const char* const UserName;
    static const int FilesPerFolder = 100;

private:
    static QJsonObject baseMachineJson();
    void addSystemFiles(win::sim::SimMachine& machine) const;
    void addRegistryValues(win::sim::SimMachine& machine) const;
    bool addFiles(win::sim::SimMachine& machine, QString* error) const;
    void addStartupEntries(win::sim::SimMachine& machine) const;

    Counts m_counts;
};

#pragma once

#include <QString>

namespace win::sim {

struct SimVersion;
class RegistryStore;

// A machine keeps its Windows version twice: machine.json's system.version
// (what RtlGetVersion answers and what the simulation's own answers follow)
// and the CurrentVersion values below HKLM\SOFTWARE\Microsoft\Windows NT in
// both registry views (what a program reads). Every such value the registry
// holds must be what that Windows stores: the version DWORDs and the build,
// and the "CurrentVersion" text, which Windows 10 and later keep at "6.3".
// Empty when they agree, else the first disagreement with both values named.
QString versionDisagreement(const SimVersion& version, const RegistryStore& registry);

} // namespace win::sim

#include "platform/sim/programs/ProgramDispatcher.h"

#include "platform/FileSystem.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/Wow64FileRedirector.h"
#include "platform/sim/programs/AnsiCodePage.h"
#include "platform/sim/programs/SimBcdedit.h"
#include "platform/sim/programs/SimCleanmgr.h"
#include "platform/sim/programs/SimDefrag.h"
#include "platform/sim/programs/SimIpconfig.h"
#include "platform/sim/programs/SimNetsh.h"
#include "platform/sim/programs/SimPowercfg.h"
#include "platform/sim/programs/SimWevtutil.h"
#include "platform/sim/programs/SimWmic.h"

namespace win::sim {

namespace {

struct ProgramInfo
{
    const char* name;
    bool inWbemFolder;     // System32\wbem instead of System32
    bool native64Only;     // no 32-bit copy in SysWOW64
    bool readsInput;       // reads its standard input until it is closed
    quint32 optionalFromBuild;   // from this build on a fresh install lacks it (0: never)
};

// wmic is an optional feature from Windows 11 24H2 on, which new installs
// lack. SysWOW64 holds 32-bit copies of powercfg, netsh, wevtutil, cleanmgr,
// ipconfig and wmic, but none of bcdedit or defrag.
const ProgramInfo Programs[] = {
    {"wmic", true, false, true, 26100},     {"powercfg", false, false, false, 0},
    {"bcdedit", false, true, false, 0},     {"defrag", false, true, false, 0},
    {"ipconfig", false, false, false, 0},   {"cleanmgr", false, false, false, 0},
    {"netsh", false, false, false, 0},      {"wevtutil", false, false, false, 0}};

const ProgramInfo* findProgram(const QString& name)
{
    for (const ProgramInfo& info : Programs) {
        if (name.compare(QLatin1String(info.name), Qt::CaseInsensitive) == 0)
            return &info;
    }
    return nullptr;
}

bool readsInputToTheEnd(const QString& name)
{
    const ProgramInfo* info = findProgram(name);
    return info && info->readsInput;
}

bool samePath(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

ProgramDispatcher::ProgramDispatcher(SimMachine& machine) : m_machine(machine)
{
}

ProgramDispatcher::~ProgramDispatcher() = default;

QString ProgramDispatcher::resolve(const QString& program) const
{
    QString path = program;
    path.replace('/', '\\');
    const int separator = path.lastIndexOf('\\');
    QString name = path.mid(separator + 1);
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    const ProgramInfo* info = findProgram(name);
    if (!info)
        return QString();
    ProgramAvailability availability = m_machine.programs().availability(info->name);
    if (availability == ProgramAvailability::Default && info->optionalFromBuild > 0
        && m_machine.system().version.build >= info->optionalFromBuild)
        availability = ProgramAvailability::Missing;
    // A bare name is found in the system folder on the search path, as the
    // program names it.
    QString folder = separator < 0 ? m_machine.system().systemDirectory : path.left(separator);
    if (separator < 0 && info->inWbemFolder)
        folder += QStringLiteral("\\wbem");
    const FolderView view = folderView(folder, info->inWbemFolder);
    if (availability == ProgramAvailability::Missing || view == FolderView::None)
        return QString();
    // "present" and "hangs" say the machine has the program wherever it is looked for.
    const bool copyMissing = info->native64Only && view == FolderView::ThirtyTwoBit;
    return copyMissing && availability == ProgramAvailability::Default ? QString() : QLatin1String(info->name);
}

// Which system folder `folder` reaches after WOW64's redirection: System32
// holds the system's own programs, SysWOW64 the 32-bit copies on 64-bit Windows.
ProgramDispatcher::FolderView ProgramDispatcher::folderView(const QString& folder, bool wbem) const
{
    const QString systemDirectory = normalizedPath(m_machine.system().systemDirectory);
    const QString windows = parentPathOf(systemDirectory);
    const QString suffix = wbem ? QStringLiteral("\\wbem") : QString();
    const QString target = normalizedPath(Wow64FileRedirector(m_machine).target(folder));
    if (samePath(target, systemDirectory + suffix))
        return FolderView::Native;
    if (m_machine.is64Bit() && samePath(target, joinPath(windows, QStringLiteral("SysWOW64")) + suffix))
        return FolderView::ThirtyTwoBit;
    return FolderView::None;
}

ProgramRun ProgramDispatcher::run(const QString& program, const QStringList& arguments, int waitMs,
                                  StandardInput input)
{
    ProgramRun result;
    const QString name = resolve(program);
    if (name.isEmpty())
        return result;
    result.started = true;
    if (m_machine.programs().availability(name) == ProgramAvailability::Hangs) {
        advanceClock(waitMs);
        if (waitMs != WaitForever)
            return result;
    }
    const ProgramOutput output = create(name)->run(arguments);
    if (!output.finishes) {
        advanceClock(waitMs);
        return result;
    }
    const AnsiCodePage codePage(m_machine.system().ansiCodePage);
    result.standardOutput = codePage.encode(output.standardOutput);
    result.standardError = codePage.encode(output.standardError);
    if (input == StandardInput::Open && readsInputToTheEnd(name)) {
        advanceClock(waitMs);
        return result;
    }
    result.finished = true;
    result.exitCode = output.exitCode;
    return result;
}

bool ProgramDispatcher::startDetached(const QString& program, const QStringList& arguments)
{
    const QString name = resolve(program);
    if (name.isEmpty())
        return false;
    if (m_machine.programs().availability(name) != ProgramAvailability::Hangs)
        create(name)->run(arguments);
    return true;
}

void ProgramDispatcher::advanceClock(int waitMs) const
{
    m_machine.clock().advance(waitMs == WaitForever ? m_machine.programs().hangMs() : waitMs);
}

std::unique_ptr<SimProgram> ProgramDispatcher::create(const QString& name) const
{
    if (name == QLatin1String("wmic"))
        return std::make_unique<SimWmic>(m_machine);
    if (name == QLatin1String("powercfg"))
        return std::make_unique<SimPowercfg>(m_machine);
    if (name == QLatin1String("bcdedit"))
        return std::make_unique<SimBcdedit>(m_machine);
    if (name == QLatin1String("defrag"))
        return std::make_unique<SimDefrag>(m_machine);
    if (name == QLatin1String("ipconfig"))
        return std::make_unique<SimIpconfig>(m_machine);
    if (name == QLatin1String("cleanmgr"))
        return std::make_unique<SimCleanmgr>(m_machine);
    if (name == QLatin1String("netsh"))
        return std::make_unique<SimNetsh>(m_machine);
    return std::make_unique<SimWevtutil>(m_machine);
}

} // namespace win::sim

#include "platform/Processes.h"
#include "platform/Windows.h"
#include "tests/support/TestMachine.h"

#include <QtTest>

using namespace win;

namespace {

void addWindow(TestMachine& machine, quintptr handle, quint32 pid, const QString& title)
{
    sim::SimWindow window;
    window.handle = handle;
    window.pid = pid;
    window.title = title;
    machine->system().windows.append(window);
}

// The image path OpenProcess and QueryFullProcessImageNameW answer; empty
// when the process cannot be opened.
QString imageOf(quint32 pid)
{
    ProcessHandle process;
    QString path;
    if (process.open(pid, ProcessQueryLimitedInformation) != ErrorSuccess
        || process.queryFullImageName(&path, 260) != ErrorSuccess)
        return QString();
    return path;
}

} // namespace

// Processes and windows are found by id and handle through an index of the
// machine's tables; whoever changes a table, the next call sees the change.
class ProcessesTest : public QObject
{
    Q_OBJECT

private slots:
    void processesChangedAfterALookupAreSeenAtOnce();
    void windowsChangedAfterALookupAreSeenAtOnce();
};

void ProcessesTest::processesChangedAfterALookupAreSeenAtOnce()
{
    TestMachine machine;
    for (quint32 pid = 100; pid < 120; pid += 4)
        machine.addProcess(pid, QStringLiteral("C:\\Apps\\app%1.exe").arg(pid));
    QCOMPARE(imageOf(108), QStringLiteral("C:\\Apps\\app108.exe"));

    ProcessHandle first;
    QCOMPARE(first.open(100, ProcessTerminate), ErrorSuccess);
    QCOMPARE(first.terminate(1), ErrorSuccess);
    QCOMPARE(imageOf(100), QString());
    QCOMPARE(imageOf(108), QStringLiteral("C:\\Apps\\app108.exe"));   // moved up one place

    machine.addProcess(200, "C:\\Apps\\late.exe");
    QCOMPARE(imageOf(200), QStringLiteral("C:\\Apps\\late.exe"));
    machine->system().processes.prepend(machine->system().processes.takeLast());
    machine->system().processes[1].imagePath = "C:\\Apps\\changed.exe";
    QCOMPARE(imageOf(200), QStringLiteral("C:\\Apps\\late.exe"));
    QCOMPARE(imageOf(104), QStringLiteral("C:\\Apps\\changed.exe"));
    machine->system().processes[0].pid = 300;
    QCOMPARE(imageOf(200), QString());
    QCOMPARE(imageOf(300), QStringLiteral("C:\\Apps\\late.exe"));
}

void ProcessesTest::windowsChangedAfterALookupAreSeenAtOnce()
{
    TestMachine machine;
    for (quintptr handle = 0x100; handle < 0x110; handle += 4)
        addWindow(machine, handle, 100, QStringLiteral("Window %1").arg(handle, 0, 16));
    QCOMPARE(windowText(0x108, 512), QStringLiteral("Window 108"));

    machine->system().windows.removeFirst();
    QCOMPARE(windowText(0x100, 512), QString());
    QCOMPARE(windowText(0x108, 512), QStringLiteral("Window 108"));
    addWindow(machine, 0x200, 200, "Late");
    QCOMPARE(windowProcessId(0x200), quint32(200));
    machine->system().windows[0].handle = 0x300;
    QCOMPARE(windowText(0x104, 512), QString());
    QCOMPARE(windowText(0x300, 512), QStringLiteral("Window 104"));

    QStringList titles;
    enumWindows([&titles](WindowHandle window) {
        titles << windowText(window, 512);
        return true;
    });
    QCOMPARE(titles, (QStringList{"Window 104", "Window 108", "Window 10c", "Late"}));
}

QTEST_GUILESS_MAIN(ProcessesTest)
#include "tst_processes.moc"

#include "DemoMode.h"

#include <QApplication>
#include <QtTest>

#include <vector>

int execInDemoMode(QObject* test, int argc, char* argv[])
{
    std::vector<char*> appArguments(argv, argv + argc);
    char demoSwitch[] = "--cs";
    appArguments.push_back(demoSwitch);
    int appArgc = static_cast<int>(appArguments.size());
    QApplication app(appArgc, appArguments.data());
    return QTest::qExec(test, argc, argv);
}

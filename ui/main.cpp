#include "common/FileLogger.h"
#include "platform/sim/MachineSession.h"
#include "ui/ChineseDesktop.h"
#include "ui/DisplayScaling.h"
#include "ui/Velantrix.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    const std::unique_ptr<QApplication> app = openScaledApplication(argc, argv, Velantrix::fixedWindowSize());
    QCoreApplication::setApplicationName("Tessaro");
    QCoreApplication::setApplicationVersion("2.0.0");
    installFontSubstitutes();
    installQtChineseTranslation(*app);

    // Everything the program learns about Windows, the log header included,
    // comes from this machine, so it has to be open before anything asks.
    win::sim::MachineSession session;
    if (!session.open(QCoreApplication::applicationDirPath())) {
        QTextStream(stderr) << "Tessaro: cannot open the Windows machine: " << session.errorMessage() << '\n';
        return 1;
    }

    FileLogger::instance()->init(QCoreApplication::applicationDirPath() + "/logs");

    Velantrix window;
    window.show();
    return app->exec();
}

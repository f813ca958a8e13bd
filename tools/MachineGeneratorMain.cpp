// tessaro-machinegen: writes a simulated Windows machine folder of a chosen size.
#include "MachineGenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a simulated Windows machine folder."));
    parser.addHelpOption();
    const QCommandLineOption values(QStringLiteral("values"), QStringLiteral("Registry values to make."),
                                    QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption files(QStringLiteral("files"), QStringLiteral("Small files to make on drive C."),
                                   QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption startup(QStringLiteral("startup"), QStringLiteral("Startup entries to make."),
                                     QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The machine folder to write."),
                                 QStringLiteral("DIR"));
    parser.addOptions({values, files, startup, out});
    parser.process(app);

    MachineGenerator::Counts counts;
    bool valuesOk = false;
    bool filesOk = false;
    counts.registryValues = parser.value(values).toInt(&valuesOk);
    counts.files = parser.value(files).toInt(&filesOk);
    bool startupOk = false;
    counts.startupEntries = parser.value(startup).toInt(&startupOk);
    if (!valuesOk || !filesOk || !startupOk || counts.registryValues < 0 || counts.files < 0
        || counts.startupEntries < 0 || !parser.isSet(out)) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.helpText()));
        return 2;
    }
    QString error;
    if (!MachineGenerator(counts).write(parser.value(out), &error)) {
        std::fprintf(stderr, "tessaro-machinegen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

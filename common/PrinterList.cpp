#include "common/PrinterList.h"

#include "platform/Devices.h"

QStringList installedPrinterNames()
{
    const quint32 flags = win::PrinterEnumLocal | win::PrinterEnumConnections;
    quint32 needed = 0;
    QVector<win::PrinterInfo1> printers;
    win::enumPrinters(flags, 0, &needed, &printers);
    if (needed == 0 || !win::enumPrinters(flags, needed, &needed, &printers))
        return {};
    QStringList names;
    for (const win::PrinterInfo1& printer : printers)
        names.append(printer.name);
    return names;
}

#pragma once

#include <QStringList>

// The names of the local and connected printers (EnumPrintersW, level 1), in
// the order Windows lists them; empty when there is none or the call fails.
QStringList installedPrinterNames();

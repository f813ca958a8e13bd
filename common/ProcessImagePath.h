#pragma once

#include <QString>

// The full path of a process's image as Windows reports it (the system's own
// view), asked with limited query access; empty when the process cannot be
// opened or asked.
QString processImagePath(quint32 processId);

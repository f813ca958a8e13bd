#pragma once

#include <QString>

// What became of a request to lower a service's start type.
struct ServiceStartChange
{
    enum Outcome {
        Set,      // the service now starts as asked (it was lowered, or was so already)
        Kept,     // it starts less than asked already (a disabled service asked for manual start): left as it is
        Failed,   // missing, refused, or its configuration could not be read or changed
    };

    // How the service itself is treated once its start type was looked at.
    enum class Stop {
        Never,
        IfRunning,   // when it was running and is now set: one stop request, not waited for
        AndWait,     // whenever it is not stopped: a stop request, waited for at most 2 s
    };

    Outcome outcome = Failed;
    bool read = false;               // the service's configuration was read
    quint32 previousStartType = 0;   // valid when read
};

// The one way the program changes a service's start type (2 automatic, 3
// manual, 4 disabled): only ever lowered, never raised, so a service the user
// or an administrator switched off stays off. Disabling lowers every start
// type, so a service is disabled whether or not its configuration could be
// read; for any other start type one whose configuration cannot be read is
// left alone. Nothing else of the service changes.
ServiceStartChange lowerServiceStart(const QString& service, quint32 startType,
                                     ServiceStartChange::Stop stop = ServiceStartChange::Stop::Never);

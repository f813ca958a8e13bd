#pragma once

#include <QString>
#include <QStringList>

// Runs wmic with an argument list that ends in "get <property> /value" and
// its standard input closed (else wmic waits for more input until the wait
// ends), and answers the first "<property>=<value>" line (the property name
// compared case-sensitively), trimmed; empty when there is none, the program
// could not start or did not finish within waitMs.
QString wmicValueOf(const QStringList& arguments, const QString& property, int waitMs);

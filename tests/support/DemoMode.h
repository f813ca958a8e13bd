#pragma once

class QObject;

// Runs a QtTest object with the application started as the program is in
// demo mode ("--cs"), which brings the result and deep-optimisation pages
// without a machine. QtTest itself never sees the switch, which it would
// take for the name of a test function.
int execInDemoMode(QObject* test, int argc, char* argv[]);

#pragma once

#include <QString>

// The Authenticode test of a file: WinVerifyTrust with the generic verify
// action and no user interface. The startup scanner and the pop-up scanner
// ask the same question of their files.
bool hasValidSignature(const QString& path);

#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace win {

// The desktop's default handlers: a folder opens in the file browser, a web
// address in the browser (ShellExecute "open").
bool openUrl(const QUrl& url);

// Starts a program without waiting for it (CreateProcess without a wait).
bool startDetached(const QString& program, const QStringList& arguments);

} // namespace win

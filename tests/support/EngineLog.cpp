#include "EngineLog.h"

#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

namespace {

const QString EnginePrefix = QStringLiteral("[OptimizeCore] ");
QMutex g_mutex;
QStringList g_lines;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(EnginePrefix)) {
        QMutexLocker lock(&g_mutex);
        g_lines << message.mid(EnginePrefix.size());
        return;
    }
    if (g_previous)
        g_previous(type, context, message);
}

} // namespace

EngineLog::EngineLog()
{
    clear();
    g_previous = qInstallMessageHandler(capture);
}

EngineLog::~EngineLog()
{
    qInstallMessageHandler(g_previous);
}

QStringList EngineLog::lines() const
{
    QMutexLocker lock(&g_mutex);
    return g_lines;
}

QStringList EngineLog::startingWith(const QString& prefix) const
{
    QStringList found;
    for (const QString& line : lines()) {
        if (line.startsWith(prefix))
            found << line;
    }
    return found;
}

void EngineLog::clear()
{
    QMutexLocker lock(&g_mutex);
    g_lines.clear();
}

#include "platform/sim/VersionRecords.h"

#include "platform/RegistryKey.h"
#include "platform/sim/RegistryStore.h"
#include "platform/sim/SimState.h"

#include <QtEndian>

namespace win::sim {

namespace {

struct Record
{
    const char* name;
    quint32 type;
    QString expected;
};

// A value as the registry holds it, in the words of a .reg file's reader.
QString shown(quint32 type, const QByteArray& data)
{
    if (type == RegDword && data.size() == 4)
        return QString::number(qFromLittleEndian<quint32>(data.constData()));
    return isRegistryTextType(type) ? QStringLiteral("\"%1\"").arg(registryText(data)) : QStringLiteral("(type %1)").arg(type);
}

} // namespace

QString versionDisagreement(const SimVersion& version, const RegistryStore& registry)
{
    const QString versionText = version.major >= 10 ? QStringLiteral("6.3")
                                                    : QStringLiteral("%1.%2").arg(version.major).arg(version.minor);
    const QString build = QString::number(version.build);
    const Record records[] = {{"CurrentMajorVersionNumber", RegDword, QString::number(version.major)},
                              {"CurrentMinorVersionNumber", RegDword, QString::number(version.minor)},
                              {"CurrentVersion", RegSz, QStringLiteral("\"%1\"").arg(versionText)},
                              {"CurrentBuildNumber", RegSz, QStringLiteral("\"%1\"").arg(build)},
                              {"CurrentBuild", RegSz, QStringLiteral("\"%1\"").arg(build)}};
    for (const char* branch : {"SOFTWARE", "SOFTWARE\\WOW6432Node"}) {
        const QString key = QStringLiteral("HKEY_LOCAL_MACHINE\\%1\\Microsoft\\Windows NT\\CurrentVersion").arg(QLatin1String(branch));
        for (const Record& record : records) {
            quint32 type = 0;
            QByteArray data;
            if (!registry.value(key, QLatin1String(record.name), &type, &data))
                continue;
            const QString held = shown(type, data);
            if (type != record.type || held != record.expected)
                return QStringLiteral("system.version %1.%2.%3 disagrees with the registry's %4\\%5 = %6 (that Windows "
                                      "stores %7)")
                    .arg(version.major).arg(version.minor).arg(version.build)
                    .arg(key, QLatin1String(record.name), held, record.expected);
        }
    }
    return QString();
}

} // namespace win::sim

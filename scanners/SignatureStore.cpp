#include "scanners/SignatureStore.h"

#include "common/EnvironmentPath.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QStringList stringsOf(const QJsonValue& value)
{
    QStringList strings;
    for (const QJsonValue& element : value.toArray()) {
        if (element.isString())
            strings.append(element.toString());
    }
    return strings;
}

AdwareSignature signatureFrom(const QJsonObject& pattern)
{
    AdwareSignature sig;
    sig.id = pattern.value(QStringLiteral("id")).toString();
    sig.name = pattern.value(QStringLiteral("name")).toString();
    sig.nameCn = pattern.value(QStringLiteral("name_cn")).toString();
    sig.category = pattern.value(QStringLiteral("category")).toString();
    sig.riskLevel = pattern.value(QStringLiteral("risk_level")).toString();
    sig.description = pattern.value(QStringLiteral("description")).toString();
    sig.removalNotes = pattern.value(QStringLiteral("removal_notes")).toString();
    const QJsonObject detection = pattern.value(QStringLiteral("detection")).toObject();
    sig.uninstallKeys = stringsOf(detection.value(QStringLiteral("uninstall_keys")));
    sig.registryKeys = stringsOf(detection.value(QStringLiteral("registry_keys")));
    sig.filePaths = stringsOf(detection.value(QStringLiteral("file_paths")));
    sig.processNames = stringsOf(detection.value(QStringLiteral("process_names")));
    sig.serviceNames = stringsOf(detection.value(QStringLiteral("service_names")));
    sig.startupNames = stringsOf(detection.value(QStringLiteral("startup_names")));
    return sig;
}

// Lower case with one separator, so that "C:/X" and "c:\x" compare equal.
QString comparablePath(const QString& path)
{
    QString comparable = expandEnvironmentPath(path).toLower();
    comparable.replace('/', '\\');
    return comparable;
}

} // namespace

SignatureStore& SignatureStore::instance()
{
    static SignatureStore store;
    return store;
}

void SignatureStore::clear()
{
    m_loaded = false;
    m_version.clear();
    m_signatures.clear();
    m_whitelistPaths.clear();
    m_whitelistProcesses.clear();
    m_whitelistIds.clear();
}

bool SignatureStore::load(const QString& dir)
{
    clear();
    if (!readSignatures(dir + QStringLiteral("/adware.json")))
        return false;
    readWhitelist(dir + QStringLiteral("/whitelist.json"));
    m_loaded = !m_signatures.isEmpty();
    return true;
}

bool SignatureStore::readSignatures(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        return false;
    const QJsonObject root = document.object();
    m_version = root.value(QStringLiteral("version")).toString();
    for (const QJsonValue& pattern : root.value(QStringLiteral("patterns")).toArray()) {
        if (pattern.isObject())
            m_signatures.append(signatureFrom(pattern.toObject()));
    }
    return true;
}

void SignatureStore::readWhitelist(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return;
    // A malformed whitelist reads as an empty one: it is optional data.
    const QJsonObject whitelist = QJsonDocument::fromJson(in.readAll()).object()
                                      .value(QStringLiteral("whitelist")).toObject();
    m_whitelistPaths = stringsOf(whitelist.value(QStringLiteral("file_paths")));
    m_whitelistProcesses = stringsOf(whitelist.value(QStringLiteral("process_names")));
    m_whitelistIds = stringsOf(whitelist.value(QStringLiteral("patterns")));
    m_whitelistIds += stringsOf(whitelist.value(QStringLiteral("user_whitelist")));
}

bool SignatureStore::isWhitelisted(const QString& id) const
{
    return m_whitelistIds.contains(id, Qt::CaseSensitive);
}

bool SignatureStore::isProcessWhitelisted(const QString& name) const
{
    return containsAnyFragment(name, m_whitelistProcesses);
}

bool SignatureStore::isPathWhitelisted(const QString& path) const
{
    const QString comparable = comparablePath(path);
    for (const QString& entry : m_whitelistPaths) {
        if (entry.trimmed().isEmpty())
            continue;
        if (comparable.contains(comparablePath(entry)))
            return true;
    }
    return false;
}

bool SignatureStore::containsAnyFragment(const QString& text, const QStringList& fragments)
{
    for (const QString& fragment : fragments) {
        if (!fragment.trimmed().isEmpty() && text.contains(fragment, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

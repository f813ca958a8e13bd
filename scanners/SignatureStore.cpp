#include "scanners/SignatureStore.h"

#include "common/EnvironmentPath.h"
#include "platform/CaseFold.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

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

const char* const DetectionKeys[] = {"uninstall_keys", "registry_keys", "file_paths",
                                     "process_names", "service_names", "startup_names"};
// The lists of AdwareSignature in DetectionKeys order.
QStringList AdwareSignature::* const DetectionLists[] = {
    &AdwareSignature::uninstallKeys, &AdwareSignature::registryKeys, &AdwareSignature::filePaths,
    &AdwareSignature::processNames, &AdwareSignature::serviceNames, &AdwareSignature::startupNames};
constexpr int DetectionListCount = int(sizeof(DetectionLists) / sizeof(DetectionLists[0]));

int detectionListIndex(QStringList AdwareSignature::*list)
{
    for (int i = 0; i < DetectionListCount; ++i) {
        if (DetectionLists[i] == list)
            return i;
    }
    Q_UNREACHABLE();
    return 0;
}

int lineOfOffset(const QByteArray& text, int offset)
{
    return int(text.left(offset).count('\n')) + 1;
}

QString placeOf(int index, const QString& id)
{
    return id.isEmpty() ? QStringLiteral("adware.json patterns[%1]").arg(index)
                        : QStringLiteral("adware.json patterns[%1]（id \"%2\"）").arg(index).arg(id);
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
    m_prepared.clear();
    m_combined.clear();
    m_whitelistPaths.clear();
    m_whitelistProcesses.clear();
    m_whitelistProcessFragments = FragmentList();
    m_whitelistIds.clear();
    m_problems.clear();
}

bool SignatureStore::load(const QString& dir)
{
    clear();
    if (!readSignatures(dir + QStringLiteral("/adware.json")))
        return false;
    for (QStringList AdwareSignature::*list : DetectionLists) {
        QStringList all;
        for (const AdwareSignature& sig : m_signatures)
            all += sig.*list;
        m_combined.append(FragmentList(all));
    }
    readWhitelist(dir + QStringLiteral("/whitelist.json"));
    m_loaded = !m_signatures.isEmpty();
    if (!m_loaded)
        m_problems.append(QStringLiteral("adware.json 中没有可用的特征"));
    return true;
}

bool SignatureStore::readSignatures(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        m_problems.append(QStringLiteral("adware.json 无法打开：%1").arg(in.errorString()));
        return false;
    }
    const QByteArray content = in.readAll();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (error.error != QJsonParseError::NoError) {
        m_problems.append(QStringLiteral("adware.json 第 %1 行不是有效的 JSON：%2")
                              .arg(lineOfOffset(content, error.offset)).arg(error.errorString()));
        return false;
    }
    if (!document.isObject()) {
        m_problems.append(QStringLiteral("adware.json 的根不是对象"));
        return false;
    }
    const QJsonObject root = document.object();
    m_version = root.value(QStringLiteral("version")).toString();
    const QJsonValue patterns = root.value(QStringLiteral("patterns"));
    if (!patterns.isUndefined() && !patterns.isArray())
        m_problems.append(QStringLiteral("adware.json 的 patterns 不是数组"));
    const QJsonArray list = patterns.toArray();
    for (int index = 0; index < list.size(); ++index)
        readPattern(list.at(index), index);
    return true;
}

void SignatureStore::readPattern(const QJsonValue& value, int index)
{
    if (!value.isObject()) {
        m_problems.append(QStringLiteral("adware.json patterns[%1] 不是对象，已跳过").arg(index));
        return;
    }
    const QJsonObject pattern = value.toObject();
    const QJsonValue idValue = pattern.value(QStringLiteral("id"));
    if (!idValue.isString() || idValue.toString().trimmed().isEmpty()) {
        m_problems.append(QStringLiteral("%1 的 id 缺失、为空或不是文本，已跳过").arg(placeOf(index, QString())));
        return;
    }
    AdwareSignature sig;
    sig.id = idValue.toString();
    const QString place = placeOf(index, sig.id);
    for (int earlier = 0; earlier < m_signatures.size(); ++earlier) {
        if (m_signatures.at(earlier).id == sig.id)
            m_problems.append(QStringLiteral("%1 的 id 重复，其检测结果将并入同 id 的第一条特征").arg(place));
    }
    sig.name = pattern.value(QStringLiteral("name")).toString();
    sig.nameCn = pattern.value(QStringLiteral("name_cn")).toString();
    sig.category = pattern.value(QStringLiteral("category")).toString();
    sig.riskLevel = pattern.value(QStringLiteral("risk_level")).toString();
    sig.description = pattern.value(QStringLiteral("description")).toString();
    sig.removalNotes = pattern.value(QStringLiteral("removal_notes")).toString();
    const QJsonObject detection = pattern.value(QStringLiteral("detection")).toObject();
    for (auto key = detection.begin(); key != detection.end(); ++key) {
        if (std::none_of(std::begin(DetectionKeys), std::end(DetectionKeys),
                         [&key](const char* known) { return key.key() == QLatin1String(known); }))
            m_problems.append(QStringLiteral("%1 的 detection 含未知的键 \"%2\"").arg(place, key.key()));
    }
    sig.uninstallKeys = detectionList(detection, QStringLiteral("uninstall_keys"), place);
    sig.registryKeys = detectionList(detection, QStringLiteral("registry_keys"), place);
    sig.filePaths = detectionList(detection, QStringLiteral("file_paths"), place);
    sig.processNames = detectionList(detection, QStringLiteral("process_names"), place);
    sig.serviceNames = detectionList(detection, QStringLiteral("service_names"), place);
    sig.startupNames = detectionList(detection, QStringLiteral("startup_names"), place);
    m_signatures.append(sig);
    QVector<FragmentList> prepared;
    for (QStringList AdwareSignature::*list : DetectionLists)
        prepared.append(FragmentList(sig.*list));
    m_prepared.append(prepared);
}

// Only texts are taken; anything else in a list is named, so that a typo in
// the data file does not quietly turn a detection off.
QStringList SignatureStore::detectionList(const QJsonObject& detection, const QString& key, const QString& place)
{
    const QJsonValue value = detection.value(key);
    if (value.isUndefined())
        return QStringList();
    if (!value.isArray()) {
        m_problems.append(QStringLiteral("%1 的 detection.%2 不是文本数组").arg(place, key));
        return QStringList();
    }
    const QJsonArray array = value.toArray();
    QStringList strings;
    for (int i = 0; i < array.size(); ++i) {
        if (array.at(i).isString())
            strings.append(array.at(i).toString());
        else
            m_problems.append(QStringLiteral("%1 的 detection.%2[%3] 不是文本").arg(place, key, QString::number(i)));
    }
    return strings;
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
    m_whitelistProcessFragments = FragmentList(m_whitelistProcesses);
    m_whitelistIds = stringsOf(whitelist.value(QStringLiteral("patterns")));
    m_whitelistIds += stringsOf(whitelist.value(QStringLiteral("user_whitelist")));
}

bool SignatureStore::isWhitelisted(const QString& id) const
{
    return m_whitelistIds.contains(id, Qt::CaseSensitive);
}

bool SignatureStore::isProcessWhitelisted(const QString& name) const
{
    return m_whitelistProcessFragments.foundIn(win::foldCase(name));
}

bool SignatureStore::isPathWhitelisted(const QString& path) const
{
    const QString comparable = comparablePath(path);
    for (const QString& entry : m_whitelistPaths) {
        // An entry that expands to nothing (or to bare separators) would be
        // found in every path: it names no folder, so it whitelists nothing.
        const QString fragment = comparablePath(entry);
        if (QString(fragment).remove('\\').trimmed().isEmpty())
            continue;
        if (comparable.contains(fragment))
            return true;
    }
    return false;
}

bool SignatureStore::containsAnyFragment(const QString& text, const QStringList& fragments)
{
    return FragmentList(fragments).foundIn(win::foldCase(text));
}

const FragmentList& SignatureStore::fragments(int signatureIndex, QStringList AdwareSignature::*list) const
{
    return m_prepared.at(signatureIndex).at(detectionListIndex(list));
}

bool SignatureStore::anySignatureHolds(QStringList AdwareSignature::*list, const QString& foldedText) const
{
    return !m_combined.isEmpty() && m_combined.at(detectionListIndex(list)).foundIn(foldedText);
}

#pragma once

#include "scanners/FragmentList.h"

#include <QString>
#include <QStringList>
#include <QVector>

class QJsonObject;
class QJsonValue;

// One junkware pattern as "adware.json" describes it.
struct AdwareSignature
{
    QString id;
    QString name;
    QString nameCn;
    QString category;
    QString riskLevel;
    QString description;
    QString removalNotes;
    QStringList uninstallKeys;
    QStringList registryKeys;
    QStringList filePaths;
    QStringList processNames;
    QStringList serviceNames;
    QStringList startupNames;
};

// The process-wide, read-only store of junkware signatures and whitelists.
// The report step loads it once; the scanners only read it. Its files are the
// program's own data beside the executable, not files of the machine.
class SignatureStore
{
public:
    static SignatureStore& instance();

    // Reads dir/adware.json (required) and dir/whitelist.json (optional).
    // True when adware.json was read and parsed; the store counts as loaded
    // only when it also held at least one signature.
    bool load(const QString& dir);
    // What the last load found wrong with adware.json, each naming its place:
    // why the file could not be read, records without a usable id (left
    // out), repeated ids, unknown detection keys, lists that are no lists of
    // texts. Empty after a clean load.
    const QStringList& problems() const { return m_problems; }

    bool isLoaded() const { return m_loaded; }
    const QString& version() const { return m_version; }
    const QVector<AdwareSignature>& signatures() const { return m_signatures; }

    bool isWhitelisted(const QString& id) const;
    bool isProcessWhitelisted(const QString& name) const;
    // Both the path and the whitelist entry may be written with %VARIABLES%
    // or spelled out: both are expanded and compared without regard to case
    // or separator.
    bool isPathWhitelisted(const QString& path) const;

    // The matching rule of every signature list and whitelist: `text` holds
    // one of the fragments, ignoring case. An empty fragment matches nothing,
    // so a blank entry in a data file can never select everything.
    static bool containsAnyFragment(const QString& text, const QStringList& fragments);

    // The same rule with the lists prepared once per load, for scanners that
    // hold many texts against every signature: `list` names one of the
    // detection lists of AdwareSignature, and texts are folded by
    // win::foldCase before they are held against it.
    const FragmentList& fragments(int signatureIndex, QStringList AdwareSignature::*list) const;
    // Whether some signature's `list` holds a fragment of `foldedText`.
    bool anySignatureHolds(QStringList AdwareSignature::*list, const QString& foldedText) const;

private:
    SignatureStore() = default;
    void clear();
    bool readSignatures(const QString& file);
    void readPattern(const QJsonValue& pattern, int index);
    QStringList detectionList(const QJsonObject& detection, const QString& key, const QString& place);
    void readWhitelist(const QString& file);

    bool m_loaded = false;
    QString m_version;
    QVector<AdwareSignature> m_signatures;
    // The detection lists of each signature, prepared, in DetectionKeys order,
    // and every signature's fragments of each list together.
    QVector<QVector<FragmentList>> m_prepared;
    QVector<FragmentList> m_combined;
    FragmentList m_whitelistProcessFragments;
    QStringList m_whitelistPaths;
    QStringList m_whitelistProcesses;
    QStringList m_whitelistIds;
    QStringList m_problems;
};

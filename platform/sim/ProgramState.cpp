#include "platform/sim/ProgramState.h"

#include "platform/sim/JsonFields.h"

#include <QJsonArray>
#include <algorithm>
#include <climits>

namespace win::sim {

namespace {

const char* const DefaultEventLogs[] = {"Application", "Security", "System"};
const quint64 DefaultEventLogBytes = 20971520;

const QVector<PowerScheme>& defaultSchemes()
{
    static const QVector<PowerScheme> schemes = {
        {QLatin1String(BalancedSchemeGuid), QStringLiteral("Balanced")},
        {QLatin1String(HighPerformanceSchemeGuid), QStringLiteral("High performance")},
        {QLatin1String(PowerSaverSchemeGuid), QStringLiteral("Power saver")}};
    return schemes;
}

struct AvailabilityName
{
    const char* name;
    ProgramAvailability value;
};
const AvailabilityName AvailabilityNames[] = {
    {"present", ProgramAvailability::Present}, {"missing", ProgramAvailability::Missing},
    {"hangs", ProgramAvailability::Hangs}};

QString lowerCase(const QString& name)
{
    return name.toLower();
}

// Calls `loadOne` with the fields of every object of an array section.
template <typename Loader>
void forEachObject(const JsonFields& parent, const char* key, Loader loadOne, QString* error)
{
    const QJsonArray items = parent.array(key);
    for (int i = 0; i < items.size() && error->isEmpty(); ++i) {
        if (!items.at(i).isObject()) {
            parent.fail(QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(i), QStringLiteral("expected an object"));
            return;
        }
        loadOne(JsonFields(items.at(i).toObject(), parent.childPath(key, i), error));
    }
}

PowerSettings loadPower(const JsonFields& f, QString* error)
{
    PowerSettings power;
    forEachObject(f, "schemes", [&power](const JsonFields& s) {
        power.schemes.append({s.string("guid").toLower(), s.string("name")});
    }, error);
    if (!f.has("schemes"))
        power.schemes = defaultSchemes();
    power.hibernation = f.boolean("hibernation", false);
    const QString type = f.string("hiberfileType", QStringLiteral("full"));
    if (type != QLatin1String("full") && type != QLatin1String("reduced"))
        f.fail(QStringLiteral("hiberfileType"), QStringLiteral("expected full or reduced"));
    power.reducedHiberfile = type == QLatin1String("reduced");
    return power;
}

BootStore loadBoot(const JsonFields& f, QString* error)
{
    BootStore boot;
    const QString firmware = f.string("firmware", QStringLiteral("uefi"));
    if (firmware != QLatin1String("uefi") && firmware != QLatin1String("bios"))
        f.fail(QStringLiteral("firmware"), QStringLiteral("expected uefi or bios"));
    boot.uefi = firmware == QLatin1String("uefi");
    boot.timeout = f.number("timeout", boot.timeout);
    boot.locale = f.string("locale", boot.locale);
    forEachObject(f, "loaders", [&boot](const JsonFields& l) {
        BootLoader loader;
        loader.identifier = l.string("identifier");
        if (!loader.identifier.startsWith('{') || !loader.identifier.endsWith('}'))
            l.fail(QStringLiteral("identifier"), QStringLiteral("expected {current} or a {guid}"));
        loader.drive = l.string("drive", QStringLiteral("C:")).toUpper();
        loader.description = l.string("description", QStringLiteral("Windows 10"));
        loader.systemRoot = l.string("systemRoot", loader.systemRoot);
        // bcdedit names elements in any letter case; the store holds one of each.
        if (l.refuseFoldedTwins("settings", l.object("settings"), lowerCase)) {
            const QMap<QString, QString> settings = l.textMap("settings");
            for (auto it = settings.begin(); it != settings.end(); ++it)
                loader.settings.insert(it.key().toLower(), it.value());
        }
        boot.loaders.append(loader);
    }, error);
    return boot;
}

QVector<EventLogConfig> loadEventLogs(const JsonFields& f, QString* error)
{
    QVector<EventLogConfig> logs;
    for (const char* name : DefaultEventLogs)
        logs.append({QLatin1String(name), DefaultEventLogBytes});
    const QJsonObject section = f.object("eventLogs");
    if (!f.refuseFoldedTwins("eventLogs", section, lowerCase))
        return logs;
    for (auto it = section.begin(); it != section.end() && error->isEmpty(); ++it) {
        if (!it.value().isObject()) {
            f.fail(f.childPath("eventLogs", it.key()), QStringLiteral("expected an object"));
            break;
        }
        const JsonFields log(it.value().toObject(), f.childPath("eventLogs", it.key()), error);
        const quint64 bytes = log.number("maxSizeBytes", DefaultEventLogBytes);
        auto known = std::find_if(logs.begin(), logs.end(), [&it](const EventLogConfig& c) {
            return c.name.compare(it.key(), Qt::CaseInsensitive) == 0;
        });
        if (known != logs.end())
            known->maxSizeBytes = bytes;
        else
            logs.append({it.key(), bytes});
    }
    return logs;
}

RestorePoint loadRestorePoint(const JsonFields& f)
{
    RestorePoint point;
    point.sequenceNumber = f.number<quint32>("sequenceNumber", 0);
    point.description = f.string("description");
    point.creationTime = f.string("creationTime");
    point.restorePointType = f.number<quint32>("restorePointType", 0);
    point.eventType = f.number<quint32>("eventType", 100);
    point.undeletable = f.boolean("undeletable", false);
    return point;
}

AntivirusProduct loadAntivirus(const JsonFields& f)
{
    AntivirusProduct product;
    product.displayName = f.string("displayName");
    product.productState = f.number("productState", product.productState);
    product.pathToSignedProductExe = f.string("pathToSignedProductExe");
    product.instanceGuid = f.string("instanceGuid");
    return product;
}

PhysicalDisk loadDisk(const JsonFields& f)
{
    PhysicalDisk disk;
    disk.number = int(f.number("number", 0, 0, INT_MAX));
    disk.model = f.string("model");
    disk.serial = f.string("serial");
    disk.busType = f.string("busType", disk.busType);
    disk.mediaType = f.string("mediaType");
    if (!disk.mediaType.isEmpty() && disk.mediaType != QLatin1String("SSD") && disk.mediaType != QLatin1String("HDD")
        && disk.mediaType != QLatin1String("Unspecified"))
        f.fail(QStringLiteral("mediaType"), QStringLiteral("expected SSD, HDD or Unspecified"));
    disk.sizeBytes = f.number<quint64>("sizeBytes", 0);
    return disk;
}

DriveOptimization loadOptimization(const JsonFields& f)
{
    DriveOptimization o;
    o.fragmentedPercent = int(f.number("fragmentedPercent", 0, 0, 100));
    o.analyses = int(f.number("analyses", 0, 0, INT_MAX));
    o.defragmentations = int(f.number("defragmentations", 0, 0, INT_MAX));
    o.retrims = int(f.number("retrims", 0, 0, INT_MAX));
    return o;
}

// "driveOptimizer": one object per drive letter.
void loadOptimizations(const JsonFields& root, QMap<QChar, DriveOptimization>* optimizations, QString* error)
{
    const QJsonObject section = root.object("driveOptimizer");
    for (auto it = section.begin(); it != section.end() && error->isEmpty(); ++it) {
        const QString& key = it.key();
        const QString path = root.childPath("driveOptimizer", key);
        if (key.size() != 1 || key.at(0).unicode() > 127 || !key.at(0).isLetter()) {
            root.fail(path, QStringLiteral("expected a drive letter as the name"));
            return;
        }
        if (optimizations->contains(key.at(0).toUpper())) {
            root.fail(path, QStringLiteral("the drive is listed twice"));
            return;
        }
        if (!it.value().isObject()) {
            root.fail(path, QStringLiteral("expected an object"));
            return;
        }
        optimizations->insert(key.at(0).toUpper(), loadOptimization(JsonFields(it.value().toObject(), path, error)));
    }
}

ProgramAvailability availabilityOf(const JsonFields& f, const QString& program)
{
    const QString text = f.string(program.toUtf8().constData());
    for (const AvailabilityName& named : AvailabilityNames) {
        if (text == QLatin1String(named.name))
            return named.value;
    }
    f.fail(program, QStringLiteral("expected present, missing or hangs"));
    return ProgramAvailability::Default;
}

QString availabilityName(ProgramAvailability availability)
{
    for (const AvailabilityName& named : AvailabilityNames) {
        if (named.value == availability)
            return QLatin1String(named.name);
    }
    return QString();
}

} // namespace

ProgramState::ProgramState()
{
    m_power.schemes = defaultSchemes();
    for (const char* name : DefaultEventLogs)
        m_eventLogs.append({QLatin1String(name), DefaultEventLogBytes});
}

bool ProgramState::load(const QJsonObject& machine, QString* error)
{
    const JsonFields root(machine, QString(), error, JsonFields::UnknownKeys::Keep);
    ProgramState loaded;
    loaded.m_power = loadPower(JsonFields(root.object("power"), QStringLiteral("power"), error), error);
    loaded.m_boot = loadBoot(JsonFields(root.object("boot"), QStringLiteral("boot"), error), error);
    loaded.m_eventLogs = loadEventLogs(root, error);
    forEachObject(root, "restorePoints", [&loaded](const JsonFields& f) {
        loaded.m_restorePoints.append(loadRestorePoint(f));
    }, error);
    const JsonFields center(root.object("securityCenter"), QStringLiteral("securityCenter"), error);
    forEachObject(center, "antivirus", [&loaded](const JsonFields& f) {
        loaded.m_antivirus.append(loadAntivirus(f));
    }, error);
    forEachObject(root, "disks", [&loaded](const JsonFields& f) { loaded.m_disks.append(loadDisk(f)); }, error);
    loaded.m_dnsCacheEntries = int(JsonFields(root.object("dnsCache"), QStringLiteral("dnsCache"), error)
                                       .number("entries", 0, 0, INT_MAX));
    // netsh takes parameter names in any letter case, and so do the programs.
    if (root.refuseFoldedTwins("tcp", root.object("tcp"), lowerCase)) {
        const QMap<QString, QString> tcp = root.textMap("tcp");
        for (auto it = tcp.begin(); it != tcp.end(); ++it)
            loaded.m_tcpGlobals.insert(it.key().toLower(), it.value());
    }
    loadOptimizations(root, &loaded.m_optimizations, error);
    const JsonFields cleanup(root.object("cleanup"), QStringLiteral("cleanup"), error);
    loaded.m_cleanup = {int(cleanup.number("runs", 0, 0, INT_MAX)), cleanup.number<quint64>("freedBytes", 0)};
    const JsonFields programs(root.object("programs"), QStringLiteral("programs"), error);
    const QJsonObject programSection = root.object("programs");
    root.refuseFoldedTwins("programs", programSection, lowerCase);
    for (auto it = programSection.begin(); it != programSection.end() && error->isEmpty(); ++it) {
        if (it.key() == QLatin1String("hangMs"))
            loaded.m_hangMs = programs.number("hangMs", loaded.m_hangMs, 0, JsonFields::ExactLimit);
        else
            loaded.m_availability.insert(it.key().toLower(), availabilityOf(programs, it.key()));
    }
    if (!error->isEmpty())
        return false;
    *this = loaded;
    return true;
}

namespace {

QJsonObject powerJson(const PowerSettings& power)
{
    QJsonArray schemes;
    for (const PowerScheme& scheme : power.schemes)
        schemes.append(QJsonObject{{"guid", scheme.guid}, {"name", scheme.name}});
    return QJsonObject{{"schemes", schemes}, {"hibernation", power.hibernation},
                       {"hiberfileType", power.reducedHiberfile ? "reduced" : "full"}};
}

QJsonObject bootJson(const BootStore& boot)
{
    QJsonArray loaders;
    for (const BootLoader& loader : boot.loaders) {
        QJsonObject settings;
        for (auto it = loader.settings.begin(); it != loader.settings.end(); ++it)
            settings.insert(it.key(), it.value());
        loaders.append(QJsonObject{{"identifier", loader.identifier}, {"drive", loader.drive},
                                   {"description", loader.description}, {"systemRoot", loader.systemRoot},
                                   {"settings", settings}});
    }
    return QJsonObject{{"firmware", boot.uefi ? "uefi" : "bios"}, {"timeout", boot.timeout},
                       {"locale", boot.locale}, {"loaders", loaders}};
}

QJsonArray restorePointsJson(const QVector<RestorePoint>& points)
{
    QJsonArray out;
    for (const RestorePoint& p : points) {
        QJsonObject point{{"sequenceNumber", qint64(p.sequenceNumber)}, {"description", p.description},
                          {"creationTime", p.creationTime}, {"restorePointType", qint64(p.restorePointType)},
                          {"eventType", qint64(p.eventType)}};
        if (p.undeletable)
            point.insert(QStringLiteral("undeletable"), true);
        out.append(point);
    }
    return out;
}

QJsonArray antivirusJson(const QVector<AntivirusProduct>& products)
{
    QJsonArray out;
    for (const AntivirusProduct& p : products) {
        out.append(QJsonObject{{"displayName", p.displayName}, {"productState", qint64(p.productState)},
                               {"pathToSignedProductExe", p.pathToSignedProductExe},
                               {"instanceGuid", p.instanceGuid}});
    }
    return out;
}

QJsonArray disksJson(const QVector<PhysicalDisk>& disks)
{
    QJsonArray out;
    for (const PhysicalDisk& d : disks) {
        out.append(QJsonObject{{"number", d.number}, {"model", d.model}, {"serial", d.serial},
                               {"busType", d.busType}, {"mediaType", d.mediaType},
                               {"sizeBytes", qint64(d.sizeBytes)}});
    }
    return out;
}

} // namespace

void ProgramState::save(QJsonObject& machine) const
{
    machine.insert("power", powerJson(m_power));
    machine.insert("boot", bootJson(m_boot));
    QJsonObject logs;
    for (const EventLogConfig& log : m_eventLogs)
        logs.insert(log.name, QJsonObject{{"maxSizeBytes", qint64(log.maxSizeBytes)}});
    machine.insert("eventLogs", logs);
    machine.insert("restorePoints", restorePointsJson(m_restorePoints));
    machine.insert("securityCenter", QJsonObject{{"antivirus", antivirusJson(m_antivirus)}});
    machine.insert("disks", disksJson(m_disks));
    machine.insert("dnsCache", QJsonObject{{"entries", m_dnsCacheEntries}});
    QJsonObject tcp;
    for (auto it = m_tcpGlobals.begin(); it != m_tcpGlobals.end(); ++it)
        tcp.insert(it.key(), it.value());
    machine.insert("tcp", tcp);
    QJsonObject optimizer;
    for (auto it = m_optimizations.begin(); it != m_optimizations.end(); ++it) {
        optimizer.insert(QString(it.key()), QJsonObject{{"fragmentedPercent", it->fragmentedPercent},
                                                        {"analyses", it->analyses},
                                                        {"defragmentations", it->defragmentations},
                                                        {"retrims", it->retrims}});
    }
    machine.insert("driveOptimizer", optimizer);
    machine.insert("cleanup", QJsonObject{{"runs", m_cleanup.runs}, {"freedBytes", qint64(m_cleanup.freedBytes)}});
    QJsonObject programs{{"hangMs", m_hangMs}};
    for (auto it = m_availability.begin(); it != m_availability.end(); ++it)
        programs.insert(it.key(), availabilityName(it.value()));
    machine.insert("programs", programs);
}

const PowerScheme* ProgramState::findPowerScheme(const QString& guid) const
{
    for (const PowerScheme& scheme : m_power.schemes) {
        if (scheme.guid.compare(guid, Qt::CaseInsensitive) == 0)
            return &scheme;
    }
    return nullptr;
}

EventLogConfig* ProgramState::findEventLog(const QString& name)
{
    for (EventLogConfig& log : m_eventLogs) {
        if (log.name.compare(name, Qt::CaseInsensitive) == 0)
            return &log;
    }
    return nullptr;
}

DriveOptimization& ProgramState::optimization(QChar driveLetter)
{
    return m_optimizations[driveLetter.toUpper()];
}

ProgramAvailability ProgramState::availability(const QString& program) const
{
    return m_availability.value(program.toLower(), ProgramAvailability::Default);
}

void ProgramState::setAvailability(const QString& program, ProgramAvailability availability)
{
    m_availability.insert(program.toLower(), availability);
}

} // namespace win::sim

#include "platform/sim/SimSystemJson.h"

#include "platform/RegistryKey.h"
#include "platform/sim/JsonFields.h"

#include <QJsonArray>
#include <climits>

namespace win::sim {

namespace {

template <typename T>
struct Named
{
    const char* name;
    T value;
};

const Named<quint16> Architectures[] = {
    {"x64", ProcessorArchitectureAmd64}, {"x86", ProcessorArchitectureIntel},
    {"arm64", ProcessorArchitectureArm64}, {"arm", ProcessorArchitectureArm}};
const Named<int> JoinStates[] = {
    {"unknown", 0}, {"unjoined", 1}, {"workgroup", 2}, {"domain", 3}};
const Named<quint32> StartTypes[] = {
    {"boot", ServiceBootStart}, {"system", ServiceSystemStart}, {"auto", ServiceAutoStart},
    {"demand", ServiceDemandStart}, {"disabled", ServiceDisabled}};
const Named<quint32> ServiceStates[] = {
    {"stopped", ServiceStopped}, {"startPending", ServiceStartPending}, {"stopPending", ServiceStopPending},
    {"running", ServiceRunning}, {"continuePending", ServiceContinuePending},
    {"pausePending", ServicePausePending}, {"paused", ServicePaused}};
const Named<quint32> ServiceTypes[] = {
    {"kernelDriver", ServiceKernelDriver}, {"fileSystemDriver", ServiceFileSystemDriver},
    {"ownProcess", ServiceWin32OwnProcess}, {"shareProcess", ServiceWin32ShareProcess}};
const Named<int> TriggerTypes[] = {
    {"time", TaskTriggerTime}, {"daily", TaskTriggerDaily}, {"weekly", TaskTriggerWeekly},
    {"idle", TaskTriggerIdle}, {"registration", TaskTriggerRegistration},
    {"boot", TaskTriggerBoot}, {"logon", TaskTriggerLogon}};
const Named<HResult> TrustAnswers[] = {
    {"valid", S_Ok}, {"unsigned", TRUST_E_NoSignature}, {"badDigest", TRUST_E_BadDigest},
    {"untrustedRoot", CERT_E_Untrustedroot}};

template <typename T, size_t N>
T enumValue(const JsonFields& fields, const char* key, const Named<T> (&names)[N], T fallback)
{
    const QString text = fields.string(key);
    if (text.isEmpty())
        return fallback;
    for (const auto& named : names) {
        if (text == QLatin1String(named.name))
            return named.value;
    }
    QStringList allowed;
    for (const auto& named : names)
        allowed << QLatin1String(named.name);
    fields.fail(QLatin1String(key), QStringLiteral("expected one of %1").arg(allowed.join(", ")));
    return fallback;
}

template <typename T, size_t N>
QJsonValue enumJson(const Named<T> (&names)[N], T value)
{
    for (const auto& named : names) {
        if (named.value == value)
            return QLatin1String(named.name);
    }
    return qint64(value);
}

// A service type is a set of flags and the program may set any combination
// (ChangeServiceConfigW): one without a name is kept as its number.
quint32 serviceTypeOf(const JsonFields& f, quint32 fallback)
{
    if (f.value("type").isDouble())
        return f.number<quint32>("type", fallback);
    return enumValue(f, "type", ServiceTypes, fallback);
}

// "0804": the four hex digits of a language or code page.
quint16 hexWord(const JsonFields& f, const char* key, const QString& fallback)
{
    const QString text = f.string(key, fallback);
    bool ok = false;
    const quint16 value = text.toUShort(&ok, 16);
    if (!ok || text.size() != 4)
        f.fail(QLatin1String(key), QStringLiteral("expected four hex digits"));
    return value;
}

// Loads every object of an array section with `loadOne`.
template <typename Record, typename Loader>
QVector<Record> loadRecords(const JsonFields& root, const char* key, Loader loadOne, QString* error)
{
    QVector<Record> records;
    const QJsonArray items = root.array(key);
    records.reserve(items.size());
    for (int i = 0; i < items.size() && error->isEmpty(); ++i) {
        if (!items.at(i).isObject()) {
            root.fail(QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(i), QStringLiteral("expected an object"));
            break;
        }
        records.append(loadOne(JsonFields(items.at(i).toObject(), root.childPath(key, i), error)));
    }
    return records;
}

void loadFacts(const JsonFields& f, SimSystem* s, QString* error)
{
    const JsonFields version(f.object("version"), f.childPath("version"), error);
    s->version.major = version.number("major", s->version.major);
    s->version.minor = version.number("minor", s->version.minor);
    s->version.build = version.number("build", s->version.build);
    s->version.csdVersion = version.string("csd");
    s->architecture = enumValue(f, "architecture", Architectures, s->architecture);
    s->programArchitecture = enumValue(f, "programArchitecture", Architectures, s->programArchitecture);
    s->processors = f.number("processors", s->processors);
    s->administrator = f.boolean("administrator", s->administrator);
    s->adminSidFails = f.boolean("adminSidFails", false);
    s->computerName = f.string("computerName", s->computerName);
    s->dnsDomain = f.string("dnsDomain");
    s->computerNameFails = f.boolean("computerNameFails", false);
    const JsonFields join(f.object("join"), f.childPath("join"), error);
    s->joinStatus = enumValue(join, "status", JoinStates, s->joinStatus);
    s->joinName = join.string("name", s->joinName);
    s->netJoinFails = join.boolean("fails", false);
    s->systemDirectory = f.string("systemDirectory", s->systemDirectory);
    s->systemDirectoryFails = f.boolean("systemDirectoryFails", false);
    const JsonFields memory(f.object("memory"), f.childPath("memory"), error);
    s->memory.totalBytes = memory.number("totalBytes", s->memory.totalBytes);
    s->memory.availableBytes = memory.number("availableBytes", s->memory.availableBytes);
    const JsonFields power(f.object("power"), f.childPath("power"), error);
    s->power.queryFails = power.boolean("queryFails", false);
    s->power.acLineStatus = power.number("acLineStatus", s->power.acLineStatus);
    s->power.batteryFlag = power.number("batteryFlag", s->power.batteryFlag);
    s->power.batteryPercent = power.number("batteryPercent", s->power.batteryPercent);
    s->ansiCodePage = f.number("ansiCodePage", s->ansiCodePage);
    s->missingProcedures = f.strings("missingProcedures");
    s->processorId = f.string("processorId");
    s->baseboardSerial = f.string("baseboardSerial");
    s->ownPid = f.number("ownPid", s->ownPid);
    s->ownImagePath = f.string("ownImagePath");
    s->activePowerScheme = f.string("activePowerScheme", s->activePowerScheme);
    const JsonFields cache(f.object("fileCache"), f.childPath("fileCache"), error);
    s->fileCache.minimumBytes = cache.number("minimumBytes", s->fileCache.minimumBytes);
    s->fileCache.maximumBytes = cache.number("maximumBytes", s->fileCache.maximumBytes);
    s->fileCache.maxHardLimit = cache.boolean("maxHardLimit", false);
    s->fileCache.minHardLimit = cache.boolean("minHardLimit", false);
    s->fileCache.workingSetBytes = cache.number<quint64>("workingSetBytes", 0);
    s->standbyListPurges = int(f.number("standbyListPurges", 0, 0, INT_MAX));
    s->settingChangeBroadcasts = int(f.number("settingChangeBroadcasts", 0, 0, INT_MAX));
}

SimService loadService(const JsonFields& f)
{
    SimService s;
    s.name = f.string("name");
    if (s.name.isEmpty())
        f.fail(QStringLiteral("name"), QStringLiteral("a service needs a name"));
    s.displayName = f.string("displayName", s.name);
    s.serviceType = serviceTypeOf(f, s.serviceType);
    s.startType = enumValue(f, "startType", StartTypes, s.startType);
    s.errorControl = f.number("errorControl", s.errorControl);
    s.delayedAutoStart = f.boolean("delayedAutoStart", false);
    s.binaryPath = f.string("binaryPath");
    s.state = enumValue(f, "state", ServiceStates, s.state);
    s.processId = f.number<quint32>("pid", 0);
    s.acceptsStop = f.boolean("acceptsStop", true);
    s.accessDenied = f.boolean("accessDenied", false);
    s.startFails = f.boolean("startFails", false);
    s.changeConfigRaises = f.boolean("changeConfigRaises", false);
    s.dependencies = f.strings("dependsOn");
    s.startDelayMs = int(f.number("startDelayMs", 0, 0, INT_MAX));
    s.stopDelayMs = int(f.number("stopDelayMs", 0, 0, INT_MAX));
    return s;
}

SimTask loadTask(const JsonFields& f, QString* error)
{
    SimTask t;
    t.path = f.string("path");
    if (!t.path.startsWith('\\'))
        f.fail(QStringLiteral("path"), QStringLiteral("a task path starts with a backslash"));
    t.enabled = f.boolean("enabled", true);
    t.systemOnly = f.boolean("systemOnly", false);
    t.definition.hidden = f.boolean("hidden", false);
    for (const QString& type : f.strings("triggers")) {
        TaskTrigger trigger;
        const QJsonObject wrapper{{QStringLiteral("type"), type}};
        trigger.type = enumValue(JsonFields(wrapper, f.childPath("triggers"), error), "type", TriggerTypes, 0);
        t.definition.triggers.append(trigger);
    }
    const QJsonArray actions = f.array("actions");
    for (int i = 0; i < actions.size(); ++i) {
        if (!actions.at(i).isObject()) {
            f.fail(QStringLiteral("actions[%1]").arg(i), QStringLiteral("expected an object"));
            break;
        }
        const JsonFields a(actions.at(i).toObject(), f.childPath("actions", i), error);
        t.definition.actions.append({a.string("path"), a.string("arguments")});
    }
    return t;
}

SimProcess loadProcess(const JsonFields& f)
{
    SimProcess p;
    p.pid = f.number<quint32>("pid", 0);
    p.parentPid = f.number<quint32>("parentPid", 0);
    p.imagePath = f.string("imagePath");
    p.exeFile = f.string("exe", p.imagePath.mid(p.imagePath.lastIndexOf('\\') + 1));
    p.workingSetBytes = f.number<quint64>("workingSetBytes", 0);
    p.protectedProcess = f.boolean("protected", false);
    return p;
}

SimWindow loadWindow(const JsonFields& f)
{
    SimWindow w;
    w.handle = f.number<quintptr>("handle", 0);
    w.visible = f.boolean("visible", true);
    w.className = f.string("className");
    w.title = f.string("title");
    // GetWindowLongW answers a LONG: styles with the top bit are negative.
    w.style = f.number<qint32>("style", 0);
    w.exStyle = f.number<qint32>("exStyle", 0);
    w.pid = f.number<quint32>("pid", 0);
    return w;
}

SimPrinter loadPrinter(const JsonFields& f)
{
    return {f.string("name"), f.boolean("connection", false), f.string("description"), f.string("comment")};
}

SimAdapter loadAdapter(const JsonFields& f)
{
    SimAdapter a;
    a.adapterName = f.string("name");
    a.description = f.string("description");
    a.index = f.number<quint32>("index", 0);
    a.instanceId = f.string("instanceId");
    a.driverKey = f.string("driverKey");
    a.present = f.boolean("present", true);
    return a;
}

// The keys the registry filter guards, each a full path below a hive.
void loadRegistryFilter(const JsonFields& root, SimSystem* s, QString* error)
{
    const JsonFields filter(root.object("registryFilter"), QStringLiteral("registryFilter"), error);
    s->writesIgnoredIn = filter.strings("ignoresWritesIn");
    for (int i = 0; i < s->writesIgnoredIn.size(); ++i) {
        Hive hive;
        QString subKey;
        if (!parseRegistryPath(s->writesIgnoredIn.at(i), &hive, &subKey)) {
            filter.fail(QStringLiteral("ignoresWritesIn[%1]").arg(i), QStringLiteral("expected a key path below a hive"));
            return;
        }
    }
}

void loadPathTables(const JsonFields& root, SimSystem* s, QString* error)
{
    const QJsonObject trust = root.object("trust");
    for (auto it = trust.begin(); it != trust.end(); ++it) {
        const QJsonObject wrapper{{QStringLiteral("answer"), it.value()}};
        const JsonFields f(wrapper, root.childPath("trust", it.key()), error);
        s->trust.insert(it.key(), enumValue(f, "answer", TrustAnswers, TRUST_E_NoSignature));
    }
    const QJsonObject resources = root.object("versionResources");
    for (auto it = resources.begin(); it != resources.end() && error->isEmpty(); ++it) {
        if (!it.value().isObject()) {
            root.fail(root.childPath("versionResources", it.key()), QStringLiteral("expected an object"));
            break;
        }
        const JsonFields f(it.value().toObject(), root.childPath("versionResources", it.key()), error);
        SimVersionResource resource;
        resource.language = hexWord(f, "language", QStringLiteral("0804"));
        resource.codePage = hexWord(f, "codePage", QStringLiteral("04b0"));
        resource.strings = f.textMap("strings");
        s->versionResources.insert(it.key(), resource);
    }
}

} // namespace

bool loadSystem(const QJsonObject& machine, SimSystem* s, QString* error)
{
    const JsonFields root(machine, QString(), error, JsonFields::UnknownKeys::Keep);
    loadFacts(JsonFields(root.object("system"), QStringLiteral("system"), error), s, error);
    // Windows keeps one variable per name in any letter case.
    const QMap<QString, QString> environment = root.textMap("environment");
    if (root.refuseFoldedTwins("environment", root.object("environment"), [](const QString& name) { return name.toUpper(); })) {
        for (auto it = environment.begin(); it != environment.end(); ++it)
            s->environment.insert(it.key(), it.value());
    }
    s->services = loadRecords<SimService>(root, "services", loadService, error);
    s->tasks = loadRecords<SimTask>(root, "tasks", [error](const JsonFields& f) { return loadTask(f, error); }, error);
    s->taskFolders = root.strings("taskFolders");
    const JsonFields scheduler(root.object("taskScheduler"), QStringLiteral("taskScheduler"), error);
    s->taskConnectResult = scheduler.boolean("connectFails", false) ? E_AccessDenied : S_Ok;
    s->processes = loadRecords<SimProcess>(root, "processes", loadProcess, error);
    s->processSnapshotFails = root.boolean("processSnapshotFails", false);
    s->windows = loadRecords<SimWindow>(root, "windows", loadWindow, error);
    s->foregroundWindow = root.number<quintptr>("foregroundWindow", 0);
    s->printers = loadRecords<SimPrinter>(root, "printers", loadPrinter, error);
    s->adapters = loadRecords<SimAdapter>(root, "adapters", loadAdapter, error);
    loadPathTables(root, s, error);
    loadRegistryFilter(root, s, error);
    return error->isEmpty();
}

namespace {

QJsonObject factsJson(const SimSystem& s)
{
    return QJsonObject{
        {"version", QJsonObject{{"major", qint64(s.version.major)}, {"minor", qint64(s.version.minor)},
                                {"build", qint64(s.version.build)}, {"csd", s.version.csdVersion}}},
        {"architecture", enumJson(Architectures, s.architecture)},
        {"programArchitecture", enumJson(Architectures, s.programArchitecture)},
        {"processors", qint64(s.processors)},
        {"administrator", s.administrator},
        {"adminSidFails", s.adminSidFails},
        {"computerName", s.computerName},
        {"dnsDomain", s.dnsDomain},
        {"computerNameFails", s.computerNameFails},
        {"join", QJsonObject{{"status", enumJson(JoinStates, s.joinStatus)}, {"name", s.joinName},
                             {"fails", s.netJoinFails}}},
        {"systemDirectory", s.systemDirectory},
        {"systemDirectoryFails", s.systemDirectoryFails},
        {"memory", QJsonObject{{"totalBytes", qint64(s.memory.totalBytes)},
                               {"availableBytes", qint64(s.memory.availableBytes)}}},
        {"power", QJsonObject{{"queryFails", s.power.queryFails}, {"acLineStatus", s.power.acLineStatus},
                              {"batteryFlag", s.power.batteryFlag}, {"batteryPercent", s.power.batteryPercent}}},
        {"ansiCodePage", qint64(s.ansiCodePage)},
        {"missingProcedures", QJsonArray::fromStringList(s.missingProcedures)},
        {"processorId", s.processorId},
        {"baseboardSerial", s.baseboardSerial},
        {"ownPid", qint64(s.ownPid)},
        {"ownImagePath", s.ownImagePath},
        {"activePowerScheme", s.activePowerScheme},
        {"fileCache", QJsonObject{{"minimumBytes", qint64(s.fileCache.minimumBytes)},
                                  {"maximumBytes", qint64(s.fileCache.maximumBytes)},
                                  {"maxHardLimit", s.fileCache.maxHardLimit},
                                  {"minHardLimit", s.fileCache.minHardLimit},
                                  {"workingSetBytes", qint64(s.fileCache.workingSetBytes)}}},
        {"standbyListPurges", s.standbyListPurges},
        {"settingChangeBroadcasts", s.settingChangeBroadcasts}};
}

QJsonObject serviceJson(const SimService& s)
{
    return QJsonObject{{"name", s.name}, {"displayName", s.displayName},
                       {"type", enumJson(ServiceTypes, s.serviceType)},
                       {"startType", enumJson(StartTypes, s.startType)},
                       {"errorControl", qint64(s.errorControl)},
                       {"delayedAutoStart", s.delayedAutoStart}, {"binaryPath", s.binaryPath},
                       {"state", enumJson(ServiceStates, s.state)}, {"pid", qint64(s.processId)},
                       {"acceptsStop", s.acceptsStop}, {"accessDenied", s.accessDenied},
                       {"startFails", s.startFails}, {"changeConfigRaises", s.changeConfigRaises},
                       {"dependsOn", QJsonArray::fromStringList(s.dependencies)},
                       {"startDelayMs", s.startDelayMs}, {"stopDelayMs", s.stopDelayMs}};
}

QJsonObject taskJson(const SimTask& t)
{
    QJsonArray triggers;
    for (const TaskTrigger& trigger : t.definition.triggers)
        triggers.append(enumJson(TriggerTypes, trigger.type));
    QJsonArray actions;
    for (const TaskAction& action : t.definition.actions)
        actions.append(QJsonObject{{"path", action.path}, {"arguments", action.arguments}});
    QJsonObject task{{"path", t.path}, {"enabled", t.enabled}, {"hidden", t.definition.hidden},
                     {"triggers", triggers}, {"actions", actions}};
    if (t.systemOnly)
        task.insert(QStringLiteral("systemOnly"), true);
    return task;
}

QJsonObject processJson(const SimProcess& p)
{
    return QJsonObject{{"pid", qint64(p.pid)}, {"parentPid", qint64(p.parentPid)}, {"exe", p.exeFile},
                       {"imagePath", p.imagePath}, {"workingSetBytes", qint64(p.workingSetBytes)},
                       {"protected", p.protectedProcess}};
}

QJsonObject windowJson(const SimWindow& w)
{
    return QJsonObject{{"handle", qint64(w.handle)}, {"visible", w.visible}, {"className", w.className},
                       {"title", w.title}, {"style", w.style}, {"exStyle", w.exStyle}, {"pid", qint64(w.pid)}};
}

QJsonObject printerJson(const SimPrinter& p)
{
    return QJsonObject{{"name", p.name}, {"connection", p.connection}, {"description", p.description},
                       {"comment", p.comment}};
}

QJsonObject adapterJson(const SimAdapter& a)
{
    return QJsonObject{{"name", a.adapterName}, {"description", a.description}, {"index", qint64(a.index)},
                       {"instanceId", a.instanceId}, {"driverKey", a.driverKey}, {"present", a.present}};
}

template <typename Record, typename Writer>
QJsonArray recordsJson(const QVector<Record>& records, Writer write)
{
    QJsonArray out;
    for (const Record& record : records)
        out.append(write(record));
    return out;
}

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

} // namespace

void saveSystem(const SimSystem& s, QJsonObject* machine)
{
    machine->insert("system", factsJson(s));
    QJsonObject environment;
    for (auto it = s.environment.begin(); it != s.environment.end(); ++it)
        environment.insert(it.key(), it.value());
    machine->insert("environment", environment);
    machine->insert("services", recordsJson(s.services, serviceJson));
    machine->insert("tasks", recordsJson(s.tasks, taskJson));
    machine->insert("taskFolders", QJsonArray::fromStringList(s.taskFolders));
    machine->insert("taskScheduler", QJsonObject{{"connectFails", failed(s.taskConnectResult)}});
    machine->insert("processes", recordsJson(s.processes, processJson));
    machine->insert("processSnapshotFails", s.processSnapshotFails);
    machine->insert("windows", recordsJson(s.windows, windowJson));
    machine->insert("foregroundWindow", qint64(s.foregroundWindow));
    machine->insert("printers", recordsJson(s.printers, printerJson));
    machine->insert("adapters", recordsJson(s.adapters, adapterJson));
    QJsonObject trust;
    for (auto it = s.trust.begin(); it != s.trust.end(); ++it)
        trust.insert(it.key(), enumJson(TrustAnswers, it.value()));
    machine->insert("trust", trust);
    QJsonObject resources;
    for (auto it = s.versionResources.begin(); it != s.versionResources.end(); ++it) {
        QJsonObject strings;
        for (auto str = it->strings.begin(); str != it->strings.end(); ++str)
            strings.insert(str.key(), str.value());
        resources.insert(it.key(), QJsonObject{{"language", hex4(it->language)},
                                               {"codePage", hex4(it->codePage)}, {"strings", strings}});
    }
    machine->insert("versionResources", resources);
    machine->insert("registryFilter",
                    QJsonObject{{"ignoresWritesIn", QJsonArray::fromStringList(s.writesIgnoredIn)}});
}

} // namespace win::sim

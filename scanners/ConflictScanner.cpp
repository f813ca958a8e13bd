#include "scanners/ConflictScanner.h"

#include "common/UninstallRoot.h"
#include "platform/CaseFold.h"
#include "platform/Programs.h"
#include "platform/RegistryIterators.h"
#include "scanners/SignatureStore.h"

#include <QRegularExpression>

namespace {

constexpr int WmicWaitMs = 8000;

const QString& nameColumn()
{
    static const QString column = QStringLiteral("displayName");
    return column;
}

const QString& stateColumn()
{
    static const QString column = QStringLiteral("productState");
    return column;
}

// Security Center packs a product's state into productState: bits 12 to 15
// say whether its real-time protection is on (1) or off, snoozed or expired
// (any other value). Only a product that is on can get in another's way; the
// built-in antivirus standing by beside a third-party one is off.
bool isEnabledProductState(quint32 state)
{
    return ((state >> 12) & 0xF) == 1;
}

struct Family
{
    QString name;
    FragmentList keywords;
};

const QVector<Family>& families()
{
    static const QVector<Family> table = {
        {QStringLiteral("安全卫士"),
         FragmentList({QStringLiteral("安全卫士"), QStringLiteral("杀毒"), QStringLiteral("电脑管家"),
                       QStringLiteral("360")})},
        {QStringLiteral("浏览器"),
         FragmentList({QStringLiteral("浏览器"), QStringLiteral("chrome"), QStringLiteral("edge"),
                       QStringLiteral("firefox"), QStringLiteral("搜狗")})},
        {QStringLiteral("压缩软件"),
         FragmentList({QStringLiteral("压缩"), QStringLiteral("好压"), QStringLiteral("快压"),
                       QStringLiteral("7-zip"), QStringLiteral("winrar")})},
        {QStringLiteral("下载工具"),
         FragmentList({QStringLiteral("下载"), QStringLiteral("迅雷"), QStringLiteral("下载器")})},
        {QStringLiteral("输入法"), FragmentList({QStringLiteral("输入法"), QStringLiteral("拼音")})},
    };
    return table;
}

QString joinedNames(const QStringList& names)
{
    return names.join(QStringLiteral("、"));
}

// The columns of wmic's table, by where their titles stand in the header.
struct TableLayout
{
    bool valid = false;
    bool stateFirst = false;
};

TableLayout layoutOf(const QString& header)
{
    const int name = header.indexOf(nameColumn(), 0, Qt::CaseInsensitive);
    const int state = header.indexOf(stateColumn(), 0, Qt::CaseInsensitive);
    TableLayout layout;
    layout.valid = name >= 0 && state >= 0;
    layout.stateFirst = state < name;
    return layout;
}

} // namespace

void ConflictScanner::scanConflicts(ScanReportBundle& report) const
{
    addAntivirusFinding(report, antivirusNames());
    const QStringList installed = installedProgramNames();
    QStringList folded;
    folded.reserve(installed.size());
    for (const QString& name : installed)
        folded.append(win::foldCase(name));
    addOverlapFindings(report, installed, folded);
    addLowQualityFindings(report, folded);
}

QStringList ConflictScanner::antivirusNames()
{
    const QStringList arguments = {QStringLiteral("/namespace:\\\\root\\SecurityCenter2"), QStringLiteral("path"),
                                   QStringLiteral("AntiVirusProduct"), QStringLiteral("get"),
                                   nameColumn() + ',' + stateColumn()};
    const win::ProgramRun run = win::runProgram(QStringLiteral("wmic"), arguments, WmicWaitMs,
                                                win::StandardInput::Closed);
    return enabledProductsFromTable(win::fromLocal8Bit(run.standardOutput));
}

// wmic pads every column to its widest cell, so the header tells the order of
// the columns. The state is one number and the name may hold blanks; the
// number is therefore taken as the single word on its side of the row, which
// stays right even where a name in a double-byte code page shifts the padding.
QStringList ConflictScanner::enabledProductsFromTable(const QString& table)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList products;
    TableLayout layout;
    for (const QString& rawLine : table.split('\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        if (!layout.valid) {
            layout = layoutOf(line);
            continue;
        }
        QStringList words = line.split(blanks, Qt::SkipEmptyParts);
        if (words.size() < 2)
            continue;
        bool isNumber = false;
        const quint32 state = (layout.stateFirst ? words.takeFirst() : words.takeLast()).toUInt(&isNumber);
        const QString name = words.join(' ');
        if (isNumber && isEnabledProductState(state) && !products.contains(name))
            products.append(name);
    }
    return products;
}

QStringList ConflictScanner::installedProgramNames()
{
    QStringList names;
    forEachUninstallEntry([&names](const UninstallRoot&, const QString&, const win::RegistryKey& program) {
        const QString name = uninstallEntryText(program, QStringLiteral("DisplayName")).trimmed();
        if (!name.isEmpty())
            names.append(name);
    });
    return names;
}

void ConflictScanner::addAntivirusFinding(ScanReportBundle& report, const QStringList& products) const
{
    if (products.isEmpty())
        return;
    ConflictFinding finding;
    finding.category = QStringLiteral("antivirus");
    if (products.size() >= 2) {
        finding.title = QStringLiteral("检测到多个杀毒软件同时运行");
        finding.detail = joinedNames(products);
        finding.advice = QStringLiteral("建议只保留一款杀毒软件，避免相互冲突导致系统卡顿");
    } else {
        finding.title = QStringLiteral("检测到杀毒软件");
        finding.detail = products.first();
        finding.advice = QStringLiteral("如未安装杀毒软件请及时安装（Windows Defender 已内置）");
    }
    report.conflicts.append(finding);
}

void ConflictScanner::addOverlapFindings(ScanReportBundle& report, const QStringList& installed,
                                         const QStringList& folded) const
{
    for (const Family& family : families()) {
        QStringList members;
        for (int i = 0; i < installed.size(); ++i) {
            if (family.keywords.foundIn(folded.at(i)))
                members.append(installed.at(i));
        }
        if (members.size() < 3)
            continue;
        ConflictFinding finding;
        finding.category = QStringLiteral("overlap");
        finding.title = QStringLiteral("检测到 %1 个同类软件：%2").arg(members.size()).arg(family.name);
        finding.detail = joinedNames(members);
        finding.advice = QStringLiteral("同类软件过多可能互相冲突，建议精简至 1-2 个");
        report.conflicts.append(finding);
    }
}

void ConflictScanner::addLowQualityFindings(ScanReportBundle& report, const QStringList& folded) const
{
    const SignatureStore& store = SignatureStore::instance();
    if (!store.isLoaded())
        return;
    QVector<int> lowQuality;
    for (int index = 0; index < store.signatures().size(); ++index) {
        const AdwareSignature& sig = store.signatures().at(index);
        if (sig.category == QLatin1String("pup") && sig.riskLevel == QLatin1String("low") && !store.isWhitelisted(sig.id))
            lowQuality.append(index);
    }
    // One pass over the installed programs; a name that no signature knows
    // is ruled out at once.
    QVector<bool> installed(store.signatures().size(), false);
    for (const QString& name : folded) {
        if (!store.anySignatureHolds(&AdwareSignature::uninstallKeys, name))
            continue;
        for (int index : lowQuality) {
            if (!installed.at(index) && store.fragments(index, &AdwareSignature::uninstallKeys).foundIn(name))
                installed[index] = true;
        }
    }
    for (int index : lowQuality) {
        if (!installed.at(index))
            continue;
        const AdwareSignature& sig = store.signatures().at(index);
        ConflictFinding finding;
        finding.category = QStringLiteral("pup");
        finding.title = QStringLiteral("检测到低质量软件：%1").arg(sig.nameCn.isEmpty() ? sig.name : sig.nameCn);
        finding.detail = sig.description;
        finding.advice = QStringLiteral("该软件可能捆绑广告或拖慢系统，建议在控制面板卸载");
        report.conflicts.append(finding);
    }
}

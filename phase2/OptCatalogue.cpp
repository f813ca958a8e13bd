#include "phase2/OptCatalogue.h"

#include "common/DisplayText.h"
#include "common/EnvironmentPath.h"
#include "common/ProtectedFolders.h"
#include "common/StartupLocation.h"
#include "phase2/ProgramFolders.h"
#include "platform/FileSystem.h"

#include <QSet>
#include <optional>

namespace OptCatalogue {

namespace {

struct GroupText
{
    const char* icon;
    const char* title;
    const char* description;
};

const GroupText kGroups[GroupCount] = {
    {"⚙", "组一：系统服务深度优化（8项）", "这些 Windows 系统服务在大多数个人电脑上很少用到，停用可释放内存和后台CPU占用。请根据您是否使用相关设备决定。"},
    {"📋", "组二：系统日志与诊断瘦身（2项）", "Windows 默认保留大量诊断日志和事件记录，清理后不影响日常使用，但IT排查问题时可能需要历史日志。"},
    {"🌐", "组三：网络高级调优（1项）", "网络相关的进阶优化选项，效果因网络环境和运营商而异。"},
    {"💾", "组四：存储空间深度回收（2项）", "能释放数GB甚至数十GB磁盘空间，但会影响系统回滚能力，建议确认后再操作。"},
    {"🛡", "组五：开机自启深度管理", "比Tessaro更全面的开机自启分析。我们扫描了13个系统角落，按风险标注。您可以勾选不需要的启动项进行禁用。"},
    {"🧹", "组六：垃圾软件与广告程序", "检测到您电脑上可能安装了以下带有广告弹窗或捆绑行为的软件。卸载它们可以让电脑更干净、更快。"},
    {"🔍", "组七：软件冲突与优化建议", "检测到您电脑上的软件搭配可能存在一些\"小摩擦\"，这些建议可以帮助您的电脑更稳定。"},
};

struct FixedItem
{
    int group;  // 1 to 4
    const char* id;
    const char* name;
    const char* description;
    int riskLevel;
    const char* confirmType;
};

const FixedItem kFixedItems[] = {
    {1, "C13", "分布式链接追踪", "跨网络共享文件的快捷方式追踪，个人电脑几乎用不到", 0, ""},
    {1, "C10", "蜂窝网络服务", "4G/5G上网卡相关，WiFi上网不受影响", 0, ""},
    {1, "C11", "传感器服务", "屏幕自动旋转/亮度调节，台式机完全用不到", 0, ""},
    {1, "C14", "摄像头帧服务", "部分摄像头应用的视频预览，大多数聊天软件不受影响", 1, ""},
    {1, "C8", "蓝牙支持服务", "蓝牙鼠标/耳机/音箱等核心服务，无蓝牙设备可安全停用", 1, ""},
    {1, "C1", "Windows Search", "文件搜索改为手动模式，搜索功能仍在但首次稍慢", 1, ""},
    {1, "C12", "微软账户登录", "仅影响微软账户登录方式，本地账户不受影响", 1, ""},
    {1, "C9", "打印后台服务", "物理打印机和虚拟打印机（打印到PDF）均依赖此服务", 2, "C9"},
    {2, "F3", "磁盘诊断服务", "后台收集磁盘性能数据，日常使用不需要（HDD系统跳过）", 0, ""},
    {2, "A2", "事件日志大小限制", "限制Windows事件日志文件大小，节省数百MB空间", 1, "A2"},
    {3, "E1", "TCP自动调优", "优化网络传输参数，可能提升下载速度和网络响应", 0, ""},
    {4, "H3", "大文件扫描", "扫描磁盘中>100MB的大文件，仅报告位置和大小，不自动删除", 0, ""},
    {4, "H2", "系统还原点清理", "删除旧的系统还原点以释放空间，建议保留最近1个还原点", 2, "H2"},
};

OptGroup emptyGroup(int index)
{
    OptGroup group;
    group.icon = QString::fromUtf8(kGroups[index].icon);
    group.title = QString::fromUtf8(kGroups[index].title);
    return group;
}

OptItem placeholder(const char* name, const char* description)
{
    OptItem item;
    item.name = QString::fromUtf8(name);
    item.description = QString::fromUtf8(description);
    item.riskLabel = riskLabel(0);
    item.infoOnly = true;
    return item;
}

// Findings that would make an id a row already has add no second row: for a
// selectable row it is the same action (a policy value of one name in both
// policy keys is one executor item), and a shared id would let one tick
// select both rows.
class RowList
{
public:
    bool add(const OptItem& item)
    {
        if (m_ids.contains(item.id))
            return false;
        m_ids.insert(item.id);
        m_items.append(item);
        return true;
    }
    bool isEmpty() const { return m_items.isEmpty(); }
    int size() const { return m_items.size(); }
    QVector<OptItem> items() const { return m_items; }

private:
    QSet<QString> m_ids;
    QVector<OptItem> m_items;
};

OptItem hijackRow(const StartupFinding& finding)
{
    OptItem item;
    item.id = "HJ_" + finding.name;
    item.name = finding.name + "（劫持风险）";
    item.description = "这可能是恶意软件修改，建议寻求专业人员帮助。" + finding.command;
    item.riskLevel = 2;
    item.riskLabel = riskLabel(2);
    item.infoOnly = true;
    item.note = "⚠ 劫持风险";
    return item;
}

// An entry already switched off is shown as off, and not offered again. The
// id names the entry as the machine does (a Startup-folder file with its
// extension); the row names it as the user knows it.
OptItem disableRow(const StartupFinding& finding)
{
    const QVector<const StartupLocation*> locations = StartupLocation::ofFindingType(finding.type);
    const QString name = locations.isEmpty() ? finding.name : locations.first()->shownName(finding.name);
    OptItem item;
    item.id = QStringLiteral("ST:%1:%2").arg(QString::number(finding.type), finding.name);
    item.name = finding.disabled ? name + QStringLiteral("（已禁用）") : name;
    item.infoOnly = finding.disabled;
    item.description = finding.location + "：" + leftWhole(finding.command, 60);
    item.riskLevel = finding.riskLevel == 2 ? 2 : 1;
    item.riskLabel = finding.riskLabel;
    item.note = finding.riskLabel;
    return item;
}

int junkwareRiskLevel(const QString& text)
{
    if (text == QLatin1String("high"))
        return 2;
    if (text == QLatin1String("medium"))
        return 1;
    return 0;
}

OptItem junkwareRow(const JunkwareFinding& finding, const QString& displayName)
{
    OptItem item;
    item.id = "ADW_" + finding.id;
    item.name = displayName;
    const QString description = finding.description.isEmpty() ? QStringLiteral("该软件可能带广告或捆绑行为") : finding.description;
    item.description = QStringLiteral("检测维度：%1。%2").arg(finding.dimension, description);
    item.riskLevel = junkwareRiskLevel(finding.riskLevel);
    item.riskLabel = riskLabel(item.riskLevel);
    item.infoOnly = true;
    item.note = "🟠 已安装的可疑软件";
    return item;
}

OptItem residueRow(const JunkwareFinding& finding, const QString& displayName, const QStringList& leftovers)
{
    OptItem item;
    item.id = "RES:" + finding.id;
    item.name = displayName + " 残留文件";
    item.description = "检测到卸载残留：" + leftovers.join("、");
    item.riskLevel = 1;
    item.riskLabel = riskLabel(1);
    return item;
}

// The paths of a finding that its leftover row offers. A finding's evidence
// may name what is gone already (the folder of an uninstall entry whose
// program was removed), and what an installed or running program still uses
// is no leftover: the run would keep it. Neither is offered, and a row with
// nothing left to clean is not offered at all. The programs' folders are
// read once, at the first path that is on disk.
class LeftoverPaths
{
public:
    explicit LeftoverPaths(Leftovers source) : m_source(source) {}
    LeftoverPaths(const LeftoverPaths&) = delete;
    LeftoverPaths& operator=(const LeftoverPaths&) = delete;

    QStringList of(const JunkwareFinding& finding)
    {
        if (m_source == Leftovers::AsReported)
            return finding.evidence;
        QStringList leftovers;
        for (const QString& entry : finding.evidence) {
            const QString path = expandEnvironmentPath(entry);
            if (win::pathExists(path) && programs().userOf(path).isEmpty())
                leftovers << entry;
        }
        return leftovers;
    }

private:
    const ProgramFolders& programs()
    {
        if (!m_programs) {
            m_rule.emplace();
            m_programs.emplace(*m_rule);
        }
        return *m_programs;
    }

    Leftovers m_source;
    std::optional<ProtectedFolders> m_rule;
    std::optional<ProgramFolders> m_programs;   // refers to m_rule
};

OptItem conflictRow(const ConflictFinding& finding, int number)
{
    const bool antivirus = finding.category == QLatin1String("antivirus");
    OptItem item;
    item.id = QStringLiteral("FAM_%1_%2").arg(finding.category, QString::number(number));
    item.name = finding.title;
    // A detail that already ends its sentence gets no second full stop.
    const QString stop = finding.detail.endsWith(QStringLiteral("。")) ? QString() : QStringLiteral("。");
    item.description = finding.detail + stop + finding.advice;
    item.riskLevel = antivirus ? 2 : 1;
    item.riskLabel = riskLabel(item.riskLevel);
    item.infoOnly = true;
    return item;
}

} // namespace

QString riskLabel(int riskLevel)
{
    switch (riskLevel) {
    case 0: return QStringLiteral("💡 轻微");
    case 1: return QStringLiteral("⚠ 轻度");
    default: return QStringLiteral("⚠ 中度");
    }
}

QVector<OptGroup> fixedGroups()
{
    QVector<OptGroup> groups;
    for (int index = 0; index < GroupCount; ++index) {
        groups.append(emptyGroup(index));
        groups[index].description = QString::fromUtf8(kGroups[index].description);
    }
    for (const FixedItem& fixed : kFixedItems) {
        OptItem item;
        item.id = QString::fromUtf8(fixed.id);
        item.name = QString::fromUtf8(fixed.name);
        item.description = QString::fromUtf8(fixed.description);
        item.riskLevel = fixed.riskLevel;
        item.riskLabel = riskLabel(fixed.riskLevel);
        item.confirmType = QString::fromUtf8(fixed.confirmType);
        groups[fixed.group - 1].items.append(item);
    }
    return groups;
}

OptGroup startupGroup(const QVector<StartupFinding>& findings)
{
    OptGroup group = emptyGroup(StartupGroup);
    RowList rows;
    for (const StartupFinding& finding : findings) {
        if (finding.hijacked)
            rows.add(hijackRow(finding));
    }
    int recommended = 0;
    for (const StartupFinding& finding : findings) {
        if (!finding.hijacked && finding.canDisable && finding.riskLevel >= 1 && rows.add(disableRow(finding))
            && !finding.disabled)
            ++recommended;
    }
    if (rows.isEmpty())
        rows.add(placeholder("未发现明显异常", "扫描未发现需要处理的开机自启项。"));
    group.items = rows.items();
    group.description = QStringLiteral("共扫描 %1 个自启项，其中 %2 项建议优化。").arg(findings.size()).arg(recommended);
    return group;
}

OptGroup junkSoftwareGroup(const QVector<JunkwareFinding>& findings, Leftovers source)
{
    OptGroup group = emptyGroup(JunkSoftwareGroup);
    RowList rows;
    LeftoverPaths leftoverPaths(source);
    for (const JunkwareFinding& finding : findings) {
        const QString displayName = finding.nameCn.isEmpty() ? finding.name : finding.nameCn;
        rows.add(junkwareRow(finding, displayName));
        const QStringList leftovers = leftoverPaths.of(finding);
        if (!leftovers.isEmpty())
            rows.add(residueRow(finding, displayName, leftovers));
    }
    if (rows.isEmpty())
        rows.add(placeholder("未发现垃圾软件", "未检测到特征库中的垃圾软件。"));
    group.items = rows.items();
    group.description = QStringLiteral("检测到 %1 款可疑软件。卸载请到控制面板完成，本工具可清理勾选的残留文件。").arg(findings.size());
    return group;
}

OptGroup conflictGroup(const QVector<ConflictFinding>& findings)
{
    OptGroup group = emptyGroup(ConflictGroup);
    RowList rows;
    for (const ConflictFinding& finding : findings)
        rows.add(conflictRow(finding, rows.size()));
    if (rows.isEmpty())
        rows.add(placeholder("未发现明显冲突", "未检测到软件冲突或低质量软件。"));
    group.items = rows.items();
    group.description = QStringLiteral("共 %1 条建议，全部仅提示，不自动修改。").arg(findings.size());
    return group;
}

} // namespace OptCatalogue

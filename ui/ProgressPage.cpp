#include "ui/ProgressPage.h"

#include "ui/CachedTextLabel.h"
#include "ui/CircularProgressBar.h"
#include "ui/SphereTagCloud.h"
#include "ui_ProgressPage.h"
#include "uikit/ThemePalette.h"

#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QStyleOption>
#include <QTimer>

namespace {

// The dark and the light theme share their sizes; the warm one has larger
// controls. The colours are each theme's roles.
const char* const kStandardSheet =
    "QWidget#ProgressPage { background: @page; }"
    "QLabel#stepTitle { font-size: 20px; font-weight: bold; color: @text; }"
    "QLabel#stepDesc { font-size: 14px; color: @textSecondary; }"
    "QLabel#tipLabel { font-size: 13px; color: @textMuted; background: @tipFill; border-radius: 12px; padding: 10px 16px; }"
    "QLabel#centerPercent { color: @text; }";

const char* const kWarmSheet =
    "QWidget#ProgressPage { background: @page; }"
    "QLabel#stepTitle { font-size: 24px; font-weight: bold; color: @text; }"
    "QLabel#stepDesc { font-size: 16px; color: @textSecondary; }"
    "QLabel#tipLabel { font-size: 15px; color: @textSecondary; background: @tipFill; border-radius: 16px; padding: 12px 20px; }"
    "QLabel#centerPercent { color: @text; }";

const char* const kPageSheets[] = {kStandardSheet, kWarmSheet, kStandardSheet};

enum TagState { Pending = 0, Current = 1, Previous = 2, Done = 3 };

} // namespace

ProgressPage::ProgressPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ProgressPage>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground, true);

    ring = new CircularProgressBar(ui->circularContainer);
    ring->setPenWidth(16);
    ring->setGeometry(0, 0, 420, 420);

    cloud = new SphereTagCloud(ui->circularContainer);
    cloud->setGeometry(20, 20, 380, 380);

    // Over the turning sphere it is painted some thirty times a second.
    auto* centerPercent = new CachedTextLabel("0%", ui->circularContainer);
    centerPercent->setObjectName("centerPercent");
    centerPercent->setAlignment(Qt::AlignCenter);
    centerPercent->setFont(QFont("Microsoft YaHei", 56, QFont::Bold));
    centerPercent->setGeometry(110, 150, 200, 120);
    centerPercent->setAttribute(Qt::WA_TransparentForMouseEvents);

    initTagCloud();
    steps = {
        {"🔍 正在检查您的电脑...", "看看是什么系统版本，检查电源和磁盘...", "优化过程安全无毒，请放心。"},
        {"🔍 正在帮您找没用的文件", "正在扫描电脑里的垃圾文件...", "上网看视频留下的临时文件，清理了不影响您的东西。"},
        {"⚡ 正在关掉后台偷偷跑的程序", "把占着内存不用的程序关掉", "您正在用的程序不会关，放心。"},
        {"⚡ 正在帮您把电脑调到最顺手", "关掉没用的特效，让电脑反应更快", "桌面和文件不会变，只是反应更快。"},
        {"🔍 正在保护您的隐私设置", "关掉不必要的隐私选项和广告追踪", "不会读取您的个人文件和浏览记录。"},
        {"⚡ 正在给硬盘提速，打开文件更快", "整理硬盘，让打开文件和软件更快", "不会删您的照片和文件。"},
        {"⚡ 正在关掉开机自动跑的没用软件", "看看哪些软件一开机就自己启动占资源", "关掉后开机更快，想用的时候再点开就行。"},
    };
}

ProgressPage::~ProgressPage() = default;

void ProgressPage::initTagCloud()
{
    keywords = {"垃圾文件", "临时文件", "上网垃圾", "更新缓存", "图片缓存",
                "错误日志", "闲置内存", "后台程序", "无用特效", "不用服务",
                "系统广告", "无用数据", "开机自启", "磁盘整理", "硬盘提速",
                "预读文件", "安装包", "旧驱动", "内存垃圾", "错误报告"};
    for (const QString& keyword : qAsConst(keywords))
        cloud->addTag(keyword);
    clearLighting();
}

void ProgressPage::clearLighting()
{
    cloud->resetStates();
    litCount = 0;
}

void ProgressPage::setCenterText(const QString& text)
{
    if (auto* label = findChild<CachedTextLabel*>("centerPercent"))
        label->setText(text);
}

// The engine's step index and percentage may fall back (its startup count
// reports up to 99 % before the next step starts again at 92 %), so lighting
// only ever moves forward and a repeated step keeps its row.
void ProgressPage::onProgressUpdate(int step, int percent, const QString& statusText)
{
    ring->setValue(percent);
    setCenterText(QString::number(percent) + "%");

    const int n = keywords.size();
    lightKeywordsUpTo(qMin(n * percent / 100, n - 1));

    if (step != currentStep) {
        currentStep = step;
        showStep(step);
    }
    if (!statusText.isEmpty())
        ui->stepTitle->setText(statusText);
}

void ProgressPage::lightKeywordsUpTo(int target)
{
    while (litCount <= target && litCount < keywords.size()) {
        for (int i = 0; i <= litCount - 2; ++i)
            cloud->setTagState(i, Done);
        if (litCount > 0)
            cloud->setTagState(litCount - 1, Previous);
        cloud->setTagState(litCount, Current);
        ++litCount;
    }
}

void ProgressPage::showStep(int index)
{
    if (index < 0 || index >= steps.size())
        return;
    ui->stepTitle->setText(steps[index].title);
    ui->stepDesc->setText(steps[index].desc);
    ui->tipLabel->setText(steps[index].tip);
}

void ProgressPage::onOptimizationDone()
{
    ring->setValue(100);
    setCenterText("100%");
    for (int i = 0; i < keywords.size(); ++i)
        cloud->setTagState(i, Done);
    ui->stepTitle->setText("优化完成啦！");
    ui->stepDesc->setText("电脑已经帮您收拾好了，现在用起来更流畅。");
    ui->tipLabel->setText("建议您每隔一两个星期就点一次，电脑一直好用。");
    QTimer::singleShot(1200, this, &ProgressPage::optimizationFinished);
}

// Called each time the window raises the page for a new run, so it is also
// where the previous run's lighting is cleared.
void ProgressPage::setTheme(int theme)
{
    if (ThemePalette::isTheme(theme)) {
        const ThemePalette& palette = ThemePalette::of(theme);
        ring->setProgressColor(QColor(palette.colour("accent")));
        ring->setTrackColor(QColor(palette.colour("ringTrack")));
        ring->setTextColor(QColor(palette.colour("text")));
        // Themed again at each run's start: a sheet it has already is not
        // set again.
        if (auto* label = findChild<QLabel*>("centerPercent"))
            ThemePalette::setSheet(label, palette.sheet("color: @text;"));
        ThemePalette::setSheet(this, palette.sheet(kPageSheets[theme]));
        // Every theme's background is solid, so the page paints each of its
        // pixels: the home screen beneath then needs no repainting whenever
        // the sphere moves, some thirty times a second.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    clearLighting();
}

// An opaque page gets no background from the toolkit; it draws the one its
// style sheet gives, as the toolkit would have.
void ProgressPage::paintEvent(QPaintEvent*)
{
    if (!testAttribute(Qt::WA_OpaquePaintEvent))
        return;
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

#include "moc_ProgressPage.cpp"

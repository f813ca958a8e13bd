#include "engine/MockOptimizeCore.h"

#include <QTimer>

namespace {

struct CannedRow
{
    int step;
    int percent;
    const char* text;
};

// One row per tick while the environment is checked...
const CannedRow kCheckRows[] = {
    {-1, 0, "正在检查您的电脑..."},
    {-1, 0, "看看是什么系统版本..."},
    {-1, 0, "检查电源和磁盘..."},
    {-1, 0, "准备开始优化啦..."},
    {0, 5, "准备好啦，开始帮您收拾电脑..."},
};

// ...and while the work steps run; the last row ends the run.
const CannedRow kWorkRows[] = {
    {0, 15, "正在找没用的垃圾文件..."},
    {1, 30, "正在清理上网留下的垃圾..."},
    {2, 50, "正在关掉后台偷偷跑的程序..."},
    {3, 70, "正在把电脑调到最顺手..."},
    {4, 85, "正在给硬盘提速..."},
    {5, 95, "正在看看哪些软件开机自己跑..."},
    {6, 100, "收拾完啦！"},
};

constexpr int kCheckRowCount = int(sizeof kCheckRows / sizeof kCheckRows[0]);
constexpr int kWorkRowCount = int(sizeof kWorkRows / sizeof kWorkRows[0]);

} // namespace

MockOptimizeCore::MockOptimizeCore(QObject* parent)
    : QObject(parent)
    , timer(new QTimer(this))
{
    timer->setInterval(800);
    connect(timer, &QTimer::timeout, this, &MockOptimizeCore::nextStep);
}

void MockOptimizeCore::startOptimize()
{
    currentStep = 0;
    checkStep = 0;
    optimizing = false;
    emit progressUpdated(-1, 0, tr("正在检查系统环境..."));
    timer->start();
}

void MockOptimizeCore::nextStep()
{
    if (optimizing)
        nextWorkRow();
    else
        nextCheckRow();
}

void MockOptimizeCore::nextCheckRow()
{
    ++checkStep;
    if (checkStep > kCheckRowCount)
        return;
    const CannedRow& row = kCheckRows[checkStep - 1];
    if (checkStep == kCheckRowCount) {
        optimizing = true;
        currentStep = 0;
    }
    emit progressUpdated(row.step, row.percent, tr(row.text));
}

void MockOptimizeCore::nextWorkRow()
{
    ++currentStep;
    if (currentStep > kWorkRowCount)
        return;
    const CannedRow& row = kWorkRows[currentStep - 1];
    if (currentStep == kWorkRowCount)
        timer->stop();
    emit progressUpdated(row.step, row.percent, tr(row.text));
    if (currentStep == kWorkRowCount)
        emit optimizationFinished(cleanedMB, freedMemoryMB, junkFilesCount, startupFasterSeconds, startupItemsCount);
}

#include "moc_MockOptimizeCore.cpp"

#include "ui/Velantrix.h"

#include "common/PrinterList.h"
#include "phase2/GroupCard.h"
#include "phase2/Phase2Executor.h"
#include "phase2/Phase2Page.h"
#include "phase2/Phase2ProgressDialog.h"
#include "phase2/RestorePointList.h"
#include "ui/PlainMessageBox.h"
#include "ui/ResultPage.h"
#include "ui_Velantrix.h"
#include "uikit/KeyboardFocus.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QThread>

// The deep optimisation: the page's buttons, the confirmations its items
// ask for, and the executor thread.

void Velantrix::onPhase2Clicked()
{
    resultPage->hide();
    phase2Page->setGeometry(ui->contentWidget->rect());
    phase2Page->setTheme(theme);
    phase2Page->setVisible(true);
    phase2Page->raise();
    focusFirstControl(phase2Page);
}

void Velantrix::onCardClicked(int groupIndex)
{
    resultPage->hide();
    showPage(phase2Page);
    // The keyboard goes to the group asked for, not to the search box above
    // a list that Tab would then scroll back to its top.
    if (GroupCard* card = phase2Page->card(groupIndex))
        focusFirstControl(card);
    phase2Page->scrollToGroup(groupIndex);
}

void Velantrix::onPhase2Skip()
{
    phase2Page->hide();
    resultPage->hide();
}

// The confirm type decides what is asked. An item runs only with an answer
// the user gave: a cancelled question, or one that could not be asked,
// leaves the item unticked.
void Velantrix::onSpecialConfirmRequested(QString itemId, QString confirmType)
{
    bool answered = true;
    if (confirmType == QLatin1String("H2"))
        answered = askRestorePointsToKeep();
    else if (confirmType == QLatin1String("A2"))
        answered = askEventLogLimit();
    if (!answered)
        phase2Page->untick(itemId);
}

// The count shown is read the way the pruning reads it, so the user chooses
// from the number of points the run will find; a list that cannot be read
// (no wmic, as on a fresh Windows 11 24H2) is never taken for no points.
bool Velantrix::askRestorePointsToKeep()
{
    RestorePointList points;
    const RestorePointList::Reading reading = points.load();
    if (reading != RestorePointList::Reading::Whole) {
        QMessageBox::information(this, tr("系统还原点清理"), reading == RestorePointList::Reading::Failed
                                                                  ? tr("未能读取系统还原点列表，无法清理。")
                                                                  : tr("未能完整读取系统还原点列表，无法清理。"));
        return false;
    }
    if (points.count() == 0) {
        QMessageBox::information(this, tr("系统还原点清理"), tr("未检测到系统还原点，无需清理。"));
        return false;
    }
    bool ok = false;
    const QString question = tr("检测到 %1 个还原点。\n请选择要保留的还原点数量（1-5）：\n建议保留最近 1-3 个。");
    const int keep = QInputDialog::getInt(this, tr("系统还原点清理"), question.arg(points.count()), 1, 1, 5, 1, &ok);
    if (ok)
        h2KeepN = keep;
    return ok;
}

bool Velantrix::askEventLogLimit()
{
    const QStringList sizes{"128 MB", "256 MB", "512 MB", "1 GB"};
    const int limitsMB[] = {128, 256, 512, 1024};
    bool ok = false;
    const QString size = QInputDialog::getItem(this, tr("事件日志大小限制"),
                                               tr("请选择系统日志的最大大小限制：\n超出此大小的旧日志将被自动清理。"),
                                               sizes, 1, false, &ok);
    const int index = sizes.indexOf(size);
    if (ok)
        a2SizeMB = index >= 0 ? limitsMB[index] : 1024;
    return ok;
}

void Velantrix::onPhase2Execute()
{
    const QVector<OptItem> items = phase2Page->selectedItems();
    if (items.isEmpty()) {
        QMessageBox::information(this, tr("提示"), tr("请先勾选要执行的优化项。"));
        return;
    }
    for (const OptItem& item : items) {
        if (item.id == QLatin1String("C9") && item.confirmType == QLatin1String("C9")
            && !confirmPrinterSpoolerStop())
            return;
    }
    executePhase2(items);
}

bool Velantrix::confirmPrinterSpoolerStop()
{
    QString printers = formatPrinterList();
    if (printers.isEmpty())
        printers = tr("（未检测到打印机）");
    const BoxList list = boxList(printers);
    return plainMessage(this, QMessageBox::Warning, tr("打印后台服务"), tr("检测到您安装了以下打印机：\n%1\n\n停用打印后台服务后，这些打印功能将不可用（打印到PDF、物理打印等）。\n确定停用吗？").arg(list.shown),
                        QMessageBox::Yes | QMessageBox::No, list.details)
           == QMessageBox::Yes;
}

QString Velantrix::formatPrinterList() const
{
    QStringList lines;
    for (const QString& name : installedPrinterNames())
        lines.append(tr("• %1").arg(name));
    return lines.join('\n');
}

void Velantrix::executePhase2(const QVector<OptItem>& items)
{
    // Demo mode shows what the program looks like; it never acts on the machine.
    if (demoMode) {
        QMessageBox::information(this, tr("提示"), tr("演示模式下不会对电脑做任何修改。"));
        return;
    }
    if (phase2Thread) {
        showPhase2Progress();
        return;
    }
    if (coreThread)
        return;
    phase2Page->hide();
    if (!phase2ProgressDialog)
        phase2ProgressDialog = new Phase2ProgressDialog(this);
    phase2ProgressDialog->setTheme(theme);
    phase2ProgressDialog->onProgress(0, tr("准备执行..."));
    phase2ProgressDialog->show();
    stopPhase2Thread();

    auto* thread = new QThread(this);
    auto* executor = new Phase2Executor(nullptr);
    phase2Thread = thread;
    phase2Executor = executor;
    // The executor gets its own copies, taken now; with the executor as its
    // context the run starts in the worker thread.
    const ScanReportBundle report = phase2Page->scanReport();
    const int keepPoints = h2KeepN;
    const int logLimitMB = a2SizeMB;
    connect(thread, &QThread::started, executor,
            [executor, items, report, keepPoints, logLimitMB] { executor->execute(items, report, keepPoints, logLimitMB); });
    // Only the thread's end may free the executor and the thread.
    connect(thread, &QThread::finished, executor, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(executor, &Phase2Executor::progressUpdated, phase2ProgressDialog, &Phase2ProgressDialog::onProgress);
    connect(executor, &Phase2Executor::finished, this, &Velantrix::onPhase2Finished);
    connect(executor, &Phase2Executor::errorOccurred, this, &Velantrix::onPhase2Error);
    executor->moveToThread(thread);
    thread->start();
}

void Velantrix::onPhase2Finished(const QString& summary)
{
    phase2ProgressDialog->onFinished(summary);
    phase2ProgressDialog->hide();
    stopPhase2Thread();
    const BoxList results = boxList(summary);
    plainMessage(this, QMessageBox::Information, tr("优化完成"), tr("您的电脑已经完成优化！\n\n") + results.shown,
                 QMessageBox::Ok, results.details);
    resultPage->hide();
    showFeedbackPage(thanksPage);
}

void Velantrix::onPhase2Error(const QString& msg)
{
    plainMessage(this, QMessageBox::Critical, tr("执行出错"), msg, QMessageBox::Ok);
    phase2ProgressDialog->hide();
    stopPhase2Thread();
}

// The dialog takes the theme each time it opens, also when it comes back
// over a run after the theme changed.
void Velantrix::showPhase2Progress()
{
    if (!phase2ProgressDialog)
        return;
    phase2ProgressDialog->setTheme(theme);
    phase2ProgressDialog->show();
    phase2ProgressDialog->raise();
}

void Velantrix::stopPhase2Thread()
{
    if (phase2Thread) {
        phase2Thread->quit();
        // A thread still busy after the wait must outlive the window: it
        // deletes itself once it ends (see executePhase2).
        if (!phase2Thread->wait(3000))
            phase2Thread->setParent(nullptr);
        phase2Thread = nullptr;
    }
    phase2Executor = nullptr;
}

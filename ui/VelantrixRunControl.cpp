#include "ui/Velantrix.h"

#include "engine/OptimizeCore.h"
#include "phase2/Phase2Executor.h"
#include "phase2/Phase2Page.h"
#include "phase2/Phase2ProgressDialog.h"
#include "ui/EulaDialog.h"
#include "ui/ProgressPage.h"
#include "ui/ResultPage.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

// The optimisation run: the engine thread from the start button to the
// result page, and closing the window while a worker runs.

void Velantrix::onStartOptimize()
{
    // The start button lies under the progress page during a run, and under
    // the progress dialog of the deep optimisation, but keeps the keyboard
    // focus, and the dialog can be closed while its run goes on: no second
    // run may start beside either.
    if (phase2Thread) {
        showPhase2Progress();
        return;
    }
    if (coreThread)
        return;
    if (demoMode) {
        showDemoResults();
        return;
    }
    if (!EulaDialog::isAccepted()) {
        EulaDialog dialog(this);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    startOptimization();
}

void Velantrix::startOptimization()
{
    showPage(progressPage);

    auto* thread = new QThread(this);
    coreThread = thread;
    core = new OptimizeCore(nullptr);
    connect(thread, &QThread::started, core, &OptimizeCore::startOptimize);
    // Only the thread's end may free the engine and the thread: deleting
    // either while it runs would abort the program.
    connect(thread, &QThread::finished, core, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(core, &OptimizeCore::progressUpdated, progressPage, &ProgressPage::onProgressUpdate);
    connect(core, &OptimizeCore::optimizationFinished, this, &Velantrix::onCoreFinished);
    connect(core, &OptimizeCore::errorOccurred, this, &Velantrix::onCoreError);
    core->moveToThread(thread);
    thread->start();
}

void Velantrix::onCoreFinished()
{
    progressPage->onOptimizationDone();
}

void Velantrix::onCoreError(const QString& errorMsg)
{
    QMessageBox::critical(this, tr("优化失败"), errorMsg, QMessageBox::Ok);
    progressPage->hide();
    stopCoreThread();
}

void Velantrix::onOptimizationFinished()
{
    progressPage->hide();
    showResults();
}

void Velantrix::showResults()
{
    showPage(resultPage);
    if (core) {
        resultPage->setResults(core->cleanedMB(), core->freedMemoryMB(), core->junkFilesCount(),
                               core->startupFasterSeconds(), core->startupItemsCount());
        resultPage->setPhase2Data(core->scanReport());
        phase2Page->setReport(core->scanReport());
    } else {
        resultPage->setResults(0, 0, 0, 0, 0);
    }
    stopCoreThread();
}

void Velantrix::stopCoreThread()
{
    if (coreThread) {
        coreThread->requestInterruption();
        coreThread->quit();
        // A thread still busy after the wait must outlive the window: it
        // deletes itself once it ends (see startOptimization).
        if (!coreThread->wait(3000))
            coreThread->setParent(nullptr);
        coreThread = nullptr;
    }
    core = nullptr;
}

// Closing during a run hides the window at once but lets the engine finish
// the step it is in; the program ends when the engine thread has ended.
void Velantrix::closeEvent(QCloseEvent* event)
{
    if (!coreThread && !phase2Thread) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    hide();
    interruptRunAndClose();
}

void Velantrix::interruptRunAndClose()
{
    if (core) {
        disconnect(core, nullptr, this, nullptr);
        disconnect(core, nullptr, progressPage, nullptr);
        core = nullptr;
    }
    // The deep optimisation cannot be interrupted: its items run to the end,
    // with nobody left to show the summary to.
    if (phase2Executor) {
        disconnect(phase2Executor, nullptr, this, nullptr);
        disconnect(phase2Executor, nullptr, phase2ProgressDialog, nullptr);
        phase2Executor = nullptr;
    }
    if (phase2ProgressDialog)
        phase2ProgressDialog->hide();
    for (QThread* thread : {coreThread.data(), phase2Thread.data()}) {
        if (!thread)
            continue;
        connect(thread, &QThread::finished, this, &Velantrix::quitOnceWorkersEnded);
        thread->requestInterruption();
        thread->quit();
    }
}

// The hidden window no longer counts as closing for Qt, so the quit that
// closing the last window would bring is asked for here.
void Velantrix::quitOnceWorkersEnded()
{
    for (QThread* thread : {coreThread.data(), phase2Thread.data()}) {
        if (thread && thread->isRunning())
            return;
    }
    stopCoreThread();
    stopPhase2Thread();
    QCoreApplication::quit();
}

#pragma once

#include "phase2/OptItem.h"

#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

namespace Ui { class Velantrix; }
class AboutDialog;
class FeedbackPage;
class ImageDialog;
class OptimizeCore;
class Phase2Executor;
class Phase2Page;
class Phase2ProgressDialog;
class ProgressPage;
class QNetworkAccessManager;
class QrCodeDialog;
class QThread;
class ResultPage;

// The frameless main window: the home screen with its start button, the pages
// laid over it, the three themes, and the one place that decides what a click
// leads to and which worker runs.
class Velantrix : public QWidget
{
    Q_OBJECT

public:
    explicit Velantrix(QWidget* parent = nullptr);
    ~Velantrix() override;

    static bool isDemoArgument(const QStringList& arguments);
    // The size the window keeps, in its own pixels; the display scaling
    // makes it fit the screen.
    static constexpr QSize fixedWindowSize() { return {860, 680}; }

    bool isDemoMode() const { return demoMode; }
    int currentTheme() const { return theme; }
    void setTheme(int theme);
    // Asks the update endpoint once; the window calls it 1500 ms after it is
    // first shown, outside demo mode.
    void checkForUpdate();

private slots:
    void onStartOptimize();
    void onOptimizationFinished();
    void onResultPageFinish();
    void onResultPageHelpful();
    void onResultPageAverage();
    void onNetFixClicked();
    void onRemoteClicked();
    void onToolsClicked();
    void onRuntimeClicked();
    void onMinClicked();
    void onCloseClicked();
    void onWebsiteClicked();
    void onAboutClicked();
    void oniconClicked();
    void onPhase2Clicked();
    void onCardClicked(int groupIndex);
    void onSpecialConfirmRequested(QString itemId, QString confirmType);
    void onUpdateCheckFinished();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectButtons();
    void setUpWindow();
    void setUpButtons();
    void createPages();
    void placeFooterLast();
    template <class Page> void showPage(Page* page);
    void fitStartButton();
    QList<QWidget*> pages() const;
    void updateCoveredControls();
    void showFeedbackPage(FeedbackPage* page);
    void closeFeedbackPage(FeedbackPage* page);
    void showImage(const QString& path);
    void openToolFolder(const QString& relativeFolder);

    // VelantrixThemes.cpp
    void applyTheme(int theme);
    void applyButtonStyles();
    QString darkStyleSheet() const;
    QString warmStyleSheet() const;
    QString lightStyleSheet() const;

    // VelantrixRunControl.cpp, and the demo in VelantrixDemoData.cpp
    void startOptimization();
    void onCoreFinished();
    void onCoreError(const QString& errorMsg);
    void showResults();
    void showDemoResults();
    void stopCoreThread();
    void interruptRunAndClose();
    void quitOnceWorkersEnded();

    // VelantrixPhase2Control.cpp
    void onPhase2Skip();
    void onPhase2Execute();
    bool askRestorePointsToKeep();
    bool askEventLogLimit();
    void executePhase2(const QVector<OptItem>& items);
    void onPhase2Finished(const QString& summary);
    void onPhase2Error(const QString& msg);
    void showPhase2Progress();
    void stopPhase2Thread();
    bool confirmPrinterSpoolerStop();
    QString formatPrinterList() const;

    // VelantrixUpdateCheck.cpp
    void loadUpdaterConfig();
    void launchUpdater();

    std::unique_ptr<Ui::Velantrix> ui;
    ProgressPage* progressPage = nullptr;
    ResultPage* resultPage = nullptr;
    FeedbackPage* thanksPage = nullptr;
    FeedbackPage* serviceCardPage = nullptr;
    Phase2Page* phase2Page = nullptr;
    QPointer<OptimizeCore> core;
    QPointer<QThread> coreThread;
    QPointer<Phase2Executor> phase2Executor;
    QPointer<QThread> phase2Thread;
    Phase2ProgressDialog* phase2ProgressDialog = nullptr;
    QrCodeDialog* qrCodeDialog = nullptr;  // re-themed if present; never made here
    AboutDialog* aboutDialog = nullptr;
    ImageDialog* imageDialog = nullptr;
    bool dragging = false;
    QPoint dragOffset;
    int h2KeepN = 1;
    int a2SizeMB = 256;
    bool demoMode = false;
    QNetworkAccessManager* networkManager = nullptr;
    QString updateUrl;
    QString deviceCode = "1";
    bool updateCheckScheduled = false;
    bool placedOnScreen = false;
    int theme = 2;
};

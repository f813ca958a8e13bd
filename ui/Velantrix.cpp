#include "ui/Velantrix.h"

#include "common/DisplayText.h"
#include "common/PrinterList.h"
#include "engine/OptimizeCore.h"
#include "phase2/GroupCard.h"
#include "phase2/Phase2Executor.h"
#include "phase2/Phase2Page.h"
#include "phase2/Phase2ProgressDialog.h"
#include "phase2/RestorePointList.h"
#include "platform/Desktop.h"
#include "ui/AboutDialog.h"
#include "ui/BoundedReplyReader.h"
#include "ui/DisplayScaling.h"
#include "ui/EulaDialog.h"
#include "ui/FeedbackPage.h"
#include "ui/ImageDialog.h"
#include "ui/ProgressPage.h"
#include "ui/QrCodeDialog.h"
#include "ui/ResultPage.h"
#include "ui/UpdateCheck.h"
#include "ui_Velantrix.h"
#include "uikit/KeyboardFocus.h"
#include "uikit/ThemePalette.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QIcon>
#include <QInputDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QScreen>
#include <QScopedPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

// The sizes in which the three window sheets differ; the rules are shared,
// and their colours are the theme's.
struct WindowSizes
{
    const char* barBorder;
    const char* safety;
    const char* title;
    const char* subtitle;
    const char* tip;
    const char* footerName[2];  // size, weight
    const char* footerVersion;
};

const WindowSizes kWindowSizes[] = {
    {"1px", "12px", "32px", "15px", "13px", {"12px", "500"}, "10px"},
    {"2px", "14px", "36px", "17px", "15px", {"13px", "600"}, "11px"},
    {"1px", "12px", "32px", "15px", "13px", {"12px", "500"}, "10px"},
};

QString windowSheet(int theme)
{
    const WindowSizes& s = kWindowSizes[theme];
    return ThemePalette::of(theme).sheet(QStringList{
        R"(* { font-family: "Microsoft YaHei"; })",
        "Velantrix { background: @page; }",
        "QWidget#contentWidget { background: transparent; }",
        QString("#titleBar { background: @bar; border-bottom: %1 solid @border; }").arg(s.barBorder),
        QString("#safetyLabel { color: @safetyText; font-size: %1; font-weight: 600; }").arg(s.safety),
        "#appIcon { margin-top: 32px; }",
        QString("#titleLabel { color: @accent; font-size: %1; font-weight: 800; margin-top: 16px; }").arg(s.title),
        QString("#subtitleLabel { color: @textSecondary; font-size: %1; font-weight: 400; margin-top: 8px; }").arg(s.subtitle),
        QString("#tipLabel { color: @textMuted; font-size: %1; margin-top: 14px; }").arg(s.tip),
        QString("#footerBar { background: @bar; border-top: %1 solid @border; }").arg(s.barBorder),
        QString("#footerName { color: @text; font-size: %1; font-weight: %2; }").arg(s.footerName[0], s.footerName[1]),
        QString("#footerVersion { color: @textMuted; font-size: %1; }").arg(s.footerVersion),
    }.join('\n'));
}

// The six button sheets of one theme.
struct ButtonSheets
{
    QString start, mode, currentMode, tool, footer, close;
};

// Each button styles itself, so each sheet carries its focus mark.
ButtonSheets buttonSheets(int theme)
{
    const QString start = "QPushButton{background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep);"
                          "color:@onAccent;font-size:%1;font-weight:600;border:none;border-radius:%2;padding:%3;}"
                          "QPushButton:hover{background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent);}"
                          "QPushButton:pressed{background:@accentPressed;}";
    const QString mode = "QPushButton{color:@textSecondary;background:@buttonFill;border:%1 solid @fieldBorder;"
                         "border-radius:%2;padding:%3;font-size:%4;}"
                         "QPushButton:hover{background:@hoverFill;border-color:@hoverBorder;color:@text;}";
    const QString current = "QPushButton{background:@accent;color:@onAccent;border:%1 solid @accent;border-radius:%2;"
                            "padding:%3;font-size:%4;font-weight:600;}";
    // Buttons sized by their text keep the focus ring's room in a border
    // that shows nothing, so the ring never cuts the text.
    const QString tool = "QPushButton{background:transparent;color:@textSecondary;border:2px solid transparent;border-radius:8px;"
                         "font-size:%1;padding:6px 14px;}QPushButton:hover{background:@toolHover;color:@accent;}";
    const QString bar = "QPushButton{background:transparent;color:@textSecondary;border:2px solid transparent;border-radius:8px;min-width:%1;"
                        "min-height:%2;font-size:%3;}QPushButton:hover{background:%4;color:%5;}";
    ButtonSheets sheets;
    switch (theme) {
    case 0:
        sheets = {start.arg("16px", "12px", "14px 56px"), mode.arg("1.5px", "20px", "6px 18px", "13px"),
                  current.arg("1.5px", "20px", "6px 18px", "13px"), tool.arg("13px"),
                  bar.arg("40px", "30px", "14px", "@barButtonHover", "@text"),
                  bar.arg("40px", "30px", "14px", "@danger", "@onDanger")};
        break;
    case 1:
        sheets = {start.arg("18px", "14px", "16px 60px"), mode.arg("2px", "22px", "8px 20px", "15px"),
                  current.arg("2px", "22px", "8px 20px", "15px"), tool.arg("14px"),
                  bar.arg("44px", "34px", "16px", "@barButtonHover", "@text"),
                  bar.arg("44px", "34px", "16px", "@danger", "@onDanger")};
        break;
    case 2:
        sheets = {start.arg("16px", "12px", "14px 56px"), mode.arg("1.5px", "20px", "6px 18px", "13px"),
                  current.arg("1.5px", "20px", "6px 18px", "13px"), tool.arg("13px"),
                  bar.arg("40px", "30px", "14px", "@barButtonHover", "@text"),
                  bar.arg("40px", "30px", "14px", "@danger", "@onDanger")};
        break;
    default:
        return {};
    }
    const ThemePalette& palette = ThemePalette::of(theme);
    for (QString* sheet : {&sheets.start, &sheets.mode, &sheets.currentMode, &sheets.tool, &sheets.footer, &sheets.close})
        *sheet = palette.sheet(*sheet + ThemePalette::ownFocusRule());
    return sheets;
}

// Message boxes whose text quotes the machine (printer names, startup
// entries) or the update server show it as it is, never read as markup.
QMessageBox::StandardButton plainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                         const QString& text, QMessageBox::StandardButtons buttons,
                                         const QString& details = QString())
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(details);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// A list from the machine (its printers, the result of each item of a run)
// or a release note may run to hundreds of lines, and a box that tall puts
// its buttons below the screen; one line of thousands of characters (a
// startup entry's name) wraps into as many. Past this many lines the box's
// text keeps the first ones, past this many characters a line is cut, and
// the whole list then lies behind the box's details button.
constexpr int kBoxListLines = 15;
constexpr int kBoxLineChars = 60;

struct BoxList
{
    QString shown;
    QString details;  // empty when the list is shown whole
};

BoxList boxList(const QString& list)
{
    const QStringList lines = list.split('\n');
    QStringList shown;
    for (const QString& line : lines.mid(0, kBoxListLines))
        shown << shortLine(line, kBoxLineChars);
    if (lines.size() > kBoxListLines)
        shown << QStringLiteral("……");
    const QString text = shown.join('\n');
    return {text, text == list ? QString() : list};
}

ScanReportBundle demoScanReport()
{
    ScanReportBundle report;
    report.startupItems = {
        {"SyncDrive", "C:\\Users\\demo\\AppData\\Local\\SyncDrive\\SyncDrive.exe", "HKCU Run", 2, 90, 0, false, true,
         "🟢 安全"},
        {"某加速器", "C:\\Users\\demo\\AppData\\Local\\Temp\\acc.exe", "HKLM Run", 1, 45, 2, false, true, "🔴 高风险"},
        {"AppInit_DLLs", "C:\\ProgramData\\xxx.dll", "AppInit_DLLs", 9, 10, 2, true, false, "🔴 高风险"},
    };
    report.junkware = {
        {"adw-001", "QuickDesk Helper", "快桌助手", "adware", "high", "已安装程序",
         "捆绑安装的桌面助手，常驻后台弹出推广。", {}},
        {"adw-060", "HotNews Popup", "热点资讯弹窗", "adware", "high", "运行中进程",
         "定时弹出资讯和游戏广告。",
         {"C:\\Program Files (x86)\\HotNews\\", "C:\\ProgramData\\HotNews"}},
    };
    report.browserHijacks = {{"Chrome", "首页", "http://www.daohang-portal.example/", "", true, "浏览器主页被修改"}};
    report.popups = {{"xxx_ads.exe", "热门游戏推荐", 1234, false, true, "从临时目录运行"}};
    report.conflicts = {{"antivirus", "检测到多个杀毒软件同时运行", "安心卫士、守护管家", "建议只保留一款杀毒软件"}};
    report.storage.fastStartupRecommended = true;
    report.storage.keepHibernation = true;
    report.storage.hibernationDisabledNow = false;
    report.storage.fastStartupReason = "空间充裕，建议启用快速启动";
    report.storage.hibernationReason = "快速启动依赖休眠文件，必须保持休眠";
    report.storage.pagefileAdvice = "保持系统自动管理";
    report.storage.restoreAdvice = "空间充裕，保持系统还原";
    report.storage.hibernationFreedMB = 0;
    report.uninstallResidueCount = 3;
    return report;
}

} // namespace

Velantrix::Velantrix(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Velantrix>())
{
    ui->setupUi(this);
    demoMode = isDemoArgument(QCoreApplication::arguments());
    networkManager = new QNetworkAccessManager(this);
    // A server that stops answering must not keep the one check open.
    networkManager->setTransferTimeout(updatecheck::kTransferTimeoutMs);
    setUpWindow();
    connectButtons();
    setUpButtons();
    applyTheme(theme);
    createPages();
    placeFooterLast();
    // Enter presses the focused button, as it does in a dialog.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(true);
    // The keyboard starts on the one thing the window is for.
    ui->startBtn->setFocus();
}

Velantrix::~Velantrix()
{
    stopCoreThread();
    stopPhase2Thread();
}

bool Velantrix::isDemoArgument(const QStringList& arguments)
{
    return arguments.contains("cs") || arguments.contains("--cs") || arguments.contains("/cs");
}

void Velantrix::setUpWindow()
{
    setWindowIcon(QIcon(":/ICON/U512.ico"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_StyledBackground, true);
    ui->contentWidget->setAttribute(Qt::WA_StyledBackground, false);
    ui->contentWidget->setStyleSheet("background: transparent;");

    const QPixmap logo(":/ICON/U512.png");
    ui->appIcon->setPixmap(sharpPicture(logo, QSize(72, 72), devicePixelRatioF()));
    ui->appIcon->setAlignment(Qt::AlignCenter);
    ui->footerLogo->setPixmap(sharpPicture(logo, QSize(20, 20), devicePixelRatioF()));
    ui->footerLogo->setAlignment(Qt::AlignCenter);
}

void Velantrix::connectButtons()
{
    connect(ui->startBtn, &QPushButton::clicked, this, &Velantrix::onStartOptimize);
    connect(ui->minBtn, &QPushButton::clicked, this, &Velantrix::onMinClicked);
    connect(ui->closeBtn, &QPushButton::clicked, this, &Velantrix::onCloseClicked);
    connect(ui->proModeBtn, &QPushButton::clicked, this, [this] { setTheme(2); });
    connect(ui->gameModeBtn, &QPushButton::clicked, this, [this] { setTheme(0); });
    connect(ui->elderModeBtn, &QPushButton::clicked, this, [this] { setTheme(1); });
    connect(ui->websiteBtn, &QPushButton::clicked, this, &Velantrix::onWebsiteClicked);
    connect(ui->aboutBtn, &QPushButton::clicked, this, &Velantrix::onAboutClicked);
    connect(ui->netFixBtn, &QPushButton::clicked, this, &Velantrix::onNetFixClicked);
    connect(ui->remoteBtn, &QPushButton::clicked, this, &Velantrix::onRemoteClicked);
    connect(ui->toolsBtn, &QPushButton::clicked, this, &Velantrix::onToolsClicked);
    connect(ui->runtimeBtn, &QPushButton::clicked, this, &Velantrix::onRuntimeClicked);
    connect(ui->kefuBtn, &QPushButton::clicked, this, &Velantrix::oniconClicked);
    connect(ui->huhangkaBtn, &QPushButton::clicked, this, &Velantrix::oniconClicked);
}

void Velantrix::setUpButtons()
{
    ui->proModeBtn->setChecked(true);
    ui->startBtn->setFlat(false);
    ui->startBtn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui->startBtn->setFixedSize(280, 52);
    ui->startBtn->setCursor(Qt::PointingHandCursor);
    for (QPushButton* tool : {ui->netFixBtn, ui->remoteBtn, ui->toolsBtn, ui->runtimeBtn}) {
        tool->setFixedHeight(40);
        tool->setCursor(Qt::PointingHandCursor);
        tool->setFlat(false);
    }
    for (QPushButton* mode : {ui->proModeBtn, ui->gameModeBtn, ui->elderModeBtn}) {
        mode->setFlat(false);
        mode->setCheckable(true);
        mode->setCursor(Qt::PointingHandCursor);
    }
    for (QPushButton* bar : {ui->minBtn, ui->closeBtn, ui->websiteBtn, ui->aboutBtn})
        bar->setFlat(false);
}

void Velantrix::createPages()
{
    progressPage = new ProgressPage(ui->contentWidget);
    progressPage->hide();
    connect(progressPage, &ProgressPage::optimizationFinished, this, &Velantrix::onOptimizationFinished);

    resultPage = new ResultPage(ui->contentWidget);
    resultPage->hide();
    connect(resultPage, &ResultPage::finishClicked, this, &Velantrix::onResultPageFinish);
    connect(resultPage, &ResultPage::helpfulClicked, this, &Velantrix::onResultPageHelpful);
    connect(resultPage, &ResultPage::averageClicked, this, &Velantrix::onResultPageAverage);
    connect(resultPage, &ResultPage::remoteHelpClicked, this, &Velantrix::oniconClicked);
    connect(resultPage, &ResultPage::phase2Clicked, this, &Velantrix::onPhase2Clicked);
    connect(resultPage, &ResultPage::cardClicked, this, &Velantrix::onCardClicked);

    phase2Page = new Phase2Page(ui->contentWidget);
    phase2Page->hide();
    connect(phase2Page, &Phase2Page::skipClicked, this, [this] { onPhase2Skip(); });
    connect(phase2Page, &Phase2Page::executeClicked, this, [this] { onPhase2Execute(); });
    connect(phase2Page, &Phase2Page::specialConfirmRequested, this, &Velantrix::onSpecialConfirmRequested);
    connect(phase2Page, &Phase2Page::remoteHelpClicked, this, [this] { showImage(":/ICON/3.png"); });

    thanksPage = new FeedbackPage(0, ui->contentWidget);
    thanksPage->hide();
    connect(thanksPage, &FeedbackPage::finished, this, [this] { closeFeedbackPage(thanksPage); });
    connect(thanksPage, &FeedbackPage::shareData, this, [] {
        // Nothing is sent anywhere: the box only thanks the user.
        QMessageBox::information(nullptr, tr("已分享"), tr("感谢您的分享！数据已匿名上传。"));
    });

    serviceCardPage = new FeedbackPage(1, ui->contentWidget);
    serviceCardPage->hide();
    connect(serviceCardPage, &FeedbackPage::finished, this, [this] { closeFeedbackPage(serviceCardPage); });

    for (QWidget* page : pages())
        page->installEventFilter(this);
}

// Tab goes down the window as it reads: the title bar, the home screen or
// the page over it, then the footer. The pages, made after the footer, would
// otherwise be reached after it.
void Velantrix::placeFooterLast()
{
    QWidget* previous = previousInFocusChain();
    while (previous->focusPolicy() == Qt::NoFocus)  // Qt orders only controls that take the keyboard
        previous = previous->previousInFocusChain();
    for (QWidget* button : {ui->kefuBtn, ui->huhangkaBtn, ui->websiteBtn, ui->aboutBtn}) {
        setTabOrder(previous, button);
        previous = button;
    }
}

QList<QWidget*> Velantrix::pages() const
{
    QList<QWidget*> made;
    for (QWidget* page : std::initializer_list<QWidget*>{progressPage, resultPage, phase2Page, thanksPage, serviceCardPage})
        if (page)
            made.append(page);
    return made;
}

bool Velantrix::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
        updateCoveredControls();
    return QWidget::eventFilter(watched, event);
}

// A page lies over the home screen, and a feedback page over the result page,
// whose buttons would still take the keyboard: Tab and Space would start a
// run from under the deep-optimisation page, switch the theme, open a folder
// or leave the result page from under the thanks page. While covered they are
// out of reach.
void Velantrix::updateCoveredControls()
{
    const QList<QWidget*> all = pages();
    const bool homeCovered = std::any_of(all.begin(), all.end(), [](QWidget* page) { return !page->isHidden(); });
    const bool backHome = !homeCovered && !ui->startBtn->isEnabled();
    for (QWidget* control : {ui->modeBar, static_cast<QWidget*>(ui->startBtn), ui->toolBar})
        control->setEnabled(!homeCovered);
    // Back home, the keyboard is where it began, not on whatever followed
    // the page's last control.
    if (backHome)
        ui->startBtn->setFocus();
    if (resultPage && thanksPage && serviceCardPage)
        resultPage->setEnabled(thanksPage->isHidden() && serviceCardPage->isHidden());
}

// The page takes the keyboard from the covered home screen.
template <class Page>
void Velantrix::showPage(Page* page)
{
    page->setGeometry(ui->contentWidget->rect());
    page->setGraphicsEffect(nullptr);
    page->setVisible(true);
    page->raise();
    page->setTheme(theme);
    focusFirstControl(page);
}

// A feedback page lies over the still visible result page and takes the
// keyboard, so its buttons are reached with Tab and Space.
void Velantrix::showFeedbackPage(FeedbackPage* page)
{
    page->setGeometry(ui->contentWidget->rect());
    page->setGraphicsEffect(nullptr);
    page->setTheme(theme);
    page->setVisible(true);
    page->raise();
    focusFirstControl(page);
}

void Velantrix::closeFeedbackPage(FeedbackPage* page)
{
    page->hide();
    resultPage->hide();
}

void Velantrix::fitStartButton()
{
    ui->startBtn->setFixedSize(280, theme == 1 ? 56 : 52);
}

// ---- themes ----

void Velantrix::setTheme(int newTheme)
{
    if (newTheme == theme)
        return;
    theme = newTheme;
    applyTheme(newTheme);
    if (progressPage->isVisible())
        progressPage->setTheme(newTheme);
    if (resultPage->isVisible())
        resultPage->setTheme(newTheme);
    thanksPage->setTheme(newTheme);
    serviceCardPage->setTheme(newTheme);
    if (qrCodeDialog)
        qrCodeDialog->setTheme(newTheme);
    if (aboutDialog)
        aboutDialog->setTheme(newTheme);
    if (phase2Page->isVisible())
        phase2Page->setTheme(newTheme);
}

void Velantrix::applyTheme(int newTheme)
{
    switch (newTheme) {
    case 0: setStyleSheet(darkStyleSheet()); break;
    case 1: setStyleSheet(warmStyleSheet()); break;
    case 2: setStyleSheet(lightStyleSheet()); break;
    default: setStyleSheet(QString()); break;
    }
    applyButtonStyles();
}

// Which mode button looks current follows the theme, not Qt's checked state.
void Velantrix::applyButtonStyles()
{
    const ButtonSheets sheets = buttonSheets(theme);
    ui->startBtn->setStyleSheet(sheets.start);
    ui->proModeBtn->setStyleSheet(theme == 2 ? sheets.currentMode : sheets.mode);
    ui->gameModeBtn->setStyleSheet(theme == 0 ? sheets.currentMode : sheets.mode);
    ui->elderModeBtn->setStyleSheet(theme == 1 ? sheets.currentMode : sheets.mode);
    for (QPushButton* tool : {ui->netFixBtn, ui->remoteBtn, ui->toolsBtn, ui->runtimeBtn})
        tool->setStyleSheet(sheets.tool);
    ui->minBtn->setStyleSheet(sheets.footer);
    ui->closeBtn->setStyleSheet(sheets.close);
    for (QPushButton* bar : {ui->kefuBtn, ui->huhangkaBtn, ui->websiteBtn, ui->aboutBtn})
        bar->setStyleSheet(sheets.footer);
}

QString Velantrix::darkStyleSheet() const { return windowSheet(ThemePalette::Dark); }
QString Velantrix::warmStyleSheet() const { return windowSheet(ThemePalette::Warm); }
QString Velantrix::lightStyleSheet() const { return windowSheet(ThemePalette::Light); }

// ---- the run ----

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

void Velantrix::showDemoResults()
{
    const ScanReportBundle report = demoScanReport();
    resultPage->setResults(1520, 450, 1286, 12, 2);
    resultPage->setPhase2Data(report);
    phase2Page->setReport(report);
    showPage(resultPage);
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

// ---- the deep optimisation ----

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

// ---- home screen and window ----

void Velantrix::onResultPageFinish()
{
    resultPage->hide();
}

void Velantrix::onResultPageHelpful()
{
    showFeedbackPage(thanksPage);
}

void Velantrix::onResultPageAverage()
{
    showFeedbackPage(serviceCardPage);
}

void Velantrix::openToolFolder(const QString& relativeFolder)
{
    const QString path = QCoreApplication::applicationDirPath() + relativeFolder;
    QDir folder(path);
    if (!folder.exists())
        folder.mkpath(".");
    win::openUrl(QUrl::fromLocalFile(path));
}

void Velantrix::onNetFixClicked() { openToolFolder("/../tools/网络驱动修复"); }
void Velantrix::onRemoteClicked() { openToolFolder("/../tools/远程协助"); }
void Velantrix::onToolsClicked() { openToolFolder("/../tools/实用工具"); }
void Velantrix::onRuntimeClicked() { openToolFolder("/../tools/系统运行库修复DirectX修复"); }

void Velantrix::onMinClicked()
{
    showMinimized();
}

void Velantrix::onCloseClicked()
{
    close();
}

void Velantrix::onWebsiteClicked()
{
    win::openUrl(QUrl("https://tessaro.example/", QUrl::TolerantMode));
}

void Velantrix::onAboutClicked()
{
    if (!aboutDialog) {
        aboutDialog = new AboutDialog(this, theme);
        aboutDialog->setWindowModality(Qt::ApplicationModal);
    }
    aboutDialog->setTheme(theme);
    aboutDialog->exec();
}

// The picture follows the button: the service card, customer service, or
// remote help for any other sender (the result page's help button).
void Velantrix::oniconClicked()
{
    const QObject* from = sender();
    if (from == ui->huhangkaBtn)
        showImage(":/ICON/1.png");
    else if (from == ui->kefuBtn)
        showImage(":/ICON/2.png");
    else
        showImage(":/ICON/3.png");
}

void Velantrix::showImage(const QString& path)
{
    if (!imageDialog)
        imageDialog = new ImageDialog(this, theme);
    imageDialog->setImage(path);
    imageDialog->setTheme(theme);
    imageDialog->exec();
}

void Velantrix::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !ui->titleBar->geometry().contains(event->pos())) {
        event->ignore();
        return;
    }
    dragging = true;
    dragOffset = event->globalPos() - frameGeometry().topLeft();
    event->accept();
}

void Velantrix::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - dragOffset);
        event->accept();
    }
}

void Velantrix::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging = false;
        event->accept();
    }
}

void Velantrix::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (QWidget* page : pages())
        page->setGeometry(ui->contentWidget->rect());
    fitStartButton();
}

void Velantrix::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Before the window first appears: Qt centres only a window clearly
    // smaller than the screen, and this one is nearly as tall as a laptop's
    // work area at 150 %.
    if (!placedOnScreen && !testAttribute(Qt::WA_Moved) && screen())
        move(openingPosition(screen()->availableGeometry(), frameGeometry().size()));
    placedOnScreen = true;
    fitStartButton();
    if (!updateCheckScheduled && !demoMode) {
        updateCheckScheduled = true;
        QTimer::singleShot(1500, this, &Velantrix::checkForUpdate);
    }
}

// ---- update check ----

void Velantrix::loadUpdaterConfig()
{
    const updatecheck::UpdaterConfig config =
        updatecheck::readUpdaterConfig(QCoreApplication::applicationDirPath() + "/updater.config");
    updateUrl = config.updateUrl;
    deviceCode = config.deviceCode;
}

void Velantrix::checkForUpdate()
{
    loadUpdaterConfig();
    const QString version = updatecheck::versionDigits(ui->footerVersion->text());
    const std::optional<QNetworkRequest> request = updatecheck::makeRequest({updateUrl, deviceCode}, version);
    if (!request)
        return;
    QNetworkReply* reply = networkManager->get(*request);
    // No answer is ever held whole: past the largest real one it is dropped.
    new BoundedReplyReader(reply, updatecheck::kMaxReplyBytes);
    connect(reply, &QNetworkReply::finished, this, &Velantrix::onUpdateCheckFinished);
}

// Every failure ends the check quietly; only an offered update is shown.
void Velantrix::onUpdateCheckFinished()
{
    QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(qobject_cast<QNetworkReply*>(sender()));
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << "Error:" << reply->errorString();
        qDebug() << "HTTP Status:" << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        qDebug() << "Response:" << reply->findChild<BoundedReplyReader*>()->body();
        return;
    }
    const std::optional<updatecheck::UpdateOffer> offer = updatecheck::parseReply(
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->findChild<BoundedReplyReader*>()->body());
    if (!offer)
        return;
    // The version is one short line of the sentence; cut, it lies whole
    // behind the details button with the note.
    const QString version = shortLine(offer->version, kBoxLineChars);
    const BoxList note = boxList(offer->note);
    const QString details = version == offer->version ? note.details : offer->version + "\n\n" + offer->note;
    if (!offer->forced) {
        if (plainMessage(this, QMessageBox::Question, tr("发现新版本"), tr("检测到新版本 %1，是否立即更新？\n\n%2").arg(version, note.shown),
                         QMessageBox::Yes | QMessageBox::No, details)
            == QMessageBox::Yes)
            launchUpdater();
    } else if (plainMessage(this, QMessageBox::Warning, tr("需要更新"), tr("检测到强制更新版本 %1，必须更新后才能继续使用。\n\n%2").arg(version, note.shown),
                            QMessageBox::Ok, details)
               == QMessageBox::Ok) {
        launchUpdater();
    }
}

// The updater runs on its own; this program neither waits nor quits.
void Velantrix::launchUpdater()
{
    win::startDetached(QCoreApplication::applicationDirPath() + "/updaterwindow.exe", {"--auto"});
}

#include "moc_Velantrix.cpp"

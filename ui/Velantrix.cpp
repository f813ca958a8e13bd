#include "ui/Velantrix.h"

#include "phase2/Phase2Page.h"
#include "platform/Desktop.h"
#include "ui/AboutDialog.h"
#include "ui/DisplayScaling.h"
#include "ui/FeedbackPage.h"
#include "ui/ImageDialog.h"
#include "ui/ProgressPage.h"
#include "ui/ResultPage.h"
#include "ui/UpdateCheck.h"
#include "ui_Velantrix.h"
#include "uikit/KeyboardFocus.h"

#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <algorithm>

// The window itself: its pages, the keyboard and the home screen. The themes,
// the two run controls, the update check and the demo data each have a source
// of their own beside this one.

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

// The pages shown this way, for the sources of the run controls.
template void Velantrix::showPage(ProgressPage* page);
template void Velantrix::showPage(ResultPage* page);
template void Velantrix::showPage(Phase2Page* page);

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

#include "moc_Velantrix.cpp"

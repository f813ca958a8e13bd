#include "ui/AboutDialog.h"

#include "ui/DisplayScaling.h"
#include "ui_AboutDialog.h"
#include "uikit/ThemePalette.h"

#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QMessageBox>
#include <QPixmap>

namespace {

// Each theme's rules; the colours are the theme's roles.
const char* const kSheets[] = {
    "QFrame#container { background: @aboutPanel; border-radius: 12px; }"
    "QWidget#titleBar { background: @aboutBar; border-top-left-radius: 12px; border-top-right-radius: 12px; border-bottom: 1px solid @aboutBarBorder; }"
    "QLabel#titleLabel { color: @aboutHeading; font-weight: bold; font-size: 14px; }"
    "QPushButton#closeBtn { color: @aboutText; background: transparent; border: none; border-radius: 4px; font-size: 16px; font-weight: bold; }"
    "QPushButton#closeBtn:hover { background: @closeHover; color: @onCloseHover; }"
    "QLabel#logoLabel { color: @accent; }"
    "QLabel#nameLabel { color: @aboutHeading; }"
    "QLabel#versionLabel { color: @aboutVersion; }"
    "QLabel#descLabel { color: @aboutText; font-size: 13px; }"
    "QLabel#copyrightLabel { color: @aboutFaint; }"
    "QPushButton#okBtn { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 @aboutOkStart, stop:1 @aboutOkEnd); color: @aboutOkText; font-size: 14px; font-weight: bold; border-radius: 22px; border: none; }"
    "QPushButton#okBtn:hover { opacity: 0.9; }"
    "QPushButton#eulaBtn, QPushButton#privacyBtn { background: @aboutButton; color: @aboutButtonText; border: 1px solid @aboutButtonBorder; border-radius: 18px; font-size: 13px; }"
    "QPushButton#eulaBtn:hover, QPushButton#privacyBtn:hover { background: @aboutButtonHover; color: @accent; border-color: @aboutButtonHoverBorder; }",

    "QFrame#container { background: @aboutPanel; border-radius: 12px; }"
    "QWidget#titleBar { background: @aboutBar; border-top-left-radius: 12px; border-top-right-radius: 12px; border-bottom: 2px solid @aboutBarBorder; }"
    "QLabel#titleLabel { color: @aboutHeading; font-weight: bold; font-size: 14px; }"
    "QPushButton#closeBtn { color: @aboutText; background: transparent; border: none; border-radius: 6px; font-size: 18px; font-weight: bold; }"
    "QPushButton#closeBtn:hover { background: @closeHover; color: @onCloseHover; }"
    "QLabel#logoLabel { color: @accent; font-size: 56px; }"
    "QLabel#nameLabel { color: @aboutHeading; font-size: 20px; }"
    "QLabel#versionLabel { color: @aboutVersion; font-size: 14px; }"
    "QLabel#descLabel { color: @aboutText; font-size: 15px; }"
    "QLabel#copyrightLabel { color: @aboutFaint; font-size: 12px; }"
    "QPushButton#okBtn { background: @aboutOkStart; color: @aboutOkText; font-size: 16px; font-weight: bold; border-radius: 22px; border: none; }"
    "QPushButton#okBtn:hover { background: @aboutOkHoverStart; }"
    "QPushButton#eulaBtn, QPushButton#privacyBtn { background: @aboutButton; color: @aboutButtonText; border: 2px solid @aboutButtonBorder; border-radius: 18px; font-size: 15px; }"
    "QPushButton#eulaBtn:hover, QPushButton#privacyBtn:hover { background: @aboutButtonHover; color: @accent; border-color: @aboutButtonHoverBorder; }",

    "QFrame#container { background: @aboutPanel; border-radius: 12px; }"
    "QWidget#titleBar { background: @aboutBar; border-top-left-radius: 12px; border-top-right-radius: 12px; border-bottom: 1px solid @aboutBarBorder; }"
    "QLabel#titleLabel { color: @aboutHeading; font-weight: bold; font-size: 14px; }"
    "QPushButton#closeBtn { color: @aboutText; background: transparent; border: none; border-radius: 4px; font-size: 16px; font-weight: bold; }"
    "QPushButton#closeBtn:hover { background: @closeHover; color: @onCloseHover; }"
    "QLabel#logoLabel { color: @accent; }"
    "QLabel#nameLabel { color: @aboutHeading; }"
    "QLabel#versionLabel { color: @aboutVersion; }"
    "QLabel#descLabel { color: @aboutText; font-size: 13px; }"
    "QLabel#copyrightLabel { color: @aboutFaint; }"
    "QPushButton#okBtn { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 @aboutOkStart, stop:1 @aboutOkEnd); color: @aboutOkText; font-size: 14px; font-weight: bold; border-radius: 22px; border: none; }"
    "QPushButton#okBtn:hover { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 @aboutOkHoverStart, stop:1 @aboutOkHoverEnd); }"
    "QPushButton#eulaBtn, QPushButton#privacyBtn { background: @aboutButton; color: @aboutButtonText; border: 1px solid @aboutButtonBorder; border-radius: 18px; font-size: 13px; }"
    "QPushButton#eulaBtn:hover, QPushButton#privacyBtn:hover { background: @aboutButtonHover; color: @accent; border-color: @aboutButtonHoverBorder; }",
};

} // namespace

AboutDialog::AboutDialog(QWidget* parent, int theme)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AboutDialog>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    wrapInContainer();
    loadLogo();
    connectButtons();
    setTheme(theme);
}

AboutDialog::~AboutDialog() = default;

// The window itself stays transparent; everything visible is one rounded
// frame with a shadow around it.
void AboutDialog::wrapInContainer()
{
    container = new QFrame(this);
    container->setObjectName("container");
    container->setAttribute(Qt::WA_StyledBackground);
    auto* box = new QVBoxLayout(container);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    for (QWidget* part : {ui->titleBar, ui->contentWidget}) {
        ui->rootLayout->removeWidget(part);
        part->setParent(container);
        box->addWidget(part);
    }
    ui->rootLayout->addWidget(container);

    auto* shadow = new QGraphicsDropShadowEffect(container);
    shadow->setBlurRadius(40);
    shadow->setOffset(0, 8);
    shadow->setColor(QColor(0, 0, 0, 80));
    container->setGraphicsEffect(shadow);
}

void AboutDialog::loadLogo()
{
    const QPixmap logo(QCoreApplication::applicationDirPath() + "/U512.png");
    if (!logo.isNull())
        ui->logoLabel->setPixmap(sharpPicture(logo, QSize(96, 96), devicePixelRatioF()));
    ui->logoLabel->setAlignment(Qt::AlignCenter);
}

void AboutDialog::connectButtons()
{
    connect(ui->closeBtn, &QPushButton::clicked, this, &AboutDialog::onCloseClicked);
    connect(ui->okBtn, &QPushButton::clicked, this, &AboutDialog::onCloseClicked);
    // Enter answers with "确定" wherever the keyboard is, as in any box.
    ui->okBtn->setDefault(true);
    connect(ui->eulaBtn, &QPushButton::clicked, this, [] {
        QMessageBox::information(nullptr, tr("用户协议"), tr("用户协议内容：\n本软件永久免费，无广告无病毒，仅用于系统优化，不收集任何用户隐私数据。"), QMessageBox::Ok);
    });
    connect(ui->privacyBtn, &QPushButton::clicked, this, [] {
        QMessageBox::information(nullptr, tr("隐私政策"), tr("隐私政策：\n本软件不会上传任何用户个人数据，所有操作日志仅保存在本地U盘，绝对保护您的隐私安全。"), QMessageBox::Ok);
    });
}

void AboutDialog::setTheme(int theme)
{
    const QString rules = kSheets[ThemePalette::isTheme(theme) ? theme : ThemePalette::Light];
    setStyleSheet(ThemePalette::of(theme).sheet(
        rules + ThemePalette::buttonFocusRule({"closeBtn", "eulaBtn", "privacyBtn", "okBtn"})));
}

void AboutDialog::onCloseClicked()
{
    accept();
}

#include "moc_AboutDialog.cpp"

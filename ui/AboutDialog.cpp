#include "ui/AboutDialog.h"

#include "ui_AboutDialog.h"

#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QMessageBox>
#include <QPixmap>

namespace {

const char* const kSheets[] = {
    "QFrame#container { background: #151A2D; border-radius: 12px; }"
    "QWidget#titleBar { background: #0F1219; border-top-left-radius: 12px; border-top-right-radius: 12px; border-bottom: 1px solid #1E2230; }"
    "QLabel#titleLabel { color: #FFFFFF; font-weight: bold; font-size: 14px; }"
    "QPushButton#closeBtn { color: #B0B8C4; background: transparent; border: none; border-radius: 4px; font-size: 16px; font-weight: bold; }"
    "QPushButton#closeBtn:hover { background: #E53935; color: #FFFFFF; }"
    "QLabel#logoLabel { color: #00C2FF; }"
    "QLabel#nameLabel { color: #FFFFFF; }"
    "QLabel#versionLabel { color: #7A808C; }"
    "QLabel#descLabel { color: #B0B8C4; font-size: 13px; }"
    "QLabel#copyrightLabel { color: #5A6070; }"
    "QPushButton#okBtn { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #5271FF, stop:1 #00C2FF); color: white; font-size: 14px; font-weight: bold; border-radius: 22px; border: none; }"
    "QPushButton#okBtn:hover { opacity: 0.9; }"
    "QPushButton#eulaBtn, QPushButton#privacyBtn { background: rgba(255,255,255,0.08); color: #B0B8C4; border: 1px solid rgba(255,255,255,0.15); border-radius: 18px; font-size: 13px; }"
    "QPushButton#eulaBtn:hover, QPushButton#privacyBtn:hover { background: rgba(0,194,255,0.15); color: #00C2FF; border-color: rgba(0,194,255,0.3); }",

    "QFrame#container { background: #FFF8F0; border-radius: 12px; }"
    "QWidget#titleBar { background: #FFE8D6; border-top-left-radius: 12px; border-top-right-radius: 12px; border-bottom: 2px solid #FFD4B8; }"
    "QLabel#titleLabel { color: #4A3B32; font-weight: bold; font-size: 14px; }"
    "QPushButton#closeBtn { color: #5D4037; background: transparent; border: none; border-radius: 6px; font-size: 18px; font-weight: bold; }"
    "QPushButton#closeBtn:hover { background: #E53935; color: #FFFFFF; }"
    "QLabel#logoLabel { color: #FF7A45; font-size: 56px; }"
    "QLabel#nameLabel { color: #4A3B32; font-size: 20px; }"
    "QLabel#versionLabel { color: #8D6E63; font-size: 14px; }"
    "QLabel#descLabel { color: #5D4037; font-size: 15px; }"
    "QLabel#copyrightLabel { color: #A1887F; font-size: 12px; }"
    "QPushButton#okBtn { background: #FF7A45; color: white; font-size: 16px; font-weight: bold; border-radius: 22px; border: none; }"
    "QPushButton#okBtn:hover { background: #FF8C60; }"
    "QPushButton#eulaBtn, QPushButton#privacyBtn { background: #FFFFFF; color: #5D4037; border: 2px solid #FFD0B0; border-radius: 18px; font-size: 15px; }"
    "QPushButton#eulaBtn:hover, QPushButton#privacyBtn:hover { background: #FFE0CC; color: #FF7A45; border-color: #FFCCB0; }",

    "QFrame#container { background: #FFFFFF; border-radius: 12px; }"
    "QWidget#titleBar { background: #F8F9FA; border-top-left-radius: 12px; border-top-right-radius: 12px; border-bottom: 1px solid #E8EAED; }"
    "QLabel#titleLabel { color: #202124; font-weight: bold; font-size: 14px; }"
    "QPushButton#closeBtn { color: #5F6368; background: transparent; border: none; border-radius: 4px; font-size: 16px; font-weight: bold; }"
    "QPushButton#closeBtn:hover { background: #E53935; color: #FFFFFF; }"
    "QLabel#logoLabel { color: #1A73E8; }"
    "QLabel#nameLabel { color: #202124; }"
    "QLabel#versionLabel { color: #5F6368; }"
    "QLabel#descLabel { color: #5F6368; font-size: 13px; }"
    "QLabel#copyrightLabel { color: #9AA0A6; }"
    "QPushButton#okBtn { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #1A73E8, stop:1 #4285F4); color: white; font-size: 14px; font-weight: bold; border-radius: 22px; border: none; }"
    "QPushButton#okBtn:hover { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #1557B0, stop:1 #3367D6); }"
    "QPushButton#eulaBtn, QPushButton#privacyBtn { background: #FFFFFF; color: #3C4043; border: 1px solid #DADCE0; border-radius: 18px; font-size: 13px; }"
    "QPushButton#eulaBtn:hover, QPushButton#privacyBtn:hover { background: #F1F3F4; color: #1A73E8; border-color: #C2D7F2; }",
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
        ui->logoLabel->setPixmap(logo.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
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
    setStyleSheet(kSheets[theme == 0 || theme == 1 ? theme : 2]);
}

void AboutDialog::onCloseClicked()
{
    accept();
}

#include "moc_AboutDialog.cpp"

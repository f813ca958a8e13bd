#include "ui/ImageDialog.h"

#include "ui/DisplayScaling.h"
#include "uikit/ThemePalette.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize kPictureSize(350, 472);

} // namespace

ImageDialog::ImageDialog(QWidget* parent, int theme)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setModal(true);
    setFixedSize(400, 550);

    contentWidget = new QWidget(this);
    contentWidget->setObjectName("contentWidget");
    contentWidget->setGeometry(25, 25, 350, 500);
    auto* layout = new QVBoxLayout(contentWidget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* closeRow = new QHBoxLayout;
    closeRow->setContentsMargins(0, 0, 8, 0);
    closeRow->addStretch();
    imageCloseBtn = new QPushButton("×", contentWidget);
    imageCloseBtn->setObjectName("imageCloseBtn");
    imageCloseBtn->setFixedSize(28, 28);
    imageCloseBtn->setCursor(Qt::PointingHandCursor);
    connect(imageCloseBtn, &QPushButton::clicked, this, &QDialog::close);
    closeRow->addWidget(imageCloseBtn);
    layout->addLayout(closeRow);

    imageLabel = new QLabel(contentWidget);
    imageLabel->setFixedSize(kPictureSize);
    imageLabel->setAlignment(Qt::AlignCenter);
    imageLabel->setScaledContents(true);
    layout->addWidget(imageLabel, 0, Qt::AlignCenter);

    auto* shadow = new QGraphicsDropShadowEffect(contentWidget);
    shadow->setBlurRadius(30);
    shadow->setOffset(0, 6);
    shadow->setColor(QColor(0, 0, 0, 80));
    contentWidget->setGraphicsEffect(shadow);

    setTheme(theme);
}

void ImageDialog::setImage(const QString& path)
{
    const QPixmap picture(path);
    if (!picture.isNull())
        imageLabel->setPixmap(sharpPicture(picture, kPictureSize, devicePixelRatioF()));
}

void ImageDialog::setTheme(int theme)
{
    contentWidget->setStyleSheet(ThemePalette::of(theme).sheet(
        "#contentWidget { background: @picturePanel; border-radius: 12px; }"
        "#imageCloseBtn { background: @pictureClose; color: @aboutText; border: none; border-radius: 14px; font-size: 16px; font-weight: bold; }"
        "#imageCloseBtn:hover { background: @closeHover; color: @onCloseHover; }"
        "#imageCloseBtn:focus { border: 2px solid @focus; outline: none; }"));
}

#include "moc_ImageDialog.cpp"

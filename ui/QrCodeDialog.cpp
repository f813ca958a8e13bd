#include "ui/QrCodeDialog.h"

#include "uikit/ThemePalette.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The dark and the light theme share their sizes; the warm one has larger
// controls. The colours are each theme's roles.
const char* const kStandardSheet =
    "QDialog { background: @panel; border-radius: 12px; }"
    "QLabel { color: @text; }"
    "QPushButton { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color: @onAccent; border-radius: 12px; font-size: 16px; font-weight: bold; border: none; }"
    "QPushButton:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }";

const char* const kWarmSheet =
    "QDialog { background: @panel; border-radius: 14px; }"
    "QLabel { color: @text; }"
    "QPushButton { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color: @onAccent; border-radius: 14px; font-size: 18px; font-weight: bold; border: none; }"
    "QPushButton:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }";

const char* const kSheets[] = {kStandardSheet, kWarmSheet, kStandardSheet};

QLabel* addLabel(QVBoxLayout* layout, const QString& text, int pointSize, bool bold = false)
{
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(QFont("Microsoft YaHei", pointSize, bold ? QFont::Bold : QFont::Normal));
    layout->addWidget(label);
    return label;
}

} // namespace

QrCodeDialog::QrCodeDialog(QWidget* parent, int theme)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_StyledBackground);
    setModal(true);
    setFixedSize(380, 500);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(20);
    layout->setAlignment(Qt::AlignCenter);

    addLabel(layout, tr("扫码添加专家微信"), 18, true);
    addLabel(layout, tr("首次免费解决电脑问题\n专业工程师1对1远程协助"), 13);

    QLabel* code = addLabel(layout, tr("企业微信二维码\n（替换为实际图片）"), 12);
    code->setFixedSize(240, 240);
    // The box stays white in every theme, so its text keeps a colour of its
    // own: the dark theme's light label colour would vanish on it.
    code->setStyleSheet(ThemePalette::of(theme).sheet(
        "background: @paper; border-radius: 12px; border: 2px dashed @plainBorder; color: @paperText;"));
    layout->setAlignment(code, Qt::AlignCenter);

    addLabel(layout, tr("微信扫码即可添加，备注「系统优化」优先通过"), 11)->setWordWrap(true);

    auto* button = new QPushButton(tr("我知道了"), this);
    button->setFixedHeight(48);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(button);

    setTheme(theme);
    // 500 pixels are too few for the lines at their sizes with their spacing:
    // the hint would run over the box. The dialog grows to what they need.
    setFixedHeight(qMax(500, layout->sizeHint().height()));
}

void QrCodeDialog::setTheme(int theme)
{
    if (ThemePalette::isTheme(theme))
        setStyleSheet(ThemePalette::of(theme).sheet(kSheets[theme] + ThemePalette::ownFocusRule()));
}

#include "moc_QrCodeDialog.cpp"

#include "ui/QrCodeDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kSheets[] = {
    "QDialog { background: #141923; border-radius: 12px; }"
    "QLabel { color: #E8ECF2; }"
    "QPushButton { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #00C2FF,stop:1 #009FD4); color: #0B0F17; border-radius: 12px; font-size: 16px; font-weight: bold; border: none; }"
    "QPushButton:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #009FD4,stop:1 #00C2FF); }",

    "QDialog { background: #FFF8F0; border-radius: 14px; }"
    "QLabel { color: #2D1A08; }"
    "QPushButton { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #FF7A45,stop:1 #E8632A); color: white; border-radius: 14px; font-size: 18px; font-weight: bold; border: none; }"
    "QPushButton:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #E8632A,stop:1 #FF7A45); }",

    "QDialog { background: #FFFFFF; border-radius: 12px; }"
    "QLabel { color: #0F1520; }"
    "QPushButton { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1A73E8,stop:1 #1557C0); color: white; border-radius: 12px; font-size: 16px; font-weight: bold; border: none; }"
    "QPushButton:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1557C0,stop:1 #1A73E8); }",
};

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
    code->setStyleSheet(QStringLiteral("background: white; border-radius: 12px; border: 2px dashed #E0E0E0;")
                        + " color: #5F6368;");
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
    if (theme >= 0 && theme < 3)
        setStyleSheet(kSheets[theme]);
}

#include "moc_QrCodeDialog.cpp"

#include "ui/EulaDialog.h"

#include "ui_EulaDialog.h"
#include "uikit/ThemePalette.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTextCursor>

EulaDialog::EulaDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::EulaDialog>())
{
    ui->setupUi(this);
    ui->textEdit->setHtml(tr("<p><b>一、协议主体与生效规则</b><br>本协议是您与“Tessaro”工具之间的法律协议...</p>"
                             "<p><b>二、安全与隐私承诺</b><br>本工具仅清理系统与软件自动生成的临时缓存文件，<b>绝不扫描、读取、删除您的个人文件与隐私数据</b>，所有操作日志仅保存在您的U盘本地，不上传任何信息。</p>"
                             "<p><b>三、免责声明</b><br>本工具为免费工具，因硬件故障、第三方软件干扰、用户自行修改系统、异常操作导致的损失，不承担责任。实际效果因电脑配置、使用环境而异。</p>"
                             "<p>更多详细条款请访问...</p>"));
    ui->textEdit->moveCursor(QTextCursor::Start);
    showFocus();
    // The keyboard starts on the answer the person came for, where its ring
    // shows and Enter presses it.
    ui->agreeBtn->setFocus(Qt::TabFocusReason);
    connect(ui->agreeBtn, &QPushButton::clicked, this, &EulaDialog::onAgreeClicked);
    connect(ui->exitBtn, &QPushButton::clicked, this, &EulaDialog::onExitClicked);
}

EulaDialog::~EulaDialog() = default;

// The dialog keeps its one look in every theme; the keyboard's place in it
// shows with the light theme's focus ring.
void EulaDialog::showFocus()
{
    // Polished first: a sheet changed on a dialog not yet polished would
    // leave its buttons with the rules they were laid out with.
    ensurePolished();
    const ThemePalette& palette = ThemePalette::of(ThemePalette::Light);
    // The buttons keep the ring's room in a border that shows nothing, so
    // the ring never cuts their text.
    setStyleSheet(styleSheet() + "#agreeBtn, #exitBtn { border: 2px solid transparent; padding: 6px 22px; }"
                  + palette.sheet(ThemePalette::buttonFocusRule({"agreeBtn", "exitBtn"})));
    ui->textEdit->setStyleSheet(QStringLiteral("QTextEdit { %1 }").arg(ui->textEdit->styleSheet())
                                + palette.sheet(ThemePalette::ownFocusRule("QTextEdit")));
}

// Enter presses the button that has the keyboard (the button takes the key
// itself); anywhere else it presses nothing, where a dialog would press its
// default button, which nothing on the screen marks. Escape still means 退出.
void EulaDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The flag lives two levels above the program's folder, at the root of the
// portable drive, so that a new version in its own folder keeps the answer.
QString EulaDialog::flagFilePath()
{
    return QCoreApplication::applicationDirPath() + "/../../eula_accepted.flag";
}

bool EulaDialog::isAccepted()
{
    return QFile::exists(flagFilePath());
}

// A flag that cannot be written (read-only drive) only means the agreement is
// asked for again next time; this run may still start.
void EulaDialog::onAgreeClicked()
{
    QFile flag(flagFilePath());
    if (flag.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        flag.write("1");
        flag.close();
    }
    accept();
}

void EulaDialog::onExitClicked()
{
    reject();
}

#include "moc_EulaDialog.cpp"

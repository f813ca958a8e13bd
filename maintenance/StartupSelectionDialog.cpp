#include "maintenance/StartupSelectionDialog.h"

#include "common/DisplayText.h"
#include "common/FileLogger.h"
#include "maintenance/StartupManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int CommandLimit = 60;
constexpr int CommandShown = 57;
constexpr int QuestionNameChars = 60;

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    // Names and commands come from the machine: never read them as markup.
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QFont boldFont(const QFont& base, int pointSize)
{
    QFont font = base;
    font.setPointSize(pointSize);
    font.setBold(true);
    return font;
}

QString shownCommand(const QString& command)
{
    if (command.size() <= CommandLimit)
        return oneLine(command);
    return oneLine(leftWhole(command, CommandShown)) + QStringLiteral("...");
}

// A label of the text column takes the width the row has left beside the tag
// and the button and cuts what does not fit, instead of widening the list
// until the buttons leave the view.
QLabel* rowTextLabel(const QString& text, QWidget* row)
{
    QLabel* label = plainLabel(oneLine(text), row);
    label->setMinimumWidth(1);
    return label;
}

QLabel* tagLabel(const StartupItem& item, QWidget* parent)
{
    QString text = QStringLiteral("建议保留");
    QString style = QStringLiteral("background-color: #f0f5ff;color: #2f54eb;font-size: 10px;padding: 1px 6px;border-radius: 3px;");
    if (item.disabled) {
        text = QStringLiteral("已禁用");
        style = QStringLiteral("background-color: #fff1f0;color: #f5222d;font-size: 10px;padding: 1px 6px;border-radius: 3px;");
    } else if (item.recommendDisable) {
        text = QStringLiteral("建议关闭");
        style = QStringLiteral("background-color: #fff7e6;color: #d46b08;font-size: 10px;padding: 1px 6px;border-radius: 3px;");
    }
    QLabel* tag = plainLabel(text, parent);
    tag->setObjectName(QStringLiteral("tagLabel"));
    tag->setStyleSheet(style);
    return tag;
}

} // namespace

StartupSelectionDialog::StartupSelectionDialog(StartupManager* manager, QWidget* parent)
    : QDialog(parent)
    , m_manager(manager)
    , m_items(manager->items())
{
    m_disabledCount = int(std::count_if(m_items.begin(), m_items.end(),
                                        [](const StartupItem& item) { return item.disabled; }));
    buildUi();
}

StartupSelectionDialog::~StartupSelectionDialog() = default;

void StartupSelectionDialog::buildUi()
{
    setWindowTitle(QStringLiteral("管理开机启动项"));
    setMinimumSize(560, 440);
    setStyleSheet(QStringLiteral("QDialog {   background-color: #fafafa;}"));

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    // The header, footer and row sheets name their widget: without a selector
    // a sheet also draws its border and background under every label inside,
    // as lines under the texts and white patches on a hovered row.
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("headerWidget"));
    header->setStyleSheet(QStringLiteral("QWidget#headerWidget { background-color: #ffffff; border-bottom: 1px solid #e8e8e8; }"));
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(24, 20, 24, 16);
    headerLayout->setSpacing(6);
    auto* title = new QLabel(QStringLiteral("管理开机启动项"), header);
    title->setObjectName(QStringLiteral("headerTitleLabel"));
    title->setFont(boldFont(font(), 16));
    title->setStyleSheet(QStringLiteral("color: #262626;"));
    headerLayout->addWidget(title);
    m_summaryLabel = new QLabel(header);
    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    m_summaryLabel->setStyleSheet(QStringLiteral("color: #8c8c8c; font-size: 12px;"));
    headerLayout->addWidget(m_summaryLabel);
    updateSummary();
    mainLayout->addWidget(header, 0);

    // Styled before it joins the dialog: a scroll area styled below a widget
    // that already has a style sheet keeps the plain style's scroll bars.
    m_scrollArea = new QScrollArea;
    m_scrollArea->setObjectName(QStringLiteral("scrollArea"));
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; border: none; }QScrollBar:vertical { width: 6px; background: transparent; }QScrollBar::handle:vertical { background: #d9d9d9; border-radius: 3px; }QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"));
    m_listWidget = new QWidget;
    m_listWidget->setObjectName(QStringLiteral("listWidget"));
    m_listWidget->setStyleSheet(QStringLiteral("background: transparent;"));
    m_scrollArea->setWidget(m_listWidget);
    mainLayout->addWidget(m_scrollArea, 1);
    populateList();

    auto* footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("footerWidget"));
    footer->setStyleSheet(QStringLiteral("QWidget#footerWidget { background-color: #ffffff; border-top: 1px solid #e8e8e8; }"));
    auto* footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(24, 12, 24, 12);
    auto* hint = new QLabel(QStringLiteral("点击「禁用」可关闭对应启动项，禁用后可点击右侧「恢复」重新启用"), footer);
    hint->setObjectName(QStringLiteral("hintLabel"));
    hint->setStyleSheet(QStringLiteral("color: #8c8c8c; font-size: 11px;"));
    footerLayout->addWidget(hint, 1);
    auto* finish = new QPushButton(QStringLiteral("完成"), footer);
    finish->setObjectName(QStringLiteral("finishBtn"));
    finish->setFixedHeight(34);
    finish->setStyleSheet(QStringLiteral("QPushButton {   background-color: #1890ff;   color: white;   border: none;   border-radius: 6px;   font-size: 13px;   font-weight: bold;   padding: 0 24px;}QPushButton:hover {   background-color: #40a9ff;}QPushButton:pressed {   background-color: #096dd9;}"));
    connect(finish, &QPushButton::clicked, this, &StartupSelectionDialog::onFinish);
    footerLayout->addWidget(finish, 0);
    mainLayout->addWidget(footer, 0);
}

// A rebuild starts from a row's own button, whose click is still being
// handled: the old rows are hidden now and deleted once control is back in
// the event loop.
void StartupSelectionDialog::populateList()
{
    if (QLayout* old = m_listWidget->layout()) {
        while (QLayoutItem* entry = old->takeAt(0)) {
            if (QWidget* row = entry->widget()) {
                row->hide();
                row->deleteLater();
            }
            delete entry;
        }
        delete old;
    }

    auto* listLayout = new QVBoxLayout(m_listWidget);
    listLayout->setContentsMargins(16, 8, 16, 8);
    listLayout->setSpacing(4);
    m_buttons.clear();
    for (int index = 0; index < m_items.size(); ++index)
        listLayout->addWidget(createRow(index));
    listLayout->addStretch();
}

QWidget* StartupSelectionDialog::createRow(int index)
{
    const StartupItem& item = m_items.at(index);
    auto* row = new QWidget(m_listWidget);
    row->setObjectName(QStringLiteral("startupRow"));
    row->setStyleSheet(QStringLiteral("QWidget#startupRow {   background-color: #ffffff;   border-radius: 8px;}"
                                       "QWidget#startupRow:hover {   background-color: #f6f8fa;}"));
    row->setFixedHeight(60);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(16, 0, 12, 0);
    rowLayout->setSpacing(10);

    auto* textColumn = new QVBoxLayout;
    textColumn->setContentsMargins(0, 8, 0, 8);
    textColumn->setSpacing(2);
    auto* titleLine = new QHBoxLayout;
    titleLine->setSpacing(6);
    QLabel* name = rowTextLabel(item.displayName, row);
    name->setObjectName(QStringLiteral("nameLabel"));
    name->setFont(boldFont(font(), 12));
    name->setStyleSheet(QStringLiteral("color: #262626;"));
    titleLine->addWidget(name);
    titleLine->addWidget(tagLabel(item, row));
    titleLine->addStretch();
    textColumn->addLayout(titleLine);
    QLabel* command = rowTextLabel(shownCommand(item.command), row);
    command->setObjectName(QStringLiteral("commandLabel"));
    command->setStyleSheet(QStringLiteral("color: #8c8c8c; font-size: 10px;"));
    textColumn->addWidget(command);
    rowLayout->addLayout(textColumn, 1);

    auto* button = new QPushButton(row);
    button->setObjectName(QStringLiteral("actionBtn"));
    button->setFixedSize(72, 30);
    button->setCursor(Qt::PointingHandCursor);
    if (item.disabled) {
        button->setText(QStringLiteral("恢复"));
        button->setStyleSheet(QStringLiteral("QPushButton {   background-color: #f0f5ff;   color: #2f54eb;   border: 1px solid #adc6ff;   border-radius: 6px;   font-size: 12px;}QPushButton:hover {   background-color: #d6e4ff;   border-color: #2f54eb;}QPushButton:pressed {   background-color: #bae0ff;}"));
        connect(button, &QPushButton::clicked, this, [this, index] { onRestoreItem(index); });
    } else {
        button->setText(QStringLiteral("禁用"));
        button->setStyleSheet(QStringLiteral("QPushButton {   background-color: #fff1f0;   color: #f5222d;   border: 1px solid #ffa39e;   border-radius: 6px;   font-size: 12px;}QPushButton:hover {   background-color: #ffccc7;   border-color: #ff4d4f;}QPushButton:pressed {   background-color: #ffa39e;}"));
        connect(button, &QPushButton::clicked, this, [this, index] { onDisableItem(index); });
    }
    m_buttons.append(button);
    rowLayout->addWidget(button);
    return row;
}

// A question names the entry on one line of a bounded length: a file
// description of thousands of characters would push the box's buttons off
// the screen.
QString StartupSelectionDialog::shownNameOf(int index) const
{
    return shortLine(m_items.at(index).displayName, QuestionNameChars);
}

// One name may stand in several locations, and in one location in its place
// and in the backup: the manager switches the row's own entry, and the rows
// show the manager's list as it now is.
void StartupSelectionDialog::showSwitched(int index)
{
    m_items = m_manager->items();
    m_disabledCount = int(std::count_if(m_items.begin(), m_items.end(),
                                        [](const StartupItem& item) { return item.disabled; }));
    populateList();
    updateSummary();
    // The row was rebuilt; keyboard users stay on the entry they acted on.
    if (QPushButton* button = m_buttons.value(index))
        button->setFocus();
}

// The question names an entry as the machine spells it: shown as plain text,
// so that markup in a name or file description is neither rendered nor lets
// the box fetch a picture it names.
bool StartupSelectionDialog::confirmed(const QString& title, const QString& question)
{
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void StartupSelectionDialog::onDisableItem(int index)
{
    const StartupItem item = m_items.value(index);
    const QString question = QStringLiteral("确定要禁用「%1」吗？\n\n禁用后对应程序不会随开机启动，可在需要时手动打开。").arg(shownNameOf(index));
    if (!confirmed(QStringLiteral("确认禁用"), question) || !m_manager->disableItem(item))
        return;
    FileLogger::instance()->log(QStringLiteral("已禁用启动项: %1").arg(item.name));
    showSwitched(index);
}

void StartupSelectionDialog::onRestoreItem(int index)
{
    const StartupItem item = m_items.value(index);
    const QString question = QStringLiteral("确定要恢复「%1」开机启动吗？\n\n恢复后下次开机该程序会自动运行。").arg(shownNameOf(index));
    if (!confirmed(QStringLiteral("确认恢复"), question) || !m_manager->restoreItem(item))
        return;
    FileLogger::instance()->log(QStringLiteral("已恢复启动项: %1").arg(item.name));
    showSwitched(index);
}

void StartupSelectionDialog::updateSummary()
{
    const int remaining = int(std::count_if(m_items.begin(), m_items.end(),
                                            [](const StartupItem& item) { return !item.disabled; }));
    m_summaryLabel->setText(QStringLiteral("共 %1 个开机启动项，已禁用 %2 项，剩余 %3 项").arg(m_items.size()).arg(m_disabledCount).arg(remaining));
}

void StartupSelectionDialog::onFinish()
{
    FileLogger::instance()->log(QStringLiteral("启动项管理完成，当前已禁用 %1 项").arg(m_disabledCount));
    accept();
}

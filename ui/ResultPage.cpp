#include "ui/ResultPage.h"

#include "ui_ResultPage.h"
#include "uikit/KeyboardFocus.h"
#include "uikit/ThemePalette.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace {

// Each theme's rules; the colours are the theme's roles. The warm theme's
// larger texts leave its feedback buttons and reminder less room around them,
// so that the page, down to its last button, fits the window unscrolled.
const char* const kPageSheets[] = {
    R"(QWidget#ResultPage { background: @page; }
QFrame#healthCard, QFrame#cardFrame1, QFrame#cardFrame2, QFrame#cardFrame3, QFrame#cardFrame4 { background: @surface; border-radius: 12px; border: 1px solid @border; }
QLabel#healthScore { font-size: 32px; font-weight: bold; color: @healthScore; }
QLabel#healthTitle { font-size: 16px; font-weight: bold; color: @text; }
QLabel#healthDesc { font-size: 13px; color: @textSecondary; }
QLabel#cardIcon1, QLabel#cardIcon2, QLabel#cardIcon3, QLabel#cardIcon4 { font-size: 24px; }
QLabel#cardValue1, QLabel#cardValue2, QLabel#cardValue3, QLabel#cardValue4 { font-size: 16px; font-weight: bold; color: @accent; }
QLabel#cardDesc1, QLabel#cardDesc2, QLabel#cardDesc3, QLabel#cardDesc4 { font-size: 12px; color: @textSecondary; }
QPushButton#remoteHelpBtn { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 @danger,stop:1 @dangerDeep); color: @onDanger; border: none; border-radius: 24px; font-size: 16px; font-weight: bold; }
QPushButton#remoteHelpBtn:hover { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 @dangerDeep,stop:1 @dangerDeeper); }
QPushButton#finishBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color: @onAccent; border-radius: 12px; font-size: 16px; font-weight: 600; min-width: 280px; padding: 12px 36px; }
QPushButton#finishBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }
QPushButton#helpfulBtn, QPushButton#averageBtn { background: @quietFill; color: @textSecondary; border: 1px solid @border; border-radius: 20px; font-size: 14px; margin-bottom: 14px; }
QPushButton#helpfulBtn:hover, QPushButton#averageBtn:hover { background: @quietHover; color: @text; }
QLabel#reminderLabel { font-size: 13px; color: @textMuted; margin-bottom: 18px; }
/* ---- 卡片按钮样式 ---- */
QFrame#promptRow { background: @prompt/0.12; border: 1px solid @prompt/0.2; border-radius: 8px; }
QFrame#promptRow QLabel { color: @promptText; }
QPushButton#cardStartup, QPushButton#cardAdw, QPushButton#cardPop { background: @warningCard; border: 1px solid @warningCardBorder; border-radius: 10px; }
QPushButton#cardBhj { background: @dangerCard; border: 1px solid @dangerCardBorder; border-radius: 10px; }
QPushButton#cardStartup QLabel, QPushButton#cardAdw QLabel, QPushButton#cardBhj QLabel, QPushButton#cardPop QLabel { color: @textSecondary; }
QPushButton#phase2EntryBtn { border: 2px dashed @accent; border-radius: 12px; background: @accent/0.06; color: @accent; font-size: 14px; font-weight: bold; }
QPushButton#phase2EntryBtn:hover { background: @accent/0.12; border-color: @accentDeep; color: @accentDeep; })",
    R"(QWidget#ResultPage { background: @page; }
QFrame#healthCard, QFrame#cardFrame1, QFrame#cardFrame2, QFrame#cardFrame3, QFrame#cardFrame4 { background: @surface; border-radius: 12px; border: 2px solid @border; }
QLabel#healthScore { font-size: 32px; font-weight: bold; color: @healthScore; }
QLabel#healthTitle { font-size: 16px; font-weight: bold; color: @text; }
QLabel#healthDesc { font-size: 14px; color: @textSecondary; }
QLabel#cardIcon1, QLabel#cardIcon2, QLabel#cardIcon3, QLabel#cardIcon4 { font-size: 24px; }
QLabel#cardValue1, QLabel#cardValue2, QLabel#cardValue3, QLabel#cardValue4 { font-size: 16px; font-weight: bold; color: @accent; }
QLabel#cardDesc1, QLabel#cardDesc2, QLabel#cardDesc3, QLabel#cardDesc4 { font-size: 14px; color: @textSecondary; }
QPushButton#remoteHelpBtn { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 @danger,stop:1 @dangerDeep); color: @onDanger; border: none; border-radius: 24px; font-size: 16px; font-weight: bold; }
QPushButton#remoteHelpBtn:hover { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 @dangerDeep,stop:1 @dangerDeeper); }
QPushButton#finishBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color: @onAccent; border-radius: 14px; font-size: 16px; font-weight: bold; min-width: 280px; padding: 12px 36px; }
QPushButton#finishBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }
QPushButton#helpfulBtn, QPushButton#averageBtn { background: @quietFill; color: @textSecondary; border: 2px solid @border; border-radius: 20px; font-size: 16px; padding: 5px 16px; margin-bottom: 8px; }
QPushButton#helpfulBtn:hover, QPushButton#averageBtn:hover { background: @quietHover; color: @text; }
QLabel#reminderLabel { font-size: 14px; color: @textSecondary; margin-bottom: 10px; }
/* ---- 卡片按钮样式 ---- */
QFrame#promptRow { background: @prompt/0.1; border: 1px solid @prompt/0.2; border-radius: 8px; }
QFrame#promptRow QLabel { color: @promptText; }
QPushButton#cardStartup, QPushButton#cardAdw, QPushButton#cardPop { background: @warningCard; border: 1px solid @warningCardBorder; border-radius: 10px; }
QPushButton#cardBhj { background: @dangerCard; border: 1px solid @dangerCardBorder; border-radius: 10px; }
QPushButton#phase2EntryBtn { border: 2px dashed @accent; border-radius: 12px; background: @accent/0.06; color: @accent; font-size: 14px; font-weight: bold; }
QPushButton#phase2EntryBtn:hover { background: @accent/0.12; border-color: @accentDeep; color: @accentDeep; })",
    R"(QWidget#ResultPage { background: @page; }
QFrame#healthCard, QFrame#cardFrame1, QFrame#cardFrame2, QFrame#cardFrame3, QFrame#cardFrame4 { background: @surface; border-radius: 12px; border: 1px solid @border; }
QLabel#healthScore { font-size: 32px; font-weight: bold; color: @healthScore; }
QLabel#healthTitle { font-size: 16px; font-weight: bold; color: @text; }
QLabel#healthDesc { font-size: 13px; color: @textSecondary; }
QLabel#cardIcon1, QLabel#cardIcon2, QLabel#cardIcon3, QLabel#cardIcon4 { font-size: 24px; }
QLabel#cardValue1, QLabel#cardValue2, QLabel#cardValue3, QLabel#cardValue4 { font-size: 16px; font-weight: bold; color: @accent; }
QLabel#cardDesc1, QLabel#cardDesc2, QLabel#cardDesc3, QLabel#cardDesc4 { font-size: 12px; color: @textSecondary; }
QPushButton#remoteHelpBtn { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 @danger,stop:1 @dangerDeep); color: @onDanger; border: none; border-radius: 24px; font-size: 16px; font-weight: bold; }
QPushButton#remoteHelpBtn:hover { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 @dangerDeep,stop:1 @dangerDeeper); }
QPushButton#finishBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color: @onAccent; border-radius: 12px; font-size: 16px; font-weight: 600; min-width: 280px; padding: 12px 36px; }
QPushButton#finishBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }
QPushButton#helpfulBtn, QPushButton#averageBtn { background: @quietFill; color: @textSecondary; border: none; border-radius: 20px; font-size: 14px; margin-bottom: 14px; }
QPushButton#helpfulBtn:hover, QPushButton#averageBtn:hover { background: @quietHover; color: @text; }
QLabel#reminderLabel { font-size: 13px; color: @textMuted; margin-bottom: 18px; }
/* ---- 卡片按钮样式 ---- */
QFrame#promptRow { background: @prompt/0.08; border: 1px solid @prompt/0.15; border-radius: 8px; }
QFrame#promptRow QLabel { color: @promptText; }
QPushButton#cardStartup, QPushButton#cardAdw, QPushButton#cardPop { background: @warningCard; border: 1px solid @warningCardBorder; border-radius: 10px; }
QPushButton#cardBhj { background: @dangerCard; border: 1px solid @dangerCardBorder; border-radius: 10px; }
QPushButton#phase2EntryBtn { border: 2px dashed @accent; border-radius: 12px; background: @accent/0.06; color: @accent; font-size: 14px; font-weight: bold; }
QPushButton#phase2EntryBtn:hover { background: @accent/0.12; border-color: @accentDeep; color: @accentDeep; })",
};

// Every button of the page, in the order Tab reaches them: as they stand,
// top to bottom and left to right.
const QStringList kButtonsInTabOrder{"cardStartup", "cardAdw", "cardBhj", "cardPop", "phase2EntryBtn",
                                     "finishBtn", "helpfulBtn", "averageBtn", "remoteHelpBtn"};

constexpr int kStartupGroup = 4;
constexpr int kJunkSoftwareGroup = 5;

} // namespace

ResultPage::ResultPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ResultPage>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground, true);
    setAutoFillBackground(true);
    ui->resultScroll->verticalScrollBar()->setStyleSheet(ThemePalette::thinScrollBarSheet());
    // Without a frame the area would be an invisible stop before the first
    // card; the control that takes the keyboard is scrolled into view.
    ui->resultScroll->setFocusPolicy(Qt::NoFocus);
    keepFocusInView(ui->resultScroll);
    contentLayout = ui->mainLayout;

    connectButtons();
    ui->remoteHelpBtn->hide();
    buildPromptRows();
    orderTabStops();

    animTimer = new QTimer(this);
    animTimer->setInterval(20);
    connect(animTimer, &QTimer::timeout, this, &ResultPage::countUpStep);
}

ResultPage::~ResultPage() = default;

void ResultPage::connectButtons()
{
    connect(ui->finishBtn, &QPushButton::clicked, this, &ResultPage::finishClicked);
    connect(ui->helpfulBtn, &QPushButton::clicked, this, &ResultPage::helpfulClicked);
    connect(ui->averageBtn, &QPushButton::clicked, this, &ResultPage::averageClicked);
    connect(ui->remoteHelpBtn, &QPushButton::clicked, this, &ResultPage::remoteHelpClicked);
}

void ResultPage::buildPromptRows()
{
    if (promptRowsBuilt || !contentLayout)
        return;
    promptRowsBuilt = true;

    int position = contentLayout->indexOf(ui->remoteHelpBtn);
    position = position >= 0 ? position + 1 : contentLayout->count() - 3;
    contentLayout->insertWidget(position++, makePromptRow());

    fourCardsWidget = new QWidget(this);
    auto* cardsRow = new QHBoxLayout(fourCardsWidget);
    cardsRow->setSpacing(6);
    cardsRow->setContentsMargins(0, 0, 0, 0);
    cardStartup = makeIssueCard("cardStartup", "🚀", "开机自启", "@warning", kStartupGroup);
    cardAdw = makeIssueCard("cardAdw", "🧭", "垃圾软件", "@warning", kJunkSoftwareGroup);
    cardBhj = makeIssueCard("cardBhj", "🌐", "浏览器劫持", "@danger", kJunkSoftwareGroup);
    cardPop = makeIssueCard("cardPop", "📢", "可疑弹窗", "@warning", kJunkSoftwareGroup);
    for (const IssueCard& card : {cardStartup, cardAdw, cardBhj, cardPop})
        cardsRow->addWidget(card.button);
    contentLayout->insertWidget(position++, fourCardsWidget);

    buildEntryRow(position);

    contentLayout->removeWidget(ui->remoteHelpBtn);
    contentLayout->addWidget(ui->remoteHelpBtn);
    contentLayout->addStretch(1);
}

// The buttons built here and those of the form would otherwise be reached in
// the order they were made.
void ResultPage::orderTabStops()
{
    QWidget* previous = nullptr;
    for (const QString& name : kButtonsInTabOrder) {
        auto* next = findChild<QPushButton*>(name);
        if (previous && next)
            setTabOrder(previous, next);
        previous = next;
    }
}

QFrame* ResultPage::makePromptRow()
{
    auto* row = new QFrame(this);
    row->setObjectName("promptRow");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 4, 10, 4);
    auto* text = new QLabel(tr("更多可优化问题，立刻进行深度清理"), row);
    text->setStyleSheet("font-size:13px; font-weight:600; background:transparent;");
    auto* arrow = new QLabel("→", row);
    arrow->setStyleSheet("font-size:14px; font-weight:bold; background:transparent;");
    layout->addWidget(text, 1);
    layout->addWidget(arrow);
    return row;
}

ResultPage::IssueCard ResultPage::makeIssueCard(const char* objectName, const QString& icon,
                                                const QString& caption, const QString& valueColour,
                                                int groupIndex)
{
    IssueCard card;
    card.button = new QPushButton(fourCardsWidget);
    card.button->setObjectName(objectName);
    card.button->setFlat(true);
    card.button->setCursor(Qt::PointingHandCursor);
    card.button->setMinimumHeight(65);

    auto* layout = new QVBoxLayout(card.button);
    layout->setSpacing(0);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setAlignment(Qt::AlignCenter);
    auto addLabel = [&](const QString& text, const QString& sheet) {
        auto* label = new QLabel(text, card.button);
        label->setAlignment(Qt::AlignCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setStyleSheet(sheet);
        layout->addWidget(label);
        return label;
    };
    addLabel(icon, "font-size:16px; background:transparent;");
    card.value = addLabel(tr("0个"), ThemePalette::of(theme).sheet(
                                          QString("font-size:15px; font-weight:800; background:transparent; color:%1;").arg(valueColour)));
    addLabel(caption, "font-size:10px; background:transparent;");

    connect(card.button, &QPushButton::clicked, this, [this, groupIndex] { emit cardClicked(groupIndex); });
    return card;
}

// The entry to the deep optimisation and the finish button share one row.
void ResultPage::buildEntryRow(int& position)
{
    phase2EntryBtn = new QPushButton(tr("🔍 查看详细分析报告 →"), this);
    phase2EntryBtn->setObjectName("phase2EntryBtn");
    phase2EntryBtn->setCursor(Qt::PointingHandCursor);
    phase2EntryBtn->setFlat(false);
    phase2EntryBtn->setMinimumHeight(34);
    phase2EntryBtn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    phase2EntryBtn->setStyleSheet(ThemePalette::of(theme).sheet("QPushButton { border:2px dashed @plainAccent; border-radius:12px; background:@plainAccent/0.06; color:@plainAccent; font-size:14px; font-weight:bold; }QPushButton:hover { background:@plainAccent/0.12; border-color:@plainAccentDeep; color:@plainAccentDeep; }"));
    connect(phase2EntryBtn, &QPushButton::clicked, this, &ResultPage::phase2Clicked);

    contentLayout->removeWidget(ui->finishBtn);
    ui->finishBtn->setMinimumWidth(170);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addWidget(phase2EntryBtn, 1);
    row->addWidget(ui->finishBtn, 0);
    contentLayout->insertLayout(position++, row);
}

int ResultPage::healthScoreFor(int cleanedMB, int freedMemoryMB, int junkFilesCount)
{
    return 85 + qMin(14, cleanedMB / 500 + freedMemoryMB / 200 + junkFilesCount / 200);
}

void ResultPage::setResults(int cleanedMB, int freedMemoryMB, int junkFilesCount, int startupFasterSeconds,
                            int /*startupItemsCount*/)
{
    this->cleanedMB = cleanedMB;
    this->freedMemoryMB = freedMemoryMB;
    this->junkFilesCount = junkFilesCount;
    this->startupFasterSeconds = startupFasterSeconds;
    healthScore = healthScoreFor(cleanedMB, freedMemoryMB, junkFilesCount);
    ui->healthDesc->setText(tr("电脑现在很流畅，用起来更顺手啦！"));
    renderFigures();
    // The window may hand over results before it shows the page (the demo
    // does); the count-up then waits for the show instead of never running.
    if (isVisible())
        startCountUp();
    else
        countUpPending = true;
}

void ResultPage::startCountUp()
{
    countUpPending = false;
    animProgress = 0;
    animTimer->start();
}

void ResultPage::countUpStep()
{
    animProgress += 2;
    if (animProgress >= 100) {
        animProgress = 100;
        animTimer->stop();
    }
    renderFigures();
}

void ResultPage::renderFigures()
{
    auto scaled = [this](int value) { return QString::number(value * animProgress / 100); };
    ui->healthScore->setText(scaled(healthScore));
    ui->cardValue1->setText(scaled(cleanedMB) + " MB");
    ui->cardValue2->setText(scaled(freedMemoryMB) + " MB");
    ui->cardValue3->setText(scaled(junkFilesCount) + tr(" 个"));
    ui->cardValue4->setText(tr("快 ") + scaled(startupFasterSeconds) + tr(" 秒"));
}

void ResultPage::setPhase2Data(const ScanReportBundle& report)
{
    this->report = report;
    updateIssueCards();
    updateStorageCard();
    setTheme(theme);
}

void ResultPage::updateIssueCards()
{
    const int startupCount = static_cast<int>(std::count_if(
        report.startupItems.cbegin(), report.startupItems.cend(),
        [](const StartupFinding& f) { return f.riskLevel >= 1 && f.canDisable; }));
    const std::pair<IssueCard, int> counts[] = {{cardStartup, startupCount},
                                                {cardAdw, report.junkware.size()},
                                                {cardBhj, report.browserHijacks.size()},
                                                {cardPop, report.popups.size()}};
    for (const auto& [card, count] : counts) {
        card.value->setText(QString::number(count) + tr(" 个"));
        card.button->setVisible(count >= 1);
    }
}

QString ResultPage::storageAdvice(const StorageDecision& s)
{
    if (s.fastStartupReason.isEmpty() && s.hibernationReason.isEmpty())
        return {};
    QString text = tr("💾 存储优化建议：") + "\n";
    text += tr("· ") + (s.fastStartupRecommended ? tr("建议启用快速启动") : tr("不建议启用快速启动")) + tr("（")
            + s.fastStartupReason + tr("）") + "\n";
    text += tr("· ") + (s.keepHibernation ? tr("保持休眠") : tr("建议关闭休眠")) + tr("（")
            + s.hibernationReason + tr("）") + "\n";
    if (!s.pagefileAdvice.isEmpty())
        text += tr("· 虚拟内存：") + s.pagefileAdvice + "\n";
    if (!s.restoreAdvice.isEmpty())
        text += tr("· 系统还原：") + s.restoreAdvice;
    if (s.hibernationDisabledNow && s.hibernationFreedMB >= 1)
        text += "\n" + tr("· 本次关闭休眠释放约 ") + QString::number(s.hibernationFreedMB) + " MB";
    return text;
}

void ResultPage::updateStorageCard()
{
    if (!contentLayout)
        return;
    if (!storageCard)
        buildStorageCard();
    const QString text = storageAdvice(report.storage);
    storageCardText->setText(text);
    storageCard->setVisible(!text.isEmpty());
}

void ResultPage::buildStorageCard()
{
    storageCard = new QFrame(this);
    storageCard->setObjectName("storageCard");
    storageCard->setMinimumHeight(104);
    auto* layout = new QVBoxLayout(storageCard);
    layout->setContentsMargins(10, 8, 10, 8);
    storageCardText = new QLabel(storageCard);
    storageCardText->setObjectName("storageCardText");
    storageCardText->setTextFormat(Qt::PlainText);  // reasons may quote the machine's own texts
    storageCardText->setWordWrap(true);
    storageCardText->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    storageCardText->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    storageCardText->setStyleSheet("background:transparent;");
    layout->addWidget(storageCardText);
    // Styled before it joins the shown page, which would otherwise lay it
    // out once unstyled.
    styleStorageCard();
    const int cardsAt = fourCardsWidget ? contentLayout->indexOf(fourCardsWidget) : -1;
    contentLayout->insertWidget(cardsAt + 1, storageCard);
}

// The window themes the page each time it shows it, and the report themes it
// once more: a sheet it has already is not set again.
void ResultPage::setTheme(int theme)
{
    if (ThemePalette::isTheme(theme)) {
        const ThemePalette& palette = ThemePalette::of(theme);
        ThemePalette::setSheet(this, palette.sheet(kPageSheets[theme] + ThemePalette::buttonFocusRule(kButtonsInTabOrder)));
        // A widget's own sheet beats its page's rules, so the entry button
        // gives up its start-up look for the theme's.
        if (phase2EntryBtn)
            ThemePalette::setSheet(phase2EntryBtn, QString());
    }
    this->theme = theme;
    if (storageCard)
        styleStorageCard();
    show();
    raise();
}

void ResultPage::styleStorageCard()
{
    ThemePalette::setSheet(storageCard, ThemePalette::of(theme).sheet(
        "QFrame#storageCard { background-color:@adviceFill; border:1px solid @adviceBorder; border-radius:10px; }"
        "QLabel#storageCardText { color:@adviceText; font-size:12px; line-height:18px; }"));
}

// A show from the window system (the window restored from the task bar) must
// not lift this page over a feedback page that lies on top of it.
void ResultPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    const QList<QWidget*> parts{ui->healthCard, ui->cardFrame1, ui->cardFrame2, ui->cardFrame3,
                                ui->cardFrame4, ui->remoteHelpBtn, ui->finishBtn, ui->helpfulBtn,
                                ui->averageBtn, ui->reminderLabel};
    for (QWidget* w : parts)
        w->setVisible(true);
    if (!event->spontaneous())
        raise();
    if (countUpPending)
        startCountUp();
}

#include "moc_ResultPage.cpp"

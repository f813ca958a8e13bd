#include "ui/ResultPage.h"

#include "ui_ResultPage.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace {

const char* const kPageSheets[] = {
    R"(QWidget#ResultPage { background: #080B14; }
QFrame#healthCard, QFrame#cardFrame1, QFrame#cardFrame2, QFrame#cardFrame3, QFrame#cardFrame4 { background: #141923; border-radius: 12px; border: 1px solid #1E2433; }
QLabel#healthScore { font-size: 32px; font-weight: bold; color: #00E676; }
QLabel#healthTitle { font-size: 16px; font-weight: bold; color: #E8ECF2; }
QLabel#healthDesc { font-size: 13px; color: #8B94A6; }
QLabel#cardIcon1, QLabel#cardIcon2, QLabel#cardIcon3, QLabel#cardIcon4 { font-size: 24px; }
QLabel#cardValue1, QLabel#cardValue2, QLabel#cardValue3, QLabel#cardValue4 { font-size: 16px; font-weight: bold; color: #00C2FF; }
QLabel#cardDesc1, QLabel#cardDesc2, QLabel#cardDesc3, QLabel#cardDesc4 { font-size: 12px; color: #8B94A6; }
QPushButton#remoteHelpBtn { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 #EF4444,stop:1 #DC2626); color: white; border: none; border-radius: 24px; font-size: 16px; font-weight: bold; }
QPushButton#remoteHelpBtn:hover { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 #DC2626,stop:1 #B91C1C); }
QPushButton#finishBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #00C2FF,stop:1 #009FD4); color: #0B0F17; border-radius: 12px; font-size: 16px; font-weight: 600; min-width: 280px; padding: 12px 36px; }
QPushButton#finishBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #009FD4,stop:1 #00C2FF); }
QPushButton#helpfulBtn, QPushButton#averageBtn { background: #141923; color: #8B94A6; border: 1px solid #1E2433; border-radius: 20px; font-size: 14px; margin-bottom: 14px; }
QPushButton#helpfulBtn:hover, QPushButton#averageBtn:hover { background: #181D28; color: #E8ECF2; }
QLabel#reminderLabel { font-size: 13px; color: #535C6E; margin-bottom: 18px; }
/* ---- 卡片按钮样式 ---- */
QFrame#promptRow { background: rgba(249,115,22,0.12); border: 1px solid rgba(249,115,22,0.2); border-radius: 8px; }
QFrame#promptRow QLabel { color: #FB923C; }
QPushButton#cardStartup, QPushButton#cardAdw, QPushButton#cardPop { background: rgba(251,191,36,0.08); border: 1px solid rgba(251,191,36,0.15); border-radius: 10px; }
QPushButton#cardBhj { background: rgba(239,68,68,0.08); border: 1px solid rgba(239,68,68,0.15); border-radius: 10px; }
QPushButton#cardStartup QLabel, QPushButton#cardAdw QLabel, QPushButton#cardBhj QLabel, QPushButton#cardPop QLabel { color: #8B94A6; }
QPushButton#phase2EntryBtn { border: 2px dashed #00C2FF; border-radius: 12px; background: rgba(0,194,255,0.06); color: #00C2FF; font-size: 14px; font-weight: bold; }
QPushButton#phase2EntryBtn:hover { background: rgba(0,194,255,0.12); border-color: #009FD4; color: #009FD4; })",
    R"(QWidget#ResultPage { background: #F5EDE0; }
QFrame#healthCard, QFrame#cardFrame1, QFrame#cardFrame2, QFrame#cardFrame3, QFrame#cardFrame4 { background: #FFFFFF; border-radius: 12px; border: 2px solid #F0D9BD; }
QLabel#healthScore { font-size: 32px; font-weight: bold; color: #2E7D32; }
QLabel#healthTitle { font-size: 16px; font-weight: bold; color: #2D1A08; }
QLabel#healthDesc { font-size: 14px; color: #5C3D22; }
QLabel#cardIcon1, QLabel#cardIcon2, QLabel#cardIcon3, QLabel#cardIcon4 { font-size: 24px; }
QLabel#cardValue1, QLabel#cardValue2, QLabel#cardValue3, QLabel#cardValue4 { font-size: 16px; font-weight: bold; color: #FF7A45; }
QLabel#cardDesc1, QLabel#cardDesc2, QLabel#cardDesc3, QLabel#cardDesc4 { font-size: 14px; color: #5C3D22; }
QPushButton#remoteHelpBtn { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 #EF4444,stop:1 #DC2626); color: white; border: none; border-radius: 24px; font-size: 16px; font-weight: bold; }
QPushButton#remoteHelpBtn:hover { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 #DC2626,stop:1 #B91C1C); }
QPushButton#finishBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #FF7A45,stop:1 #E8632A); color: white; border-radius: 14px; font-size: 16px; font-weight: bold; min-width: 280px; padding: 12px 36px; }
QPushButton#finishBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #E8632A,stop:1 #FF7A45); }
QPushButton#helpfulBtn, QPushButton#averageBtn { background: #FFF3E6; color: #5C3D22; border: 2px solid #F0D9BD; border-radius: 20px; font-size: 16px; padding: 8px 16px; margin-bottom: 14px; }
QPushButton#helpfulBtn:hover, QPushButton#averageBtn:hover { background: #FFE8D5; color: #2D1A08; }
QLabel#reminderLabel { font-size: 14px; color: #5C3D22; margin-bottom: 18px; }
/* ---- 卡片按钮样式 ---- */
QFrame#promptRow { background: rgba(255,122,69,0.1); border: 1px solid rgba(255,122,69,0.2); border-radius: 8px; }
QFrame#promptRow QLabel { color: #FF7A45; }
QPushButton#cardStartup, QPushButton#cardAdw, QPushButton#cardPop { background: #FFF8EE; border: 1px solid rgba(224,136,10,0.15); border-radius: 10px; }
QPushButton#cardBhj { background: #FFF0ED; border: 1px solid rgba(224,85,72,0.15); border-radius: 10px; }
QPushButton#phase2EntryBtn { border: 2px dashed #FF7A45; border-radius: 12px; background: rgba(255,122,69,0.06); color: #FF7A45; font-size: 14px; font-weight: bold; }
QPushButton#phase2EntryBtn:hover { background: rgba(255,122,69,0.12); border-color: #E8632A; color: #E8632A; })",
    R"(QWidget#ResultPage { background: #F0F2F8; }
QFrame#healthCard, QFrame#cardFrame1, QFrame#cardFrame2, QFrame#cardFrame3, QFrame#cardFrame4 { background: #FFFFFF; border-radius: 12px; border: 1px solid #E4E9F2; }
QLabel#healthScore { font-size: 32px; font-weight: bold; color: #16A34A; }
QLabel#healthTitle { font-size: 16px; font-weight: bold; color: #0F1520; }
QLabel#healthDesc { font-size: 13px; color: #475569; }
QLabel#cardIcon1, QLabel#cardIcon2, QLabel#cardIcon3, QLabel#cardIcon4 { font-size: 24px; }
QLabel#cardValue1, QLabel#cardValue2, QLabel#cardValue3, QLabel#cardValue4 { font-size: 16px; font-weight: bold; color: #1A73E8; }
QLabel#cardDesc1, QLabel#cardDesc2, QLabel#cardDesc3, QLabel#cardDesc4 { font-size: 12px; color: #475569; }
QPushButton#remoteHelpBtn { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 #EF4444,stop:1 #DC2626); color: white; border: none; border-radius: 24px; font-size: 16px; font-weight: bold; }
QPushButton#remoteHelpBtn:hover { background: qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 #DC2626,stop:1 #B91C1C); }
QPushButton#finishBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1A73E8,stop:1 #1557C0); color: white; border-radius: 12px; font-size: 16px; font-weight: 600; min-width: 280px; padding: 12px 36px; }
QPushButton#finishBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1557C0,stop:1 #1A73E8); }
QPushButton#helpfulBtn, QPushButton#averageBtn { background: #F1F5F9; color: #475569; border: none; border-radius: 20px; font-size: 14px; margin-bottom: 14px; }
QPushButton#helpfulBtn:hover, QPushButton#averageBtn:hover { background: #E2E8F0; color: #0F1520; }
QLabel#reminderLabel { font-size: 13px; color: #94A3B8; margin-bottom: 18px; }
/* ---- 卡片按钮样式 ---- */
QFrame#promptRow { background: rgba(249,115,22,0.08); border: 1px solid rgba(249,115,22,0.15); border-radius: 8px; }
QFrame#promptRow QLabel { color: #EA580C; }
QPushButton#cardStartup, QPushButton#cardAdw, QPushButton#cardPop { background: #FFFBEB; border: 1px solid rgba(245,158,11,0.15); border-radius: 10px; }
QPushButton#cardBhj { background: #FEF2F2; border: 1px solid rgba(239,68,68,0.15); border-radius: 10px; }
QPushButton#phase2EntryBtn { border: 2px dashed #1A73E8; border-radius: 12px; background: rgba(26,115,232,0.06); color: #1A73E8; font-size: 14px; font-weight: bold; }
QPushButton#phase2EntryBtn:hover { background: rgba(26,115,232,0.12); border-color: #1557C0; color: #1557C0; })",
};

struct StorageColours
{
    const char* background;
    const char* border;
    const char* text;
};

const StorageColours kStorageColours[] = {
    {"#141923", "#1E2433", "#C7CDD9"},
    {"#FFF8EE", "#F0D9BD", "#2D1A08"},
    {"#FFFFFF", "#E2E8F0", "#0F1520"},
};

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
    ui->resultScroll->verticalScrollBar()->setStyleSheet("QScrollBar:vertical { width:6px; background:transparent; }QScrollBar::handle:vertical { background:#C0C0C0; border-radius:3px; min-height:20px; }QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height:0px; }");
    contentLayout = ui->mainLayout;

    connectButtons();
    ui->remoteHelpBtn->hide();
    buildPromptRows();

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
    cardStartup = makeIssueCard("cardStartup", "🚀", "开机自启", "color:#F59E0B;", kStartupGroup);
    cardAdw = makeIssueCard("cardAdw", "🧭", "垃圾软件", "color:#F59E0B;", kJunkSoftwareGroup);
    cardBhj = makeIssueCard("cardBhj", "🌐", "浏览器劫持", "color:#EF4444;", kJunkSoftwareGroup);
    cardPop = makeIssueCard("cardPop", "📢", "可疑弹窗", "color:#F59E0B;", kJunkSoftwareGroup);
    for (const IssueCard& card : {cardStartup, cardAdw, cardBhj, cardPop})
        cardsRow->addWidget(card.button);
    contentLayout->insertWidget(position++, fourCardsWidget);

    buildEntryRow(position);

    contentLayout->removeWidget(ui->remoteHelpBtn);
    contentLayout->addWidget(ui->remoteHelpBtn);
    contentLayout->addStretch(1);
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
    card.value = addLabel(tr("0个"), QString("font-size:15px; font-weight:800; background:transparent; %1").arg(valueColour));
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
    phase2EntryBtn->setStyleSheet("QPushButton { border:2px dashed #4A90D9; border-radius:12px; background:rgba(74,144,217,0.06); color:#4A90D9; font-size:14px; font-weight:bold; }QPushButton:hover { background:rgba(74,144,217,0.12); border-color:#3A80C9; color:#3A80C9; }");
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
    const int cardsAt = fourCardsWidget ? contentLayout->indexOf(fourCardsWidget) : -1;
    contentLayout->insertWidget(cardsAt + 1, storageCard);
}

void ResultPage::setTheme(int theme)
{
    if (theme >= 0 && theme < 3) {
        setStyleSheet(kPageSheets[theme]);
        // A widget's own sheet beats its page's rules, so the entry button
        // gives up its start-up look for the theme's.
        if (phase2EntryBtn)
            phase2EntryBtn->setStyleSheet(QString());
    }
    this->theme = theme;
    if (storageCard) {
        const StorageColours& c = kStorageColours[theme == 0 || theme == 1 ? theme : 2];
        storageCard->setStyleSheet(QString("QFrame#storageCard { background-color:%1; border:1px solid %2; border-radius:10px; }QLabel#storageCardText { color:%3; font-size:12px; line-height:18px; }").arg(c.background, c.border, c.text));
    }
    show();
    raise();
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

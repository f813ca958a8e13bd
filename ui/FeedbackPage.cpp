#include "ui/FeedbackPage.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// %1 card, %2 title, %3 subtitle, %4 description, %5 main button.
const char* const kSheets[] = {
    "QWidget#FeedbackPage { background: #080B14; }"
    "QFrame#card { background: %1; border-radius: 24px; border: 1px solid #1E2433; }"
    "QLabel#pageTitle { color: %2; }"
    "QLabel#pageSubTitle { color: %3; }"
    "QLabel#pageDesc { color: %4; line-height: 160%; }"
    "QPushButton#primaryBtn { background: %5; color: #0B0F17; border: none; border-radius: 12px; font-weight: bold; }"
    "QPushButton#primaryBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #009FD4,stop:1 #00C2FF); }"
    "QPushButton#secondaryBtn { background: transparent; color: %4; border: 1px solid #1E2433; border-radius: 12px; }"
    "QPushButton#secondaryBtn:hover { border-color: #00C2FF; color: #00C2FF; }"
    "QFrame#protectCard { background: qlineargradient(x1:0,y1:0,x2:1,y2:1,stop:0 #181D28,stop:1 #141923); border: 1px solid #1E2433; border-radius: 20px; }"
    "QLabel#cardTag { background: rgba(0,194,255,0.08); color: #00C2FF; border-radius: 10px; padding: 4px 12px; }"
    "QLabel#cardTitle { color: #00C2FF; }"
    "QLabel#cardSubtitle { color: %4; }"
    "QLabel#cardNoPrefix { color: %4; }"
    "QLabel#cardNo { color: #E8ECF2; letter-spacing: 2px; }"
    "QLabel#validLabel { color: #535C6E; }",

    "QWidget#FeedbackPage { background: #F5EDE0; }"
    "QFrame#card { background: %1; border-radius: 28px; border: 2px solid #F0D9BD; }"
    "QLabel#pageTitle { color: %2; font-size: 28px; }"
    "QLabel#pageSubTitle { color: %3; font-size: 17px; }"
    "QLabel#pageDesc { color: %4; font-size: 16px; line-height: 160%; }"
    "QPushButton#primaryBtn { background: %5; color: white; border: none; border-radius: 14px; font-weight: bold; font-size: 18px; }"
    "QPushButton#primaryBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #E8632A,stop:1 #FF7A45); }"
    "QPushButton#secondaryBtn { background: transparent; color: %4; border: 2px solid #F0D9BD; border-radius: 14px; font-size: 18px; }"
    "QPushButton#secondaryBtn:hover { border-color: #FF7A45; color: #FF7A45; }"
    "QFrame#protectCard { background: qlineargradient(x1:0,y1:0,x2:1,y2:1,stop:0 #FFE8D5,stop:1 #F5EDE0); border: 2px solid #F0D9BD; border-radius: 24px; }"
    "QLabel#cardTag { background: rgba(255,122,69,0.08); color: #FF7A45; border-radius: 12px; padding: 6px 14px; }"
    "QLabel#cardTitle { color: #FF7A45; font-size: 28px; }"
    "QLabel#cardSubtitle { color: %4; font-size: 16px; }"
    "QLabel#cardNoPrefix { color: %4; font-size: 16px; }"
    "QLabel#cardNo { color: %2; font-size: 26px; letter-spacing: 2px; }"
    "QLabel#validLabel { color: #A0886A; font-size: 16px; }",

    "QWidget#FeedbackPage { background: #F0F2F8; }"
    "QFrame#card { background: %1; border-radius: 24px; border: 1px solid #E4E9F2; }"
    "QLabel#pageTitle { color: %2; }"
    "QLabel#pageSubTitle { color: %3; }"
    "QLabel#pageDesc { color: %4; line-height: 160%; }"
    "QPushButton#primaryBtn { background: %5; color: white; border: none; border-radius: 12px; font-weight: bold; }"
    "QPushButton#primaryBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1557C0,stop:1 #1A73E8); }"
    "QPushButton#secondaryBtn { background: transparent; color: %4; border: 1px solid #CDD5E0; border-radius: 12px; }"
    "QPushButton#secondaryBtn:hover { border-color: #1A73E8; color: #1A73E8; }"
    "QFrame#protectCard { background: qlineargradient(x1:0,y1:0,x2:1,y2:1,stop:0 #F7F9FC,stop:1 #F1F5F9); border: 1px solid #CDD5E0; border-radius: 20px; }"
    "QLabel#cardTag { background: rgba(26,115,232,0.08); color: #1A73E8; border-radius: 10px; padding: 4px 12px; }"
    "QLabel#cardTitle { color: #1A73E8; }"
    "QLabel#cardSubtitle { color: %4; }"
    "QLabel#cardNoPrefix { color: %4; }"
    "QLabel#cardNo { color: %2; letter-spacing: 2px; }"
    "QLabel#validLabel { color: #94A3B8; }",
};

struct FeedbackColours
{
    const char* card;
    const char* title;
    const char* subtitle;
    const char* desc;
    const char* mainButton;
    const char* glow;
};

const FeedbackColours kColours[] = {
    {"#141923", "#E8ECF2", "#D0D0D0", "#8B94A6",
     "qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #00C2FF,stop:1 #009FD4)", "0,194,255"},
    {"#FFFFFF", "#2D1A08", "#5C3D22", "#5C3D22",
     "qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #FF7A45,stop:1 #E8632A)", "255,122,69"},
    {"#FFFFFF", "#0F1520", "#475569", "#475569",
     "qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 #1A73E8,stop:1 #1557C0)", "26,115,232"},
};

constexpr float kFullTurn = 6.28318f;

// One phase for every glow of the process: each glow's timer advances it.
float glowPhase = 0;

// The glow timers of every page. A timer runs only while its page is shown,
// yet the shared phase moves on as fast as if every one of them ran: the
// running ones advance it for the resting ones too.
QList<QTimer*>& allGlowTimers()
{
    static QList<QTimer*> timers;
    return timers;
}

float glowStep()
{
    const QList<QTimer*>& timers = allGlowTimers();
    const auto running = std::count_if(timers.begin(), timers.end(), [](const QTimer* t) { return t->isActive(); });
    return running > 0 ? 0.02f * float(timers.size()) / float(running) : 0.02f;
}

QLabel* addLabel(QBoxLayout* layout, const QString& text, const char* objectName, int pointSize,
                 bool bold = false)
{
    auto* label = new QLabel(text);
    if (objectName)
        label->setObjectName(objectName);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    layout->addWidget(label);
    return label;
}

QPushButton* makeMainButton(const QString& text, const char* objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setFixedHeight(52);
    QFont font = button->font();
    font.setPointSize(16);
    font.setBold(true);
    button->setFont(font);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

FeedbackPage::FeedbackPage(int mode, QWidget* parent)
    : QWidget(parent)
    , mode(mode)
{
    setObjectName("FeedbackPage");
    setAttribute(Qt::WA_StyledBackground, true);

    auto* pageLayout = new QVBoxLayout(this);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("feedbackScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->verticalScrollBar()->setStyleSheet("QScrollBar:vertical { width:6px; background:transparent; }QScrollBar::handle:vertical { background:#C0C0C0; border-radius:3px; min-height:20px; }QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height:0px; }");
    scroll->setStyleSheet("QScrollArea#feedbackScroll { background: transparent; border: none; }QScrollArea#feedbackScroll > QWidget > QWidget { background: transparent; }");
    pageLayout->addWidget(scroll);

    auto* container = new QWidget;
    container->setObjectName("feedbackContainer");
    container->setStyleSheet("QWidget#feedbackContainer { background: transparent; }");
    auto* containerLayout = new QVBoxLayout(container);
    containerLayout->setContentsMargins(40, 40, 40, 40);
    containerLayout->setAlignment(Qt::AlignCenter);

    // The card's rule names the card: as a bare QFrame rule it would also box
    // every label (labels are frames) and run wrapped text across the boxes.
    card = new QFrame(container);
    card->setObjectName("card");
    card->setFixedWidth(540);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(50, 50, 50, 50);
    cardLayout->setSpacing(20);
    cardLayout->setAlignment(Qt::AlignCenter);
    auto* shadow = new QGraphicsDropShadowEffect(card);
    shadow->setBlurRadius(60);
    shadow->setOffset(0, 12);
    shadow->setColor(QColor(0, 0, 0, 25));
    card->setGraphicsEffect(shadow);
    containerLayout->addWidget(card, 0, Qt::AlignCenter);
    scroll->setWidget(container);

    if (mode == 0)
        buildThanks(cardLayout);
    else
        buildServiceCard(cardLayout);
}

void FeedbackPage::buildThanks(QVBoxLayout* layout)
{
    addLabel(layout, "✅", nullptr, 72)->setAlignment(Qt::AlignCenter);
    addLabel(layout, tr("感谢您的认可"), "pageTitle", 26, true)->setAlignment(Qt::AlignCenter);
    addLabel(layout, tr("您的支持是我们持续优化的最大动力"), "pageSubTitle", 15)->setAlignment(Qt::AlignCenter);
    layout->addSpacing(12);
    QLabel* desc = addLabel(layout, tr("为了帮助更多用户获得更好的使用体验，您是否愿意匿名分享本次优化数据？\n\n🔒 隐私承诺：我们仅收集优化耗时和清理空间大小，绝不收集任何个人信息、文件内容或设备隐私数据。"), "pageDesc", 12);
    desc->setAlignment(Qt::AlignCenter);
    desc->setWordWrap(true);
    layout->addSpacing(20);

    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    QPushButton* share = makeMainButton(tr("同意并匿名分享"), "primaryBtn");
    QPushButton* finish = makeMainButton(tr("直接完成"), "secondaryBtn");
    connect(share, &QPushButton::clicked, this, &FeedbackPage::onShareClicked);
    connect(finish, &QPushButton::clicked, this, &FeedbackPage::onFinishClicked);
    row->addWidget(share);
    row->addWidget(finish);
    layout->addLayout(row);
    addGlowEffect(share);
}

void FeedbackPage::buildServiceCard(QVBoxLayout* layout)
{
    layout->addWidget(buildProtectCard());
    QLabel* desc = addLabel(layout, tr("本次优化未能完全解决您的问题，我们为您赠送一张免费系统焕新护航卡。\n\n📝 使用方法：截图保存本卡卡号 → 联系客服激活 → 专业工程师远程为您提供系统重装、驱动安装、故障排查等全流程服务。"), "pageDesc", 14);
    desc->setAlignment(Qt::AlignCenter);
    desc->setWordWrap(true);
    layout->addSpacing(12);

    QPushButton* claim = makeMainButton(tr("领取卡号并完成"), "primaryBtn");
    connect(claim, &QPushButton::clicked, this, &FeedbackPage::onFinishClicked);
    layout->addWidget(claim);
    addGlowEffect(claim);
}

QFrame* FeedbackPage::buildProtectCard()
{
    auto* protect = new QFrame;
    protect->setObjectName("protectCard");
    // At least the card's height: its lines at their sizes need more than
    // that in some themes, and a fixed height would squeeze and cut them.
    protect->setMinimumHeight(320);
    auto* layout = new QVBoxLayout(protect);
    layout->setContentsMargins(40, 36, 40, 36);
    layout->setSpacing(12);

    auto* top = new QHBoxLayout;
    addLabel(top, "🛡️", nullptr, 28);
    top->addStretch();
    addLabel(top, tr("免费专享"), "cardTag", 12, true);
    layout->addLayout(top);

    addLabel(layout, tr("系统焕新护航卡"), "cardTitle", 24, true);
    addLabel(layout, tr("专业工程师1对1远程服务"), "cardSubtitle", 14);
    layout->addStretch();
    addLabel(layout, tr("专属卡号："), "cardNoPrefix", 14);
    QLabel* number = addLabel(layout, newCardNumber(), "cardNo", 24, true);
    QFont mono = number->font();
    mono.setFamily("Consolas");
    number->setFont(mono);
    addLabel(layout, tr("⏰ 有效期：自激活起30天内有效 | 限1次使用"), "validLabel", 14)->setWordWrap(true);
    return protect;
}

QString FeedbackPage::newCardNumber()
{
    QRandomGenerator* random = QRandomGenerator::global();
    return QString("VIP-%1-%2-%3").arg(2026).arg(random->bounded(1000, 9999)).arg(random->bounded(1000, 9999));
}

// The effect belongs to the button and the timer to the page: the pulse looks
// the effect up through a guard, so a replaced effect is never touched.
void FeedbackPage::addGlowEffect(QPushButton* button)
{
    auto* glow = new QGraphicsDropShadowEffect(button);
    glow->setBlurRadius(30);
    glow->setOffset(0, 0);
    button->setGraphicsEffect(glow);
    auto* timer = new QTimer(this);
    timer->setInterval(30);
    connect(timer, &QTimer::timeout, this, [guard = QPointer<QGraphicsDropShadowEffect>(glow)] {
        if (guard)
            pulse(guard);
    });
    glows.append(timer);
    allGlowTimers().append(timer);
    connect(timer, &QObject::destroyed, [timer] { allGlowTimers().removeOne(timer); });
    if (isVisible())
        timer->start();
}

// A hidden page's glow cannot be seen: its timer rests, so that an idle
// window wakes for nothing.
void FeedbackPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    for (QTimer* timer : qAsConst(glows))
        timer->start();
}

void FeedbackPage::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    for (QTimer* timer : qAsConst(glows))
        timer->stop();
}

void FeedbackPage::pulse(QGraphicsDropShadowEffect* glow)
{
    glowPhase += glowStep();
    if (glowPhase > kFullTurn)
        glowPhase -= kFullTurn;
    const float s = std::sin(glowPhase) * 0.5f + 0.5f;
    QColor colour = glow->color();
    colour.setAlpha(int(s * 120) + 60);
    glow->setColor(colour);
    glow->setBlurRadius(s * 30 + 25);
}

void FeedbackPage::setTheme(int theme)
{
    const FeedbackColours& c = kColours[theme == 0 || theme == 1 ? theme : 2];
    const char* sheet = kSheets[theme == 0 || theme == 1 ? theme : 2];
    setStyleSheet(QString(sheet).arg(c.card, c.title, c.subtitle, c.desc, c.mainButton));
    // Centred in its column, the card would get the height its lines want at
    // their unwrapped width; the theme's font sizes decide what its fixed
    // width needs.
    card->setMinimumHeight(card->heightForWidth(card->width()));

    const QStringList rgb = QString(c.glow).split(',');
    const QColor glowColour(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt(), 80);
    for (QPushButton* button : findChildren<QPushButton*>("primaryBtn"))
        if (auto* glow = qobject_cast<QGraphicsDropShadowEffect*>(button->graphicsEffect()))
            glow->setColor(glowColour);
}

void FeedbackPage::onShareClicked()
{
    emit shareData();
    emit finished();
}

void FeedbackPage::onFinishClicked()
{
    emit finished();
}

#include "moc_FeedbackPage.cpp"

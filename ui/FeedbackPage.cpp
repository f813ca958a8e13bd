#include "ui/FeedbackPage.h"

#include "uikit/KeyboardFocus.h"
#include "uikit/ThemePalette.h"

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

// The dark and the light theme share their sizes; the warm one has larger
// controls. The colours are each theme's roles.
const char* const kStandardSheet =
    "QWidget#FeedbackPage { background: @page; }"
    "QFrame#card { background: @surface; border-radius: 24px; border: 1px solid @border; }"
    "QLabel#pageTitle { color: @text; }"
    "QLabel#pageSubTitle { color: @subtitleText; }"
    "QLabel#pageDesc { color: @textSecondary; line-height: 160%; }"
    "QPushButton#primaryBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color: @onAccent; border: none; border-radius: 12px; font-weight: bold; }"
    "QPushButton#primaryBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }"
    "QPushButton#secondaryBtn { background: transparent; color: @textSecondary; border: 1px solid @buttonBorder; border-radius: 12px; }"
    "QPushButton#secondaryBtn:hover { border-color: @accent; color: @accent; }"
    "QFrame#protectCard { background: qlineargradient(x1:0,y1:0,x2:1,y2:1,stop:0 @cardTop,stop:1 @cardBottom); border: 1px solid @buttonBorder; border-radius: 20px; }"
    "QLabel#cardTag { background: @accent/0.08; color: @accent; border-radius: 10px; padding: 4px 12px; }"
    "QLabel#cardTitle { color: @accent; }"
    "QLabel#cardSubtitle { color: @textSecondary; }"
    "QLabel#cardNoPrefix { color: @textSecondary; }"
    "QLabel#cardNo { color: @text; letter-spacing: 2px; }"
    "QLabel#validLabel { color: @textMuted; }";

const char* const kWarmSheet =
    "QWidget#FeedbackPage { background: @page; }"
    "QFrame#card { background: @surface; border-radius: 28px; border: 2px solid @border; }"
    "QLabel#pageTitle { color: @text; font-size: 28px; }"
    "QLabel#pageSubTitle { color: @subtitleText; font-size: 17px; }"
    "QLabel#pageDesc { color: @textSecondary; font-size: 16px; line-height: 160%; }"
    "QPushButton#primaryBtn { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep); color: @onAccent; border: none; border-radius: 14px; font-weight: bold; font-size: 18px; }"
    "QPushButton#primaryBtn:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent); }"
    "QPushButton#secondaryBtn { background: transparent; color: @textSecondary; border: 2px solid @buttonBorder; border-radius: 14px; font-size: 18px; }"
    "QPushButton#secondaryBtn:hover { border-color: @accent; color: @accent; }"
    "QFrame#protectCard { background: qlineargradient(x1:0,y1:0,x2:1,y2:1,stop:0 @cardTop,stop:1 @cardBottom); border: 2px solid @buttonBorder; border-radius: 24px; }"
    "QLabel#cardTag { background: @accent/0.08; color: @accent; border-radius: 12px; padding: 6px 14px; }"
    "QLabel#cardTitle { color: @accent; font-size: 28px; }"
    "QLabel#cardSubtitle { color: @textSecondary; font-size: 16px; }"
    "QLabel#cardNoPrefix { color: @textSecondary; font-size: 16px; }"
    "QLabel#cardNo { color: @text; font-size: 26px; letter-spacing: 2px; }"
    "QLabel#validLabel { color: @textMuted; font-size: 16px; }";

const char* const kSheets[] = {kStandardSheet, kWarmSheet, kStandardSheet};

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
    scroll->verticalScrollBar()->setStyleSheet(ThemePalette::thinScrollBarSheet());
    // Without a frame the area would be an invisible stop before the buttons;
    // the button that takes the keyboard is scrolled into view.
    scroll->setFocusPolicy(Qt::NoFocus);
    keepFocusInView(scroll);
    scroll->setStyleSheet("QScrollArea#feedbackScroll { background: transparent; border: none; }QScrollArea#feedbackScroll > QWidget > QWidget { background: transparent; }");
    pageLayout->addWidget(scroll);

    auto* container = new QWidget;
    container->setObjectName("feedbackContainer");
    container->setStyleSheet("QWidget#feedbackContainer { background: transparent; }");
    auto* containerLayout = new QVBoxLayout(container);
    // Room above and below the card for its shadow; the thanks card then
    // fits the page unscrolled.
    containerLayout->setContentsMargins(40, 20, 40, 20);
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
    const ThemePalette& palette = ThemePalette::of(theme);
    const QString rules = kSheets[ThemePalette::isTheme(theme) ? theme : ThemePalette::Light];
    setStyleSheet(palette.sheet(rules + ThemePalette::buttonFocusRule({"primaryBtn", "secondaryBtn"})));
    // Centred in its column, the card would get the height its lines want at
    // their unwrapped width; the theme's font sizes decide what its fixed
    // width needs.
    card->setMinimumHeight(card->heightForWidth(card->width()));

    QColor glowColour(palette.colour("accent"));
    glowColour.setAlpha(80);
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

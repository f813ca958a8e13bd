#include "ui/Velantrix.h"

#include "phase2/Phase2Page.h"
#include "ui/AboutDialog.h"
#include "ui/FeedbackPage.h"
#include "ui/ProgressPage.h"
#include "ui/QrCodeDialog.h"
#include "ui/ResultPage.h"
#include "ui_Velantrix.h"
#include "uikit/ThemePalette.h"

// The three themes: the window's sheet and its buttons' sheets.

namespace {

// The sizes in which the three window sheets differ; the rules are shared,
// and their colours are the theme's.
struct WindowSizes
{
    const char* barBorder;
    const char* safety;
    const char* title;
    const char* subtitle;
    const char* tip;
    const char* footerName[2];  // size, weight
    const char* footerVersion;
};

const WindowSizes kWindowSizes[] = {
    {"1px", "12px", "32px", "15px", "13px", {"12px", "500"}, "10px"},
    {"2px", "14px", "36px", "17px", "15px", {"13px", "600"}, "11px"},
    {"1px", "12px", "32px", "15px", "13px", {"12px", "500"}, "10px"},
};

QString windowSheet(int theme)
{
    const WindowSizes& s = kWindowSizes[theme];
    return ThemePalette::of(theme).sheet(QStringList{
        R"(* { font-family: "Microsoft YaHei"; })",
        "Velantrix { background: @page; }",
        "QWidget#contentWidget { background: transparent; }",
        QString("#titleBar { background: @bar; border-bottom: %1 solid @border; }").arg(s.barBorder),
        QString("#safetyLabel { color: @safetyText; font-size: %1; font-weight: 600; }").arg(s.safety),
        "#appIcon { margin-top: 32px; }",
        QString("#titleLabel { color: @accent; font-size: %1; font-weight: 800; margin-top: 16px; }").arg(s.title),
        QString("#subtitleLabel { color: @textSecondary; font-size: %1; font-weight: 400; margin-top: 8px; }").arg(s.subtitle),
        QString("#tipLabel { color: @textMuted; font-size: %1; margin-top: 14px; }").arg(s.tip),
        QString("#footerBar { background: @bar; border-top: %1 solid @border; }").arg(s.barBorder),
        QString("#footerName { color: @text; font-size: %1; font-weight: %2; }").arg(s.footerName[0], s.footerName[1]),
        QString("#footerVersion { color: @textMuted; font-size: %1; }").arg(s.footerVersion),
    }.join('\n'));
}

// The six button sheets of one theme.
struct ButtonSheets
{
    QString start, mode, currentMode, tool, footer, close;
};

// Each button styles itself, so each sheet carries its focus mark.
ButtonSheets buttonSheets(int theme)
{
    const QString start = "QPushButton{background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accent,stop:1 @accentDeep);"
                          "color:@onAccent;font-size:%1;font-weight:600;border:none;border-radius:%2;padding:%3;}"
                          "QPushButton:hover{background:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 @accentDeep,stop:1 @accent);}"
                          "QPushButton:pressed{background:@accentPressed;}";
    const QString mode = "QPushButton{color:@textSecondary;background:@buttonFill;border:%1 solid @fieldBorder;"
                         "border-radius:%2;padding:%3;font-size:%4;}"
                         "QPushButton:hover{background:@hoverFill;border-color:@hoverBorder;color:@text;}";
    const QString current = "QPushButton{background:@accent;color:@onAccent;border:%1 solid @accent;border-radius:%2;"
                            "padding:%3;font-size:%4;font-weight:600;}";
    // Buttons sized by their text keep the focus ring's room in a border
    // that shows nothing, so the ring never cuts the text. The bars' buttons
    // count the ring in their height, which stays within the footer's 36
    // pixels.
    const QString tool = "QPushButton{background:transparent;color:@textSecondary;border:2px solid transparent;border-radius:8px;"
                         "font-size:%1;padding:6px 14px;}QPushButton:hover{background:@toolHover;color:@accent;}";
    const QString bar = "QPushButton{background:transparent;color:@textSecondary;border:2px solid transparent;border-radius:8px;min-width:%1;"
                        "min-height:%2;font-size:%3;}QPushButton:hover{background:%4;color:%5;}";
    ButtonSheets sheets;
    switch (theme) {
    case 0:
        sheets = {start.arg("16px", "12px", "14px 56px"), mode.arg("1.5px", "20px", "6px 18px", "13px"),
                  current.arg("1.5px", "20px", "6px 18px", "13px"), tool.arg("13px"),
                  bar.arg("40px", "26px", "14px", "@barButtonHover", "@text"),
                  bar.arg("40px", "26px", "14px", "@danger", "@onDanger")};
        break;
    case 1:
        sheets = {start.arg("18px", "14px", "16px 60px"), mode.arg("2px", "22px", "8px 20px", "15px"),
                  current.arg("2px", "22px", "8px 20px", "15px"), tool.arg("14px"),
                  bar.arg("44px", "30px", "16px", "@barButtonHover", "@text"),
                  bar.arg("44px", "30px", "16px", "@danger", "@onDanger")};
        break;
    case 2:
        sheets = {start.arg("16px", "12px", "14px 56px"), mode.arg("1.5px", "20px", "6px 18px", "13px"),
                  current.arg("1.5px", "20px", "6px 18px", "13px"), tool.arg("13px"),
                  bar.arg("40px", "26px", "14px", "@barButtonHover", "@text"),
                  bar.arg("40px", "26px", "14px", "@danger", "@onDanger")};
        break;
    default:
        return {};
    }
    const ThemePalette& palette = ThemePalette::of(theme);
    for (QString* sheet : {&sheets.start, &sheets.mode, &sheets.currentMode, &sheets.tool, &sheets.footer, &sheets.close})
        *sheet = palette.sheet(*sheet + ThemePalette::ownFocusRule());
    return sheets;
}

} // namespace

void Velantrix::setTheme(int newTheme)
{
    if (newTheme == theme)
        return;
    theme = newTheme;
    applyTheme(newTheme);
    if (progressPage->isVisible())
        progressPage->setTheme(newTheme);
    if (resultPage->isVisible())
        resultPage->setTheme(newTheme);
    thanksPage->setTheme(newTheme);
    serviceCardPage->setTheme(newTheme);
    if (qrCodeDialog)
        qrCodeDialog->setTheme(newTheme);
    if (aboutDialog)
        aboutDialog->setTheme(newTheme);
    if (phase2Page->isVisible())
        phase2Page->setTheme(newTheme);
}

void Velantrix::applyTheme(int newTheme)
{
    switch (newTheme) {
    case 0: setStyleSheet(darkStyleSheet()); break;
    case 1: setStyleSheet(warmStyleSheet()); break;
    case 2: setStyleSheet(lightStyleSheet()); break;
    default: setStyleSheet(QString()); break;
    }
    applyButtonStyles();
}

// Which mode button looks current follows the theme, not Qt's checked state.
void Velantrix::applyButtonStyles()
{
    const ButtonSheets sheets = buttonSheets(theme);
    ui->startBtn->setStyleSheet(sheets.start);
    ui->proModeBtn->setStyleSheet(theme == 2 ? sheets.currentMode : sheets.mode);
    ui->gameModeBtn->setStyleSheet(theme == 0 ? sheets.currentMode : sheets.mode);
    ui->elderModeBtn->setStyleSheet(theme == 1 ? sheets.currentMode : sheets.mode);
    for (QPushButton* tool : {ui->netFixBtn, ui->remoteBtn, ui->toolsBtn, ui->runtimeBtn})
        tool->setStyleSheet(sheets.tool);
    ui->minBtn->setStyleSheet(sheets.footer);
    ui->closeBtn->setStyleSheet(sheets.close);
    // The footer's words would touch the ring: they keep a gap inside it.
    for (QPushButton* bar : {ui->kefuBtn, ui->huhangkaBtn, ui->websiteBtn, ui->aboutBtn})
        bar->setStyleSheet(sheets.footer + "QPushButton{padding:0 6px;}");
}

QString Velantrix::darkStyleSheet() const { return windowSheet(ThemePalette::Dark); }
QString Velantrix::warmStyleSheet() const { return windowSheet(ThemePalette::Warm); }
QString Velantrix::lightStyleSheet() const { return windowSheet(ThemePalette::Light); }

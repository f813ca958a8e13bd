#include "phase2/Phase2ProgressDialog.h"

#include "common/DisplayText.h"
#include "uikit/ThemePalette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The heading has no colour of its own: the dialog's sheet gives it the
// theme's text colour. The bar and the close button keep one look in every
// theme; the button's focus ring is the theme's.
const char* const kDialogSheet = "QDialog { background:@panel; border:1px solid @border; border-radius:12px; }"
                                 "QLabel#headingLabel { color:@text; }";
const char* const kStatusSheet = "font-size:13px; color:@statusText;";
const char* const kBarSheet = "QProgressBar { border:none; border-radius:5px; background:@progressTrack; }"
                              "QProgressBar::chunk { border-radius:5px; background:qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 @progressStart,stop:1 @progressEnd); }";
const char* const kCloseSheet = "QPushButton { background:@progressStart; color:@progressButtonText; border:2px solid transparent; border-radius:8px; padding:6px 22px; font-size:13px; }"
                                "QPushButton:hover { background:@progressButtonHover; }";

} // namespace

Phase2ProgressDialog::Phase2ProgressDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFixedSize(420, 200);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);

    auto* heading = new QLabel(tr("正在执行深度优化..."), this);
    heading->setObjectName("headingLabel");
    heading->setStyleSheet("font-size:16px; font-weight:bold;");
    layout->addWidget(heading);

    // The status and the summary name startup entries and programs of the
    // machine: shown as they are, never read as markup.
    statusLabel = new QLabel(tr("准备中..."), this);
    statusLabel->setObjectName("statusLabel");
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setWordWrap(true);
    statusLabel->setStyleSheet("font-size:13px;");
    layout->addWidget(statusLabel);

    progressBar = new QProgressBar(this);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    progressBar->setFixedHeight(10);
    progressBar->setStyleSheet(ThemePalette::of(ThemePalette::Light).sheet(kBarSheet));
    layout->addWidget(progressBar);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    closeButton = new QPushButton(tr("关闭"), this);
    closeButton->setObjectName("closeBtn");
    closeButton->setCursor(Qt::PointingHandCursor);
    closeButton->setStyleSheet(ThemePalette::of(ThemePalette::Light).sheet(kCloseSheet));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    setStyleSheet(ThemePalette::of(ThemePalette::Light).sheet("QDialog { background:@panel; border:1px solid @border; border-radius:12px; }"));
}

// The status names the item just done, and a startup entry's name may run to
// thousands of characters or hold line breaks: the status stays one line,
// cut to the label's width, so no half-shown line of text hangs over the bar.
void Phase2ProgressDialog::onProgress(int percent, const QString& status)
{
    progressBar->setValue(percent);
    layout()->activate();
    statusLabel->ensurePolished();
    statusLabel->setText(statusLabel->fontMetrics().elidedText(oneLine(status), Qt::ElideRight,
                                                               statusLabel->contentsRect().width()));
}

void Phase2ProgressDialog::onFinished(const QString& summary)
{
    progressBar->setValue(100);
    statusLabel->setText(summary.left(400));
}

void Phase2ProgressDialog::setTheme(int theme)
{
    const ThemePalette& palette = ThemePalette::of(theme);
    setStyleSheet(palette.sheet(kDialogSheet));
    statusLabel->setStyleSheet(palette.sheet(kStatusSheet));
    closeButton->setStyleSheet(palette.sheet(kCloseSheet + ThemePalette::ownFocusRule()));
}

#include "phase2/Phase2ProgressDialog.h"

#include "common/DisplayText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct DialogSheets
{
    const char* dialog;
    const char* status;
    const char* heading;  // the heading has no colour of its own
};

const DialogSheets kDialogSheets[] = {
    {"QDialog { background:#141923; border:1px solid #1E2433; border-radius:12px; }", "font-size:13px; color:#C7CDD9;", "#E8ECF2"},
    {"QDialog { background:#FFF8F0; border:1px solid #F0D9BD; border-radius:12px; }", "font-size:13px; color:#5C3D22;", "#2D1A08"},
    {"QDialog { background:#FFFFFF; border:1px solid #E4E9F2; border-radius:12px; }", "font-size:13px; color:#475569;", "#0F1520"},
};

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
    progressBar->setStyleSheet("QProgressBar { border:none; border-radius:5px; background:#E4E9F2; }QProgressBar::chunk { border-radius:5px; background:qlineargradient(x1:0,y1:0,x2:1,y2:0,stop:0 #1A73E8,stop:1 #00C2FF); }");
    layout->addWidget(progressBar);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* closeButton = new QPushButton(tr("关闭"), this);
    closeButton->setObjectName("closeBtn");
    closeButton->setCursor(Qt::PointingHandCursor);
    closeButton->setStyleSheet("QPushButton { background:#1A73E8; color:white; border:none; border-radius:8px; padding:8px 24px; font-size:13px; }QPushButton:hover { background:#1557C0; }");
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    setStyleSheet("QDialog { background:#FFFFFF; border:1px solid #E4E9F2; border-radius:12px; }");
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
    const DialogSheets& sheets = kDialogSheets[theme == 0 || theme == 1 ? theme : 2];
    setStyleSheet(QString::fromUtf8(sheets.dialog) + QStringLiteral("QLabel#headingLabel { color:%1; }").arg(sheets.heading));
    statusLabel->setStyleSheet(QString::fromUtf8(sheets.status));
}

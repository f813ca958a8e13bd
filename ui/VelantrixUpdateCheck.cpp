#include "ui/Velantrix.h"

#include "common/DisplayText.h"
#include "platform/Desktop.h"
#include "ui/BoundedReplyReader.h"
#include "ui/PlainMessageBox.h"
#include "ui/UpdateCheck.h"
#include "ui_Velantrix.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkReply>
#include <QScopedPointer>

// The update check: one request once the window has shown, and the question
// an offered update asks.

void Velantrix::loadUpdaterConfig()
{
    const updatecheck::UpdaterConfig config =
        updatecheck::readUpdaterConfig(QCoreApplication::applicationDirPath() + "/updater.config");
    updateUrl = config.updateUrl;
    deviceCode = config.deviceCode;
}

void Velantrix::checkForUpdate()
{
    loadUpdaterConfig();
    const QString version = updatecheck::versionDigits(ui->footerVersion->text());
    const std::optional<QNetworkRequest> request = updatecheck::makeRequest({updateUrl, deviceCode}, version);
    if (!request)
        return;
    QNetworkReply* reply = networkManager->get(*request);
    // No answer is ever held whole: past the largest real one it is dropped.
    new BoundedReplyReader(reply, updatecheck::kMaxReplyBytes);
    connect(reply, &QNetworkReply::finished, this, &Velantrix::onUpdateCheckFinished);
}

// Every failure ends the check quietly; only an offered update is shown.
void Velantrix::onUpdateCheckFinished()
{
    QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(qobject_cast<QNetworkReply*>(sender()));
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << "Error:" << reply->errorString();
        qDebug() << "HTTP Status:" << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        qDebug() << "Response:" << reply->findChild<BoundedReplyReader*>()->body();
        return;
    }
    const std::optional<updatecheck::UpdateOffer> offer = updatecheck::parseReply(
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->findChild<BoundedReplyReader*>()->body());
    if (!offer)
        return;
    // The version is one short line of the sentence; cut, it lies whole
    // behind the details button with the note.
    const QString version = shortLine(offer->version, kBoxLineChars);
    const BoxList note = boxList(offer->note);
    const QString details = version == offer->version ? note.details : offer->version + "\n\n" + offer->note;
    if (!offer->forced) {
        if (plainMessage(this, QMessageBox::Question, tr("发现新版本"), tr("检测到新版本 %1，是否立即更新？\n\n%2").arg(version, note.shown),
                         QMessageBox::Yes | QMessageBox::No, details)
            == QMessageBox::Yes)
            launchUpdater();
    } else if (plainMessage(this, QMessageBox::Warning, tr("需要更新"), tr("检测到强制更新版本 %1，必须更新后才能继续使用。\n\n%2").arg(version, note.shown),
                            QMessageBox::Ok, details)
               == QMessageBox::Ok) {
        launchUpdater();
    }
}

// The updater runs on its own; this program neither waits nor quits.
void Velantrix::launchUpdater()
{
    win::startDetached(QCoreApplication::applicationDirPath() + "/updaterwindow.exe", {"--auto"});
}

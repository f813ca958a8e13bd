#pragma once

#include <QNetworkRequest>
#include <QString>

#include <optional>

class QByteArray;

// The pieces of the once-per-run update check that need no window: what the
// optional "updater.config" says, the request, and what an answer offers.
namespace updatecheck {

// Our own endpoint, used when no configuration names another.
inline const QString kDefaultUpdateUrl = QStringLiteral("https://update.tessaro.example/client/version/check");
inline const QString kDefaultDeviceCode = QStringLiteral("1");

// A real answer is a few hundred bytes; anything near this is not one, and
// is dropped before it is read whole.
constexpr qint64 kMaxReplyBytes = 256 * 1024;
// A server that stops sending ends the check after this long.
constexpr int kTransferTimeoutMs = 15000;

struct UpdaterConfig
{
    QString updateUrl = kDefaultUpdateUrl;
    QString deviceCode = kDefaultDeviceCode;
};

// A missing or unreadable file, or one that is not a JSON object, gives the
// defaults; each key applies only as a non-empty text.
UpdaterConfig readUpdaterConfig(const QString& path);

// The version digits of the footer's text ("V1.1.1.4" gives "1.1.1.4").
QString versionDigits(const QString& footerText);

QNetworkRequest makeRequest(const UpdaterConfig& config, const QString& version);

struct UpdateOffer
{
    QString version;
    QString note;
    bool forced = false;
};

// Nothing when the answer is not a JSON object, reports a failure code, or
// offers no version.
std::optional<UpdateOffer> parseReply(const QByteArray& body);

} // namespace updatecheck

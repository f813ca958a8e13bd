#pragma once

#include <QNetworkRequest>
#include <QString>

#include <optional>

class QByteArray;
class QUrl;

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

// Only our own kind of endpoint is asked: an https address, or an http one on
// this computer's loopback interface (a local test server). A file, a pipe
// or any other scheme is never read as an answer.
bool isAllowedUpdateUrl(const QUrl& url);

// The request for the check; nothing when the address is not allowed or the
// device code holds a control character, which would break the header it is
// sent in and could add headers of the configuration's choosing.
std::optional<QNetworkRequest> makeRequest(const UpdaterConfig& config, const QString& version);

struct UpdateOffer
{
    QString version;
    QString note;
    bool forced = false;
};

// Nothing unless the server answered with a success status (2xx: the body of
// a redirect or an error page is no answer), and the answer is a JSON object
// that reports success and offers a version.
std::optional<UpdateOffer> parseReply(int httpStatus, const QByteArray& body);

} // namespace updatecheck

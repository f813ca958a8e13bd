#include "ui/UpdateCheck.h"

#include "platform/WholeFile.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

namespace updatecheck {

namespace {

void applyText(const QJsonObject& object, const char* key, QString& target, const QString& suffix = QString())
{
    const QString value = object.value(QLatin1String(key)).toString();
    if (!value.isEmpty())
        target = value + suffix;
}

} // namespace

// The configuration is a small regular file beside the program; anything
// larger than an answer could be is not one, and a FIFO or a link in its
// place is no configuration and is never waited on.
UpdaterConfig readUpdaterConfig(const QString& path)
{
    UpdaterConfig config;
    QByteArray content;
    if (!win::readRegularFile(path, kMaxReplyBytes, &content))
        return config;
    const QJsonDocument document = QJsonDocument::fromJson(content);
    if (!document.isObject())
        return config;
    const QJsonObject object = document.object();
    applyText(object, "base_url", config.updateUrl, "/version/check");
    applyText(object, "update_url", config.updateUrl);
    applyText(object, "device_code", config.deviceCode);
    return config;
}

QString versionDigits(const QString& footerText)
{
    QString version = footerText.trimmed();
    while (!version.isEmpty() && !version.front().isDigit())
        version.remove(0, 1);
    return version;
}

bool isAllowedUpdateUrl(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    return scheme == QLatin1String("http")
           && (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
               || QHostAddress(url.host()).isLoopback());
}

std::optional<QNetworkRequest> makeRequest(const UpdaterConfig& config, const QString& version)
{
    QUrl url(config.updateUrl, QUrl::TolerantMode);
    const bool controlCharacter = std::any_of(config.deviceCode.cbegin(), config.deviceCode.cend(),
                                              [](QChar c) { return c.category() == QChar::Other_Control; });
    if (!isAllowedUpdateUrl(url) || controlCharacter)
        return std::nullopt;
    QUrlQuery query;
    query.addQueryItem("currentVersion", version);
    query.addQueryItem("platform", "WINDOWS");
    query.addQueryItem("channel", "STABLE");
    url.setQuery(query);
    QNetworkRequest request(url);
    request.setRawHeader("X-Device-Code", config.deviceCode.toUtf8());
    // Asked for as it is, the answer is never unpacked: a few kilobytes of
    // gzip could unpack to hundreds of megabytes before the size limit sees
    // a byte of them.
    request.setRawHeader("Accept-Encoding", "identity");
    return request;
}

std::optional<UpdateOffer> parseReply(int httpStatus, const QByteArray& body)
{
    if (httpStatus < 200 || httpStatus > 299)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject reply = document.object();
    const int code = reply.value("code").toInt(0);
    if (code != 0 && code != 200)
        return std::nullopt;
    const QJsonObject data = reply.value("data").toObject();
    if (!data.value("hasUpdate").toBool())
        return std::nullopt;
    const QJsonObject latest = data.value("latest").toObject();
    UpdateOffer offer;
    offer.version = latest.value("version").toString();
    offer.note = latest.value("releaseNote").toString();
    if (offer.version.isEmpty())
        return std::nullopt;
    offer.forced = data.value("forceUpdate").toBool(false);
    return offer;
}

} // namespace updatecheck

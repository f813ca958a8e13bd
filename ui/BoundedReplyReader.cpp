#include "ui/BoundedReplyReader.h"

#include <QNetworkReply>

// The reply's own buffer is bounded too, and emptied at every arrival, so the
// transfer neither stalls on a full buffer nor grows past the limit.
BoundedReplyReader::BoundedReplyReader(QNetworkReply* reply, qint64 limit)
    : QObject(reply)
    , reply(reply)
    , limit(limit)
{
    reply->setReadBufferSize(limit);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (announcesTooMuch())
            this->reply->abort();
    });
    connect(reply, &QNetworkReply::readyRead, this, &BoundedReplyReader::readMore);
}

bool BoundedReplyReader::announcesTooMuch() const
{
    return reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > limit;
}

void BoundedReplyReader::readMore()
{
    if (!reply->isOpen())
        return;
    received += reply->read(limit + 1 - received.size());
    if (received.size() > limit)
        reply->abort();
}

QByteArray BoundedReplyReader::body()
{
    readMore();
    return received.left(int(limit));
}

#include "moc_BoundedReplyReader.cpp"

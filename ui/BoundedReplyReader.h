#pragma once

#include <QByteArray>
#include <QObject>

class QNetworkReply;

// Reads a network reply as it arrives, up to a limit: a reply that announces
// or brings more is aborted, so no answer is ever held whole in memory. It
// lives as a child of the reply it reads.
class BoundedReplyReader : public QObject
{
    Q_OBJECT

public:
    BoundedReplyReader(QNetworkReply* reply, qint64 limit);

    // Everything read so far, the rest of the reply's buffer included.
    QByteArray body();

private:
    void readMore();
    bool announcesTooMuch() const;

    QNetworkReply* reply;
    qint64 limit;
    QByteArray received;
};

#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

// A small HTTP server on the loopback interface for one test: it records each
// request's target and its "X-Device-Code" header, and answers as told, or
// never, or with an endless body. Header only: it needs the network library,
// which only the window tests link.
class LoopbackHttpServer : public QObject
{
public:
    enum class Mode {
        Answer,        // status and body as set
        Silent,        // reads the request, never answers
        FloodSized,    // announces and streams a body of floodBytes
        FloodUnsized,  // streams floodBytes without announcing a length
    };

    LoopbackHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
    }

    QString url(const QString& path = QString()) const
    {
        return QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

    // An address where nothing listens: connections to it are refused.
    static QString refusingUrl()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return QString("http://127.0.0.1:%1/client/version/check").arg(port);
    }

    Mode mode = Mode::Answer;
    int status = 200;
    QByteArray body;
    QByteArray contentEncoding;   // sent as Content-Encoding when not empty
    qint64 floodBytes = 64LL * 1024 * 1024;

    QStringList targets;          // "/path?query" of each request
    QList<QByteArray> deviceCodes;
    qint64 floodWritten = 0;      // body bytes the client took before it hung up

private:
    void serve(QTcpSocket* socket)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            m_requests[socket] += socket->readAll();
            const QByteArray& request = m_requests[socket];
            if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            record(request);
            answer(socket);
        });
    }

    void record(const QByteArray& request)
    {
        const QList<QByteArray> lines = request.left(request.indexOf("\r\n\r\n")).split('\n');
        targets << QString::fromUtf8(lines.value(0).split(' ').value(1));
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("x-device-code:"))
                deviceCodes << line.mid(line.indexOf(':') + 1).trimmed();
    }

    void answer(QTcpSocket* socket)
    {
        switch (mode) {
        case Mode::Silent:
            return;
        case Mode::Answer:
            socket->write(QString("HTTP/1.1 %1 Status\r\nContent-Type: application/json\r\n"
                                  "Content-Length: %2\r\nConnection: close\r\n")
                              .arg(status)
                              .arg(body.size())
                              .toLatin1()
                          + (contentEncoding.isEmpty() ? QByteArray() : "Content-Encoding: " + contentEncoding + "\r\n")
                          + "\r\n" + body);
            socket->disconnectFromHost();
            return;
        case Mode::FloodSized:
        case Mode::FloodUnsized:
            flood(socket);
            return;
        }
    }

    // Writes the body in chunks as the client takes them, so the test never
    // holds the whole of it.
    void flood(QTcpSocket* socket)
    {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n";
        if (mode == Mode::FloodSized)
            head += "Content-Length: " + QByteArray::number(floodBytes) + "\r\n";
        socket->write(head + "\r\n");
        const QByteArray chunk(64 * 1024, ' ');
        auto more = [this, socket, chunk] {
            while (socket->bytesToWrite() < 4 * chunk.size() && floodWritten < floodBytes) {
                socket->write(chunk);
                floodWritten += chunk.size();
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

#include "httpstub.h"

#include <QTcpSocket>

namespace lanting::test
{

HttpStub::HttpStub()
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *c = nextPendingConnection()) {
            connect(c, &QTcpSocket::readyRead, c, [this, c] {
                const QByteArray head = c->peek(c->bytesAvailable());
                if (!head.contains("\r\n\r\n"))
                    return;
                c->readAll();
                requests << head.left(head.indexOf("\r\n")).split(' ').value(1);
                if (onRequest)
                    onRequest();
                if (silent)
                    return;
                c->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                         QByteArray::number(answer.size()) + "\r\nConnection: close\r\n\r\n" +
                         answer);
                c->disconnectFromHost();
            });
            connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
        }
    });
}

QString HttpStub::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}

} // namespace lanting::test

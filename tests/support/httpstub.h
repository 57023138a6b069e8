#pragma once

// A small HTTP server on loopback standing in for the SMS gateway: it
// records every request line and answers with the body set, or not at all.

#include <QByteArrayList>
#include <QTcpServer>
#include <functional>

namespace lanting::test
{

class HttpStub : public QTcpServer
{
public:
    HttpStub();
    QString baseUrl() const;
    QByteArray answer = "0";
    QByteArray status = "200 OK";
    bool silent = false;     // keep the connection open and never answer
    QByteArrayList requests; // the request targets, as sent ("/login/?id=...")
    std::function<void()> onRequest; // run as each request arrives
};

} // namespace lanting::test

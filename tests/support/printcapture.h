#pragma once

// The device of the test print queue: the queue sends every job to a socket
// on loopback (LANTING_TEST_PRINTER_PORT), where this collects it.

#include <QByteArray>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QTcpServer>

namespace lanting::test
{

class PrintCapture
{
public:
    // The queue's name, or empty (the test skips, or fails under the test
    // command) when the test command did not set one up.
    static QString queue();
    bool listen();
    const QList<QByteArray> &jobs() const { return m_jobs; }
    // Jobs whose connection has closed.
    int finished() const { return m_finished; }
    // The text of a printed PDF page.
    static QString pdfText(const QByteArray &pdf);
    // The text with its layout kept (centred lines start with blanks).
    static QString pdfLayoutText(const QByteArray &pdf);
    // The size of the first page, in points.
    static QSizeF pdfPageSize(const QByteArray &pdf);

private:
    QTcpServer m_device;
    QList<QByteArray> m_jobs;
    int m_finished = 0;
};

} // namespace lanting::test

// Declares `queue`; skips or fails without the test print queue.
#define LT_USE_PRINT_QUEUE()                                                                       \
    const QString queue = lanting::test::PrintCapture::queue();                                    \
    if (queue.isEmpty()) {                                                                         \
        if (qEnvironmentVariableIsSet("LANTING_REQUIRE_PRINTER"))                                  \
            QFAIL("the test print queue is not set up");                                           \
        QSKIP("no test print queue (LANTING_TEST_PRINTER)");                                       \
    }

#include "printcapture.h"

#include <QProcess>
#include <QTcpSocket>

using namespace Qt::Literals::StringLiterals;

namespace lanting::test
{

QString PrintCapture::queue()
{
    if (qEnvironmentVariableIntValue("LANTING_TEST_PRINTER_PORT") == 0)
        return {};
    return qEnvironmentVariable("LANTING_TEST_PRINTER");
}

bool PrintCapture::listen()
{
    const int port = qEnvironmentVariableIntValue("LANTING_TEST_PRINTER_PORT");
    if (!m_device.listen(QHostAddress::LocalHost, quint16(port)))
        return false;
    QObject::connect(&m_device, &QTcpServer::newConnection, &m_device, [this] {
        while (QTcpSocket *c = m_device.nextPendingConnection()) {
            const qsizetype slot = m_jobs.size();
            m_jobs.append(QByteArray());
            QObject::connect(c, &QTcpSocket::readyRead, c,
                             [this, c, slot] { m_jobs[slot] += c->readAll(); });
            QObject::connect(c, &QTcpSocket::disconnected, c, [this, c] {
                ++m_finished;
                c->deleteLater();
            });
        }
    });
    return true;
}

// What a poppler tool writes about the document given on its input.
static QString readPdf(const QString &tool, const QStringList &args, const QByteArray &pdf)
{
    QProcess p;
    p.start(tool, args);
    p.write(pdf);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString PrintCapture::pdfText(const QByteArray &pdf)
{
    return readPdf(u"pdftotext"_s, {u"-"_s, u"-"_s}, pdf);
}

QString PrintCapture::pdfLayoutText(const QByteArray &pdf)
{
    return readPdf(u"pdftotext"_s, {u"-layout"_s, u"-"_s, u"-"_s}, pdf);
}

QSizeF PrintCapture::pdfPageSize(const QByteArray &pdf)
{
    // "Page size:      201 x 250.5 pts"
    for (const QString &line : readPdf(u"pdfinfo"_s, {u"-"_s}, pdf).split(u'\n'))
        if (line.startsWith(u"Page size:"_s)) {
            const QStringList parts = line.mid(10).simplified().split(u' ');
            if (parts.size() >= 3)
                return {parts[0].toDouble(), parts[2].toDouble()};
        }
    return {};
}

} // namespace lanting::test

#include "escpos.h"

#include "appstate.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{
constexpr char ESC = 0x1B, GS = 0x1D, FS = 0x1C;

QByteArray command(std::initializer_list<char> bytes)
{
    return QByteArray(bytes.begin(), qsizetype(bytes.size()));
}

bool wide(char32_t c)
{
    // East Asian wide and full-width characters.
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

QString sendTcp(const EscposTarget &t, const QByteArray &bytes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    socket.connectToHost(t.host, t.port);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return u"无法连接小票打印机 %1:%2（%3）"_s.arg(t.host).arg(t.port).arg(
            socket.errorString());
    socket.write(bytes);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
            return u"小票打印机 %1:%2 没有收下打印内容（%3）"_s.arg(t.host).arg(t.port).arg(
                socket.errorString());
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(int(std::max<qint64>(1, deadline.remainingTime())));
    return {};
}

QString sendFile(const EscposTarget &t, const QByteArray &bytes, int timeoutMs)
{
    // Without waiting on a device that is off or full: each write waits at
    // most what is left of the time-out.
    const int fd = ::open(QFile::encodeName(t.path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return u"无法打开小票打印机 %1（%2）"_s.arg(t.path,
                                                    QString::fromLocal8Bit(strerror(errno)));
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype done = 0;
    QString why;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            why = QString::fromLocal8Bit(strerror(errno));
            break;
        }
        pollfd p{fd, POLLOUT, 0};
        if (deadline.hasExpired() || ::poll(&p, 1, int(deadline.remainingTime())) <= 0) {
            why = u"等待超时"_s;
            break;
        }
    }
    ::close(fd);
    return why.isEmpty() ? QString() : u"小票打印机 %1 没有收下打印内容（%2）"_s.arg(t.path, why);
}

QString sendQueue(const EscposTarget &t, const QByteArray &bytes, int timeoutMs)
{
    QProcess lp;
    lp.start(u"lp"_s, {u"-s"_s, u"-d"_s, t.path, u"-o"_s, u"raw"_s});
    if (!lp.waitForStarted(timeoutMs))
        return u"无法启动打印命令 lp（%1）"_s.arg(lp.errorString());
    lp.write(bytes);
    lp.closeWriteChannel();
    if (!lp.waitForFinished(timeoutMs)) {
        lp.kill();
        lp.waitForFinished(1000);
        return u"打印队列 %1 没有及时接收打印内容"_s.arg(t.path);
    }
    if (lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0)
        return u"打印队列 %1 拒绝了打印内容：%2"_s.arg(
            t.path, QString::fromLocal8Bit(lp.readAllStandardError()).trimmed());
    return {};
}

} // namespace

EscposTarget escposTarget(const QString &address)
{
    EscposTarget t;
    const QString a = address.trimmed();
    if (a.isEmpty())
        return t;
    if (a.startsWith(u'/')) {
        t.kind = EscposTarget::File;
        t.path = a;
        return t;
    }
    if (a.startsWith(u"cups:"_s, Qt::CaseInsensitive)) {
        t.kind = EscposTarget::Queue;
        t.path = a.mid(5);
        return t;
    }
    const QUrl url = QUrl::fromUserInput(a.contains(u"://"_s) ? a : u"tcp://"_s + a);
    // An address of digits and dots, or a host with a port, is a network
    // printer; a bare name is a CUPS queue.
    const bool network =
        a.startsWith(u"tcp://"_s, Qt::CaseInsensitive) || a.contains(u':') || a.front().isDigit();
    if (network && url.isValid() && !url.host().isEmpty()) {
        t.kind = EscposTarget::Tcp;
        t.host = url.host();
        t.port = quint16(url.port(9100));
        return t;
    }
    t.kind = EscposTarget::Queue;
    t.path = a;
    return t;
}

QStringList wrapToWidth(const QString &line, int columns)
{
    QStringList out;
    QString piece;
    int used = 0;
    for (const char32_t c : line.toUcs4()) {
        const int w = wide(c) ? 2 : 1;
        if (used + w > columns && !piece.isEmpty()) {
            out << piece;
            piece.clear();
            used = 0;
        }
        piece += QString::fromUcs4(&c, 1);
        used += w;
    }
    out << piece;
    return out;
}

int printWidth(const QString &text)
{
    int w = 0;
    for (const char32_t c : text.toUcs4())
        w += wide(c) ? 2 : 1;
    return w;
}

int paperColumns(int paperMillimetres)
{
    return paperMillimetres >= 80 ? 48 : 32;
}

QByteArray escposDocument(const QStringList &lines, const QList<bool> &centred, int columns)
{
    QStringEncoder gb18030("GB18030");
    QByteArray out;
    out += command({ESC, '@'}); // reset
    out += command({FS, '&'});  // Chinese characters on
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool centre = centred.value(i);
        if (centre)
            out += command({ESC, 'a', 1});
        for (const QString &piece : wrapToWidth(lines[i], columns))
            out += QByteArray(gb18030.encode(piece)) + '\n';
        if (centre)
            out += command({ESC, 'a', 0});
    }
    out += command({ESC, 'd', 4}); // feed past the cutter
    out += command({GS, 'V', 1});  // partial cut
    return out;
}

void sendEscposLater(const EscposTarget &target, const QByteArray &bytes,
                     std::function<void(const QString &why)> failed)
{
    auto *watcher = new QFutureWatcher<QString>(QCoreApplication::instance());
    QObject::connect(watcher, &QFutureWatcher<QString>::finished, watcher,
                     [watcher, failed = std::move(failed)] {
                         const QString why = watcher->result();
                         watcher->deleteLater();
                         if (!why.isEmpty() && failed)
                             failed(why);
                     });
    watcher->setFuture(QtConcurrent::run([target, bytes] { return sendEscpos(target, bytes); }));
}

EscposTarget receiptEscpos()
{
    return escposTarget(state().escposAddress);
}

int receiptColumns()
{
    return paperColumns(state().paperMm);
}

QString sendEscpos(const EscposTarget &target, const QByteArray &bytes, int timeoutMs)
{
    switch (target.kind) {
    case EscposTarget::None:
        return u"没有设置ESC/POS小票打印机的地址。"_s;
    case EscposTarget::Tcp:
        return sendTcp(target, bytes, timeoutMs);
    case EscposTarget::File:
        return sendFile(target, bytes, timeoutMs);
    case EscposTarget::Queue:
        return sendQueue(target, bytes, timeoutMs);
    }
    return {};
}

} // namespace lanting::devices

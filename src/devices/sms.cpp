#include "sms.h"

#include "amounts.h"
#include "database.h"
#include "sysinfo.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringEncoder>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{

QByteArray enc(const QString &v)
{
    return QUrl::toPercentEncoding(v);
}

QUrl request(const QString &base, const QByteArray &pathAndQuery)
{
    QByteArray b = base.trimmed().toUtf8();
    while (b.endsWith('/'))
        b.chop(1);
    return QUrl::fromEncoded(b + pathAndQuery, QUrl::StrictMode);
}

} // namespace

SmsAccount &smsAccount()
{
    static SmsAccount a;
    return a;
}

QString md5Hex(const QString &text)
{
    // Over the bytes of the Simplified Chinese ANSI code page (GBK), as the
    // gateway's own clients compute it; ASCII is one byte a character either
    // way. Without a GBK converter, UTF-8.
    QStringEncoder gbk("GBK");
    QByteArray bytes = gbk.isValid() ? QByteArray(gbk.encode(text)) : text.toUtf8();
    if (gbk.hasError())
        bytes = text.toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString fillRechargeTemplate(QString tpl, const QString &name, const QString &card,
                             const QString &amount, const QString &balance)
{
    return tpl.replace(u"#姓名#"_s, name)
        .replace(u"#卡号#"_s, card)
        .replace(u"#充值金额#"_s, amount)
        .replace(u"#余额#"_s, balance);
}

QString fillConsumptionTemplate(QString tpl, const QString &name, const QString &card,
                                const QString &amount, const QString &balance,
                                const QString &points)
{
    return tpl.replace(u"#姓名#"_s, name)
        .replace(u"#卡号#"_s, card)
        .replace(u"#消费金额#"_s, amount)
        .replace(u"#余额#"_s, balance)
        .replace(u"#积分#"_s, points);
}

QUrl loginUrl(const QString &base, const QString &account, const QString &digest)
{
    return request(base, "/login/?id=" + enc(account) + "&pwd=" + enc(digest));
}

QUrl sendUrl(const QString &base, const QString &account, const QString &digest,
             const QString &mobile, const QString &text)
{
    return request(base, "/send/?id=" + enc(account) + "&pwd=" + enc(digest) +
                             "&num=" + enc(mobile) + "&con=" + enc(text));
}

QUrl changePasswordUrl(const QString &base, const QString &account)
{
    return request(base, "/chpwd/?id=" + enc(account));
}

LoginAnswer readLoginAnswer(const QString &body)
{
    const QString t = body.trimmed();
    if (t == u"p"_s)
        return {LoginAnswer::WrongAccount, {}};
    static const QRegularExpression number(u"^\\d+$"_s);
    if (number.match(t).hasMatch())
        return {LoginAnswer::Count, t};
    return {LoginAnswer::Failure, {}};
}

SmsGateway::SmsGateway() : m_net(new QNetworkAccessManager(this)) {}

SmsGateway &SmsGateway::instance()
{
    static SmsGateway *g = new SmsGateway; // lives as long as the program
    return *g;
}

void SmsGateway::login(const QString &account, const QString &password,
                       std::function<void(LoginAnswer, QString)> done)
{
    QString base;
    try {
        base = GetSysInfo(u"smsurl"_s);
    } catch (const DbError &e) {
        done({}, e.message());
        return;
    }
    const QUrl url = loginUrl(base, account, md5Hex(password));
    if (base.trimmed().isEmpty() || !url.isValid() || url.host().isEmpty()) {
        done({}, u"短信平台地址没有设置或不正确。"_s);
        return;
    }
    QNetworkRequest req(url);
    req.setTransferTimeout(kTimeoutMs);
    QNetworkReply *reply = m_net->get(req);
    connect(reply, &QNetworkReply::finished, this, [reply, done] {
        reply->deleteLater();
        // A server that answered with an error page answered all the same:
        // its body is no count, so the login failed.
        const bool answered =
            reply->error() != QNetworkReply::OperationCanceledError && // not timed out midway
            reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        if (reply->error() != QNetworkReply::NoError && !answered) {
            done({}, reply->error() == QNetworkReply::OperationCanceledError
                         ? u"连接短信平台超时。"_s
                         : reply->errorString());
            return;
        }
        done(readLoginAnswer(QString::fromUtf8(reply->readAll())), QString());
    });
}

void SmsGateway::send(const QString &mobile, const QString &text)
{
    const SmsAccount &a = smsAccount();
    QString base;
    try {
        base = GetSysInfo(u"smsurl"_s);
    } catch (const DbError &) {
        return;
    }
    const QUrl url = sendUrl(base, a.id, md5Hex(a.pwd), mobile, text);
    if (base.trimmed().isEmpty() || !url.isValid() || url.host().isEmpty())
        return;
    QNetworkRequest req(url);
    req.setTransferTimeout(kTimeoutMs);
    QNetworkReply *reply = m_net->get(req);
    ++m_sent;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        ++m_finished;
        reply->deleteLater();
    });
}

namespace
{

// The member's telephone number and points, empty when there is none.
std::pair<QString, QString> telAndPoints(const QString &card)
{
    Sql q(u"SELECT tel, jf FROM mber WHERE id = ?"_s);
    q.bind(card).exec();
    if (!q.next())
        return {};
    return {q.text(0), FmtJe(q.amount(1))};
}

} // namespace

void SendCzSms(const QString &name, const QString &card, const QString &amount,
               const QString &balance)
{
    try {
        if (GetSysInfo(u"czsendm"_s) != u"yes"_s || !smsAccount().loggedIn())
            return;
        const QString tel = telAndPoints(card).first;
        if (tel.isEmpty())
            return;
        SmsGateway::instance().send(
            tel, fillRechargeTemplate(GetSysInfo(u"czmoban"_s), name, card, amount, balance));
    } catch (const DbError &) {
        // A message is never worth interrupting the till for.
    }
}

void SendXfSms(const QString &name, const QString &card, const QString &amount,
               const QString &balance)
{
    try {
        if (GetSysInfo(u"xfsendm"_s) != u"yes"_s || !smsAccount().loggedIn())
            return;
        const auto [tel, points] = telAndPoints(card);
        if (tel.isEmpty())
            return;
        SmsGateway::instance().send(tel, fillConsumptionTemplate(GetSysInfo(u"xfmoban"_s), name,
                                                                 card, amount, balance, points));
    } catch (const DbError &) {
    }
}

} // namespace lanting::devices

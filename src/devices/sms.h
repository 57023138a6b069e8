#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;

namespace lanting::devices
{

// The SMS account, kept in memory for the running program only.
struct SmsAccount {
    QString id, pwd;
    bool loggedIn() const { return !id.isEmpty(); }
};
SmsAccount &smsAccount();

// 32 lower-case hexadecimal digits of the MD5 digest of the text's bytes.
QString md5Hex(const QString &text);

// The templates with their placeholders replaced, in the documented order.
QString fillRechargeTemplate(QString tpl, const QString &name, const QString &card,
                             const QString &amount, const QString &balance);
QString fillConsumptionTemplate(QString tpl, const QString &name, const QString &card,
                                const QString &amount, const QString &balance,
                                const QString &points);

// The gateway requests on the base address (setting smsurl). Every value is
// percent-encoded as UTF-8, so "&", "#" and Chinese text arrive whole.
QUrl loginUrl(const QString &base, const QString &account, const QString &digest);
QUrl sendUrl(const QString &base, const QString &account, const QString &digest,
             const QString &mobile, const QString &text);
QUrl changePasswordUrl(const QString &base, const QString &account);

// What a login answer says.
struct LoginAnswer {
    enum Kind { Count, WrongAccount, Failure } kind = Failure;
    QString count;
};
LoginAnswer readLoginAnswer(const QString &body);

// The gateway connection of the program.
class SmsGateway : public QObject
{
    Q_OBJECT

public:
    static SmsGateway &instance();
    static constexpr int kTimeoutMs = 5000;

    // Asks for the quota; done gets the answer, or an error description
    // (network down, time-out). Never blocks.
    void login(const QString &account, const QString &password,
               std::function<void(LoginAnswer, QString error)> done);
    // Hands a message to the gateway; the answer is not read and nothing is
    // ever retried.
    void send(const QString &mobile, const QString &text);
    int sent() const { return m_sent; }
    int finished() const { return m_finished; } // sends answered, failed or timed out

private:
    SmsGateway();
    QNetworkAccessManager *m_net;
    int m_sent = 0;
    int m_finished = 0;
};

// The recharge and consumption messages; they send only when the switch is
// "yes", an account is logged in and the member has a telephone number.
// They never show anything and never touch what the caller stored.
void SendCzSms(const QString &name, const QString &card, const QString &amount,
               const QString &balance);
void SendXfSms(const QString &name, const QString &card, const QString &amount,
               const QString &balance);

} // namespace lanting::devices

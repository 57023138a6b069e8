#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

namespace lanting::members
{

inline const QString kNoCardId = QStringLiteral("000000000000");

struct MemberHit {
    QString id, name, lv;
};

// Members for what was typed or swiped: with magnetic-stripe cards a part of
// the card number or name, or the whole telephone number (at most 14);
// with IC cards the exact card number.
QList<MemberHit> findMembers(const QString &text, bool icCard);
constexpr int kMaxHits = 14;

struct Member {
    QString id, name;
    int sex = 0;
    QString lv, tel, zjlx, zjhm, pwd;
    QDateTime csny;
    bool booljzrq = false;
    QDateTime jzrq;
    QString jsr, addr, qq, fx, photo, ps;
    double ye = 0, csje = 0;
    qint64 csjf = 0;
    double jf = 0;
    int st = 0;
    double ljxfje = 0;
    int ljxfcs = 0;
    double ljczje = 0;
    QDateTime createtime;
};

std::optional<Member> readMember(const QString &id);

// The state the screens work with: the stored one, or 3 when the card has
// an expiry moment that has passed (never stored).
int shownState(const Member &m, const QDateTime &now);
QString sexText(int sex);

struct SaleRow {
    int id = 0;
    QDateTime time;
    double amount = 0; // card part plus cash part
    QVariant jf;
    QString czy, ps;
};
struct RechargeRow {
    int id = 0;
    QDateTime time;
    double ssje = 0, czje = 0;
    QString yhsm, czy, ps;
};
struct EventRow {
    int id = 0;
    QDateTime txsj;
    QString lx, ps, czy;
};
struct ExchangeRow {
    int id = 0;
    QDateTime time;
    QVariant jf;
    QString ps, czy;
};
struct LineRow {
    QString spid, spmc;
    double dj = 0, zk = 0, zhdj = 0, sl = 0;
    QVariant jf;
    double je = 0;
};

struct History {
    QList<SaleRow> sales; // newest first
    double total = 0;     // sum of the sale amounts, not truncated
    QList<RechargeRow> recharges;
    QList<EventRow> events;
    QList<ExchangeRow> exchanges;
};

// The four histories of a member; the stored consumption totals are brought
// in line with the consumption history on the way.
History readHistory(const QString &id);
QList<LineRow> saleLines(int conId);

} // namespace lanting::members

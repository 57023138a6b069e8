#pragma once

#include "amounts.h"
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

// An SQL condition on mber, with its values, that holds for the members
// whose card number or name contains the text (without regard to case). It
// goes through the trigram index when `indexed` (three characters or more,
// held by few members); otherwise it is a plain substring comparison.
struct TextCondition {
    QString sql;
    QVariantList values;
    bool indexed = false;
};
TextCondition containsText(const QString &text);

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
    Amount ye, csje = 0;
    qint64 csjf = 0;
    Amount jf;
    int st = 0;
    Amount ljxfje;
    int ljxfcs = 0;
    Amount ljczje;
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
    Amount amount; // card part plus cash part
    std::optional<Amount> jf;
    QString czy, ps;
};
struct RechargeRow {
    int id = 0;
    QDateTime time;
    Amount ssje, czje = 0;
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
    std::optional<Amount> jf;
    QString ps, czy;
};
struct LineRow {
    QString spid, spmc;
    Amount dj, zk = 0, zhdj = 0, sl = 0;
    std::optional<Amount> jf;
    Amount je;
};

// The histories of a member are read a batch at a time, newest first: the
// first batch when the member is shown, the next ones as the lists scroll.
constexpr int kHistoryBatch = 100;

struct History {
    QList<SaleRow> sales;         // the first batch, newest first
    QList<RechargeRow> recharges; // the first batch
    QList<EventRow> events;       // all of them
    QList<ExchangeRow> exchanges; // the first batch
};

// The first batch of each of the member's histories.
History readHistory(const QString &id);

struct Totals {
    Amount total;  // sum of all the sale amounts, not truncated
    int count = 0; // number of all the sales
};
// The totals of the member's sales, summed over all of them; the stored
// consumption totals are brought in line with them on the way (and written
// only when they differ). A long history (the no-card customer's) takes a
// while, so the panel shows its first screen before it asks for these.
Totals consumptionTotals(const QString &id);
// The rows of a history after the first `from`, at most `count`.
QList<SaleRow> saleRows(const QString &id, int from, int count = kHistoryBatch);
QList<RechargeRow> rechargeRows(const QString &id, int from, int count = kHistoryBatch);
QList<ExchangeRow> exchangeRows(const QString &id, int from, int count = kHistoryBatch);
QList<LineRow> saleLines(int conId);

} // namespace lanting::members

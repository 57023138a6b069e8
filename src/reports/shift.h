#pragma once

// The shift handover: what an operator took in over a period, the handover
// record, and the handover history.

#include "amounts.h"
#include <QDateTime>
#include <QList>
#include <QString>

namespace lanting::reports
{

struct ShiftSale {
    int id = 0;
    QString card, name;
    Amount amount = 0; // cash and card parts, cut to cents
    QDateTime time;
};

struct ShiftRecharge {
    QString card, name;
    Amount paid = 0, credited = 0;
    QString explanation;
    QDateTime time;
};

// The sums are cut to cents after every row, as the shift has always been
// counted.
struct ShiftTotals {
    Amount cash = 0, card = 0, returns = 0, rechargeCash = 0, credited = 0;
    Amount refundCash = 0, refundCard = 0;
    QList<ShiftSale> sales;
    QList<ShiftRecharge> recharges;
};

// What the operator recorded between the two moments, both included.
ShiftTotals shiftTotals(const QString &operatorName, const QDateTime &from, const QDateTime &to);

struct Handover {
    QString czy;
    QDateTime loginTime, handoverTime;
    Amount yyje = 0, ssxj = 0, czje = 0, thfhxj = 0, thfhcz = 0;
};
void recordHandover(const Handover &h);
// Handover records whose login moment (byLogin) or handover moment lies in
// the period, both ends included, in the order stored.
QList<Handover> handovers(bool byLogin, const QDateTime &from, const QDateTime &to);

// The backup of the way out: a copy of the database as "qzdbbak.qdb" in the
// folder, created when missing. False when no copy was made.
bool backupOnExit(const QString &folder);

} // namespace lanting::reports

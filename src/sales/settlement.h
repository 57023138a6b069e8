#pragma once

// Settling a sale: its points, its receipt, and the writes of a payment.

#include "basket.h"

#include <QList>
#include <QString>
#include <optional>

namespace lanting::sales
{

// The points of a sale: special goods earn their own points per unit (the
// quantity times the points, cut), the other goods one point per full
// `yuan` of their amounts (none when yuan is 0). The no-card customer
// earns none.
qint64 salePoints(const QList<BasketLine> &lines, double total, double yuan, const QString &card);

// The receipt of a sale up to its points line, each line ended by CR LF.
// The member lines are the captions of the sale window; the card line only
// when showCard.
QString saleReceipt(const QString &nameLine, const QString &idLine, const QString &levelLine,
                    bool showCard, const QList<BasketLine> &lines, double total, qint64 points);

enum class PayRefusal { None, WrongPassword, NoBalance, NoMember };

struct SaleInput {
    QString card;
    QList<BasketLine> lines;
    double total = 0;
    qint64 points = 0;
    double cardPart = 0; // taken from the balance; the rest is cash
    // Checked against the member's password when set (card payment, or a
    // mixed one with a card part).
    std::optional<QString> password;
};

struct SaleResult {
    PayRefusal refusal = PayRefusal::None;
    double balance = 0; // the member's balance afterwards
    int conId = 0;
};

// Writes a sale in one step: the balance and points of the member, the sale
// header, the stock of every line (never below 0) and the lines. A refusal
// writes nothing.
SaleResult recordSale(const SaleInput &sale);

struct DirectResult {
    PayRefusal refusal = PayRefusal::None;
    double balance = 0;
    double points = 0; // the member's points afterwards
};

// A direct consumption of a plain amount, from the balance (the password
// checked) or in cash, with one point per full `yuan` (none when yuan is 0),
// in one step.
DirectResult recordDirectSale(const QString &card, double amount, bool fromBalance,
                              const QString &password, const QString &remark, double yuan);

} // namespace lanting::sales

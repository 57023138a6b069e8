#pragma once

// Settling a sale: its points, its receipt, and the writes of a payment.

#include "amounts.h"
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
// Whole points; invalid when they cannot be held.
Amount salePoints(const QList<BasketLine> &lines, Amount total, Amount yuan, const QString &card);

// The receipt of a sale up to its points line, each line ended by CR LF.
// The member lines are the captions of the sale window; the card line only
// when showCard.
QString saleReceipt(const QString &nameLine, const QString &idLine, const QString &levelLine,
                    bool showCard, const QList<BasketLine> &lines, Amount total, Amount points);

enum class PayRefusal {
    None,
    WrongPassword,
    NoBalance,
    NoMember,
    NoStock,    // sold meanwhile at another till (refusal.goods names it)
    OutOfRange, // an amount, the balance or the points beyond kMaxAmount
};

struct SaleInput {
    QString card;
    QList<BasketLine> lines;
    Amount total = 0;
    Amount points;
    Amount cardPart = 0; // taken from the balance; the rest is cash
    // Checked against the member's password when set (card payment, or a
    // mixed one with a card part).
    std::optional<QString> password;
};

struct SaleResult {
    PayRefusal refusal = PayRefusal::None;
    QString goods{};    // the goods short of stock
    Amount balance = 0; // the member's balance afterwards
    int conId = 0;
};

// Writes a sale in one step: the balance and points of the member, the sale
// header, the stock of every line (never below 0) and the lines. Unless
// goods may be oversold, the stock is checked again under lock, so that two
// tills cannot both sell the last piece. A refusal writes nothing.
SaleResult recordSale(const SaleInput &sale);

// What the member's card holds now (0 for no such member). Throws DbError.
Amount cardBalance(const QString &card);

struct DirectResult {
    PayRefusal refusal = PayRefusal::None;
    Amount balance = 0;
    Amount points = 0; // the member's points afterwards
};

// A direct consumption of a plain amount, from the balance (the password
// checked) or in cash, with one point per full `yuan` (none when yuan is 0),
// in one step.
DirectResult recordDirectSale(const QString &card, Amount amount, bool fromBalance,
                              const QString &password, const QString &remark, Amount yuan);

} // namespace lanting::sales

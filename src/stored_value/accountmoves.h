#pragma once

// Points exchange, returns against a sale, and transfers between members.

#include "amounts.h"

#include <QString>
#include <optional>

namespace lanting::stored_value
{

enum class Refusal {
    None,
    NotPositive,    // the amount or the points are not above 0
    TooFew,         // points or balance below what is asked
    TooMuch,        // above the returnable amount
    TargetUnusable, // the receiving member cannot be used
    NoMember,       // a member is gone
    OutOfRange,     // an amount beyond what is kept (outOfRangeText())
};

// Takes whole points off a member, with its exchange record. Points are
// compared as decimal values (99.5 points do not cover 100).
Refusal exchangePoints(const QString &card, Amount points, const QString &remark);

// What can still be returned of a sale: its card and cash parts less every
// earlier return (a sale that is gone counts 0).
Amount returnable(int conId);
// A return of a sale: to the card balance or in cash, with its record. The
// returnable amount is worked out again in the same step, so two
// workstations cannot both return the rest.
Refusal recordReturn(int conId, const QString &card, const QString &shownName,
                     const QString &shownLevel, Amount amount, bool toCard, const QString &remark);

struct Party {
    QString id, name, lv;
    Amount ye;
    bool usable = true; // state 0 and not past a ticked expiry moment
};
std::optional<Party> readParty(const QString &card);
// The member of exactly that card number or (non-empty) name, the first by
// card number when a name is shared.
std::optional<Party> findParty(const QString &text);
// Moves balance from one member to another, with its record, in one step.
Refusal transfer(const QString &from, const QString &to, Amount amount, const QString &remark);

} // namespace lanting::stored_value

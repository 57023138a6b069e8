#pragma once

#include "amounts.h"

#include <QString>
#include <optional>

namespace lanting::stored_value
{

// The bonus of a recharge and the explanation shown with it.
struct Bonus {
    Amount bonus;
    QString explanation;
};

// By the level's ratio (rounded with RoundJe), or by the first band that
// holds the paid amount (both bounds inclusive). Nothing for 0 or less.
Bonus ratioBonus(Amount paid, const QString &level, Amount ratio);
Bonus bandBonus(Amount paid);
QString ratioExplanation(const QString &level, Amount ratio);

// The recharge screen's view of a member.
struct RechargeMember {
    QString id, name, lv;
    Amount ye;
    Amount ratio; // bonus ratio of the member's level, 0 without one
};
std::optional<RechargeMember> rechargeMember(const QString &card);

bool ratioMode(); // the setting czyhfs is exactly "1"

// Credits the amount (bonus included) to the balance and the cumulative
// recharge total, and records the recharge, all in one step. Gives the new
// balance; throws DbError (also when the member is gone, or when the
// amounts or the new balance are beyond kMaxAmount).
struct Recharged {
    Amount balance;
    QString name;
};
Recharged recharge(const QString &card, Amount paid, Amount credited, const QString &explanation,
                   const QString &remark);

// The receipt body of a recharge (lines ended by CR LF).
QString rechargeReceipt(const QString &nameCaption, const QString &idCaption, bool showCard,
                        const QString &paid, const QString &credited, Amount balance);

} // namespace lanting::stored_value

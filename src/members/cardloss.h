#pragma once

// Replacing a lost card: the account and its history move to a new number.

#include <QString>

namespace lanting::members
{

enum class CardLoss { Done, Empty, Exists, WrongCertificate, NoMember };

// Moves member `oldId` to the new card number (trimmed), with its sales,
// recharges, exchanges, reminders and returns, in one step. The
// certificate number entered (trimmed) must equal the stored one. Transfer
// records and referrers keep the old number.
CardLoss replaceCard(const QString &oldId, const QString &newId, const QString &certificate);

} // namespace lanting::members

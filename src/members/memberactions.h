#pragma once

#include <QString>

namespace lanting::members
{

// Deletes a member with its sales (and their line items), exchanges,
// returns and recharges, in one step. Reminders and transfers stay.
void deleteMember(const QString &id);

enum class DisableResult { Disabled, NotNormal, NoSuchMember };
// Disables a member in state 0 (an expired one too).
DisableResult disableMember(const QString &id);
// Back to state 0, whatever the state was.
void cancelDisable(const QString &id);

// Deletes an exchange record and gives its points (whole) back to the
// member, in one step. False when the record was already gone (deleted at
// another till): nothing is given back twice.
bool deleteExchange(const QString &memberId, int exchangeId);
void deleteReminder(int reminderId);

// Not usable for the list actions: state not 0, or an expiry moment passed.
bool memberUnusable(const QString &id);

} // namespace lanting::members

#pragma once

// Passwords are kept as salted slow hashes (Argon2id, libsodium), never as
// they were typed; the comparison stays exact and case-sensitive.

#include <QString>

namespace lanting
{

// Who types the password. An operator's login is guarded by the full
// interactive cost (64 MiB, about 55 ms here); a member's card password,
// typed at every payment and held by every member of a chain, by a lighter
// one (4 MiB, about 2 ms), so that a million of them are brought over from
// an older program within the hour.
enum class SecretUse { Login, Card };

// The stored form of a password ("$argon2id$..."). A member's empty card
// password (none asked for) stays empty. Throws DbError when the hash
// cannot be made (out of memory).
QString hashSecret(const QString &plain, SecretUse use = SecretUse::Login);
// Whether what was typed is the password kept as `stored`. A stored text
// that is no hash (a row written by an older program and not yet brought
// over) is compared as it is.
bool secretMatches(const QString &stored, const QString &typed);
bool isHashed(const QString &stored);

} // namespace lanting

#pragma once

// Passwords are kept as salted slow hashes (Argon2id, libsodium), never as
// they were typed; the comparison stays exact and case-sensitive.

#include <QString>

namespace lanting
{

// The stored form of a password ("$argon2id$..."). Throws DbError when the
// hash cannot be made (out of memory).
QString hashSecret(const QString &plain);
// Whether what was typed is the password kept as `stored`. A stored text
// that is no hash (a row written by an older program and not yet brought
// over) is compared as it is.
bool secretMatches(const QString &stored, const QString &typed);
bool isHashed(const QString &stored);

} // namespace lanting

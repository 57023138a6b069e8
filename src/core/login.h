#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace lanting
{

struct Operator {
    QString name; // as stored
    QString per;
};

// Operator names for the login list, in the order the database returns them.
QStringList operatorNames();

// The operator of that name (compared without regard to case) when the
// password matches exactly; nothing otherwise. Throws DbError.
std::optional<Operator> authenticate(const QString &name, const QString &password);

// Starts the shift of a logged-in operator: name, permissions, login moment
// and yuan per point. Returns an error description when the points setting
// is not a number (points then stay off); empty otherwise.
QString beginSession(const Operator &op);

// Whether the administrator still logs in with the delivered password (the
// login window shows it then, and only then). Throws DbError.
bool deliveredAccountInUse();

// Reads the settings kept in memory from the settings store. Returns the
// description of every setting that could not be read; the others are
// loaded all the same.
QStringList loadStartupSettings();

} // namespace lanting

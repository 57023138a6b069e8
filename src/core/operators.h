#pragma once

#include <QString>
#include <optional>

namespace lanting
{

inline const QString kAdminName = QStringLiteral("admin");
// The administrator's password as delivered.
inline const QString kDeliveredPassword = QStringLiteral("860317");

// The stored permission string of an operator; nothing when there is none.
std::optional<QString> permissionsOf(const QString &name);
// Stores a permission string at once (never for admin).
void setPermissions(const QString &name, const QString &per);
// Whether an operator of that name exists, without regard to case.
bool operatorExists(const QString &name);
// A new operator with the permissions every new operator starts with.
void addOperator(const QString &name, const QString &password);
void deleteOperator(const QString &name);

enum class PasswordChange { Changed, WrongOldPassword, NoSuchOperator };
PasswordChange changePassword(const QString &name, const QString &oldPassword,
                              const QString &newPassword);

} // namespace lanting

#pragma once

#include <QString>

namespace lanting
{

// The settings store (table sysinfo). A missing key or a null value reads as
// empty; writing a key that has no row changes nothing. Database failures
// throw DbError to the caller.
QString GetSysInfo(const QString &key);
void SetSysInfo(const QString &key, const QString &value);

} // namespace lanting

#pragma once

#include "importplan.h"

namespace lanting::members
{

// Members brought in from a spreadsheet: card number and name required,
// then telephone, level, balance, points, birthday, certificate number,
// expiry date, sex, address and remark.
ImportPlan memberImportPlan(Sheet sheet);
QList<ImportField> memberImportFields();

// Writes the checked rows that have no problem (rows with problems are left
// out; refusing the import over them is the caller's) in one transaction:
// the new levels, the members with their balances and points as read (no
// recharge record, as at enrolment), and one operation-log row. All or
// nothing: a failure, or progress answering false, leaves the database as
// it was. Throws DbError, or SheetError when cancelled.
ImportResult importMembers(const ImportPlan &plan, const QString &fileName,
                           const SheetProgress &progress = {});

} // namespace lanting::members

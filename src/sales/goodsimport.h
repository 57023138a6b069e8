#pragma once

#include "importplan.h"

namespace lanting::sales
{

// Goods brought in from a spreadsheet: code and name required, then
// category, unit, purchase price, selling price, stock and points per unit.
ImportPlan goodsImportPlan(Sheet sheet);

// Writes the checked rows that have no problem in one transaction: the new
// categories, the goods (enabled), and one operation-log row. All or
// nothing, as the member import. Throws DbError, or SheetError when
// cancelled.
ImportResult importGoods(const ImportPlan &plan, const QString &fileName,
                         const SheetProgress &progress = {});

} // namespace lanting::sales

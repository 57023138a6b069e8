#pragma once

// A report written as a CSV file a spreadsheet program opens: UTF-8 with a
// byte-order mark (so that the Chinese is read right), one heading row,
// amounts, quantities, points and rates as plain numbers with the unit of
// the screen ("元", "%") in their heading, and a totals row under a money
// report. Any length: the rows are written as they are read.

#include "reportmodel.h"

#include <QString>
#include <functional>

namespace lanting::reports
{

struct ExportTable {
    QList<Column> columns;
    // Hands every row to `row` (values as stored, one per column), until
    // it answers false. May throw DbError.
    std::function<void(const std::function<bool(const Values &)> &row)> rows;
};

// The table of a report's query, every row of it.
ExportTable exportTable(const ReportQuery &query);

// A stored amount as a spreadsheet's number (cells hold binary doubles;
// the exact amount's decimal text is converted, once).
double spreadsheetNumber(const QVariant &stored);

// A column's heading in an export: "消费金额" of a money column becomes
// "消费金额（元）", a rate "折扣（%）"; one that names its unit already stays.
QString exportHeading(const Column &column);

// Writes the table to `path`, whole or not at all, readable by its owner
// only, and reads it back; empty when written, else why not (in Chinese).
QString writeCsv(const QString &path, const ExportTable &table);

} // namespace lanting::reports

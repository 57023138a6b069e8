#pragma once

// Workbooks in the legacy spreadsheet format (BIFF8 in a compound file):
// the delivered template, and a copy of a template with a report's cells
// written into its first worksheet.

#include "reportmodel.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace lanting::reports
{

// The stream of a compound file ("Workbook", or "Book" of older files).
std::optional<QByteArray> readWorkbookStream(const QByteArray &file);
// A compound file holding one "Workbook" stream.
QByteArray writeCompoundFile(const QByteArray &workbook);

// The template delivered with the program: one worksheet with the column
// widths and the plain cell style the reports use.
QByteArray defaultTemplate();

struct Report {
    QString title;
    QStringList headings;
    QList<QStringList> rows;
    // A report's list instead: its columns and its rows as stored. Amounts,
    // quantities, points and rates then go in as numbers in the shop's
    // decimals (the unit in the heading), date-times as dates, and a totals
    // row closes a list with money in it.
    QList<Column> columns;
    QList<Values> values;
    int decimals = 2;

    bool typed() const { return !columns.isEmpty(); }
    qsizetype rowCount() const { return typed() ? values.size() : rows.size(); }
    bool hasTotals() const;
};

// The template with the report written into its first worksheet: the title
// at row 1, column 3 (bold, 20 points, centred), the headings in row 3 and
// row k of the list in row 3 + k (then the totals); nothing but the title
// when there are no rows. Texts go into the shared-string table whole up to
// the format's 32767 characters. Every other cell of the template stays.
// nullopt when the template is not a workbook this program can fill, or
// the list is longer than a sheet.
std::optional<QByteArray> fillTemplate(const QByteArray &templateFile, const Report &report);
// A sheet of this format has 65536 rows; the report starts on row 4.
constexpr int kMaxReportRows = 65536 - 3;

// The text cells of the first worksheet of a workbook, by (row, column) from
// 0, as a reader of the file sees them.
struct Cell {
    int row = 0, column = 0;
    QString text;
    bool isNumber = false;
    double number = 0;
};
QList<Cell> readCells(const QByteArray &file);

} // namespace lanting::reports

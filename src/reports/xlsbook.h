#pragma once

// Workbooks in the legacy spreadsheet format (BIFF8 in a compound file):
// the delivered template, and a copy of a template with a report's cells
// written into its first worksheet.

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
};

// The template with the report written into its first worksheet: the title
// at row 1, column 3 (bold, 20 points, centred), the headings in row 3 and
// row k of the list in row 3 + k; nothing but the title when there are no
// rows. Every other cell of the template stays. nullopt when the template
// is not a workbook this program can fill.
std::optional<QByteArray> fillTemplate(const QByteArray &templateFile, const Report &report);
// A sheet of this format has 65536 rows; the report starts on row 4.
constexpr int kMaxReportRows = 65536 - 3;

// The text cells of the first worksheet of a workbook, by (row, column) from
// 0, as a reader of the file sees them.
struct Cell {
    int row = 0, column = 0;
    QString text;
};
QList<Cell> readCells(const QByteArray &file);

} // namespace lanting::reports

#pragma once

// A report written as an .xlsx workbook (libxlsxwriter, rows streamed in
// constant memory): the headings with their units, amounts, quantities,
// points and rates as numbers in the shop's decimals, dates and times as
// dates, texts whole up to the format's limit, a totals row under a money
// report. A list longer than a sheet holds goes on over further sheets,
// each with the headings.

#include "csvexport.h"

namespace lanting::reports
{

// The rows a sheet of the format holds under its heading row.
constexpr qint64 kXlsxSheetRows = 1048575;
// The characters a cell of the format holds.
constexpr qsizetype kXlsxCellChars = 32767;

// Writes the table to `path`, whole or not at all, readable by its owner
// only, and reads it back; empty when written, else why not (in Chinese).
// `sheetRows` is the rows a sheet takes below its headings.
QString writeXlsx(const QString &path, const QString &title, const ExportTable &table, int decimals,
                  qint64 sheetRows = kXlsxSheetRows);

// A text cut to at most `limit` UTF-16 units, never inside a character.
QString cutText(const QString &text, qsizetype limit);

} // namespace lanting::reports

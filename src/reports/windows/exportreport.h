#pragma once

// The report export: a list saved as a spreadsheet from the template, or
// printed.

#include <QString>
#include <functional>

class QAbstractItemView;

namespace lanting
{
class FrmMain;
}

namespace lanting::reports
{

// Saves the list (print false) to a file the user chooses, or prints it,
// through the template m.xls of the program folder: every row of a report,
// read again from its query, however far the list was scrolled. True when
// a workbook was written.
bool ExportReport(QAbstractItemView *list, const QString &title, bool print);

// How a written workbook is shown (the desktop's spreadsheet program by
// default): true when something took it. Tests look instead.
void setWorkbookViewer(std::function<bool(const QString &path)> viewer);

// Installs the export for every list of the program and wires the member
// list's export and print and the recharge list's print.
void installReports(FrmMain &main);

} // namespace lanting::reports

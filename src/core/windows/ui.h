#pragma once

#include <QString>
#include <functional>
#include <initializer_list>

class QDialog;
class QIcon;
class QTreeView;
class QWidget;

namespace lanting::ui
{

// Installs the sink that shows the system's messages as real message boxes.
void installMessageBoxes();

// Every modal screen is opened through here. A driver installed by a test
// is handed each screen once its modal loop runs.
int execModal(QDialog *dialog);
using ModalDriver = std::function<void(QDialog *)>;
void setModalDriver(ModalDriver driver);
// Runs after a modal screen closes when no other is left open: the main
// window puts the focus back where the next swipe belongs.
void setAfterModal(std::function<void()> step);

// The wait notice frmS ("正在执行..."), kept above all other windows.
void showWait(const QString &text = QString());
void closeWait();
// The wait notice for as long as the scope lasts, however it is left.
class WaitScope
{
public:
    explicit WaitScope(const QString &text) { showWait(text); }
    ~WaitScope() { closeWait(); }
    WaitScope(const WaitScope &) = delete;
    WaitScope &operator=(const WaitScope &) = delete;
};
QWidget *waitNotice();

// Hands a web address or document to the desktop's default handler.
bool ShellOpen(const QString &target);
// Qt's own dialogs and buttons in Simplified Chinese (Qt's translations);
// false when they are not installed.
bool loadQtTranslations();
// Pictures from the desktop's icon theme, with the freely licensed Papirus
// theme where the desktop has none or lacks a picture.
void useIconTheme();
// The theme's picture of that name, else the fallback.
QIcon themedIcon(const QString &name, const QIcon &fallback);
// A file or folder chooser opens large enough to read its names.
void makeRoomy(QDialog *fileDialog);
// A line in the main window's status bar telling what was just done
// ("消费成功：36.95元，找零13.05元"); the main window installs where it goes.
void tell(const QString &line);
void setTeller(std::function<void(const QString &)> teller);
// Every list of the program sizes its columns to what they hold (dates,
// whole codes, names) as rows arrive, never narrower than the heading; the
// last column takes the room that is left. Installed once for the program.
void fitListsToContents();
// Sizes the list's columns now, as fitListsToContents() does.
void fitColumns(QTreeView *view);
// The folder chooser; empty when cancelled.
QString SelectFolder(QWidget *owner, const QString &prompt);

} // namespace lanting::ui

namespace lanting::ui
{
// The card-reader reset step: reads held back, pending events run, reads
// enabled again. The reader installs the real step; until then only the
// pending events run.
void readerReset();
void setReaderResetStep(std::function<void()> step);
} // namespace lanting::ui

class QAbstractItemView;
class QTreeWidget;
class QTreeWidgetItem;

namespace lanting::ui
{
// Appends a row of texts to a list.
QTreeWidgetItem *addRow(QTreeWidget *list, const QStringList &texts);
// The text of a column of the list's current row (empty without one).
QString currentText(QTreeWidget *list, int column = 0);
// The first column of the current row, or of the first row when none is
// current; empty for an empty list.
QString currentOrFirst(QTreeWidget *list);
} // namespace lanting::ui

namespace lanting::ui
{
// The shared export of a list: saved as a spreadsheet, or printed when
// `print` is true. The reports install it; until then nothing happens.
using ReportExporter =
    std::function<void(QAbstractItemView *list, const QString &title, bool print)>;
void setReportExporter(ReportExporter exporter);
void ExportReport(QAbstractItemView *list, const QString &title, bool print);

// The look of the program by its stored index, applied while the login
// window loads. The settings install it; until then nothing happens.
void setSkinApplier(std::function<void(int index)> applier);
void applySkin(int index);
} // namespace lanting::ui

class QWidget;

namespace lanting::ui
{
// Enter (or Return) in the widget runs the action instead of the dialog's
// default button.
void onEnter(QWidget *widget, std::function<void()> action);
// Enter in a box of the form (a card number from a keyboard-style reader
// ends with one) moves to the next box instead of saving; Enter in `last`
// runs `save`, as the form's own button does.
void enterMovesOn(QWidget *form, QWidget *last, std::function<void()> save);
} // namespace lanting::ui

class QLineEdit;

namespace lanting::ui
{
// Whether the number typed in each box can be kept (see inRange); the first
// that cannot is refused with the message, its text selected and focused.
bool amountsFit(std::initializer_list<QLineEdit *> boxes);
} // namespace lanting::ui

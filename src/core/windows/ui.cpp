#include "ui.h"

#include "messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace lanting::ui
{

namespace
{

class BoxSink : public MessageSink
{
public:
    MsgAnswer show(const Message &m) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(m.caption);
        box.setText(m.text);
        switch (m.icon) {
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        if (m.buttons == MsgButtons::YesNo) {
            QPushButton *yes = box.addButton(u"是(&Y)"_s, QMessageBox::YesRole);
            QPushButton *no = box.addButton(u"否(&N)"_s, QMessageBox::NoRole);
            box.setDefaultButton(m.defaultAnswer == MsgAnswer::No ? no : yes);
            box.setEscapeButton(no);
            box.exec();
            return box.clickedButton() == yes ? MsgAnswer::Yes : MsgAnswer::No;
        }
        box.addButton(u"确定"_s, QMessageBox::AcceptRole);
        box.exec();
        return MsgAnswer::Ok;
    }
};

ModalDriver g_driver;
std::function<void()> g_afterModal;

class WaitNotice : public QDialog
{
public:
    WaitNotice()
        : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                               Qt::WindowTitleHint)
    {
        setObjectName(u"frmS"_s);
        setWindowTitle(u"正在执行..."_s);
        auto *label = new QLabel(u"正在载入..."_s, this);
        label->setObjectName(u"lblShow"_s);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumSize(260, 60);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(label);
        setModal(false);
    }
    QLabel *label() { return findChild<QLabel *>(u"lblShow"_s); }
};

WaitNotice *notice()
{
    static QPointer<WaitNotice> w;
    if (!w)
        w = new WaitNotice;
    return w;
}

} // namespace

bool loadQtTranslations()
{
    static QTranslator *loaded = nullptr;
    if (loaded)
        return true;
    auto *t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Chinese, QLocale::China), u"qtbase"_s, u"_"_s,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    loaded = t;
    return true;
}

namespace
{

// Lists as they are shown: their columns follow what they hold.
class ListFitter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *view = qobject_cast<QTreeView *>(watched))
                adopt(view);
        } else if (event->type() == QEvent::Resize && watched->property(kViewport).toBool()) {
            if (auto *view = qobject_cast<QTreeView *>(watched->parent()))
                schedule(view);
        }
        return false;
    }

private:
    static constexpr const char *kAdopted = "lantingFitted";
    static constexpr const char *kViewport = "lantingFittedViewport";

    // Every list gets one pending fit at a time, however many rows arrive.
    static void schedule(QTreeView *view)
    {
        auto *timer = view->findChild<QTimer *>(u"lantingFitTimer"_s, Qt::FindDirectChildrenOnly);
        if (!timer) {
            timer = new QTimer(view);
            timer->setObjectName(u"lantingFitTimer"_s);
            timer->setSingleShot(true);
            timer->setInterval(0);
            QObject::connect(timer, &QTimer::timeout, view, [view] { fitColumns(view); });
        }
        timer->start();
    }

    static void follow(QTreeView *view)
    {
        QAbstractItemModel *model = view->model();
        if (!model || model->property("lantingFittedFor").value<QObject *>() == view)
            return;
        model->setProperty("lantingFittedFor", QVariant::fromValue<QObject *>(view));
        const auto later = [view] { schedule(view); };
        QObject::connect(model, &QAbstractItemModel::rowsInserted, view, later);
        QObject::connect(model, &QAbstractItemModel::modelReset, view, later);
        QObject::connect(model, &QAbstractItemModel::layoutChanged, view, later);
        QObject::connect(model, &QAbstractItemModel::dataChanged, view, later);
        QObject::connect(model, &QAbstractItemModel::headerDataChanged, view, later);
    }

    void adopt(QTreeView *view)
    {
        if (!view->property(kAdopted).toBool()) {
            view->setProperty(kAdopted, true);
            view->viewport()->setProperty(kViewport, true);
            view->viewport()->installEventFilter(this);
            view->header()->setResizeContentsPrecision(200);
            // A new model (a report run again) is followed too.
            QObject::connect(view->header(), &QHeaderView::sectionCountChanged, view, [view] {
                follow(view);
                schedule(view);
            });
        }
        follow(view);
        schedule(view);
    }
};

} // namespace

void fitListsToContents()
{
    static ListFitter *fitter = nullptr;
    if (!fitter) {
        fitter = new ListFitter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(fitter);
    }
}

void fitColumns(QTreeView *view)
{
    QHeaderView *header = view->header();
    if (!view->model() || header->count() == 0)
        return;
    // A list that sizes its columns its own way is left to it.
    for (int c = 0; c < header->count(); ++c)
        if (header->sectionResizeMode(c) != QHeaderView::Interactive)
            return;
    header->setStretchLastSection(false);
    int last = -1;
    for (int v = header->count() - 1; v >= 0 && last < 0; --v)
        if (!header->isSectionHidden(header->logicalIndex(v)))
            last = header->logicalIndex(v);
    const auto wanted = [&](int c) {
        // (through the base: the list keeps its own measure protected)
        return std::max(static_cast<QAbstractItemView *>(view)->sizeHintForColumn(c),
                        header->sectionSizeHint(c));
    };
    int used = 0;
    for (int c = 0; c < header->count(); ++c) {
        if (c == last || header->isSectionHidden(c))
            continue;
        if (header->sectionSize(c) < wanted(c))
            header->resizeSection(c, wanted(c));
        used += header->sectionSize(c);
    }
    if (last < 0)
        return;
    const int lastWanted = wanted(last);
    // A screen whose list is wider than it grows, up to the screen's width,
    // so that no column hides behind the scroll bar where there is room.
    QWidget *window = view->window();
    const int excess = used + lastWanted - view->viewport()->width();
    if (excess > 0 && window != view && qobject_cast<QDialog *>(window) && window->screen() &&
        !window->isMaximized()) {
        const int room = window->screen()->availableGeometry().width() * 95 / 100;
        const int width = std::min(room, window->width() + excess);
        if (width > window->width())
            window->resize(width, window->height());
    }
    header->resizeSection(last, std::max(lastWanted, view->viewport()->width() - used));
}

void useIconTheme()
{
    // Some platforms (the headless one among them) look only in the
    // program's resources: the system's icon folders are added.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString &dir : QStandardPaths::locateAll(
             QStandardPaths::GenericDataLocation, u"icons"_s, QStandardPaths::LocateDirectory))
        if (!paths.contains(dir))
            paths << dir;
    QIcon::setThemeSearchPaths(paths);
    const QString desktop = QIcon::themeName();
    if (desktop.isEmpty() || desktop == u"hicolor"_s)
        QIcon::setThemeName(u"Papirus"_s);
    else
        QIcon::setFallbackThemeName(u"Papirus"_s);
}

QIcon themedIcon(const QString &name, const QIcon &fallback)
{
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : fallback;
}

void makeRoomy(QDialog *fileDialog)
{
    const QSize wanted(860, 540);
    const QScreen *screen = fileDialog->screen();
    const QSize room = screen ? screen->availableSize() * 9 / 10 : wanted;
    fileDialog->resize(wanted.boundedTo(room).expandedTo(fileDialog->sizeHint().boundedTo(room)));
}

void installMessageBoxes()
{
    static BoxSink sink;
    setMessageSink(&sink);
}

int execModal(QDialog *dialog)
{
    if (g_driver) {
        QPointer<QDialog> d(dialog);
        QTimer::singleShot(0, dialog, [d] {
            if (d && g_driver)
                g_driver(d);
        });
    }
    const int result = dialog->exec();
    if (g_afterModal && !QApplication::activeModalWidget())
        g_afterModal();
    return result;
}

void setModalDriver(ModalDriver driver)
{
    g_driver = std::move(driver);
}

void setAfterModal(std::function<void()> step)
{
    g_afterModal = std::move(step);
}

void showWait(const QString &text)
{
    WaitNotice *w = notice();
    if (!text.isEmpty())
        w->label()->setText(text);
    w->show();
    w->raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void closeWait()
{
    // The next notice starts over with the general caption.
    WaitNotice *w = notice();
    w->hide();
    w->label()->setText(u"正在载入..."_s);
}

QWidget *waitNotice()
{
    return notice();
}

namespace
{
// Whether xdg-open would find a program for the address or file: xdg-mime
// names the one it would start (no answer, or no xdg-mime, counts as yes).
bool hasDefaultProgram(const QUrl &url)
{
    const QString query = QStandardPaths::findExecutable(u"xdg-mime"_s);
    if (query.isEmpty())
        return true;
    const QString type = url.isLocalFile()
                             ? QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name()
                             : u"x-scheme-handler/"_s + url.scheme();
    QProcess p;
    p.start(query, {u"query"_s, u"default"_s, type});
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
        return true;
    }
    return p.exitCode() != 0 || !p.readAllStandardOutput().trimmed().isEmpty();
}
} // namespace

bool ShellOpen(const QString &target)
{
    const QString t = target.trimmed();
    if (t.isEmpty())
        return false;
    // A path stays a path: it is never parsed as a command line.
    QUrl url;
    if (QFileInfo::exists(t) || QDir::isAbsolutePath(t))
        url = QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath());
    else {
        url = QUrl::fromUserInput(t);
    }
    if (!url.isValid())
        return false;
    // xdg-open starts and then fails on its own when nothing takes the file:
    // asked first, so that the cashier can be told. Without xdg-open, Qt
    // answers itself.
    if (!QStandardPaths::findExecutable(u"xdg-open"_s).isEmpty() && !hasDefaultProgram(url))
        return false;
    return QDesktopServices::openUrl(url);
}

namespace
{
std::function<void(const QString &)> g_teller;
}

void tell(const QString &line)
{
    if (g_teller)
        g_teller(line);
}

void setTeller(std::function<void(const QString &)> teller)
{
    g_teller = std::move(teller);
}

QString SelectFolder(QWidget *owner, const QString &prompt)
{
    QFileDialog dlg(owner, prompt.isEmpty() ? u"选择目录"_s : prompt,
                    QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    dlg.setObjectName(u"SelectFolder"_s);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    makeRoomy(&dlg);
    if (execModal(&dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dlg.selectedFiles().constFirst());
}

} // namespace lanting::ui

namespace lanting::ui
{

namespace
{
std::function<void()> g_readerReset;
}

void readerReset()
{
    if (g_readerReset)
        g_readerReset();
    else
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void setReaderResetStep(std::function<void()> step)
{
    g_readerReset = std::move(step);
}

} // namespace lanting::ui

#include <QTreeWidget>

namespace lanting::ui
{

QTreeWidgetItem *addRow(QTreeWidget *list, const QStringList &texts)
{
    return new QTreeWidgetItem(list, texts);
}

QString currentText(QTreeWidget *list, int column)
{
    const QTreeWidgetItem *item = list->currentItem();
    return item ? item->text(column) : QString();
}

QString currentOrFirst(QTreeWidget *list)
{
    const QString id = currentText(list);
    if (id.isEmpty() && list->topLevelItemCount() > 0)
        return list->topLevelItem(0)->text(0);
    return id;
}

} // namespace lanting::ui

namespace lanting::ui
{
namespace
{
ReportExporter g_exporter;
std::function<void(int)> g_skinApplier;
} // namespace

void setReportExporter(ReportExporter exporter)
{
    g_exporter = std::move(exporter);
}

void ExportReport(QAbstractItemView *list, const QString &title, bool print)
{
    if (g_exporter)
        g_exporter(list, title, print);
}

void setSkinApplier(std::function<void(int)> applier)
{
    g_skinApplier = std::move(applier);
}

void applySkin(int index)
{
    if (g_skinApplier)
        g_skinApplier(index);
}
} // namespace lanting::ui

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace lanting::ui
{
namespace
{
class EnterFilter : public QObject
{
public:
    EnterFilter(QWidget *widget, std::function<void()> action)
        : QObject(widget), m_action(std::move(action))
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        if (event->type() == QEvent::KeyPress)
            m_action();
        event->accept();
        return true;
    }

private:
    std::function<void()> m_action;
};
} // namespace

void onEnter(QWidget *widget, std::function<void()> action)
{
    widget->installEventFilter(new EnterFilter(widget, std::move(action)));
}

void enterMovesOn(QWidget *form, QWidget *last, std::function<void()> save)
{
    QList<QWidget *> boxes;
    for (QWidget *w : form->findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
            qobject_cast<QAbstractSpinBox *>(w))
            boxes << w;
    for (QWidget *box : boxes) {
        // The line edit inside a drop-down or date box is the box itself.
        if (box->parentWidget() && boxes.contains(box->parentWidget()))
            continue;
        auto enter = [box, boxes, last, save] {
            if (box == last) {
                save();
                return;
            }
            for (QWidget *next = box->nextInFocusChain(); next && next != box;
                 next = next->nextInFocusChain()) {
                // The next box, never a button: Enter on a button would save.
                const bool isBox = boxes.contains(next) ||
                                   (next->parentWidget() && boxes.contains(next->parentWidget()));
                if (isBox && next->isEnabled() && next->isVisible() &&
                    (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy()) {
                    next->setFocus(Qt::TabFocusReason);
                    if (auto *edit = qobject_cast<QLineEdit *>(next))
                        edit->selectAll();
                    return;
                }
            }
        };
        onEnter(box, enter);
        if (auto *combo = qobject_cast<QComboBox *>(box); combo && combo->lineEdit())
            onEnter(combo->lineEdit(), enter);
    }
}
} // namespace lanting::ui

#include "amounts.h"

#include <QLineEdit>

namespace lanting::ui
{
bool amountsFit(std::initializer_list<QLineEdit *> boxes)
{
    for (QLineEdit *box : boxes) {
        if (inRange(NumVal(box->text())))
            continue;
        msgNotice(outOfRangeText());
        box->selectAll();
        box->setFocus();
        return false;
    }
    return true;
}
} // namespace lanting::ui

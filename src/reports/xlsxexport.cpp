#include "xlsxexport.h"

#include "amounts.h"
#include "database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dirent.h>
#include <unistd.h>
#include <xlsxwriter.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

QString cutText(const QString &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    qsizetype end = limit;
    if (end > 0 && text[end - 1].isHighSurrogate())
        --end; // the other half of the character would be cut off
    return text.left(end);
}

namespace
{

// libxlsxwriter leaves its row file open when the workbook cannot be
// finished (a full disk): the file is deleted already, and its space would
// stay taken until the program ends. Closed here: a deleted file of its
// own naming in the folder it was given.
void closeLeftRowFiles(const QByteArray &folder)
{
    QList<int> left;
    if (DIR *d = opendir("/proc/self/fd")) {
        while (const dirent *e = readdir(d)) {
            char target[4096];
            const QByteArray link = QByteArray("/proc/self/fd/") + e->d_name;
            const ssize_t n = readlink(link.constData(), target, sizeof target - 1);
            const QByteArray t(target, std::max<ssize_t>(n, 0));
            if (t.startsWith(folder + "/tmp.") && t.endsWith(" (deleted)"))
                left << atoi(e->d_name);
        }
        closedir(d);
    }
    for (const int fd : left)
        ::close(fd);
}

} // namespace

QString writeXlsx(const QString &path, const QString &title, const ExportTable &table, int decimals,
                  qint64 sheetRows)
{
    const QString shown = QDir::toNativeSeparators(path);
    // Built beside the target and put in its place only when complete.
    const QString part = path + u".part"_s;
    QFile::remove(part);
    const QByteArray partName = QFile::encodeName(part);
    QByteArray tmp = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmp.data();
    options.use_zip64 = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(partName.constData(), &options);
    if (!book)
        return u"无法创建文件[%1]。"_s.arg(shown);
    QByteArray titleText = title.toUtf8();
    lxw_doc_properties properties{};
    properties.title = titleText.data();
    workbook_set_properties(book, &properties);

    lxw_format *headingFormat = workbook_add_format(book);
    format_set_bold(headingFormat);
    const QByteArray numberPattern =
        decimals > 0 ? "0." + QByteArray(decimals, '0') : QByteArray("0");
    lxw_format *numberFormat = workbook_add_format(book);
    format_set_num_format(numberFormat, numberPattern.constData());
    lxw_format *wholeFormat = workbook_add_format(book);
    format_set_num_format(wholeFormat, "0");
    lxw_format *timeFormat = workbook_add_format(book);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm:ss");

    const qsizetype columns = table.columns.size();
    QList<QByteArray> headings;
    bool money = false;
    for (const Column &c : table.columns) {
        headings << cutText(exportHeading(c), kXlsxCellChars).toUtf8();
        money = money || c.kind == Kind::Money;
    }
    lxw_worksheet *sheet = nullptr;
    int sheets = 0;
    qint64 row = 0; // in the sheet, below the headings
    lxw_error failed = LXW_NO_ERROR;
    auto newSheet = [&] {
        ++sheets;
        const QByteArray name = (sheets == 1 ? u"报表"_s : u"报表%1"_s.arg(sheets)).toUtf8();
        sheet = workbook_add_worksheet(book, name.constData());
        if (!sheet) {
            failed = LXW_ERROR_MEMORY_MALLOC_FAILED;
            return;
        }
        for (qsizetype c = 0; c < columns; ++c) {
            const Kind kind = table.columns[c].kind;
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c),
                                 kind == Kind::DateTime ? 20
                                 : kind == Kind::Text   ? 16
                                                        : 12,
                                 nullptr);
            worksheet_write_string(sheet, 0, lxw_col_t(c), headings[c].constData(), headingFormat);
        }
        row = 0;
    };
    auto put = [&](qint64 r, qsizetype c, Kind kind, const QVariant &stored) {
        if (stored.isNull() || failed != LXW_NO_ERROR)
            return;
        const lxw_row_t at = lxw_row_t(r);
        lxw_error e = LXW_NO_ERROR;
        switch (kind) {
        case Kind::Money:
        case Kind::Balance:
        case Kind::Number:
        case Kind::Percent:
            e = worksheet_write_number(sheet, at, lxw_col_t(c), spreadsheetNumber(stored),
                                       numberFormat);
            break;
        case Kind::Whole:
            e = worksheet_write_number(sheet, at, lxw_col_t(c), spreadsheetNumber(stored),
                                       wholeFormat);
            break;
        case Kind::DateTime: {
            const QDateTime t = Database::toDt(stored);
            if (!t.isValid())
                break;
            lxw_datetime d{t.date().year(), t.date().month(),  t.date().day(),
                           t.time().hour(), t.time().minute(), double(t.time().second())};
            e = worksheet_write_datetime(sheet, at, lxw_col_t(c), &d, timeFormat);
            break;
        }
        case Kind::Text: {
            const QByteArray text = cutText(stored.toString(), kXlsxCellChars).toUtf8();
            if (!text.isEmpty())
                e = worksheet_write_string(sheet, at, lxw_col_t(c), text.constData(), nullptr);
            break;
        }
        }
        if (e != LXW_NO_ERROR)
            failed = e;
    };
    newSheet();
    QList<Amount> sums(columns);
    try {
        table.rows([&](const Values &v) {
            if (row == sheetRows)
                newSheet();
            ++row;
            for (qsizetype c = 0; c < columns; ++c) {
                const Kind kind = table.columns[c].kind;
                put(row, c, kind, v.value(c));
                if (kind == Kind::Money && !v.value(c).isNull())
                    sums[c] = sums[c] + Database::toAmount(v.value(c));
            }
            return failed == LXW_NO_ERROR;
        });
    } catch (...) {
        if (workbook_close(book) != LXW_NO_ERROR)
            closeLeftRowFiles(tmp);
        QFile::remove(part);
        throw;
    }
    if (money && failed == LXW_NO_ERROR) {
        if (row == sheetRows)
            newSheet();
        ++row;
        put(row, 0, Kind::Text, u"合计"_s);
        for (qsizetype c = 0; c < columns; ++c)
            if (table.columns[c].kind == Kind::Money)
                put(row, c, Kind::Money, QVariant::fromValue(sums[c]));
    }
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR)
        closeLeftRowFiles(tmp);
    if (failed == LXW_NO_ERROR)
        failed = closed;
    QFile back(part);
    if (failed != LXW_NO_ERROR || !back.open(QIODevice::ReadOnly) || back.read(4) != "PK\x03\x04") {
        back.close();
        QFile::remove(part);
        return u"文件[%1]没有写成：%2"_s.arg(shown, QString::fromUtf8(lxw_strerror(failed)));
    }
    back.close();
    if (!QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner) ||
        (QFile::exists(path) && !QFile::remove(path)) || !QFile::rename(part, path)) {
        QFile::remove(part);
        return u"无法写入文件：%1"_s.arg(shown);
    }
    return {};
}

} // namespace lanting::reports

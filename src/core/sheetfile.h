#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

namespace lanting
{

// What a CSV file's text is written in. Chinese spreadsheet programs write
// GB18030 (GBK) by default, others UTF-8.
enum class TextEncoding { Auto, Utf8, Gb18030, Utf16 };

enum class SheetKind { Csv, Xls, Xlsx };

// The first sheet of a spreadsheet file as texts: the headings (the first
// row with anything in it) and the rows below them, each exactly as wide as
// the headings. Numbers are in their shortest decimal form and dates as
// "yyyy-MM-dd" (with " hh:mm:ss" when they carry a time of day).
struct Sheet {
    SheetKind kind = SheetKind::Csv;
    TextEncoding encoding = TextEncoding::Utf8; // what a CSV file was read as
    QStringList headings;
    QList<QStringList> rows;
    QList<int> lineNumbers; // each row's number in the spreadsheet, from 1
};

// A file that cannot be read as a spreadsheet, or the reading cancelled;
// the message says why, in words for the user.
class SheetError : public std::exception
{
public:
    explicit SheetError(QString message, bool cancelled = false)
        : m_message(std::move(message)), m_cancelled(cancelled)
    {
    }
    const QString &message() const { return m_message; }
    bool cancelled() const { return m_cancelled; }
    const char *what() const noexcept override { return "sheet error"; }

private:
    QString m_message;
    bool m_cancelled;
};

// Bounds past which a file is no list of members or goods.
inline constexpr int kMaxSheetColumns = 1000;
inline constexpr int kMaxCellChars = 32767; // a spreadsheet cell's own limit
inline constexpr int kMaxSheetRows = 1048576;
inline constexpr qint64 kMaxSheetFileBytes = 512LL * 1024 * 1024;

// Told the share done, 0 to 100; false cancels.
using SheetProgress = std::function<bool(int percent)>;

// Reads the first sheet of a .csv (or tab-separated text), .xls or .xlsx
// file, told apart by their contents, not their names. Throws SheetError.
Sheet readSheet(const QString &path, TextEncoding encoding = TextEncoding::Auto,
                const SheetProgress &progress = {});

// UTF-16 or UTF-8 by a byte-order mark, else UTF-8 when the bytes are valid
// UTF-8, else GB18030.
TextEncoding detectEncoding(const QByteArray &bytes);

// A number as a spreadsheet shows it: up to 15 significant digits, no
// exponent, no trailing zeros ("12.3", "100000000001").
QString sheetNumberText(double value);

} // namespace lanting

#include "sheetfile.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <cmath>
#include <freexl.h>
#include <unzip.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

QString notASheet()
{
    return u"无法读取此文件：它不是CSV、XLS或XLSX格式的表格。"_s;
}

QString tooWide(qsizetype columns)
{
    return u"文件有%1列，超过了%2列的上限，不是会员或商品资料。"_s.arg(columns).arg(
        kMaxSheetColumns);
}

QString tooLong(int line)
{
    return u"第%1行有一个单元格超过%2个字符，不是会员或商品资料。"_s.arg(line).arg(kMaxCellChars);
}

QString tooManyRows()
{
    return u"文件超过%1行，请分成几个文件导入。"_s.arg(kMaxSheetRows);
}

// Collects rows as they are read: the first row with anything in it gives
// the headings; empty rows are left out; every row is cut or padded to the
// headings' width.
class SheetBuilder
{
public:
    explicit SheetBuilder(Sheet &sheet) : m_sheet(sheet) {}

    void addRow(QStringList cells, int line)
    {
        for (QString &c : cells)
            c = c.trimmed();
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        if (cells.isEmpty())
            return;
        if (cells.size() > kMaxSheetColumns)
            throw SheetError(tooWide(cells.size()));
        if (!m_haveHeadings) {
            m_haveHeadings = true;
            for (int i = 0; i < cells.size(); ++i)
                if (cells[i].isEmpty())
                    cells[i] = u"第%1列"_s.arg(i + 1);
            m_sheet.headings = cells;
            return;
        }
        if (m_sheet.rows.size() >= kMaxSheetRows)
            throw SheetError(tooManyRows());
        const qsizetype width = m_sheet.headings.size();
        if (cells.size() > width)
            cells.resize(width);
        while (cells.size() < width)
            cells.append(QString());
        m_sheet.rows.append(std::move(cells));
        m_sheet.lineNumbers.append(line);
    }

    void finish() const
    {
        if (!m_haveHeadings)
            throw SheetError(u"文件是空的，没有可以导入的内容。"_s);
    }

private:
    Sheet &m_sheet;
    bool m_haveHeadings = false;
};

void report(const SheetProgress &progress, qint64 done, qint64 total)
{
    if (progress && !progress(total > 0 ? int(done * 100 / total) : 0))
        throw SheetError(u"已取消。"_s, true);
}

// --- CSV ---------------------------------------------------------------

QChar delimiterOf(const QString &text)
{
    // The separator that the heading line uses most, outside quotes.
    int comma = 0, tab = 0, semicolon = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r')) {
            if (comma + tab + semicolon > 0)
                break; // blank lines above the headings are passed over
        } else if (!quoted && c == u',')
            ++comma;
        else if (!quoted && c == u'\t')
            ++tab;
        else if (!quoted && c == u';')
            ++semicolon;
    }
    if (tab > comma && tab >= semicolon)
        return u'\t';
    if (semicolon > comma)
        return u';';
    return u',';
}

void parseCsv(const QString &text, SheetBuilder &builder, const SheetProgress &progress)
{
    const QChar delimiter = delimiterOf(text);
    QStringList row;
    QString cell;
    bool quoted = false, wasQuoted = false;
    int line = 1, rowLine = 1;
    const qsizetype n = text.size();
    auto endCell = [&] {
        if (cell.size() > kMaxCellChars)
            throw SheetError(tooLong(rowLine));
        row.append(cell);
        if (row.size() > kMaxSheetColumns)
            throw SheetError(tooWide(row.size()));
        cell.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    cell.append(u'"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                cell.append(c);
                if (cell.size() > kMaxCellChars)
                    throw SheetError(tooLong(rowLine));
            }
            continue;
        }
        if (c == u'"' && cell.trimmed().isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
            cell.clear();
        } else if (c == delimiter) {
            endCell();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            endCell();
            builder.addRow(std::move(row), rowLine);
            row.clear();
            rowLine = ++line;
            if ((line & 0x3fff) == 0)
                report(progress, i, n);
        } else {
            cell.append(c);
            if (cell.size() > kMaxCellChars)
                throw SheetError(tooLong(rowLine));
        }
    }
    if (!cell.isEmpty() || !row.isEmpty()) {
        endCell();
        builder.addRow(std::move(row), rowLine);
    }
}

bool looksBinary(const QByteArray &bytes)
{
    static const QByteArray signatures[] = {"%PDF", "\x89PNG", "\xFF\xD8\xFF", "GIF8", "PK"};
    for (const QByteArray &s : signatures)
        if (bytes.startsWith(s))
            return true;
    return bytes.left(1 << 20).contains('\0');
}

QString decodeText(const QByteArray &bytes, TextEncoding &encoding)
{
    if (encoding == TextEncoding::Auto)
        encoding = detectEncoding(bytes);
    if (encoding == TextEncoding::Utf16) {
        QStringDecoder d(bytes.startsWith("\xFE\xFF") ? QStringConverter::Utf16BE
                                                      : QStringConverter::Utf16LE);
        QString text = d.decode(bytes);
        if (d.hasError())
            throw SheetError(notASheet());
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    if (looksBinary(bytes))
        throw SheetError(notASheet());
    if (encoding == TextEncoding::Utf8) {
        QStringDecoder d(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QString text = d.decode(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
        if (d.hasError())
            throw SheetError(u"文件不是UTF-8编码的文字，请选择其它文字编码（如GB18030）。"_s);
        return text;
    }
    QStringDecoder d("GB18030");
    if (!d.isValid())
        throw SheetError(u"此系统不支持GB18030编码。"_s);
    QString text = d.decode(bytes);
    if (d.hasError())
        throw SheetError(u"文件不是GB18030（GBK）编码的文字，请选择其它文字编码（如UTF-8）。"_s);
    return text;
}

Sheet readCsv(const QByteArray &bytes, TextEncoding encoding, const SheetProgress &progress)
{
    Sheet sheet;
    sheet.kind = SheetKind::Csv;
    const QString text = decodeText(bytes, encoding);
    sheet.encoding = encoding;
    SheetBuilder builder(sheet);
    parseCsv(text, builder, progress);
    builder.finish();
    return sheet;
}

// --- XLS (libfreexl) ---------------------------------------------------

class XlsHandle
{
public:
    ~XlsHandle()
    {
        if (handle)
            freexl_close(handle);
    }
    const void *handle = nullptr;
};

Sheet readXls(const QString &path, const SheetProgress &progress)
{
    Sheet sheet;
    sheet.kind = SheetKind::Xls;
    XlsHandle xls;
    if (freexl_open(QFile::encodeName(path).constData(), &xls.handle) != FREEXL_OK)
        throw SheetError(u"无法读取此XLS文件：文件已损坏，或不是Excel 97-2003工作簿。"_s);
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
        throw SheetError(u"此XLS文件有密码保护，请在电子表格程序中取消密码后再导入。"_s);
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0 ||
        freexl_select_active_worksheet(xls.handle, 0) != FREEXL_OK)
        throw SheetError(u"此XLS文件中没有工作表。"_s);
    unsigned int lastRow = 0;
    unsigned short lastColumn = 0;
    if (freexl_worksheet_dimensions(xls.handle, &lastRow, &lastColumn) != FREEXL_OK)
        throw SheetError(notASheet());
    SheetBuilder builder(sheet);
    // The sizes come from the file itself: the reading stops at the bounds.
    const qint64 rows = std::min<qint64>(lastRow, kMaxSheetRows + 1);
    const int columns = std::min<int>(lastColumn, kMaxSheetColumns + 1);
    for (qint64 r = 0; r <= rows && lastRow > 0; ++r) {
        QStringList cells;
        for (int c = 0; c <= columns; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(xls.handle, unsigned(r), (unsigned short)(c), &v) !=
                FREEXL_OK) {
                cells.append(QString());
                continue;
            }
            switch (v.type) {
            case FREEXL_CELL_INT:
                cells.append(QString::number(v.value.int_value));
                break;
            case FREEXL_CELL_DOUBLE:
                cells.append(sheetNumberText(v.value.double_value));
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                cells.append(QString::fromUtf8(v.value.text_value));
                if (cells.last().size() > kMaxCellChars)
                    throw SheetError(tooLong(int(r) + 1));
                break;
            default:
                cells.append(QString());
            }
        }
        builder.addRow(std::move(cells), int(r) + 1);
        if ((r & 0x3ff) == 0)
            report(progress, r, rows);
    }
    builder.finish();
    return sheet;
}

// --- XLSX (minizip and Qt's XML reader) -------------------------------

// An entry of a workbook, and all of them together, may unpack to no more
// than this: a few kilobytes of a hostile file can claim gigabytes.
constexpr qint64 kMaxZipEntry = 256LL * 1024 * 1024;

class Zip
{
public:
    explicit Zip(const QString &path) : m_zip(unzOpen64(QFile::encodeName(path).constData())) {}
    ~Zip()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    bool isOpen() const { return m_zip != nullptr; }
    bool has(const QString &name)
    {
        return unzLocateFile(m_zip, name.toUtf8().constData(), 0) == UNZ_OK;
    }

    // An entry's contents; empty when it is absent. An entry beyond the
    // bound is refused (a few kilobytes can unpack to gigabytes).
    QByteArray read(const QString &name)
    {
        if (!has(name))
            return {};
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            throw SheetError(notASheet());
        if (info.uncompressed_size > quint64(kMaxZipEntry) ||
            m_unpacked + info.uncompressed_size > quint64(kMaxZipEntry) * 2)
            throw SheetError(u"此XLSX文件太大，请分成几个文件导入。"_s);
        m_unpacked += info.uncompressed_size;
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            throw SheetError(u"无法读取此XLSX文件：文件已损坏或有密码保护。"_s);
        QByteArray out;
        out.reserve(qsizetype(info.uncompressed_size));
        char buffer[1 << 16];
        int got = 0;
        while ((got = unzReadCurrentFile(m_zip, buffer, sizeof buffer)) > 0) {
            out.append(buffer, got);
            if (quint64(out.size()) > info.uncompressed_size)
                break; // the directory lied about the size
        }
        const int closed = unzCloseCurrentFile(m_zip);
        if (got < 0 || closed != UNZ_OK || quint64(out.size()) != info.uncompressed_size)
            throw SheetError(u"无法读取此XLSX文件：文件已损坏。"_s);
        return out;
    }

private:
    unzFile m_zip;
    quint64 m_unpacked = 0; // the entries read so far together
};

// The column of a cell reference such as "AB12", from 0; -1 without one.
int columnOf(QStringView ref)
{
    int column = 0, letters = 0;
    for (const QChar c : ref) {
        if (c >= u'A' && c <= u'Z') {
            column = column * 26 + (c.unicode() - u'A' + 1);
            if (++letters > 3)
                return -1;
        } else {
            break;
        }
    }
    return letters ? column - 1 : -1;
}

// The text of an element such as <si> or <is>: its <t> parts, less the
// phonetic guides (<rPh>) that Chinese and Japanese files carry.
QString richText(QXmlStreamReader &xml)
{
    QString text;
    const QString end = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"rPh")
                ++phonetic;
            else if (xml.name() == u"t" && !phonetic)
                text += xml.readElementText();
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == u"rPh")
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}

bool dateFormatCode(QStringView code)
{
    // Letters of a date inside a format, outside quoted text, escapes and
    // [colour] or [$-locale] parts.
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\\')
            ++i;
        else if (c == u'[')
            ++bracket;
        else if (c == u']')
            --bracket;
        else if (!bracket && (c == u'y' || c == u'Y' || c == u'd' || c == u'D' || c == u'm' ||
                              c == u'M' || c == u'h' || c == u'H' || c == u's'))
            return true;
    }
    return false;
}

bool builtInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

QString serialDate(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465) // 9999-12-31
        return sheetNumberText(serial);
    const QDate epoch = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    qint64 days = qint64(std::floor(serial));
    qint64 seconds = qint64(std::llround((serial - double(days)) * 86400.0));
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QDate day = epoch.addDays(days);
    if (seconds == 0)
        return day.toString(u"yyyy-MM-dd"_s);
    return day.toString(u"yyyy-MM-dd"_s) + u' ' +
           QTime(0, 0).addSecs(int(seconds)).toString(u"hh:mm:ss"_s);
}

// A part of the workbook that is there must have been read to its end: a
// damaged one would otherwise give empty cells without a word.
void wholePart(const QXmlStreamReader &xml, const QByteArray &part)
{
    if (!part.isEmpty() && xml.hasError())
        throw SheetError(u"无法读取此XLSX文件：文件已损坏。"_s);
}

QString relsTarget(const QByteArray &rels, const QString &id)
{
    QXmlStreamReader xml(rels);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Relationship" &&
            xml.attributes().value(u"Id"_s) == id)
            return xml.attributes().value(u"Target"_s).toString();
    return {};
}

Sheet readXlsx(const QString &path, const SheetProgress &progress)
{
    Zip zip(path);
    if (!zip.isOpen() || !zip.has(u"xl/workbook.xml"_s))
        throw SheetError(notASheet());

    // The first sheet, and whether dates count from 1904.
    QString firstId;
    bool date1904 = false;
    {
        const QByteArray part = zip.read(u"xl/workbook.xml"_s);
        QXmlStreamReader xml(part);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"workbookPr") {
                const auto v = xml.attributes().value(u"date1904"_s);
                date1904 = v == u"1" || v == u"true";
            } else if (xml.name() == u"sheet" && firstId.isEmpty()) {
                for (const auto &a : xml.attributes())
                    if (a.name() == u"id")
                        firstId = a.value().toString();
            }
        }
        wholePart(xml, part);
    }
    QString target = relsTarget(zip.read(u"xl/_rels/workbook.xml.rels"_s), firstId);
    if (target.isEmpty())
        throw SheetError(u"此XLSX文件中没有工作表。"_s);
    target = target.startsWith(u'/') ? target.mid(1) : u"xl/"_s + target;

    QStringList shared;
    {
        const QByteArray part = zip.read(u"xl/sharedStrings.xml"_s);
        QXmlStreamReader xml(part);
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si") {
                shared.append(richText(xml));
                if (shared.last().size() > kMaxCellChars)
                    throw SheetError(u"文件中有一个单元格超过%1个字符，不是会员或商品资料。"_s.arg(
                        kMaxCellChars));
            }
        wholePart(xml, part);
    }

    // Which cell styles show numbers as dates.
    QList<bool> dateStyles;
    {
        QSet<int> customDates;
        const QByteArray part = zip.read(u"xl/styles.xml"_s);
        QXmlStreamReader xml(part);
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (xml.name() == u"numFmt" &&
                    dateFormatCode(xml.attributes().value(u"formatCode"_s)))
                    customDates.insert(xml.attributes().value(u"numFmtId"_s).toInt());
                else if (xml.name() == u"cellXfs")
                    inCellXfs = true;
                else if (inCellXfs && xml.name() == u"xf") {
                    const int id = xml.attributes().value(u"numFmtId"_s).toInt();
                    dateStyles.append(builtInDateFormat(id) || customDates.contains(id));
                }
            } else if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs") {
                inCellXfs = false;
            }
        }
        wholePart(xml, part);
    }

    const QByteArray data = zip.read(target);
    if (data.isEmpty())
        throw SheetError(u"此XLSX文件中没有工作表。"_s);
    Sheet sheet;
    sheet.kind = SheetKind::Xlsx;
    SheetBuilder builder(sheet);
    QXmlStreamReader xml(data);
    QStringList cells;
    int line = 0, rowsSeen = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == u"row") {
            cells.clear();
            const int r = xml.attributes().value(u"r"_s).toInt();
            line = r > 0 ? r : line + 1;
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"row") {
            builder.addRow(std::move(cells), line);
            cells = QStringList();
            if ((++rowsSeen & 0x3ff) == 0)
                report(progress, xml.characterOffset(), data.size());
        } else if (token == QXmlStreamReader::StartElement && xml.name() == u"c") {
            const auto attributes = xml.attributes();
            const QString type = attributes.value(u"t"_s).toString();
            const int style = attributes.value(u"s"_s).toInt();
            int column = columnOf(attributes.value(u"r"_s));
            if (column < 0)
                column = int(cells.size());
            QString value;
            while (!xml.atEnd()) {
                const auto t = xml.readNext();
                if (t == QXmlStreamReader::StartElement && xml.name() == u"v")
                    value = xml.readElementText();
                else if (t == QXmlStreamReader::StartElement && xml.name() == u"is")
                    value = richText(xml);
                else if (t == QXmlStreamReader::EndElement && xml.name() == u"c")
                    break;
            }
            if (type == u"s") {
                bool ok = false;
                const int index = value.toInt(&ok);
                value = ok ? shared.value(index) : QString();
            } else if (type == u"b") {
                value = value == u"1" ? u"TRUE"_s : u"FALSE"_s;
            } else if (type == u"e") {
                value.clear();
            } else if (type.isEmpty() || type == u"n") {
                bool ok = false;
                const double number = value.toDouble(&ok);
                if (ok)
                    value = dateStyles.value(style) ? serialDate(number, date1904)
                                                    : sheetNumberText(number);
            }
            if (value.isEmpty())
                continue; // a cell formatted but empty, wherever it lies
            if (column >= kMaxSheetColumns)
                throw SheetError(tooWide(column + 1));
            if (value.size() > kMaxCellChars)
                throw SheetError(tooLong(line));
            while (cells.size() < column)
                cells.append(QString());
            if (column < cells.size())
                cells[column] = value;
            else
                cells.append(value);
        }
    }
    if (xml.hasError())
        throw SheetError(u"无法读取此XLSX文件：工作表已损坏。"_s);
    builder.finish();
    return sheet;
}

} // namespace

TextEncoding detectEncoding(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return TextEncoding::Utf16;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return TextEncoding::Utf8;
    QStringDecoder d(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = d.decode(bytes); // decoded only when taken
    return d.hasError() ? TextEncoding::Gb18030 : TextEncoding::Utf8;
}

QString sheetNumberText(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == std::trunc(value) && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    // 15 significant digits, in plain decimal notation.
    const QString e = QString::number(value, 'e', 14); // d.dddddddddddddde±x
    const bool negative = e.startsWith(u'-');
    const qsizetype ePos = e.indexOf(u'e');
    QString digits = e.mid(negative ? 1 : 0, ePos - (negative ? 1 : 0)).remove(u'.');
    const int exponent = e.mid(ePos + 1).toInt();
    QString out;
    if (exponent >= 0) {
        if (digits.size() <= exponent + 1)
            digits += QString(exponent + 1 - digits.size(), u'0');
        out = digits.left(exponent + 1) + u'.' + digits.mid(exponent + 1);
    } else {
        out = u"0."_s + QString(-exponent - 1, u'0') + digits;
    }
    while (out.endsWith(u'0'))
        out.chop(1);
    if (out.endsWith(u'.'))
        out.chop(1);
    return negative ? u'-' + out : out;
}

Sheet readSheet(const QString &path, TextEncoding encoding, const SheetProgress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SheetError(u"无法打开文件：%1"_s.arg(file.errorString()));
    if (file.size() == 0)
        throw SheetError(u"文件是空的，没有可以导入的内容。"_s);
    if (file.size() > kMaxSheetFileBytes)
        throw SheetError(u"文件太大（超过512MB），请分成几个文件导入。"_s);
    const QByteArray head = file.peek(8);
    if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        file.close();
        return readXls(path, progress);
    }
    if (head.startsWith("PK\x03\x04")) {
        file.close();
        return readXlsx(path, progress);
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        throw SheetError(u"无法读取文件：%1"_s.arg(file.errorString()));
    return readCsv(bytes, encoding, progress);
}

} // namespace lanting

#include "csvexport.h"

#include "amounts.h"
#include "database.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

// A field as RFC 4180 has it: quoted when it holds a quote, a separator or
// a line break, or blanks at an end that a reader would trim.
QString field(const QString &text)
{
    const bool quote = text.contains(u'"') || text.contains(u',') || text.contains(u'\n') ||
                       text.contains(u'\r') || text.startsWith(u' ') || text.endsWith(u' ');
    if (!quote)
        return text;
    return u'"' + QString(text).replace(u"\""_s, u"\"\""_s) + u'"';
}

QByteArray line(const QStringList &fields)
{
    QStringList out;
    for (const QString &f : fields)
        out << field(f);
    return out.join(u',').toUtf8() + "\r\n";
}

const QByteArray kBom("\xEF\xBB\xBF");

} // namespace

ExportTable exportTable(const ReportQuery &query)
{
    return {query.columns,
            [query](const std::function<bool(const Values &)> &row) { forEachRow(query, row); }};
}

double spreadsheetNumber(const QVariant &stored)
{
    return Database::toAmount(stored).toDecimalText().toDouble();
}

QString exportHeading(const Column &column)
{
    const QString &h = column.heading;
    if ((column.kind == Kind::Money || column.kind == Kind::Balance) && !h.contains(u"元"_s))
        return h + u"（元）"_s;
    if (column.kind == Kind::Percent && !h.contains(u'%'))
        return h + u"（%）"_s;
    return h;
}

// A text a spreadsheet program would run as a formula ("=HYPERLINK(...)",
// "+1+2", "@SUM(...)") is kept as text behind an apostrophe; a plain
// signed number stays as it is.
static QString safeText(const QString &text)
{
    if (text.isEmpty())
        return text;
    const QChar first = text.front();
    bool number = false;
    if (first == u'+' || first == u'-')
        text.mid(1).toDouble(&number);
    if (first == u'=' || first == u'@' || first == u'\t' || first == u'\r' ||
        ((first == u'+' || first == u'-') && !number))
        return u"'"_s + text;
    return text;
}

QString writeCsv(const QString &path, const ExportTable &table)
{
    const QString shown = QDir::toNativeSeparators(path);
    QStringList headings;
    bool money = false;
    for (const Column &c : table.columns) {
        headings << exportHeading(c);
        money = money || c.kind == Kind::Money;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        !out.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return u"无法创建文件[%1]：%2"_s.arg(shown, out.errorString());
    bool ok = out.write(kBom + line(headings)) >= 0;
    QList<Amount> sums(table.columns.size());
    table.rows([&](const Values &v) {
        QStringList fields;
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            const Kind kind = table.columns[c].kind;
            const QVariant stored = v.value(c);
            fields << (kind == Kind::Text ? safeText(stored.toString()) : plainCell(kind, stored));
            if (kind == Kind::Money && !stored.isNull())
                sums[c] = sums[c] + Database::toAmount(stored);
        }
        ok = ok && out.write(line(fields)) >= 0;
        return ok;
    });
    if (money) {
        QStringList totals;
        for (qsizetype c = 0; c < table.columns.size(); ++c)
            totals << (table.columns[c].kind == Kind::Money ? FmtJe(sums[c])
                       : c == 0                             ? u"合计"_s
                                                            : QString());
        ok = ok && out.write(line(totals)) >= 0;
    }
    if (!ok || !out.commit())
        return u"文件[%1]没有写成：%2"_s.arg(shown, out.errorString());
    // Read back: a file that is not what was written is not left as saved.
    QFile back(path);
    const QByteArray start = line(headings.mid(0, 1)).chopped(2);
    if (!back.open(QIODevice::ReadOnly) || back.size() < kBom.size() + start.size() ||
        back.read(kBom.size() + start.size()) != kBom + start) {
        back.close();
        QFile::remove(path);
        return u"文件[%1]写入后读回不符，已删除。"_s.arg(shown);
    }
    return {};
}

} // namespace lanting::reports

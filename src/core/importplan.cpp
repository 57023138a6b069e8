#include "importplan.h"

#include "database.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

// Control characters a cell may not carry; line breaks and tabs become
// blanks (a spreadsheet cell may hold several lines).
bool cleanText(QString &text)
{
    bool clean = true;
    for (QChar &c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
        else if (c.category() == QChar::Other_Control)
            clean = false;
    }
    return clean;
}

// A key cell as readCell gives it, for counting repeats.
QString keyText(const QString &cell)
{
    QString t = cell.trimmed();
    cleanText(t);
    return t.trimmed();
}

} // namespace

QString foldHeading(const QString &heading)
{
    static const QRegularExpression bracketed(u"[(\\[（【][^)\\]）】]*[)\\]）】]"_s);
    static const QRegularExpression noise(u"[\\s*:：]"_s);
    QString h = heading.normalized(QString::NormalizationForm_KC).toLower();
    h.remove(bracketed).remove(noise);
    return h;
}

Amount readAmountCell(const QString &text)
{
    static const QRegularExpression number(u"^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"_s);
    QString t = text.normalized(QString::NormalizationForm_KC).trimmed();
    t.remove(u',').remove(u' ').remove(u'¥').remove(u'元');
    if (!number.match(t).hasMatch())
        return Amount::invalid();
    if (t.startsWith(u'+'))
        t.remove(0, 1);
    if (t.startsWith(u'.') || t.startsWith(u"-."_s))
        t.insert(t.indexOf(u'.'), u'0');
    if (t.endsWith(u'.'))
        t.chop(1);
    return Amount::fromDecimalText(t);
}

QDateTime readDateCell(const QString &text)
{
    static const QRegularExpression day(
        u"^(\\d{4})(?:[-/.年](\\d{1,2})[-/.月](\\d{1,2})日?|(\\d{2})(\\d{2}))"
        u"(?:[ T]+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?(?:\\.\\d+)?)?$"_s);
    const auto m = day.match(text.normalized(QString::NormalizationForm_KC).trimmed());
    if (!m.hasMatch())
        return {};
    const int year = m.captured(1).toInt();
    const int month = (m.captured(2).isEmpty() ? m.captured(4) : m.captured(2)).toInt();
    const int dayOfMonth = (m.captured(3).isEmpty() ? m.captured(5) : m.captured(3)).toInt();
    const QDate date(year, month, dayOfMonth);
    if (!date.isValid() || year < 1900)
        return {};
    QTime time(0, 0);
    if (!m.captured(6).isEmpty()) {
        time = QTime(m.captured(6).toInt(), m.captured(7).toInt(), m.captured(8).toInt());
        if (!time.isValid())
            return {};
    }
    return QDateTime(date, time);
}

ImportPlan::ImportPlan(QList<ImportField> fields, Sheet sheet, KeyLookup existingKeys,
                       QStringList existingReferences)
    : m_fields(std::move(fields)), m_sheet(std::move(sheet)),
      m_existingKeys(std::move(existingKeys)), m_existingReferences(std::move(existingReferences))
{
    for (const QString &r : std::as_const(m_existingReferences))
        m_existingFolded.insert(r.toLower(), r);
    guessColumns();
}

int ImportPlan::fieldIndex(const QString &key) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].key == key)
            return i;
    return -1;
}

// Exact names first, then headings that contain a name (the longest name
// wins: "会员卡号" is the card number, not a "号码"); each column serves one
// field at most.
void ImportPlan::guessColumns()
{
    m_columns = QList<int>(m_fields.size(), -1);
    QList<QString> folded;
    for (const QString &h : m_sheet.headings)
        folded.append(foldHeading(h));
    QSet<int> taken;
    for (int f = 0; f < m_fields.size(); ++f)
        for (const QString &name : m_fields[f].headings) {
            const qsizetype c = folded.indexOf(foldHeading(name));
            if (c >= 0 && !taken.contains(int(c)) && m_columns[f] < 0) {
                m_columns[f] = int(c);
                taken.insert(int(c));
            }
        }
    for (int c = 0; c < folded.size(); ++c) {
        if (taken.contains(c))
            continue;
        int best = -1;
        qsizetype bestLength = 0;
        for (int f = 0; f < m_fields.size(); ++f) {
            if (m_columns[f] >= 0)
                continue;
            for (const QString &name : m_fields[f].headings) {
                const QString n = foldHeading(name);
                if (n.size() > bestLength && folded[c].contains(n)) {
                    best = f;
                    bestLength = n.size();
                }
            }
        }
        if (best >= 0) {
            m_columns[best] = c;
            taken.insert(c);
        }
    }
}

void ImportPlan::setColumn(int field, int column)
{
    if (field < 0 || field >= m_columns.size())
        return;
    if (column >= 0)
        for (int &c : m_columns)
            if (c == column)
                c = -1; // a column serves one field
    m_columns[field] = column;
}

void ImportPlan::setNewReference(const QString &name, const QString &existing)
{
    if (m_newReferences.contains(name))
        m_newReferences[name] = existing;
}

QStringList ImportPlan::referencesToCreate() const
{
    int field = -1;
    for (int f = 0; f < m_fields.size(); ++f)
        if (m_fields[f].kind == FieldKind::Reference)
            field = f;
    QStringList out;
    if (field < 0)
        return out;
    QSet<QString> seen;
    for (const ImportRow &row : m_rows) {
        if (!row.problems.isEmpty() || !row.values[field].isValid())
            continue;
        const QString name = m_newFolded.value(row.values[field].toString().toLower());
        if (!name.isEmpty() && m_newReferences.value(name).isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            out << name;
        }
    }
    return out;
}

ImportPlan::KeyLookup keysIn(const QString &table, const QString &column)
{
    return [table, column](const QStringList &keys) {
        Sql q(u"SELECT %1 FROM %2 WHERE %1 IN ("_s.arg(column, table) +
              QStringList(keys.size(), u"?"_s).join(u',') + u')');
        for (const QString &k : keys)
            q.bind(k);
        q.exec();
        QSet<QString> out;
        while (q.next())
            out.insert(q.text(0));
        return out;
    };
}

CreatedReferences createReferences(const ImportPlan &plan, const QString &table,
                                   const std::function<void(const QString &)> &insert)
{
    CreatedReferences out;
    for (const QString &name : plan.referencesToCreate()) {
        const QVariant there =
            scalar(u"SELECT name FROM %1 WHERE lower(name) = lower(?)"_s.arg(table), {name});
        if (there.isNull()) {
            insert(name);
            ++out.made;
        }
        out.stored.insert(name.toLower(), there.isNull() ? name : there.toString());
    }
    return out;
}

QString CreatedReferences::spelling(const ImportPlan &plan, const QString &name) const
{
    const QString written = plan.referenceFor(name);
    return stored.value(written.toLower(), written);
}

int writeRows(const ImportPlan &plan, const SheetProgress &progress, const QString &taken,
              const std::function<void(const ImportRow &)> &write)
{
    int key = -1;
    for (int f = 0; f < plan.fields().size(); ++f)
        if (plan.fields()[f].unique)
            key = f;
    const QList<ImportRow> &rows = plan.rows();
    int written = 0;
    qsizetype done = 0;
    for (const ImportRow &row : rows) {
        ++done;
        if (!row.problems.isEmpty())
            continue;
        try {
            write(row);
        } catch (const DbError &e) {
            if (e.duplicate() && key >= 0)
                throw DbError(taken.arg(row.values[key].toString()).arg(row.line));
            throw;
        }
        ++written;
        if ((done & 0x1ff) == 0)
            reportImportProgress(progress, done, rows.size());
    }
    return written;
}

QString cellText(const QVariant &cell)
{
    return cell.isValid() ? cell.toString() : QString();
}

Amount cellAmount(const QVariant &cell)
{
    return cell.isValid() ? cell.value<Amount>() : Amount(0);
}

void reportImportProgress(const SheetProgress &progress, qsizetype done, qsizetype total)
{
    if (progress && !progress(total ? int(done * 100 / total) : 100))
        throw SheetError(u"已取消导入，没有导入任何数据。"_s, true);
}

QString ImportPlan::referenceFor(const QString &name) const
{
    const QString folded = name.toLower();
    if (const auto stored = m_existingFolded.constFind(folded); stored != m_existingFolded.cend())
        return *stored; // the stored spelling of an existing name
    if (const auto first = m_newFolded.constFind(folded); first != m_newFolded.cend()) {
        const QString mapped = m_newReferences.value(*first);
        return mapped.isEmpty() ? *first : mapped;
    }
    return name;
}

QVariant ImportPlan::readCell(const ImportField &field, const QString &cell, QStringList &problems,
                              NewNames &fresh) const
{
    QString text = cell.trimmed();
    if (!cleanText(text)) {
        problems << u"%1含有控制字符"_s.arg(field.label);
        return {};
    }
    text = text.trimmed();
    if (text.isEmpty()) {
        if (field.required)
            problems << u"%1为空"_s.arg(field.label);
        return {};
    }
    switch (field.kind) {
    case FieldKind::Text:
        return text;
    case FieldKind::Reference: {
        // Names that differ only in case are one name: the first spelling.
        const QString folded = text.toLower();
        if (!m_existingFolded.contains(folded) && !fresh.folded.contains(folded)) {
            fresh.folded.insert(folded, text);
            fresh.names.insert(text, QString());
        }
        return text;
    }
    case FieldKind::Amount:
    case FieldKind::Whole: {
        const Amount a = readAmountCell(text);
        if (!a.isValid() || (field.kind == FieldKind::Whole && a != a.truncated())) {
            problems << u"%1“%2”无法读取"_s.arg(field.label, text.left(20));
            return {};
        }
        if (a < Amount(0)) {
            problems << u"%1不能是负数"_s.arg(field.label);
            return {};
        }
        if (!inRange(a)) {
            problems << u"%1太大"_s.arg(field.label);
            return {};
        }
        return QVariant::fromValue(a);
    }
    case FieldKind::Date: {
        const QDateTime when = readDateCell(text);
        if (!when.isValid()) {
            problems << u"%1“%2”无法读取"_s.arg(field.label, text.left(20));
            return {};
        }
        return when;
    }
    case FieldKind::Sex: {
        const QString t = text.toLower();
        if (t == u"男" || t == u"m" || t == u"male" || t == u"1")
            return 1;
        if (t == u"女" || t == u"f" || t == u"female" || t == u"2")
            return 2;
        if (t == u"未知" || t == u"0")
            return 0;
        problems << u"%1“%2”无法读取"_s.arg(field.label, text.left(20));
        return {};
    }
    }
    return {};
}

bool ImportPlan::check(const SheetProgress &progress)
{
    // Everything is worked out aside and taken only when complete: a
    // cancel or a failure leaves the plan as it was.
    const int keyField = [this] {
        for (int f = 0; f < m_fields.size(); ++f)
            if (m_fields[f].unique)
                return f;
        return -1;
    }();
    const int keyColumn = keyField >= 0 ? m_columns[keyField] : -1;
    const qsizetype total = m_sheet.rows.size();

    // Keys repeated within the file, and keys the database holds.
    QHash<QString, int> seen;
    QSet<QString> present = m_keysPresent;
    if (keyColumn >= 0) {
        for (const QStringList &cells : std::as_const(m_sheet.rows))
            ++seen[keyText(cells[keyColumn])];
        if (keyColumn != m_keysColumn) {
            present.clear();
            QStringList batch;
            qsizetype done = 0;
            for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
                if (!it.key().isEmpty())
                    batch << it.key();
                if (batch.size() == 500 || (std::next(it) == seen.cend() && !batch.isEmpty())) {
                    present.unite(m_existingKeys(batch));
                    batch.clear();
                    if (progress &&
                        !progress(int(++done * 500 * 30 / std::max<qsizetype>(1, seen.size()))))
                        return false;
                }
            }
        }
    }

    NewNames fresh;
    QList<ImportRow> rows;
    int problemRows = 0;
    rows.reserve(total);
    for (qsizetype r = 0; r < total; ++r) {
        const QStringList &cells = m_sheet.rows[r];
        ImportRow row;
        row.line = m_sheet.lineNumbers.value(r);
        for (int f = 0; f < m_fields.size(); ++f) {
            const int c = m_columns[f];
            if (c < 0) {
                if (m_fields[f].required)
                    row.problems << u"%1为空"_s.arg(m_fields[f].label);
                row.values.append(QVariant());
                continue;
            }
            row.values.append(readCell(m_fields[f], cells[c], row.problems, fresh));
        }
        if (keyField >= 0 && keyColumn >= 0 && row.values[keyField].isValid()) {
            const QString key = row.values[keyField].toString();
            if (present.contains(key))
                row.problems << u"%1已存在"_s.arg(m_fields[keyField].label);
            else if (seen.value(key) > 1)
                row.problems << u"%1在文件中重复"_s.arg(m_fields[keyField].label);
        }
        if (!row.problems.isEmpty())
            ++problemRows;
        rows.append(std::move(row));
        if (progress && (r & 0xfff) == 0 && !progress(30 + int(r * 70 / total)))
            return false;
    }
    // What the user chose for names found again is kept.
    for (auto it = fresh.names.begin(); it != fresh.names.end(); ++it) {
        const QString was = m_newReferences.value(m_newFolded.value(it.key().toLower()));
        if (m_existingFolded.contains(was.toLower()))
            it.value() = was;
    }
    m_rows = std::move(rows);
    m_problemRows = problemRows;
    m_newReferences = std::move(fresh.names);
    m_newFolded = std::move(fresh.folded);
    m_keysPresent = std::move(present);
    m_keysColumn = keyColumn;
    return true;
}

void ImportPlan::forgetKeysPresent()
{
    m_keysColumn = -2;
    m_keysPresent.clear();
}

} // namespace lanting

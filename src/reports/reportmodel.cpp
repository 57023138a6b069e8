#include "reportmodel.h"

#include "amounts.h"
#include "database.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

ReportQuery &ReportQuery::where(const QString &condition, const QVariantList &conditionValues)
{
    conditions << condition;
    values << conditionValues;
    return *this;
}

ReportQuery &ReportQuery::whereEquals(const QString &column, const QString &value)
{
    if (!value.isEmpty())
        where(column + u" = ?"_s, {value});
    return *this;
}

QVariant typedValue(Kind kind, const QVariant &stored)
{
    if (stored.isNull())
        return {};
    switch (kind) {
    case Kind::Text:
        return stored.toString();
    case Kind::Money:
    case Kind::Number:
    case Kind::Percent:
        return QVariant::fromValue(Database::toAmount(stored));
    case Kind::Whole:
        if (stored.metaType() == QMetaType::fromType<Amount>())
            return stored;
        return QVariant::fromValue(Amount(stored.toLongLong()));
    case Kind::DateTime:
        return Database::toDt(stored);
    }
    return {};
}

namespace
{

// A key as it is bound again: date-times in their stored form.
QVariant keyValue(const QVariant &stored)
{
    if (stored.metaType().id() == QMetaType::QDateTime)
        return Database::dt(stored.toDateTime());
    return stored;
}

// "The rows after `key`" in the order of the keys:
//   k1 < ? OR k1 = ? AND (k2 < ? OR ...)
// for a descending order. The bound that lets the database seek
// (k1 <= ?) goes into the period's own range when k1 is its column, so
// that the range has one upper end; a second one would leave the database
// to choose, and it may walk down from the period's end for every block.
QString afterKey(const ReportQuery &q, const QVariantList &key, bool bounded, QVariantList &values)
{
    const QString op = q.descending ? u"<"_s : u">"_s;
    const qsizetype n = q.keys.size();
    QString inner = q.keys[n - 1] + op + u" ?"_s;
    QVariantList innerValues{key[n - 1]};
    for (qsizetype i = n - 2; i >= 0; --i) {
        inner = u"%1 %2 ? OR %1 = ? AND (%3)"_s.arg(q.keys[i], op, inner);
        innerValues.prepend(key[i]);
        innerValues.prepend(key[i]);
    }
    if (n == 1 || bounded) {
        values << innerValues;
        return inner;
    }
    values << key[0] << innerValues;
    return u"%1 %2= ? AND (%3)"_s.arg(q.keys[0], op, inner);
}

struct Where {
    QStringList conditions;
    QVariantList values;
};

// The conditions of a statement of the query: its range and conditions,
// and the rows after `after` or those of the key `only` when given.
Where whereOf(const ReportQuery &q, const QVariantList &after = {}, const QVariantList &only = {})
{
    Where w;
    bool bounded = false;
    if (!q.rangeColumn.isEmpty()) {
        QVariant from = q.rangeFrom, to = q.rangeTo;
        if (!after.isEmpty() && q.keys.value(0) == q.rangeColumn) {
            bounded = true;
            const QPartialOrdering order = QVariant::compare(after[0], q.descending ? to : from);
            if (q.descending && order == QPartialOrdering::Less)
                to = after[0];
            else if (!q.descending && order == QPartialOrdering::Greater)
                from = after[0];
        }
        // Rows in the order of another key (the records by number) are walked
        // in that order, the period a filter: SQLite would otherwise seek by
        // the period and sort all of it again for every block.
        const bool walkByKey =
            q.keys.value(0) != q.rangeColumn && Database::backend() == Backend::Sqlite;
        w.conditions << (walkByKey ? u"+"_s : QString()) + q.rangeColumn + u" BETWEEN ? AND ?"_s;
        w.values << from << to;
    }
    w.conditions << q.conditions;
    w.values << q.values;
    if (!only.isEmpty()) {
        for (qsizetype i = 0; i < q.keys.size(); ++i) {
            w.conditions << q.keys[i] + u" = ?"_s;
            w.values << only[i];
        }
    } else if (!after.isEmpty()) {
        w.conditions << afterKey(q, after, bounded, w.values);
    }
    return w;
}

QString withWhere(const QString &select, const QStringList &conditions)
{
    if (conditions.isEmpty())
        return select;
    return select + u" WHERE ("_s + conditions.join(u") AND ("_s) + u")"_s;
}

// Rows as read: each row's values, then its key.
struct Read {
    QList<Values> rows;
    qsizetype columns = 0;
    bool atEnd = false;
    bool sameKey(qsizetype a, qsizetype b) const
    {
        for (qsizetype c = columns; c < rows[a].size(); ++c)
            if (rows[a][c] != rows[b][c])
                return false;
        return true;
    }
    // The key of a row, to be bound again.
    QVariantList key(qsizetype row) const
    {
        QVariantList key;
        for (qsizetype c = columns; c < rows[row].size(); ++c)
            key << keyValue(rows[row][c]);
        return key;
    }
    QVariantList last() const { return rows.isEmpty() ? QVariantList() : key(rows.size() - 1); }
};

// Runs the query for the rows after `after` (from the start when empty),
// or, with `only`, for the rows of that one key.
Read readRows(const ReportQuery &q, const QVariantList &after, const QVariantList &only, int limit)
{
    const Where w = whereOf(q, after, only);
    QString sql = withWhere(q.select, w.conditions);
    QStringList order;
    for (const QString &k : q.keys)
        order << (q.descending ? k + u" DESC"_s : k);
    if (!q.tieBreak.isEmpty())
        order << q.tieBreak;
    sql += u" ORDER BY "_s + order.join(u", "_s);
    if (limit > 0)
        sql += u" LIMIT "_s + QString::number(limit);
    Sql s(sql);
    for (const QVariant &v : w.values)
        s.bind(v);
    s.exec();
    Read out;
    out.columns = q.columns.size();
    const qsizetype width = out.columns + q.keys.size();
    while (s.next()) {
        Values row;
        row.reserve(width);
        for (qsizetype c = 0; c < width; ++c)
            row << s.value(int(c));
        out.rows << row;
    }
    out.atEnd = limit <= 0 || out.rows.size() < limit;
    return out;
}

// A block of at most `limit` rows after `after`, ending on a whole key: the
// rows of one sale are never split between blocks (they have no key of
// their own to start a block at). A key with more rows than `limit` makes a
// block of its own, larger than the others.
Read readBlock(const ReportQuery &q, const QVariantList &after, int limit)
{
    if (q.tieBreak.isEmpty())
        return readRows(q, after, {}, limit);
    // One row more tells whether the last key goes on past the block.
    Read r = readRows(q, after, {}, limit + 1);
    if (r.rows.size() <= limit)
        return r;
    r.atEnd = false;
    qsizetype end = limit;
    if (r.sameKey(limit, limit - 1)) {
        end = limit - 1;
        while (end > 0 && r.sameKey(end - 1, limit))
            --end;
        if (end == 0) {
            Read whole = readRows(q, {}, r.key(limit), 0);
            whole.atEnd = false;
            return whole;
        }
    }
    r.rows.resize(end);
    return r;
}

} // namespace

QString formatCell(Kind kind, const QVariant &stored)
{
    const QVariant value = typedValue(kind, stored);
    if (value.isNull())
        return {};
    switch (kind) {
    case Kind::Text:
        return value.toString();
    case Kind::Money:
        return FmtJe(value.value<Amount>()) + u"元"_s;
    case Kind::Percent:
        return FmtJe(value.value<Amount>()) + u"%"_s;
    case Kind::Number:
    case Kind::Whole:
        return FmtJe(value.value<Amount>());
    case Kind::DateTime:
        return FmtTime(value.toDateTime());
    }
    return {};
}

void forEachRow(const ReportQuery &query, const std::function<bool(const Values &)> &row, int block)
{
    if (query.compute) {
        for (const Values &v : query.compute())
            if (!row(v))
                return;
        return;
    }
    QVariantList after;
    for (;;) {
        const Read r = readBlock(query, after, block);
        for (const Values &v : r.rows)
            if (!row(v))
                return;
        if (r.atEnd || r.rows.isEmpty())
            return;
        after = r.last();
    }
}

qint64 countRows(const ReportQuery &query)
{
    if (query.compute)
        return query.compute().size();
    const Where w = whereOf(query);
    Sql s(u"SELECT count(*) FROM ("_s + withWhere(query.select, w.conditions) + u") counted"_s);
    for (const QVariant &v : w.values)
        s.bind(v);
    s.exec();
    return s.next() ? s.value(0).toLongLong() : 0;
}

Rows texts(const ReportQuery &query)
{
    Rows out;
    forEachRow(query, [&](const Values &v) {
        QStringList row;
        for (qsizetype c = 0; c < query.columns.size(); ++c)
            row << formatCell(query.columns[c].kind, v[c]);
        out << row;
        return true;
    });
    return out;
}

// --- ReportModel ---------------------------------------------------------

ReportModel::ReportModel(QObject *parent, int blockRows, int keptBlocks)
    : QAbstractTableModel(parent), m_blockRows(qMax(1, blockRows)),
      m_keptBlocks(qMax(1, keptBlocks))
{
}

// Lets go of the blocks shown longest ago, down to the number kept.
void ReportModel::letGo(const Block *keep) const
{
    while (m_loaded > m_keptBlocks) {
        Block *oldest = nullptr;
        for (Block &k : m_blocks)
            if (&k != keep && !k.rows.isEmpty() && (!oldest || k.used < oldest->used))
                oldest = &k;
        if (!oldest)
            return;
        oldest->rows = QList<Values>();
        --m_loaded;
    }
}

void ReportModel::clear()
{
    beginResetModel();
    // The headings stay.
    ReportQuery empty;
    empty.columns = m_query.columns;
    m_query = std::move(empty);
    m_blocks.clear();
    m_nextAfter.clear();
    m_atEnd = true;
    m_rows = 0;
    m_loaded = 0;
    endResetModel();
}

void ReportModel::setQuery(ReportQuery query)
{
    clear();
    Block first;
    bool atEnd = true;
    QVariantList next;
    if (query.compute) {
        first.rows = query.compute();
    } else {
        Read r = readBlock(query, {}, m_blockRows);
        next = r.last();
        atEnd = r.atEnd || r.rows.isEmpty();
        first.rows = std::move(r.rows);
    }
    beginResetModel();
    m_query = std::move(query);
    first.count = int(first.rows.size());
    first.used = ++m_clock;
    m_rows = first.count;
    m_loaded = 1;
    m_blocks << first;
    m_atEnd = atEnd;
    m_nextAfter = next;
    endResetModel();
}

void ReportModel::setColumns(const QList<Column> &columns)
{
    beginResetModel();
    m_query.columns = columns;
    endResetModel();
}

int ReportModel::rowsInMemory() const
{
    int n = 0;
    for (const Block &b : m_blocks)
        n += int(b.rows.size());
    return n;
}

int ReportModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ReportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_query.columns.size());
}

bool ReportModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void ReportModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_atEnd)
        return;
    Read r;
    try {
        r = readBlock(m_query, m_nextAfter, m_blockRows);
    } catch (const DbError &e) {
        m_atEnd = true;
        Q_EMIT failed(e.message());
        return;
    }
    m_atEnd = r.atEnd || r.rows.isEmpty();
    if (r.rows.isEmpty())
        return;
    Block b;
    b.after = m_nextAfter;
    b.first = m_rows;
    b.count = int(r.rows.size());
    m_nextAfter = r.last();
    b.rows = std::move(r.rows);
    b.used = ++m_clock;
    beginInsertRows({}, m_rows, m_rows + b.count - 1);
    m_blocks << b;
    m_rows += b.count;
    ++m_loaded;
    endInsertRows();
    letGo(&m_blocks.last());
}

void ReportModel::load(Block &block) const
{
    // Read again from where it started. Rows written or deleted since then
    // may shift it; the list keeps its length, and a refreshed query shows
    // them rightly.
    QList<Values> rows;
    try {
        rows = readRows(m_query, block.after, {}, block.count).rows;
    } catch (const DbError &e) {
        QMetaObject::invokeMethod(const_cast<ReportModel *>(this), "failed", Qt::QueuedConnection,
                                  Q_ARG(QString, e.message()));
    }
    rows.resize(block.count, Values(m_query.columns.size()));
    block.rows = std::move(rows);
    ++m_loaded;
    letGo(&block);
}

const Values *ReportModel::rowAt(int row) const
{
    if (row < 0 || row >= m_rows)
        return nullptr;
    auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), row,
                               [](int r, const Block &b) { return r < b.first; });
    Block &b = *(it - 1);
    if (b.rows.isEmpty())
        load(b);
    b.used = ++m_clock;
    return &b.rows[row - b.first];
}

QVariant ReportModel::value(int row, int column) const
{
    const Values *v = rowAt(row);
    if (!v || column < 0 || column >= m_query.columns.size())
        return {};
    return typedValue(m_query.columns[column].kind, v->value(column));
}

QVariant ReportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const int column = index.column();
    if (column < 0 || column >= m_query.columns.size())
        return {};
    const Values *v = rowAt(index.row());
    return v ? formatCell(m_query.columns[column].kind, v->value(column)) : QString();
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_query.columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_query.columns[section].heading;
}

} // namespace lanting::reports

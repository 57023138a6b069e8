#include "reportmodel.h"

#include "amounts.h"
#include "database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <optional>

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
    case Kind::Balance:
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

// Where a row holds the values of its key, and how many values it has.
struct Layout {
    QList<qsizetype> key;
    qsizetype width = 1;
};

Layout layoutOf(const ReportQuery &q)
{
    Layout l;
    l.width = q.columns.size();
    for (qsizetype i = 0; i < q.keys.size(); ++i) {
        const int shown = q.keyColumns.value(i, -1);
        l.key << (shown >= 0 ? shown : l.width++);
    }
    l.width = qMax<qsizetype>(1, l.width);
    return l;
}

// Rows as read, one after the other in one list (`width` values a row).
struct Read {
    QList<QVariant> cells;
    Layout layout;
    qsizetype width = 1;
    bool atEnd = false;
    qsizetype count() const { return cells.size() / width; }
    bool sameKey(qsizetype a, qsizetype b) const
    {
        for (const qsizetype c : layout.key)
            if (cells[a * width + c] != cells[b * width + c])
                return false;
        return true;
    }
    // The key of a row, to be bound again.
    QVariantList key(qsizetype row) const
    {
        QVariantList key;
        for (const qsizetype c : layout.key)
            key << keyValue(cells[row * width + c]);
        return key;
    }
    QVariantList last() const { return cells.isEmpty() ? QVariantList() : key(count() - 1); }
};

// Runs the query for the rows after `after` (from the start when empty),
// or, with `only`, for the rows of that one key.
// The statement of the rows after `after` (or of the key `only`) in the
// report's order, at most `limit` of them when given; its values in `w`.
QString statementOf(const ReportQuery &q, const QVariantList &after, const QVariantList &only,
                    int limit, Where &w)
{
    w = whereOf(q, after, only);
    QString sql = withWhere(q.select, w.conditions);
    QStringList order;
    for (const QString &k : q.keys)
        order << (q.descending ? k + u" DESC"_s : k);
    if (!q.tieBreak.isEmpty())
        order << q.tieBreak;
    sql += u" ORDER BY "_s + order.join(u", "_s);
    if (limit > 0)
        sql += u" LIMIT "_s + QString::number(limit);
    return sql;
}

Read readRows(const ReportQuery &q, const QVariantList &after, const QVariantList &only, int limit)
{
    Where w;
    Sql s(statementOf(q, after, only, limit, w));
    for (const QVariant &v : w.values)
        s.bind(v);
    s.exec();
    Read out;
    out.layout = layoutOf(q);
    out.width = out.layout.width;
    if (limit > 0)
        out.cells.reserve(limit * out.width);
    while (s.next())
        for (qsizetype c = 0; c < out.width; ++c)
            out.cells << s.value(int(c));
    out.atEnd = limit <= 0 || out.count() < limit;
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
    if (r.count() <= limit)
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
    r.cells.resize(end * r.width);
    return r;
}

} // namespace

QString plainCell(Kind kind, const QVariant &stored)
{
    const QVariant value = typedValue(kind, stored);
    if (value.isNull())
        return {};
    switch (kind) {
    case Kind::Text:
        return value.toString();
    case Kind::Money:
    case Kind::Balance:
    case Kind::Number:
    case Kind::Percent:
    case Kind::Whole:
        return FmtJe(value.value<Amount>());
    case Kind::DateTime:
        return FmtTime(value.toDateTime());
    }
    return {};
}

QString formatCell(Kind kind, const QVariant &stored)
{
    const QString text = plainCell(kind, stored);
    if (text.isEmpty())
        return text;
    if (kind == Kind::Money || kind == Kind::Balance)
        return text + u"元"_s;
    return kind == Kind::Percent ? text + u"%"_s : text;
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
    Values v;
    for (;;) {
        const Read r = readBlock(query, after, block);
        v.resize(r.width);
        for (qsizetype i = 0; i < r.count(); ++i) {
            std::copy_n(r.cells.constBegin() + i * r.width, r.width, v.begin());
            if (!row(v))
                return;
        }
        if (r.atEnd || r.cells.isEmpty())
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

// On PostgreSQL the rows after the first block come from one statement on a
// connection of the model's own, read a block at a time as they arrive (the
// driver reads a forward-only result row by row): the server joins and sorts
// the period once instead of looking up every row's member for every block.
// SQLite walks its indexes as fast block by block.
namespace
{

// Connections a finished stream left open, for the next report: opening one
// takes longer than a day's report.
QStringList &idleConnections()
{
    static QStringList idle;
    return idle;
}

// A connection to the server the program uses now, open.
QString streamConnection()
{
    static quint64 serial = 0;
    const QSqlDatabase main = Database::connection();
    QStringList &idle = idleConnections();
    while (!idle.isEmpty()) {
        const QString name = idle.takeLast();
        {
            const QSqlDatabase db = QSqlDatabase::database(name, false);
            if (db.isOpen() && db.hostName() == main.hostName() && db.port() == main.port() &&
                db.databaseName() == main.databaseName() && db.userName() == main.userName())
                return name;
        }
        QSqlDatabase::removeDatabase(name);
    }
    const QString name = u"lanting-report-%1"_s.arg(++serial);
    QSqlDatabase db = QSqlDatabase::cloneDatabase(main, name);
    if (!db.open()) {
        const QString why = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw DbError(why);
    }
    return name;
}

} // namespace

struct ReportModel::Stream {
    QString connection;
    std::optional<QSqlQuery> query;
    Values pending;        // the row read ahead, when not empty
    bool finished = false; // every row read
    ~Stream()
    {
        // A statement read to its end leaves its connection for the next
        // report (a few of them at most). One left halfway, the report
        // closed or run again, would have the rest of its rows read and
        // thrown away first, seconds for a year: its connection is closed
        // instead, and the server stops the statement.
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (finished && db.isOpen() && idleConnections().size() < 4) {
            query.reset();
            idleConnections() << connection;
            return;
        }
        db.close();
        query.reset();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }
};

ReportModel::~ReportModel() = default;

// Reads the next block from the stream: `limit` rows, and on to the end of
// the last one's key when the rows of a key stay together.
bool ReportModel::readStream(int limit, QList<QVariant> &cells)
{
    // A connection kept from an earlier report may have been dropped by the
    // server or the network meanwhile: a new one is tried once then.
    for (int attempt = 0; !m_stream; ++attempt) {
        auto stream = std::make_unique<Stream>();
        const bool kept = attempt == 0 && !idleConnections().isEmpty();
        stream->connection = streamConnection();
        QSqlDatabase db = QSqlDatabase::database(stream->connection, false);
        Where w;
        const QString sql = statementOf(m_query, m_nextAfter, {}, 0, w);
        stream->query.emplace(db);
        QSqlQuery &q = *stream->query;
        q.setForwardOnly(true);
        bool ok = q.prepare(sql);
        if (ok) {
            for (const QVariant &v : w.values)
                q.addBindValue(v.metaType() == QMetaType::fromType<Amount>()
                                   ? Database::stored(v.value<Amount>())
                                   : v);
            ok = q.exec();
        }
        if (!ok) {
            const QString why = q.lastError().text();
            stream.reset(); // its connection closed, not kept
            if (kept)
                continue;
            throw DbError(why);
        }
        m_stream = std::move(stream);
    }
    const Layout layout = layoutOf(m_query);
    const qsizetype width = layout.width;
    QSqlQuery &q = *m_stream->query;
    auto next = [&](Values &row) {
        if (!m_stream->pending.isEmpty()) {
            row = std::exchange(m_stream->pending, {});
            return true;
        }
        if (!q.next()) {
            if (q.lastError().isValid())
                throw DbError(q.lastError().text());
            m_stream->finished = true;
            return false;
        }
        row.resize(width);
        for (qsizetype c = 0; c < width; ++c)
            row[c] = q.value(int(c));
        return true;
    };
    Values row;
    qsizetype count = 0;
    while (next(row)) {
        if (count >= limit) {
            // Past the limit only the rest of the last key's rows.
            bool same = !m_query.tieBreak.isEmpty();
            for (const qsizetype c : layout.key)
                same = same && row[c] == cells[(count - 1) * width + c];
            if (!same) {
                m_stream->pending = row;
                return false;
            }
        }
        cells << row;
        ++count;
    }
    m_stream.reset(); // every row read: the statement and its connection go
    return true;
}

ReportModel::ReportModel(QObject *parent, int blockRows, int keptBlocks)
    : QAbstractTableModel(parent), m_blockRows(qMax(1, blockRows)),
      m_keptBlocks(qMax(1, keptBlocks))
{
}

// The first block: a screen or two, read at once when the report is shown.
int ReportModel::firstRows() const
{
    return qMin(kFirstRows, m_blockRows);
}

// Lets go of the blocks shown longest ago, down to the rows kept; only the
// blocks in memory are looked at, however long the list has grown.
void ReportModel::letGo(qsizetype keep) const
{
    const auto held = [this] {
        qint64 rows = 0;
        for (const qsizetype i : m_inMemory)
            rows += m_blocks[i].count;
        return rows;
    };
    while (m_inMemory.size() > 1 && held() > qint64(m_keptBlocks) * m_blockRows) {
        qsizetype oldest = -1;
        for (qsizetype i = 0; i < m_inMemory.size(); ++i)
            if (m_inMemory[i] != keep &&
                (oldest < 0 || m_blocks[m_inMemory[i]].used < m_blocks[m_inMemory[oldest]].used))
                oldest = i;
        if (oldest < 0)
            return;
        m_blocks[m_inMemory[oldest]].cells = QList<QVariant>();
        m_inMemory.remove(oldest);
    }
}

void ReportModel::clear()
{
    beginResetModel();
    // The headings stay.
    ReportQuery empty;
    empty.columns = m_query.columns;
    m_query = std::move(empty);
    m_stream.reset();
    m_blocks.clear();
    m_inMemory.clear();
    m_nextAfter.clear();
    m_atEnd = true;
    m_rows = 0;
    m_width = 1;
    endResetModel();
}

void ReportModel::setQuery(ReportQuery query)
{
    clear();
    Block first;
    bool atEnd = true;
    QVariantList next;
    const qsizetype width = layoutOf(query).width;
    if (query.compute) {
        const QList<Values> rows = query.compute();
        first.cells.reserve(rows.size() * width);
        for (Values row : rows) {
            row.resize(width);
            first.cells << row;
        }
    } else {
        Read r = readBlock(query, {}, firstRows());
        next = r.last();
        atEnd = r.atEnd || r.cells.isEmpty();
        first.cells = std::move(r.cells);
    }
    beginResetModel();
    m_query = std::move(query);
    m_width = width;
    first.count = int(first.cells.size() / width);
    first.used = ++m_clock;
    m_rows = first.count;
    m_inMemory = {0};
    m_fetchRows = firstRows();
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
    for (const qsizetype i : m_inMemory)
        n += m_blocks[i].count;
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
        if (Database::backend() == Backend::Postgres) {
            r.layout = layoutOf(m_query);
            r.width = r.layout.width;
            r.atEnd = readStream(m_fetchRows, r.cells);
        } else
            r = readBlock(m_query, m_nextAfter, m_fetchRows);
    } catch (const DbError &e) {
        m_atEnd = true;
        m_stream.reset();
        Q_EMIT failed(e.message());
        return;
    }
    m_atEnd = r.atEnd || r.cells.isEmpty();
    if (r.cells.isEmpty())
        return;
    // A list scrolled on and on is read in ever larger blocks, fewer
    // statements for the server to answer, up to an eighth of what is kept.
    m_fetchRows = int(qMin<qint64>(
        qint64(m_fetchRows) * 2,
        qMax<qint64>(m_blockRows, qMin<qint64>(qint64(m_blockRows) * 8,
                                               qint64(m_keptBlocks) * m_blockRows / 8))));
    Block b;
    b.after = m_nextAfter;
    b.first = m_rows;
    b.count = int(r.count());
    m_nextAfter = r.last();
    b.cells = std::move(r.cells);
    b.used = ++m_clock;
    beginInsertRows({}, m_rows, m_rows + b.count - 1);
    m_blocks << b;
    m_rows += b.count;
    m_inMemory << m_blocks.size() - 1;
    endInsertRows();
    letGo(m_blocks.size() - 1);
}

void ReportModel::load(qsizetype index) const
{
    // Read again from where it started. Rows written or deleted since then
    // may shift it; the list keeps its length, and a refreshed query shows
    // them rightly.
    Block &block = m_blocks[index];
    QList<QVariant> cells;
    try {
        cells = readRows(m_query, block.after, {}, block.count).cells;
    } catch (const DbError &e) {
        QMetaObject::invokeMethod(const_cast<ReportModel *>(this), "failed", Qt::QueuedConnection,
                                  Q_ARG(QString, e.message()));
    }
    cells.resize(block.count * m_width);
    block.cells = std::move(cells);
    m_inMemory << index;
    letGo(index);
}

const QVariant *ReportModel::rowAt(int row) const
{
    if (row < 0 || row >= m_rows)
        return nullptr;
    auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), row,
                               [](int r, const Block &b) { return r < b.first; });
    const qsizetype index = it - 1 - m_blocks.begin();
    if (m_blocks[index].cells.isEmpty())
        load(index);
    Block &b = m_blocks[index];
    b.used = ++m_clock;
    return b.cells.constData() + qsizetype(row - b.first) * m_width;
}

QVariant ReportModel::value(int row, int column) const
{
    const QVariant *v = rowAt(row);
    if (!v || column < 0 || column >= m_query.columns.size())
        return {};
    return typedValue(m_query.columns[column].kind, v[column]);
}

QVariant ReportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const int column = index.column();
    if (column < 0 || column >= m_query.columns.size())
        return {};
    const QVariant *v = rowAt(index.row());
    return v ? formatCell(m_query.columns[column].kind, v[column]) : QString();
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_query.columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_query.columns[section].heading;
}

} // namespace lanting::reports

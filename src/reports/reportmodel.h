#pragma once

// The reports' lists as models over the database. A report is its query
// with typed columns; rows are read in blocks as the view scrolls, a block
// at a time from where the last one ended (never by an offset), and a cell
// is formatted only when it is shown. Blocks scrolled far away are let go
// and read again when they come back into view, so a year of line items
// takes no more memory than a day. Export and printing walk the same query
// from its start.

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace lanting::reports
{

// How a column's value is read and shown.
enum class Kind {
    Text,     // as stored
    Money,    // an amount, shown with "元"
    Balance,  // an amount at a moment (a running balance), shown with "元", never added up
    Number,   // an amount (price, quantity, points), in its shortest form
    Percent,  // an amount, shown with "%"
    Whole,    // a whole number kept as an integer (the points of a sale)
    DateTime, // a stored date-time, shown as "yyyy-MM-dd HH:mm:ss"
};

struct Column {
    QString heading;
    Kind kind = Kind::Text;
};

// One row as the database gave it, each value read as its column's kind
// when it is used; null for an empty cell. A row read from the database
// has the values of its key after the columns (those no column shows).
using Values = QList<QVariant>;
// Rows as the cashier sees them.
using Rows = QList<QStringList>;

struct ReportQuery {
    QList<Column> columns;
    // "SELECT <one expression per column>, <the keys> FROM ...": the keys
    // follow the columns, except those a column already shows.
    QString select;
    // The period: rows whose `rangeColumn` lies between the two, both ends
    // included.
    QString rangeColumn;
    QVariant rangeFrom, rangeTo;
    QStringList conditions; // joined with AND
    QVariantList values;    // bound in the order of the conditions
    // The order of the rows. Each row has its own key unless `tieBreak` is
    // given; then the rows of one key (the lines of one sale) are kept in
    // one block and ordered by it.
    QStringList keys;
    // For each key, the column that shows its value as it is stored; -1, or
    // no entry, when its value follows the columns.
    QList<int> keyColumns;
    bool descending = false;
    QString tieBreak;
    // A report whose rows are computed whole instead (a bounded number of
    // them: the days of a period, the goods of the catalogue).
    std::function<QList<Values>()> compute;

    // A condition with its values, one per "?".
    ReportQuery &where(const QString &condition, const QVariantList &conditionValues = {});
    // "column = value", or nothing when the value is empty (a filter left
    // at "不限" or blank).
    ReportQuery &whereEquals(const QString &column, const QString &value);
};

// A value as its column's kind: a QString, an Amount or a QDateTime, or
// null; and its shown text.
QVariant typedValue(Kind kind, const QVariant &stored);
QString formatCell(Kind kind, const QVariant &stored);
// The shown text without the unit ("元", "%") a money or rate column adds:
// what an exported file holds, the unit going into the heading.
QString plainCell(Kind kind, const QVariant &stored);

// Walks every row from the start, `block` rows per statement; stops when
// `row` gives false. A DbError is thrown on.
void forEachRow(const ReportQuery &query, const std::function<bool(const Values &)> &row,
                int block = 2000);
// Every row as shown.
Rows texts(const ReportQuery &query);
// How many rows the query has, counted in the database.
qint64 countRows(const ReportQuery &query);

class ReportModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The rows kept in memory, in blocks of `blockRows`; a block further
    // away is read again when it is shown. The first block holds at most
    // kFirstRows; blocks read as the view scrolls on double up to eight
    // times `blockRows`.
    static constexpr int kFirstRows = 100;
    static constexpr int kBlockRows = 500;
    static constexpr int kKeptBlocks = 64;

    explicit ReportModel(QObject *parent = nullptr, int blockRows = kBlockRows,
                         int keptBlocks = kKeptBlocks);
    ~ReportModel() override;

    // Shows the report, its first block read at once. A DbError is thrown
    // on, with the model left empty.
    void setQuery(ReportQuery query);
    // Empties the list; the headings stay.
    void clear();
    // The headings of a report, before it is first run.
    void setColumns(const QList<Column> &columns);
    const ReportQuery &query() const { return m_query; }
    // The value of a cell as its column's kind.
    QVariant value(int row, int column) const;
    // How many rows are in memory now (the benchmark watches it).
    int rowsInMemory() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

Q_SIGNALS:
    // A block could not be read; the list ends where it was.
    void failed(const QString &message);

private:
    struct Block {
        QVariantList after; // the key of the row before it; empty for the first
        int first = 0, count = 0;
        QList<QVariant> cells; // its rows one after the other; empty while let go
        quint64 used = 0;
    };
    // The first value of a row, the others after it.
    const QVariant *rowAt(int row) const;
    void load(qsizetype block) const;
    void letGo(qsizetype keep) const;
    int firstRows() const;
    struct Stream;
    // Appends the next block's rows; true when they were the last.
    bool readStream(int limit, QList<QVariant> &cells);

    const int m_blockRows, m_keptBlocks;
    ReportQuery m_query;
    std::unique_ptr<Stream> m_stream;
    mutable QList<Block> m_blocks;
    mutable QList<qsizetype> m_inMemory; // the blocks whose rows are held
    qsizetype m_width = 1;               // values a row: its columns, then its key's
    QVariantList m_nextAfter;
    bool m_atEnd = true;
    int m_rows = 0;
    int m_fetchRows = 0; // rows the next block reads
    mutable quint64 m_clock = 0;
};

} // namespace lanting::reports

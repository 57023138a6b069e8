#pragma once

#include "amounts.h"
#include "sheetfile.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QVariant>
#include <functional>

namespace lanting
{

// What a field of an import holds, and so how its cells are read.
enum class FieldKind {
    Text,
    Amount,    // an exact decimal, not negative: money, points, quantities
    Whole,     // a whole number, not negative
    Date,      // a day, or a day with its time
    Reference, // the name of a level or category, created when new
    Sex,       // 男 / 女 / 未知
};

struct ImportField {
    QString key;          // the field's column in the table written
    QString label;        // as the window shows it
    QStringList headings; // headings that name it in a file
    FieldKind kind = FieldKind::Text;
    bool required = false;
    bool unique = false; // the record's key: neither present nor repeated
};

// One row of the file as it would be written: a value per field (an
// invalid QVariant for a cell left empty) and what is wrong with it.
struct ImportRow {
    int line = 0; // the row's number in the spreadsheet
    QVariantList values;
    QStringList problems;
};

// A file read for import, the match of its columns to the fields, and each
// row checked against the fields and the database.
class ImportPlan
{
public:
    // Which of these keys the database holds already.
    using KeyLookup = std::function<QSet<QString>(const QStringList &keys)>;

    ImportPlan(QList<ImportField> fields, Sheet sheet, KeyLookup existingKeys,
               QStringList existingReferences);

    const QList<ImportField> &fields() const { return m_fields; }
    const Sheet &sheet() const { return m_sheet; }

    // The file column of each field, -1 for none; guessed from the headings
    // at first.
    int column(int field) const { return m_columns.value(field, -1); }
    void setColumn(int field, int column);
    int fieldIndex(const QString &key) const;

    // Names of levels or categories in the file that do not exist yet, and
    // what becomes of each: created (an empty text) or put under an existing
    // one (its name).
    const QMap<QString, QString> &newReferences() const { return m_newReferences; }
    void setNewReference(const QString &name, const QString &existing);
    const QStringList &existingReferences() const { return m_existingReferences; }
    // The name a row's reference is written as.
    QString referenceFor(const QString &name) const;

    // The new names that rows without problems use and that are to be
    // created, each once.
    QStringList referencesToCreate() const;

    // Reads and checks every row; false when cancelled (progress said so),
    // the plan then as it was; a DbError is thrown on, likewise.
    bool check(const SheetProgress &progress = {});
    // The database is asked again at the next check which keys it holds
    // (after an import that found one taken meanwhile).
    void forgetKeysPresent();
    const QList<ImportRow> &rows() const { return m_rows; }
    int problemRows() const { return m_problemRows; }

private:
    struct NewNames {
        QMap<QString, QString> names;   // first spelling -> existing name it goes under
        QHash<QString, QString> folded; // lower case -> first spelling
    };
    void guessColumns();
    QVariant readCell(const ImportField &field, const QString &cell, QStringList &problems,
                      NewNames &fresh) const;

    QList<ImportField> m_fields;
    Sheet m_sheet;
    KeyLookup m_existingKeys;
    QStringList m_existingReferences;
    QHash<QString, QString> m_existingFolded; // lower case -> stored spelling
    QList<int> m_columns;
    QMap<QString, QString> m_newReferences;
    QHash<QString, QString> m_newFolded;
    QList<ImportRow> m_rows;
    int m_problemRows = 0;
    // The keys found present, per key column, so that a changed match of
    // other columns does not ask the database again.
    int m_keysColumn = -2;
    QSet<QString> m_keysPresent;
};

// What an import wrote.
struct ImportResult {
    int rows = 0;
    Amount amount; // balances (members) or stock value (goods) together
    Amount points;
    int newReferences = 0; // levels or categories created
};

// Which of the keys a table's key column holds (the column and table are
// the program's own names, never the file's).
ImportPlan::KeyLookup keysIn(const QString &table, const QString &column);

// Inside an import's transaction: creates the new names its rows use in
// `table` (its column `name`), each unless one differing only in case is
// there already (made at another till meanwhile); `insert` writes one.
// Gives how many were made and, for any name a row holds, the name as
// stored.
struct CreatedReferences {
    int made = 0;
    QHash<QString, QString> stored; // lower case -> stored spelling
    QString spelling(const ImportPlan &plan, const QString &name) const;
};
CreatedReferences createReferences(const ImportPlan &plan, const QString &table,
                                   const std::function<void(const QString &)> &insert);

// Inside an import's transaction: `write` for every row without a problem,
// in order, progress told on the way. A key taken meanwhile at another till
// (a duplicate) ends the import with `taken`, where %1 is the row's key and
// %2 its line. Gives how many rows were written.
int writeRows(const ImportPlan &plan, const SheetProgress &progress, const QString &taken,
              const std::function<void(const ImportRow &)> &write);
// A cell as the row holds it: its text, or its amount (0 when empty).
QString cellText(const QVariant &cell);
Amount cellAmount(const QVariant &cell);

// Tells progress of a write; throws SheetError (cancelled) when it answers
// false.
void reportImportProgress(const SheetProgress &progress, qsizetype done, qsizetype total);

// How a heading compares: without blanks, units in brackets, colons, stars,
// full-width forms or case.
QString foldHeading(const QString &heading);

// An amount as a spreadsheet may hold it: "1,234.50", "¥12", "12元",
// full-width digits. Invalid when it is none, or has more than four
// decimals.
Amount readAmountCell(const QString &text);
// A day as spreadsheets write it: 2024-03-05, 2024/3/5, 2024.3.5,
// 20240305, 2024年3月5日, each maybe followed by a time of day. Invalid
// when it is none.
QDateTime readDateCell(const QString &text);

} // namespace lanting

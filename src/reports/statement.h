#pragma once

// A member's statement: every movement of money and points in a period, in
// time order, with the running balance and points, between the figures at
// its start and at its end.

#include "amounts.h"
#include "reportqueries.h"

#include <optional>

namespace lanting::reports
{

struct Statement {
    QString card, name;
    QDateTime enrolled;
    Amount openingBalance, openingPoints, closingBalance, closingPoints;
    // Whether the period reaches today, so that its end can be compared with
    // the member's stored balance and points; and those.
    bool compared = false;
    Amount storedBalance, storedPoints;
    // Time, business, number, description, cash, balance change, balance,
    // points change, points, operator; the opening row first and the
    // closing row last (and, where the stored figures differ, a row saying
    // by how much).
    QList<Values> rows;

    bool reconciles() const
    {
        return !compared || (storedBalance == closingBalance && storedPoints == closingPoints);
    }
};

QList<Column> statementColumns();

// The day a member was enrolled (invalid when not recorded); none when there
// is no such member. Throws DbError.
std::optional<QDate> memberSince(const QString &card);

// The statement of a member (the card as it is now); none when there is no
// such member. Throws DbError.
std::optional<Statement> memberStatement(const QString &card, const Days &days);

// A statement as a report for the list, its export and its printing.
ReportQuery statementReport(const Statement &statement);

} // namespace lanting::reports

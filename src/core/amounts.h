#pragma once

#include <QString>

namespace lanting
{

// Amount rules work on the decimal value people see (15 significant digits),
// not on the binary double: Trunc2(0.29) is 0.29 and RoundJe(2.345) is 2.35.

// Rounds half up at the configured number of decimals (setting xiaoshu).
// An amount that cannot be computed shows "错误提示" and gives 0.
double RoundJe(double amount);
double RoundJe(double amount, int decimals);

// Cuts toward zero at two decimals. Same failure rule as RoundJe.
double Trunc2(double amount);

// The numeric value of a typed text: its leading number, leniently read.
// "12abc" gives 12; "", "abc" give 0. Full-width digits count as digits.
double NumVal(const QString &text);
// Whole points of a typed text: its numeric value cut toward zero.
qint64 WholeVal(const QString &text);

// The shortest decimal form of an amount: no separators, no trailing zeros.
QString FmtJe(double amount);

// Cuts the decimal value of an amount toward zero: (0.3 - 0.1) / 0.1 gives 2.
qint64 TruncWhole(double amount);
// Whether a is below b as decimal values (0.1 + 0.2 is not below 0.3).
bool JeLess(double a, double b);

} // namespace lanting

#include <QDateTime>

namespace lanting
{
// Date-times and dates as the lists and labels show them.
QString FmtTime(const QDateTime &when);
QString FmtDate(const QDateTime &when);
} // namespace lanting

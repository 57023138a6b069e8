#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <compare>
#include <concepts>
#include <limits>

namespace lanting
{

// An exact decimal amount: money in yuan, points, quantities, rates. It holds
// a whole count of ten-thousandths, enough for the four-decimal amounts that
// a discounted price times a quantity gives. Every amount goes from the typed
// text to the database to the screen through this type; no binary fraction
// is ever stored or shown.
//
// An amount that cannot be held (an overflow, a division by 0) is invalid and
// stays invalid through arithmetic; screens refuse it, and anything beyond
// kMaxAmount, before anything is written.
class Amount
{
public:
    static constexpr int kScale = 4;
    static constexpr qint64 kUnit = 10000;

    constexpr Amount() = default;
    // Whole yuan (or points, or pieces); out of range gives an invalid amount.
    template <std::integral T> constexpr Amount(T whole)
    {
        if constexpr (std::is_same_v<T, bool>) {
            m_raw = whole ? kUnit : 0;
        } else if constexpr (std::is_signed_v<T>) {
            const long long w = whole;
            m_raw = w > (long long)kMaxWhole || w < -(long long)kMaxWhole ? kInvalidRaw : w * kUnit;
        } else {
            const unsigned long long w = whole;
            m_raw = w > kMaxWhole ? kInvalidRaw : qint64(w) * kUnit;
        }
    }
    // Binary fractions are not amounts: read texts with NumVal instead.
    Amount(double) = delete;
    Amount(float) = delete;

    static constexpr Amount fromRaw(qint64 raw)
    {
        Amount a;
        a.m_raw = raw;
        return a;
    }
    static constexpr Amount invalid() { return fromRaw(kInvalidRaw); }
    // The exact value of a decimal text such as "12.3400" or "-5" (what the
    // database gives for an exact numeric); invalid when it is not one or
    // has more than four decimals that are not 0.
    static Amount fromDecimalText(QStringView text);

    constexpr qint64 raw() const { return m_raw; }
    constexpr bool isValid() const { return m_raw != kInvalidRaw; }
    constexpr bool isZero() const { return m_raw == 0; }

    // The whole part, cut toward zero: 12.9 gives 12, -0.5 gives 0.
    constexpr qint64 wholePart() const { return isValid() ? m_raw / kUnit : 0; }
    constexpr Amount truncated() const
    {
        return isValid() ? fromRaw(m_raw / kUnit * kUnit) : *this;
    }

    // The shortest decimal form: no separators, no trailing zeros, "." as
    // decimal point; "0" for an invalid amount.
    QString toString() const;
    // The plain decimal text with all four decimals, as the server's exact
    // numeric columns take it.
    QString toDecimalText() const;

    friend Amount operator+(Amount a, Amount b);
    friend Amount operator-(Amount a, Amount b);
    friend Amount operator-(Amount a);
    // The exact product rounded half up at four decimals.
    friend Amount operator*(Amount a, Amount b);
    Amount &operator+=(Amount b) { return *this = *this + b; }
    Amount &operator-=(Amount b) { return *this = *this - b; }

    friend constexpr bool operator==(Amount a, Amount b) = default;
    friend constexpr std::strong_ordering operator<=>(Amount a, Amount b)
    {
        return a.m_raw <=> b.m_raw;
    }

private:
    static constexpr qint64 kInvalidRaw = std::numeric_limits<qint64>::min();
    static constexpr unsigned long long kMaxWhole =
        (unsigned long long)(std::numeric_limits<qint64>::max() / kUnit);
    qint64 m_raw = 0;
};

// The largest amount a screen accepts and the database keeps in a balance,
// points total, price or stock: 99999999.99 (yuan, points or pieces).
inline constexpr Amount kMaxAmount = Amount::fromRaw(999'999'999'900LL);
// Valid and not beyond kMaxAmount either way.
bool inRange(Amount a);
// The refusal for an amount out of range, naming the largest accepted.
QString outOfRangeText();

// Rounds half up at the configured number of decimals (setting xiaoshu):
// 2.345 gives 2.35, -2.5 at 0 decimals gives -2.
Amount RoundJe(Amount amount);
Amount RoundJe(Amount amount, int decimals);
// a × b ÷ divisor, computed exactly and then rounded as RoundJe does; the
// discounted price sj × rate ÷ 100 is RoundJe(sj, rate, 100).
Amount RoundJe(Amount a, Amount b, qint64 divisor);
// Cuts toward zero at two decimals: 0.29 stays 0.29, 10.129 gives 10.12.
Amount Trunc2(Amount amount);
// numerator × factor ÷ denominator cut toward zero at two decimals (a profit
// rate in percent); invalid for a denominator of 0.
Amount Trunc2Ratio(Amount numerator, qint64 factor, Amount denominator);
// How many whole times `unit` goes into `amount`, cut toward zero (one point
// per full `unit` yuan); 0 for a unit of 0.
qint64 WholeTimes(Amount amount, Amount unit);

// The numeric value of a typed text: its leading number, made of ASCII or
// full-width digits with one sign and one decimal point (ASCII or
// full-width); blanks before it are skipped. "12abc" gives 12; "", "abc"
// give 0; no other digit, fraction, superscript or exponent counts. Beyond
// four decimals it rounds half away from zero; a number too large to hold
// gives an invalid amount.
Amount NumVal(QStringView text);
// Whole points of a typed text: its numeric value cut toward zero.
Amount WholeVal(QStringView text);

// The shortest decimal form of an amount: no separators, no trailing zeros.
inline QString FmtJe(Amount amount)
{
    return amount.toString();
}

// Date-times and dates as the lists and labels show them.
QString FmtTime(const QDateTime &when);
QString FmtDate(const QDateTime &when);

} // namespace lanting

Q_DECLARE_METATYPE(lanting::Amount)

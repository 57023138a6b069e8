#include "amounts.h"

#include "appstate.h"
#include "messages.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

// A decimal value: (neg ? -1 : 1) * m * 10^e, m without trailing zeros.
struct Dec {
    bool neg = false;
    qint64 m = 0;
    int e = 0;
};

constexpr int kSeenDigits = 15;

// The value as people see it: the double to 15 significant digits.
std::optional<Dec> seen(double x)
{
    if (!std::isfinite(x))
        return std::nullopt;
    char buf[48];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, kSeenDigits - 1);
    Dec d;
    const char *p = buf;
    if (*p == '-') {
        d.neg = true;
        ++p;
    }
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.')
            d.m = d.m * 10 + (*p - '0');
    int exponent = 0;
    if (p < r.ptr)
        std::from_chars(p + 1 + (p[1] == '+'), r.ptr, exponent);
    d.e = exponent - (kSeenDigits - 1);
    if (d.m == 0)
        return Dec{};
    while (d.m % 10 == 0) {
        d.m /= 10;
        ++d.e;
    }
    return d;
}

double fromDec(__int128 value, int e)
{
    // Common amounts: an integer and a power of ten both held exactly, so
    // the one correctly rounded division or product is the nearest double,
    // as reading the decimal text would give.
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr __int128 kExact = __int128(1) << 53;
    if (value > -kExact && value < kExact) {
        if (e <= 0 && e >= -22)
            return double(value) / kPow10[-e];
        if (e > 0 && e <= 22) {
            const __int128 limit = kExact / __int128(kPow10[e]);
            if (value > -limit && value < limit)
                return double(value) * kPow10[e];
        }
    }
    const bool neg = value < 0;
    unsigned __int128 u = neg ? -value : value;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(u % 10)));
        u /= 10;
    } while (u);
    const std::string s = (neg ? "-" : "") + digits + "e" + std::to_string(e);
    return std::strtod(s.c_str(), nullptr);
}

__int128 pow10(int n)
{
    __int128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Floor division for a positive divisor.
__int128 floorDiv(__int128 a, __int128 b)
{
    __int128 q = a / b;
    if ((a % b != 0) && (a < 0))
        --q;
    return q;
}

// Checks that an amount can be scaled to `decimals` places; shows the
// error and returns nothing otherwise.
std::optional<Dec> computable(double x, int decimals)
{
    if (std::isnan(x)) {
        msgError(u"无效的数值"_s);
        return std::nullopt;
    }
    if (!std::isfinite(x * std::pow(10.0, decimals))) {
        msgError(u"溢出"_s);
        return std::nullopt;
    }
    return seen(x);
}

} // namespace

double RoundJe(double amount)
{
    return RoundJe(amount, state().decimals);
}

double RoundJe(double amount, int decimals)
{
    decimals = std::clamp(decimals, 0, 6);
    const auto d = computable(amount, decimals);
    if (!d)
        return 0;
    const __int128 m = d->neg ? -__int128(d->m) : __int128(d->m);
    const int drop = -(d->e + decimals); // digits below the kept places
    if (drop <= 0)
        return fromDec(m, d->e);
    if (drop > 18)
        return 0; // far below half a unit of the last place
    // floor(m / 10^drop + 1/2): halves go up, for negative amounts too.
    const __int128 p = pow10(drop);
    return fromDec(floorDiv(2 * m + p, 2 * p), -decimals);
}

double Trunc2(double amount)
{
    const auto d = computable(amount, 2);
    if (!d)
        return 0;
    const __int128 m = d->neg ? -__int128(d->m) : __int128(d->m);
    const int drop = -(d->e + 2);
    if (drop <= 0)
        return fromDec(m, d->e);
    if (drop > 18)
        return 0;
    return fromDec(m / pow10(drop), -2); // C++ division cuts toward zero
}

double NumVal(const QString &text)
{
    const QString s = text.normalized(QString::NormalizationForm_KC);
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < n && (s.at(i) == u'+' || s.at(i) == u'-'))
        ++i;
    bool digits = false;
    while (i < n && s.at(i) >= u'0' && s.at(i) <= u'9') {
        ++i;
        digits = true;
    }
    if (i < n && s.at(i) == u'.') {
        ++i;
        while (i < n && s.at(i) >= u'0' && s.at(i) <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (s.at(i) == u'e' || s.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (s.at(j) == u'+' || s.at(j) == u'-'))
            ++j;
        if (j < n && s.at(j) >= u'0' && s.at(j) <= u'9') {
            while (j < n && s.at(j) >= u'0' && s.at(j) <= u'9')
                ++j;
            i = j;
        }
    }
    bool ok = false;
    const double v = s.mid(start, i - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

qint64 WholeVal(const QString &text)
{
    const double v = std::trunc(NumVal(text));
    constexpr double lim = 9.0e18;
    return qint64(std::clamp(v, -lim, lim));
}

QString FmtJe(double amount)
{
    const auto d = seen(amount);
    if (!d || d->m == 0)
        return u"0"_s;
    QString digits = QString::number(d->m);
    if (d->e >= 0)
        digits += QString(d->e, u'0');
    else {
        const qsizetype pos = digits.size() + d->e;
        if (pos > 0)
            digits.insert(pos, u'.');
        else
            digits = u"0."_s + QString(-pos, u'0') + digits;
    }
    return d->neg ? u'-' + digits : digits;
}

qint64 TruncWhole(double amount)
{
    return WholeVal(FmtJe(amount));
}

bool JeLess(double a, double b)
{
    return NumVal(FmtJe(a)) < NumVal(FmtJe(b));
}

} // namespace lanting

namespace lanting
{

QString FmtTime(const QDateTime &when)
{
    return when.isValid() ? when.toString(u"yyyy-MM-dd HH:mm:ss"_s) : QString();
}

QString FmtDate(const QDateTime &when)
{
    return when.isValid() ? when.toString(u"yyyy-MM-dd"_s) : QString();
}

} // namespace lanting

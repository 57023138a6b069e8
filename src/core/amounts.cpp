#include "amounts.h"

#include "appstate.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

using i128 = __int128;

constexpr qint64 kMaxRaw = std::numeric_limits<qint64>::max();

i128 pow10(int n)
{
    i128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

i128 floorDiv(i128 a, i128 b) // b > 0
{
    i128 q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q;
}

enum class Rounding { HalfUp, TowardZero };

// The exact value num ÷ den yuan (den > 0) kept at `decimals` places (0 to
// 4). Half up is floor(x + 1/2) at the last place kept, so -2.5 gives -2.
Amount fraction(i128 num, i128 den, int decimals, Rounding mode)
{
    decimals = std::clamp(decimals, 0, Amount::kScale);
    const i128 step = pow10(decimals); // units of the last kept place per yuan
    // Every intermediate is checked: a result that cannot be held is
    // invalid, never a wrong amount.
    i128 scaled, kept, raw;
    if (__builtin_mul_overflow(num, step, &scaled))
        return Amount::invalid();
    if (mode == Rounding::HalfUp) {
        i128 twice, shifted, twiceDen;
        if (__builtin_mul_overflow(scaled, i128(2), &twice) ||
            __builtin_mul_overflow(den, i128(2), &twiceDen) ||
            __builtin_add_overflow(twice, den, &shifted))
            return Amount::invalid();
        kept = floorDiv(shifted, twiceDen);
    } else {
        kept = scaled / den; // C++ division cuts toward zero
    }
    if (__builtin_mul_overflow(kept, pow10(Amount::kScale - decimals), &raw) || raw > kMaxRaw ||
        raw < -kMaxRaw)
        return Amount::invalid();
    return Amount::fromRaw(qint64(raw));
}

bool isDigit(QChar c, int *value)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        *value = u - u'0';
        return true;
    }
    if (u >= u'０' && u <= u'９') {
        *value = u - u'０';
        return true;
    }
    return false;
}

bool isPoint(QChar c)
{
    return c == u'.' || c == u'．';
}

} // namespace

QString Amount::toString() const
{
    if (!isValid() || m_raw == 0)
        return u"0"_s;
    const bool neg = m_raw < 0;
    const unsigned long long mag =
        neg ? 0ULL - (unsigned long long)m_raw : (unsigned long long)m_raw;
    QString s = QString::number(mag / kUnit);
    unsigned long long frac = mag % kUnit;
    if (frac != 0) {
        QString f = QString::number(frac).rightJustified(kScale, u'0');
        while (f.endsWith(u'0'))
            f.chop(1);
        s += u'.' + f;
    }
    return neg ? u'-' + s : s;
}

QString Amount::toDecimalText() const
{
    if (!isValid())
        return u"0"_s;
    const bool neg = m_raw < 0;
    const unsigned long long mag =
        neg ? 0ULL - (unsigned long long)m_raw : (unsigned long long)m_raw;
    return (neg ? u"-"_s : QString()) + QString::number(mag / kUnit) + u'.' +
           QString::number(mag % kUnit).rightJustified(kScale, u'0');
}

Amount Amount::fromDecimalText(QStringView text)
{
    const QStringView t = text.trimmed();
    qsizetype i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        neg = t[i++] == u'-';
    i128 value = 0;
    int decimals = -1;
    bool digits = false;
    for (; i < t.size(); ++i) {
        if (t[i] == u'.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (t[i] < u'0' || t[i] > u'9')
            return invalid();
        digits = true;
        if (decimals >= 0 && ++decimals > kScale) {
            if (t[i] != u'0')
                return invalid();
            continue;
        }
        value = value * 10 + (t[i].unicode() - u'0');
        if (value > i128(kMaxRaw) * 10)
            return invalid();
    }
    if (!digits)
        return invalid();
    value *= pow10(kScale - std::clamp(decimals, 0, kScale));
    if (value > kMaxRaw)
        return invalid();
    return fromRaw(qint64(neg ? -value : value));
}

Amount operator+(Amount a, Amount b)
{
    qint64 r;
    if (!a.isValid() || !b.isValid() || __builtin_add_overflow(a.m_raw, b.m_raw, &r) ||
        r == Amount::kInvalidRaw)
        return Amount::invalid();
    return Amount::fromRaw(r);
}

Amount operator-(Amount a, Amount b)
{
    return a + (-b);
}

Amount operator-(Amount a)
{
    return a.isValid() ? Amount::fromRaw(-a.m_raw) : a;
}

Amount operator*(Amount a, Amount b)
{
    if (!a.isValid() || !b.isValid())
        return Amount::invalid();
    return fraction(i128(a.m_raw) * b.m_raw, i128(Amount::kUnit) * Amount::kUnit, Amount::kScale,
                    Rounding::HalfUp);
}

bool inRange(Amount a)
{
    return a.isValid() && a <= kMaxAmount && a >= -kMaxAmount;
}

QString outOfRangeText()
{
    return u"数值超出范围，金额、积分和数量最大为"_s + kMaxAmount.toString() + u"！"_s;
}

Amount RoundJe(Amount amount)
{
    return RoundJe(amount, state().decimals);
}

Amount RoundJe(Amount amount, int decimals)
{
    if (!amount.isValid())
        return amount;
    return fraction(amount.raw(), Amount::kUnit, decimals, Rounding::HalfUp);
}

Amount RoundJe(Amount a, Amount b, qint64 divisor)
{
    if (!a.isValid() || !b.isValid() || divisor <= 0)
        return Amount::invalid();
    return fraction(i128(a.raw()) * b.raw(), i128(Amount::kUnit) * Amount::kUnit * divisor,
                    state().decimals, Rounding::HalfUp);
}

Amount Trunc2(Amount amount)
{
    if (!amount.isValid())
        return amount;
    return fraction(amount.raw(), Amount::kUnit, 2, Rounding::TowardZero);
}

Amount Trunc2Ratio(Amount numerator, qint64 factor, Amount denominator)
{
    if (!numerator.isValid() || !denominator.isValid() || denominator.isZero())
        return Amount::invalid();
    i128 num = i128(numerator.raw()) * factor;
    i128 den = denominator.raw();
    if (den < 0) {
        num = -num;
        den = -den;
    }
    return fraction(num, den, 2, Rounding::TowardZero);
}

qint64 WholeTimes(Amount amount, Amount unit)
{
    if (!amount.isValid() || !unit.isValid() || unit.isZero())
        return 0;
    return amount.raw() / unit.raw();
}

Amount NumVal(QStringView s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && (s[i].isSpace()))
        ++i;
    bool neg = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-' || s[i] == u'＋' || s[i] == u'－'))
        neg = s[i] == u'-' || s[i] == u'－', ++i;
    i128 value = 0; // in ten-thousandths
    bool digits = false, point = false, overflow = false, roundUp = false;
    int decimals = 0, d = 0;
    for (; i < n; ++i) {
        if (!point && isPoint(s[i])) {
            point = true;
            continue;
        }
        if (!isDigit(s[i], &d))
            break;
        digits = true;
        if (!point) {
            if (!overflow)
                value = value * 10 + d * Amount::kUnit;
            overflow = overflow || value > kMaxRaw;
        } else if (decimals < Amount::kScale) {
            value += d * pow10(Amount::kScale - 1 - decimals);
            ++decimals;
        } else if (decimals++ == Amount::kScale) {
            roundUp = d >= 5; // the first digit beyond the fourth decides
        }
    }
    if (!digits)
        return Amount();
    if (roundUp)
        ++value;
    if (overflow || value > kMaxRaw)
        return Amount::invalid();
    return Amount::fromRaw(qint64(neg ? -value : value));
}

Amount WholeVal(QStringView text)
{
    return NumVal(text).truncated();
}

QString FmtTime(const QDateTime &when)
{
    return when.isValid() ? when.toString(u"yyyy-MM-dd HH:mm:ss"_s) : QString();
}

QString FmtDate(const QDateTime &when)
{
    return when.isValid() ? when.toString(u"yyyy-MM-dd"_s) : QString();
}

} // namespace lanting

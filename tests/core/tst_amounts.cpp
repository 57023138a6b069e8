// Amount rules on the decimal values people see, the lenient reading of
// typed numbers, the shown form of amounts and the permission check.

#include "amounts.h"
#include "appstate.h"
#include "harness.h"
#include "mod1.h"

#include <QTest>
#include <limits>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;

class TstAmounts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundJe_data();
    void roundJe();
    void roundJeUsesDecimalsSetting();
    void roundedProduct_data();
    void roundedProduct();
    void trunc2_data();
    void trunc2();
    void arithmeticIsExact();
    void overflowIsInvalid();
    void limits_data();
    void limits();
    void numVal_data();
    void numVal();
    void hostileTexts_data();
    void hostileTexts();
    void fmtJe_data();
    void fmtJe();
    void decimalText_data();
    void decimalText();
    void wholeTimes_data();
    void wholeTimes();
    void hasPer_data();
    void hasPer();
};

void TstAmounts::roundJe_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("2.345 half up at 2") << u"2.345"_s << 2 << u"2.35"_s;
    QTest::newRow("2.375 half up at 2") << u"2.375"_s << 2 << u"2.38"_s;
    QTest::newRow("1.005 half up at 2") << u"1.005"_s << 2 << u"1.01"_s;
    QTest::newRow("2.344 down at 2") << u"2.344"_s << 2 << u"2.34"_s;
    QTest::newRow("0.29 kept") << u"0.29"_s << 2 << u"0.29"_s;
    QTest::newRow("2.5 at 0") << u"2.5"_s << 0 << u"3"_s;
    QTest::newRow("-2.5 at 0") << u"-2.5"_s << 0 << u"-2"_s;
    QTest::newRow("-2.6 at 0") << u"-2.6"_s << 0 << u"-3"_s;
    QTest::newRow("-2.4 at 0") << u"-2.4"_s << 0 << u"-2"_s;
    QTest::newRow("-3 at 0 stays") << u"-3"_s << 0 << u"-3"_s;
    QTest::newRow("-2.345 at 2") << u"-2.345"_s << 2 << u"-2.34"_s;
    QTest::newRow("0.05 at 1") << u"0.05"_s << 1 << u"0.1"_s;
    QTest::newRow("99.995 at 2") << u"99.995"_s << 2 << u"100"_s;
    QTest::newRow("zero") << u"0"_s << 2 << u"0"_s;
    QTest::newRow("smallest unit") << u"0.0001"_s << 2 << u"0"_s;
    QTest::newRow("four places kept at 4") << u"4.1625"_s << 4 << u"4.1625"_s;
    QTest::newRow("beyond the scale clamps to 4") << u"4.1625"_s << 9 << u"4.1625"_s;
    QTest::newRow("largest amount") << u"99999999.99"_s << 2 << u"99999999.99"_s;
}

void TstAmounts::roundJe()
{
    QFETCH(QString, amount);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(RoundJe(NumVal(amount), decimals), NumVal(expected));
}

void TstAmounts::roundJeUsesDecimalsSetting()
{
    state().decimals = 1;
    QCOMPARE(RoundJe(je("2.345")), je("2.3"));
    state().decimals = 0;
    QCOMPARE(RoundJe(je("2.5")), je("3"));
    state().reset();
    QCOMPARE(RoundJe(Amount::invalid()), Amount::invalid());
}

void TstAmounts::roundedProduct_data()
{
    // a × b ÷ divisor is rounded once, on the exact product.
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<qint64>("divisor");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("10 at 85%") << u"10"_s << u"85"_s << qint64(100) << 2 << u"8.5"_s;
    QTest::newRow("10.5 at 85%, half up") << u"10.5"_s << u"85"_s << qint64(100) << 2 << u"8.93"_s;
    QTest::newRow("bonus 99.99 at 3.5%") << u"99.99"_s << u"3.5"_s << qint64(100) << 2 << u"3.5"_s;
    QTest::newRow("3.33 × 1.25") << u"3.33"_s << u"1.25"_s << qint64(1) << 2 << u"4.16"_s;
    // 2.34495 exactly: rounded at four places first it would be 2.3450 and then 2.35.
    QTest::newRow("no double rounding") << u"4.6899"_s << u"0.5"_s << qint64(1) << 2 << u"2.34"_s;
    QTest::newRow("0.0049 × 0.0001") << u"0.0049"_s << u"0.0001"_s << qint64(1) << 2 << u"0"_s;
    QTest::newRow("negative quantity") << u"2.5"_s << u"-3"_s << qint64(1) << 2 << u"-7.5"_s;
}

void TstAmounts::roundedProduct()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(qint64, divisor);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    state().decimals = decimals;
    QCOMPARE(RoundJe(NumVal(a), NumVal(b), divisor), NumVal(expected));
    state().reset();
}

void TstAmounts::trunc2_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0.29") << u"0.29"_s << u"0.29"_s;
    QTest::newRow("10.129") << u"10.129"_s << u"10.12"_s;
    QTest::newRow("0.999") << u"0.999"_s << u"0.99"_s;
    QTest::newRow("-0.999") << u"-0.999"_s << u"-0.99"_s;
    QTest::newRow("1.15") << u"1.15"_s << u"1.15"_s;
    QTest::newRow("whole") << u"12"_s << u"12"_s;
    QTest::newRow("below a cent") << u"0.0099"_s << u"0"_s;
}

void TstAmounts::trunc2()
{
    QFETCH(QString, amount);
    QFETCH(QString, expected);
    QCOMPARE(Trunc2(NumVal(amount)), NumVal(expected));
}

void TstAmounts::arithmeticIsExact()
{
    // What binary doubles get wrong.
    QCOMPARE(je("0.1") + je("0.2"), je("0.3"));
    QCOMPARE(je("0.3") - je("0.1") - je("0.2"), Amount());
    QCOMPARE(FmtJe(je("0.3") - je("0.1") - je("0.2")), u"0"_s);
    QCOMPARE(je("10") - je("8.13") - je("1.83"), je("0.04"));
    QVERIFY(!(je("0.04") < je("10") - je("8.13") - je("1.83")));
    QCOMPARE(je("3.33") * je("1.25"), je("4.1625"));
    QCOMPARE(je("0.5") * je("0.0001"), je("0.0001")); // 0.00005: half up at four places
    QCOMPARE(Trunc2Ratio(je("1"), 100, je("3")), je("33.33"));
    QCOMPARE(Trunc2Ratio(je("-1"), 100, je("3")), je("-33.33"));
    QVERIFY(!Trunc2Ratio(je("1"), 100, Amount()).isValid());
    QCOMPARE(Amount(12), je("12"));
    QCOMPARE(je("12.9").wholePart(), 12);
    QCOMPARE(je("-0.5").truncated(), Amount());
}

void TstAmounts::overflowIsInvalid()
{
    const Amount huge = Amount::fromRaw(std::numeric_limits<qint64>::max() - 1);
    QVERIFY(!(huge + huge).isValid());
    QVERIFY(!(-huge - huge).isValid());
    QVERIFY(!(huge * je("2")).isValid());
    // Two operands near the top: the exact product has no room even in 128 bits.
    QVERIFY(!(huge * huge).isValid());
    QVERIFY(!(huge * -huge).isValid());
    QVERIFY(!RoundJe(huge, huge, 1).isValid());
    QVERIFY(!Trunc2Ratio(huge, std::numeric_limits<qint64>::max(), je("0.0001")).isValid());
    QCOMPARE(je("999999.99") * je("999999.99"), je("999999980000.0001"));
    QVERIFY(!(je("99999999.99") * je("99999999.99")).isValid()); // 9999999998000000.0001
    QVERIFY(!(Amount::invalid() + je("1")).isValid());
    QVERIFY(!(je("1") - Amount::invalid()).isValid());
    QVERIFY(!Amount(std::numeric_limits<qint64>::max()).isValid());
    QVERIFY(!Amount(std::numeric_limits<quint64>::max()).isValid());
    QCOMPARE(FmtJe(Amount::invalid()), u"0"_s);
    QVERIFY(!inRange(Amount::invalid()));
}

void TstAmounts::limits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("kept");
    QTest::newRow("largest amount") << u"99999999.99"_s << true;
    QTest::newRow("largest negative") << u"-99999999.99"_s << true;
    QTest::newRow("a cent more") << u"100000000"_s << false;
    QTest::newRow("3 000 000 000") << u"3000000000"_s << false;
    QTest::newRow("1e308 written out") << u"1"_s + QString(308, u'0') << false;
    QTest::newRow("beyond 64 bits") << u"99999999999999999999999"_s << false;
    QTest::newRow("exponent is text") << u"1e308"_s << true; // reads as 1
}

void TstAmounts::limits()
{
    QFETCH(QString, text);
    QFETCH(bool, kept);
    QCOMPARE(inRange(NumVal(text)), kept);
    QVERIFY(outOfRangeText().contains(u"99999999.99"_s));
}

void TstAmounts::numVal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << u"0"_s;
    QTest::newRow("letters") << u"abc"_s << u"0"_s;
    QTest::newRow("leading number") << u"12abc"_s << u"12"_s;
    QTest::newRow("decimal") << u"99.99"_s << u"99.99"_s;
    QTest::newRow("blanks first") << u"  7.5元"_s << u"7.5"_s;
    QTest::newRow("ideographic blank first") << u"\u30008"_s << u"8"_s;
    QTest::newRow("negative") << u"-3.2"_s << u"-3.2"_s;
    QTest::newRow("plus") << u"+3"_s << u"3"_s;
    QTest::newRow("point first") << u".5"_s << u"0.5"_s;
    QTest::newRow("second point stops") << u"1.2.3"_s << u"1.2"_s;
    QTest::newRow("exponent is not read") << u"1e3"_s << u"1"_s;
    QTest::newRow("full-width digits") << u"１２３"_s << u"123"_s;
    QTest::newRow("full-width point and sign") << u"－１２．５"_s << u"-12.5"_s;
    QTest::newRow("sign only") << u"-"_s << u"0"_s;
    QTest::newRow("two signs") << u"--5"_s << u"0"_s;
    QTest::newRow("quote") << u"5'"_s << u"5"_s;
    QTest::newRow("vulgar fraction") << u"3½"_s << u"3"_s;
    QTest::newRow("superscript") << u"5²"_s << u"5"_s;
    QTest::newRow("circled digit") << u"①"_s << u"0"_s;
    QTest::newRow("subscript") << u"1₀"_s << u"1"_s;
    QTest::newRow("Arabic-Indic digits") << u"٣"_s << u"0"_s;
    QTest::newRow("five decimals round up") << u"0.12345"_s << u"0.1235"_s;
    QTest::newRow("five decimals round down") << u"0.12344"_s << u"0.1234"_s;
    QTest::newRow("negative rounds away") << u"-0.00005"_s << u"-0.0001"_s;
    QTest::newRow("leading zeros") << QString(5000, u'0') + u"7"_s << u"7"_s;
}

void TstAmounts::numVal()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(NumVal(text), Amount::fromDecimalText(expected));
}

void TstAmounts::hostileTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("10 000 digits") << QString(10000, u'9') << false;
    QTest::newRow("10 000 decimals") << u"1."_s + QString(10000, u'9') << true;
    QTest::newRow("control characters") << u"\u0001\u00075\u0000"_s << true;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + u"12"_s << true;
    QTest::newRow("quotes") << u"'; DROP TABLE mber; --"_s << true;
}

void TstAmounts::hostileTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const Amount a = NumVal(text);
    QCOMPARE(a.isValid(), valid);
    if (valid)
        QVERIFY(inRange(a));
}

void TstAmounts::fmtJe_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("shown");
    QTest::newRow("whole") << u"100"_s << u"100"_s;
    QTest::newRow("trailing zeros") << u"12.50"_s << u"12.5"_s;
    QTest::newRow("small") << u"0.05"_s << u"0.05"_s;
    QTest::newRow("four places") << u"4.1625"_s << u"4.1625"_s;
    QTest::newRow("negative") << u"-2.5"_s << u"-2.5"_s;
    QTest::newRow("negative below one") << u"-0.0001"_s << u"-0.0001"_s;
    QTest::newRow("zero") << u"0"_s << u"0"_s;
    QTest::newRow("negative zero") << u"-0"_s << u"0"_s;
    QTest::newRow("no separators") << u"1234567.89"_s << u"1234567.89"_s;
}

void TstAmounts::fmtJe()
{
    QFETCH(QString, amount);
    QFETCH(QString, shown);
    QCOMPARE(FmtJe(NumVal(amount)), shown);
}

void TstAmounts::decimalText_data()
{
    // What the server's exact numerics give back.
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("raw");
    QTest::newRow("four places") << u"12.3400"_s << qint64(123400);
    QTest::newRow("negative") << u"-0.0100"_s << qint64(-100);
    QTest::newRow("whole") << u"7"_s << qint64(70000);
    QTest::newRow("trailing zeros beyond four") << u"1.500000"_s << qint64(15000);
    QTest::newRow("a fifth decimal") << u"1.00001"_s << qint64(std::numeric_limits<qint64>::min());
    QTest::newRow("not a number") << u"NaN"_s << qint64(std::numeric_limits<qint64>::min());
    QTest::newRow("empty") << QString() << qint64(std::numeric_limits<qint64>::min());
    QTest::newRow("too large") << u"99999999999999999999"_s
                               << qint64(std::numeric_limits<qint64>::min());
}

void TstAmounts::decimalText()
{
    QFETCH(QString, text);
    QFETCH(qint64, raw);
    QCOMPARE(Amount::fromDecimalText(text).raw(), raw);
    const Amount a = Amount::fromDecimalText(text);
    if (a.isValid())
        QCOMPARE(Amount::fromDecimalText(a.toDecimalText()), a);
}

void TstAmounts::wholeTimes_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<qint64>("times");
    QTest::newRow("95 per 10") << u"95"_s << u"10"_s << qint64(9);
    QTest::newRow("95.5 per 0.1, decimal") << u"95.5"_s << u"0.1"_s << qint64(955);
    QTest::newRow("(0.3 - 0.1) per 0.1") << u"0.2"_s << u"0.1"_s << qint64(2);
    QTest::newRow("unit 0") << u"95"_s << u"0"_s << qint64(0);
    QTest::newRow("negative unit") << u"95"_s << u"-10"_s << qint64(-9);
    QTest::newRow("largest amount per 0.0001")
        << u"99999999.99"_s << u"0.0001"_s << qint64(999999999900);
}

void TstAmounts::wholeTimes()
{
    QFETCH(QString, amount);
    QFETCH(QString, unit);
    QFETCH(qint64, times);
    QCOMPARE(WholeTimes(NumVal(amount), NumVal(unit)), times);
}

void TstAmounts::hasPer_data()
{
    QTest::addColumn<QString>("per");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("granted");
    QTest::newRow("new operator, 12") << u"111011101000"_s << 12 << false;
    QTest::newRow("new operator, 1") << u"111011101000"_s << 1 << true;
    QTest::newRow("new operator, 4") << u"111011101000"_s << 4 << false;
    QTest::newRow("short string grants the rest") << u"0"_s << 5 << true;
    QTest::newRow("short string keeps its own") << u"0"_s << 1 << false;
    QTest::newRow("empty string") << QString() << 11 << true;
    QTest::newRow("other characters grant") << u"x11111111111"_s << 1 << true;
}

void TstAmounts::hasPer()
{
    QFETCH(QString, per);
    QFETCH(int, n);
    QFETCH(bool, granted);
    state().permissions = per;
    QCOMPARE(HasPer(n), granted);
    state().reset();
}

QTEST_MAIN(TstAmounts)
#include "tst_amounts.moc"

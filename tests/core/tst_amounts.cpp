// Amount rules on the decimal values people see, the lenient reading of
// typed numbers, the shown form of amounts and the permission check.

#include "amounts.h"
#include "appstate.h"
#include "harness.h"
#include "mod1.h"

#include <QTest>
#include <cmath>
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
    void trunc2_data();
    void trunc2();
    void uncomputable_data();
    void uncomputable();
    void numVal_data();
    void numVal();
    void fmtJe_data();
    void fmtJe();
    void hasPer_data();
    void hasPer();
};

void TstAmounts::roundJe_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("expected");
    QTest::newRow("2.345 half up at 2") << 2.345 << 2 << 2.35;
    QTest::newRow("2.375 half up at 2") << 2.375 << 2 << 2.38;
    QTest::newRow("1.005 half up at 2") << 1.005 << 2 << 1.01;
    QTest::newRow("2.344 down at 2") << 2.344 << 2 << 2.34;
    QTest::newRow("0.29 kept") << 0.29 << 2 << 0.29;
    QTest::newRow("2.5 at 0") << 2.5 << 0 << 3.0;
    QTest::newRow("-2.5 at 0") << -2.5 << 0 << -2.0;
    QTest::newRow("-2.6 at 0") << -2.6 << 0 << -3.0;
    QTest::newRow("-3 at 0 stays") << -3.0 << 0 << -3.0;
    QTest::newRow("-2.345 at 2") << -2.345 << 2 << -2.34;
    QTest::newRow("0.05 at 1") << 0.05 << 1 << 0.1;
    QTest::newRow("sum 0.1+0.2 at 2") << (0.1 + 0.2) << 2 << 0.3;
    QTest::newRow("99.995 at 2") << 99.995 << 2 << 100.0;
    QTest::newRow("zero") << 0.0 << 2 << 0.0;
    QTest::newRow("tiny") << 1e-12 << 2 << 0.0;
    QTest::newRow("large exact") << 123456789012.0 << 2 << 123456789012.0;
}

void TstAmounts::roundJe()
{
    QFETCH(double, amount);
    QFETCH(int, decimals);
    QFETCH(double, expected);
    QCOMPARE(RoundJe(amount, decimals), expected);
}

void TstAmounts::roundJeUsesDecimalsSetting()
{
    state().decimals = 1;
    QCOMPARE(RoundJe(2.345), 2.3);
    state().decimals = 0;
    QCOMPARE(RoundJe(2.5), 3.0);
    state().reset();
}

void TstAmounts::trunc2_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.29") << 0.29 << 0.29;
    QTest::newRow("10.129") << 10.129 << 10.12;
    QTest::newRow("0.999") << 0.999 << 0.99;
    QTest::newRow("-0.999") << -0.999 << -0.99;
    QTest::newRow("1.15") << 1.15 << 1.15;
    QTest::newRow("sum 0.7+0.1") << (0.7 + 0.1) << 0.8;
    QTest::newRow("4.35*100/100") << (4.35 * 100 / 100) << 4.35;
    QTest::newRow("whole") << 12.0 << 12.0;
    QTest::newRow("tiny") << 1e-9 << 0.0;
}

void TstAmounts::trunc2()
{
    QFETCH(double, amount);
    QFETCH(double, expected);
    QCOMPARE(Trunc2(amount), expected);
}

void TstAmounts::uncomputable_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("description");
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << u"溢出"_s;
    QTest::newRow("overflow when scaled") << 1.7e308 << u"溢出"_s;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << u"无效的数值"_s;
}

void TstAmounts::uncomputable()
{
    QFETCH(double, amount);
    QFETCH(QString, description);
    test::Harness h;
    QCOMPARE(RoundJe(amount, 2), 0.0);
    QCOMPARE(Trunc2(amount), 0.0);
    QCOMPARE(h.messages().size(), 2);
    for (const Message &m : h.messages()) {
        QCOMPARE(m.caption, u"错误提示"_s);
        QCOMPARE(m.icon, MsgIcon::Critical);
        QCOMPARE(m.text, description);
    }
}

void TstAmounts::numVal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("letters") << u"abc"_s << 0.0;
    QTest::newRow("leading number") << u"12abc"_s << 12.0;
    QTest::newRow("decimal") << u"99.99"_s << 99.99;
    QTest::newRow("blanks first") << u"  7.5元"_s << 7.5;
    QTest::newRow("negative") << u"-3.2"_s << -3.2;
    QTest::newRow("point first") << u".5"_s << 0.5;
    QTest::newRow("second point stops") << u"1.2.3"_s << 1.2;
    QTest::newRow("exponent") << u"1e3"_s << 1000.0;
    QTest::newRow("bare e is text") << u"12e"_s << 12.0;
    QTest::newRow("full-width digits") << u"１２３"_s << 123.0;
    QTest::newRow("sign only") << u"-"_s << 0.0;
    QTest::newRow("quote") << u"5'"_s << 5.0;
}

void TstAmounts::numVal()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(NumVal(text), expected);
}

void TstAmounts::fmtJe_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("shown");
    QTest::newRow("whole") << 100.0 << u"100"_s;
    QTest::newRow("trailing zeros") << 12.50 << u"12.5"_s;
    QTest::newRow("binary noise") << (0.1 + 0.2) << u"0.3"_s;
    QTest::newRow("small") << 0.05 << u"0.05"_s;
    QTest::newRow("negative") << -2.5 << u"-2.5"_s;
    QTest::newRow("zero") << 0.0 << u"0"_s;
    QTest::newRow("negative zero") << -0.0 << u"0"_s;
    QTest::newRow("no separators") << 1234567.89 << u"1234567.89"_s;
    QTest::newRow("large") << 1e16 << u"10000000000000000"_s;
}

void TstAmounts::fmtJe()
{
    QFETCH(double, amount);
    QFETCH(QString, shown);
    QCOMPARE(FmtJe(amount), shown);
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

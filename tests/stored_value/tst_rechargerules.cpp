// The recharge rules window: bands and ratios edited in memory and saved
// together, in list order.

#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "rechargerules.h"
#include "sysinfo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::stored_value;
using test::Harness;

namespace
{

void click(QWidget *w, const char *name)
{
    w->findChild<QPushButton *>(QString::fromLatin1(name))->click();
}

std::function<void(QDialog *)> band(const QString &from, const QString &to, const QString &je)
{
    return [=](QDialog *d) {
        d->findChild<QLineEdit *>(u"txt1"_s)->setText(from);
        d->findChild<QLineEdit *>(u"txt2"_s)->setText(to);
        d->findChild<QLineEdit *>(u"txtJe"_s)->setText(je);
        click(d, "cmdOK");
    };
}

void openRules(Harness &h, FrmMain *main, std::function<void(QDialog *)> body)
{
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    h.onModal(std::move(body));
    main->findChild<QToolButton *>(u"Imgsz_3"_s)->click();
}

QStringList storedBands()
{
    QStringList out;
    for (const Band &b : bands())
        out << u"%1~%2:%3"_s.arg(FmtJe(b.shangxian), FmtJe(b.xiaxian), FmtJe(b.je));
    return out;
}

} // namespace

class TstRechargeRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bandsSavedInOrder();
    void editDeleteAndRatios();
    void cancelKeepsEverything();
};

void TstRechargeRules::bandsSavedInOrder()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    openRules(h, main, [&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"充值规则设置"_s);
        QVERIFY(d->findChild<QRadioButton *>(u"Opt1"_s)->isChecked());
        QVERIFY(!d->findChild<QWidget *>(u"Frame2"_s)->isEnabled());
        h.onModal(band(u"100"_s, u"499"_s, u"20"_s));
        click(d, "cmdAdd1");
        h.onModal(band(u"500"_s, u"999"_s, u"100"_s));
        click(d, "cmdAdd1");
        h.onModal(band(u"500"_s, u"100"_s, u"5"_s)); // inverted: kept as entered
        click(d, "cmdAdd1");
        h.onModal(band(u"abc"_s, u"12.50元"_s, u""_s));
        click(d, "cmdAdd1");
        auto *lv1 = d->findChild<QTreeWidget *>(u"Lv1"_s);
        QCOMPARE(lv1->topLevelItemCount(), 4);
        QCOMPARE(lv1->topLevelItem(3)->text(1), u"12.5"_s);
        click(d, "cmdOK");
    });
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(storedBands(),
             QStringList({u"100~499:20"_s, u"500~999:100"_s, u"500~100:5"_s, u"0~12.5:0"_s}));
    QCOMPARE(GetSysInfo(u"czyhfs"_s), u"0"_s);
}

void TstRechargeRules::editDeleteAndRatios()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(A(u"INSERT INTO czgz (shangxian, xiaxian, je) VALUES ({1}, {2}, {3}), ({4}, {5}, {6})"_s)).exec();
    Sql(A(u"INSERT INTO lv (name, czbl) VALUES ('金卡', {5}), ('银卡', 0)"_s)).exec();
    QString title;
    openRules(h, main, [&](QDialog *d) {
        auto *lv1 = d->findChild<QTreeWidget *>(u"Lv1"_s);
        lv1->setCurrentItem(lv1->topLevelItem(1));
        h.onModal([&](QDialog *e) {
            title = e->windowTitle();
            QCOMPARE(e->findChild<QLineEdit *>(u"txt2"_s)->text(), u"5"_s);
            band(u"4"_s, u"50"_s, u"7.5"_s)(e);
        });
        click(d, "cmdEdit1");
        lv1->setCurrentItem(lv1->topLevelItem(0));
        h.answer(MsgAnswer::No);
        click(d, "cmdDel1");
        QCOMPARE(lv1->topLevelItemCount(), 2);
        h.answer(MsgAnswer::Yes);
        click(d, "cmdDel1");
        QCOMPARE(lv1->topLevelItemCount(), 1);

        d->findChild<QRadioButton *>(u"Opt2"_s)->setChecked(true);
        QVERIFY(!d->findChild<QWidget *>(u"Frame1"_s)->isEnabled());
        auto *lv2 = d->findChild<QTreeWidget *>(u"Lv2"_s);
        QCOMPARE(lv2->topLevelItem(0)->text(1), u"5%"_s);
        lv2->setCurrentItem(lv2->topLevelItem(1));
        h.onModal([&](QDialog *e) {
            QCOMPARE(e->findChild<QLabel *>(u"lblLv"_s)->text(), u"会员等级：银卡"_s);
            auto *bl = e->findChild<QLineEdit *>(u"txtBl"_s);
            QCOMPARE(bl->selectedText(), u"0"_s);
            bl->setText(u"8.5"_s);
            click(e, "cmdOK");
        });
        click(d, "cmdEdit2");
        QCOMPARE(lv2->topLevelItem(1)->text(1), u"8.5%"_s);
        click(d, "cmdOK");
    });
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(h.unanswered(), 0);
    QCOMPARE(title, u"修改充值规则"_s);
    QCOMPARE(h.messages().first().caption, u"提示"_s);
    QCOMPARE(h.messages().first().text, u"您确定要删除选定项吗？"_s);
    QCOMPARE(storedBands(), QStringList({u"4~50:7.5"_s}));
    QCOMPARE(amountAt(u"SELECT czbl FROM lv WHERE name = '银卡'"_s), 8.5);
    QCOMPARE(amountAt(u"SELECT czbl FROM lv WHERE name = '金卡'"_s), 5.0);
    QCOMPARE(GetSysInfo(u"czyhfs"_s), u"1"_s);

    // An empty list saved leaves no band.
    openRules(h, main, [&](QDialog *d) {
        QVERIFY(d->findChild<QRadioButton *>(u"Opt2"_s)->isChecked());
        d->findChild<QRadioButton *>(u"Opt1"_s)->setChecked(true);
        auto *lv1 = d->findChild<QTreeWidget *>(u"Lv1"_s);
        lv1->setCurrentItem(lv1->topLevelItem(0));
        h.answer(MsgAnswer::Yes);
        click(d, "cmdDel1");
        click(d, "cmdOK");
    });
    QCOMPARE(storedBands(), QStringList());
}

void TstRechargeRules::cancelKeepsEverything()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(A(u"INSERT INTO czgz (shangxian, xiaxian, je) VALUES ({1}, {2}, {3})"_s)).exec();
    openRules(h, main, [&](QDialog *d) {
        d->findChild<QRadioButton *>(u"Opt2"_s)->setChecked(true);
        h.onModal(band(u"9"_s, u"9"_s, u"9"_s));
        d->findChild<QRadioButton *>(u"Opt1"_s)->setChecked(true);
        click(d, "cmdAdd1");
        d->findChild<QRadioButton *>(u"Opt2"_s)->setChecked(true);
        click(d, "cmdCC");
    });
    QCOMPARE(GetSysInfo(u"czyhfs"_s), u"0"_s);
    QCOMPARE(storedBands(), QStringList({u"1~2:3"_s}));
}

QTEST_MAIN(TstRechargeRules)
#include "tst_rechargerules.moc"

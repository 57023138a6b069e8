// Goods sales: the basket (pricing, search, browser, stock), the settlement
// (points, receipt) and the three payments; direct consumption.

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "paywindows.h"
#include "salewindows.h"
#include "secrets.h"
#include "settlement.h"
#include "sysinfo.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::sales;
using test::Harness;

namespace
{

const QString kCard = u"100000000001"_s;

template <typename T = QWidget> T *w(QWidget *d, const QString &name)
{
    T *found = d->findChild<T *>(name);
    if (!found)
        qWarning("no %s", qPrintable(name));
    return found;
}

void click(QWidget *d, const QString &name)
{
    w<QPushButton>(d, name)->click();
}

void storeGoods(const QString &spid, const QString &name, double sj, double kc = 100, qint64 jf = 0,
                const QString &lb = QString(), bool zt = true)
{
    Sql(u"INSERT INTO sp (spid, name, lb, dw, jj, sj, jf, zt, kc) VALUES (?, ?, ?, '件', ?, ?, ?, ?, ?)"_s)
        .bind(spid)
        .bind(name)
        .bind(lb)
        .bind(Amount(1))
        .bind(lit(sj))
        .bind(Amount(jf))
        .bind(zt)
        .bind(lit(kc))
        .exec();
}

void storeMember(const QString &id, const QString &level, double ye, const QString &pwd = u"123"_s)
{
    Sql(u"INSERT INTO mber (id, name, lv, ye, pwd, jf, st) VALUES (?, '张三', ?, ?, ?, ?, 0)"_s)
        .bind(id)
        .bind(level)
        .bind(lit(ye))
        .bind(hashSecret(pwd, SecretUse::Card)) // as the member form stores it
        .bind(Amount(10))
        .exec();
}

QStringList rowTexts(QTreeWidget *list, int row)
{
    QStringList texts;
    const QTreeWidgetItem *item = list->topLevelItem(row);
    for (int c = 0; item && c < list->columnCount(); ++c)
        texts << item->text(c);
    return texts;
}

Amount memberValue(const QString &column, const QString &id = kCard)
{
    return amountAt(u"SELECT "_s + column + u" FROM mber WHERE id = ?"_s, {id});
}

int count(const QString &table)
{
    return scalar(u"SELECT count(*) FROM "_s + table).toInt();
}

// A logged-in till showing a member, with the sale or direct-consumption
// window opened from the member panel.
struct Till {
    Harness h;
    FrmMain *main = nullptr;

    explicit Till(Backend b = Backend::Sqlite) : h(b) {}
    bool start() { return h.startProgram(); }
    bool login(const QString &card = kCard)
    {
        main = h.login();
        if (!main)
            return false;
        state().decimals = 2;
        main->ShowMber(card);
        return true;
    }
    // Opens the sale window and hands it to body; the window is closed
    // afterwards when body left it open.
    void sale(const std::function<void(FrmSpxf *)> &body)
    {
        h.onModal([body](QDialog *d) {
            auto *s = qobject_cast<FrmSpxf *>(d);
            QVERIFY(s);
            body(s);
            if (s->isVisible()) {
                // The basket emptied first: the question before throwing it
                // away has a test of its own.
                w<QTreeWidget>(s, u"lvSp"_s)->clear();
                click(s, u"cmdCC"_s);
            }
        });
        main->findChild<QPushButton *>(u"dcButton11"_s)->click();
    }
    void direct(const std::function<void(QDialog *)> &body)
    {
        h.onModal([body](QDialog *d) {
            QCOMPARE(d->windowTitle(), u"直接消费"_s);
            body(d);
            if (d->isVisible())
                click(d, u"cmdCC"_s);
        });
        main->findChild<QPushButton *>(u"dcButton12"_s)->click();
    }
};

} // namespace

class TstSale : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pricing_data();
    void pricing();
    void windowState();
    void search();
    void stock_data();
    void stock();
    void browser();
    void points_data();
    void points();
    void receipt_data();
    void receipt();
    void cardPayment_data() { Harness::addBackendRows(); }
    void cardPayment();
    void escapeAsksBeforeThrowingAway();
    void cashPayment();
    void mixedPayment_data() { Harness::addBackendRows(); }
    void mixedPayment();
    void direct_data();
    void direct();
    void pointsAndUpgrade();
    void twoTillsOneBalance();
    void manyLines_data() { Harness::addBackendRows(); }
    void manyLines();
};

void TstSale::pricing_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("ownRate"); // 0: none
    QTest::addColumn<double>("quantity");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QString>("editedShown"); // the quantity as the line shows it
    QTest::addColumn<QStringList>("line");
    QTest::addColumn<QString>("editedAmount");
    QTest::newRow("level rate 85 on 10 × 3")
        << kCard << 10.0 << 0.0 << 3.0 << u"4"_s << u"4"_s
        << QStringList{u"G1"_s,    u"商品"_s, u"10元"_s, u"85%"_s,
                       u"8.5元"_s, u"3"_s,    u"0"_s,    u"25.5元"_s}
        << u"34元"_s;
    QTest::newRow("own rate above the level's")
        << kCard << 10.0 << 90.0 << 1.0 << u"2.0"_s << u"2"_s
        << QStringList{u"G1"_s, u"商品"_s, u"10元"_s, u"90%"_s, u"9元"_s, u"1"_s, u"0"_s, u"9元"_s}
        << u"18元"_s;
    QTest::newRow("added amount rounded, edited not")
        << u"000000000000"_s << 3.33 << 0.0 << 1.25 << u"1.25"_s << u"1.25"_s
        << QStringList{u"G1"_s,     u"商品"_s, u"3.33元"_s, u"100%"_s,
                       u"3.33元"_s, u"1.25"_s, u"0"_s,      u"4.16元"_s}
        << u"4.1625元"_s;
    QTest::newRow("discounted price half up")
        << kCard << 10.5 << 85.0 << 1.0 << u"0"_s << u"0"_s
        << QStringList{u"G1"_s,     u"商品"_s, u"10.5元"_s, u"85%"_s,
                       u"8.93元"_s, u"1"_s,    u"0"_s,      u"8.93元"_s}
        << u"0元"_s;
    QTest::newRow("negative quantity accepted")
        << kCard << 10.0 << 100.0 << 1.0 << u"-2"_s << u"-2"_s
        << QStringList{u"G1"_s,   u"商品"_s, u"10元"_s, u"100%"_s,
                       u"10元"_s, u"1"_s,    u"0"_s,    u"10元"_s}
        << u"-20元"_s;
}

void TstSale::pricing()
{
    QFETCH(QString, card);
    QFETCH(double, price);
    QFETCH(double, ownRate);
    QFETCH(double, quantity);
    QFETCH(QString, edited);
    QFETCH(QString, editedShown);
    QFETCH(QStringList, line);
    QFETCH(QString, editedAmount);
    Till t;
    QVERIFY(t.start());
    Sql(u"INSERT INTO lv (name, zk) VALUES ('金卡', ?)"_s).bind(Amount(85)).exec();
    storeMember(kCard, u"金卡"_s, 100);
    storeGoods(u"G1"_s, u"商品"_s, price);
    if (ownRate > 0)
        Sql(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('G1', '金卡', ?)"_s)
            .bind(lit(ownRate))
            .exec();
    QVERIFY(t.login(card));
    t.sale([&](FrmSpxf *s) {
        s->AddSp(u"G1"_s, lit(quantity));
        auto *lv = w<QTreeWidget>(s, u"lvSp"_s);
        QCOMPARE(rowTexts(lv, 0), line);
        QCOMPARE(w<QLineEdit>(s, u"txtNum"_s)->text(), line[5]);
        QCOMPARE(s->Je, NumVal(line[7]));
        w<QLineEdit>(s, u"txtNum"_s)->setText(edited);
        click(s, u"cmdEdit"_s);
        QCOMPARE(lv->topLevelItem(0)->text(5), editedShown);
        QCOMPARE(lv->topLevelItem(0)->text(7), editedAmount);
        QCOMPARE(w<QLabel>(s, u"lblJe"_s)->text(), editedAmount);
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    QVERIFY(t.h.messages().isEmpty());
    QCOMPARE(count(u"con"_s), 0); // nothing stored before the settlement
}

void TstSale::windowState()
{
    Till t;
    QVERIFY(t.start());
    Sql(u"INSERT INTO lv (name, zk) VALUES ('金卡', ?)"_s).bind(Amount(85)).exec();
    storeMember(kCard, u"金卡"_s, 88.5);
    storeGoods(u"G1"_s, u"可乐"_s, 3);
    storeGoods(u"G2"_s, u"雪碧"_s, 4);
    SetSysInfo(u"fs"_s, u"1"_s);
    QVERIFY(t.login());
    const int targetBefore = state().cardTarget;
    t.sale([&](FrmSpxf *s) {
        QCOMPARE(s->windowTitle(), u"新增消费"_s);
        QCOMPARE(w<QLabel>(s, u"lblID"_s)->text(), u"会员卡号："_s + kCard);
        QCOMPARE(w<QLabel>(s, u"lblName"_s)->text(), u"会员姓名：张三"_s);
        QCOMPARE(w<QLabel>(s, u"lblLv"_s)->text(), u"会员级别：金卡"_s);
        QCOMPARE(w<QLabel>(s, u"lblYe"_s)->text(), u"卡内余额：88.5元"_s);
        QVERIFY(w<QRadioButton>(s, u"optXPay"_s)->isChecked());
        QCOMPARE(state().cardTarget, 0); // swipes are ignored meanwhile
        QVERIFY(state().hotKeyBlocked[AppState::HkSale]);
        // Deleting: the selected line goes, the total follows.
        click(s, u"cmdDel"_s);
        QCOMPARE(t.h.lastText(), u"没有指定商品！"_s);
        s->AddSp(u"G1"_s, 1);
        s->AddSp(u"G2"_s, 2);
        s->AddSp(u"G1"_s, 1); // the same goods again is a line of its own
        auto *lv = w<QTreeWidget>(s, u"lvSp"_s);
        QCOMPARE(lv->topLevelItemCount(), 3);
        QCOMPARE(s->Je, 2.55 + 6.8 + 2.55);
        lv->setCurrentItem(lv->topLevelItem(1));
        click(s, u"cmdDel"_s);
        QCOMPARE(lv->topLevelItemCount(), 2);
        QCOMPARE(w<QLabel>(s, u"lblJe"_s)->text(), u"5.1元"_s);
    });
    QCOMPARE(state().cardTarget, targetBefore);
    QVERIFY(!state().hotKeyBlocked[AppState::HkSale]);
    QCOMPARE(count(u"con"_s), 0);
}

void TstSale::search()
{
    Till t;
    QVERIFY(t.start());
    storeMember(kCard, QString(), 100);
    for (int i = 1; i <= 60; ++i)
        storeGoods(u"M"_s + QString::number(i).rightJustified(3, u'0'), u"面包%1"_s.arg(i), 5);
    storeGoods(u"X1"_s, u"停售 Cola"_s, 3, 100, 0, QString(), false);
    storeGoods(u"X2"_s, u"Cola'Zero"_s, 3);
    QVERIFY(t.login());
    t.sale([&](FrmSpxf *s) {
        auto *txt = w<QLineEdit>(s, u"txtIDName"_s);
        auto *lv = w<QTreeWidget>(s, u"lvSp"_s);
        auto *panel = w(s, u"picShowList"_s);
        auto *hits = w<QTreeWidget>(s, u"lvShowList"_s);
        txt->setText(u"没有"_s);
        QTest::keyClick(txt, Qt::Key_Return);
        QCOMPARE(t.h.lastText(), u"您输入的商品不存在！"_s);
        QCOMPARE(txt->selectedText(), u"没有"_s);
        // One hit (the disabled goods is never offered) is added at once.
        txt->setText(u"cola"_s);
        click(s, u"cmdTianjia"_s);
        QCOMPARE(rowTexts(lv, 0).mid(0, 3), (QStringList{u"X2"_s, u"Cola'Zero"_s, u"3元"_s}));
        QVERIFY(panel->isHidden());
        // Several hits: at most 50 in the panel, picked with Enter.
        txt->setText(u"面包"_s);
        click(s, u"cmdTianjia"_s);
        QVERIFY(!panel->isHidden());
        QCOMPARE(hits->topLevelItemCount(), 50);
        QCOMPARE(rowTexts(hits, 0), (QStringList{u"M001"_s, u"面包1"_s, u"5元"_s, u"0"_s}));
        hits->setCurrentItem(hits->topLevelItem(4));
        QTest::keyClick(hits, Qt::Key_Return);
        QVERIFY(panel->isHidden());
        QCOMPARE(lv->topLevelItem(1)->text(0), u"M005"_s);
        QVERIFY(txt->text().isEmpty());
        // Cancelled: nothing added.
        txt->setText(u"面包"_s);
        click(s, u"cmdTianjia"_s);
        click(s, u"cmdSelCC"_s);
        QVERIFY(panel->isHidden());
        QCOMPARE(lv->topLevelItemCount(), 2);
        QVERIFY(w<QPushButton>(s, u"cmdTianjia"_s)->isEnabled());
        QCOMPARE(w<QPushButton>(s, u"cmdTianjia"_s)->text(), u"添加(&A)"_s);
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
}

void TstSale::stock_data()
{
    QTest::addColumn<QString>("oversell");
    QTest::newRow("stock kept") << u"no"_s;
    QTest::newRow("oversell allowed") << u"yes"_s;
}

void TstSale::stock()
{
    QFETCH(QString, oversell);
    Till t;
    QVERIFY(t.start());
    storeMember(kCard, QString(), 100);
    storeGoods(u"G1"_s, u"可乐"_s, 3, 2);
    SetSysInfo(u"kc"_s, oversell);
    QVERIFY(t.login());
    t.sale([&](FrmSpxf *s) {
        auto *lv = w<QTreeWidget>(s, u"lvSp"_s);
        s->AddSp(u"G1"_s, 1);
        s->AddSp(u"G1"_s, 1);
        QVERIFY(t.h.messages().isEmpty());
        s->AddSp(u"G1"_s, 1); // the basket's own lines count
        if (oversell == u"yes"_s) {
            QVERIFY(t.h.messages().isEmpty());
            QCOMPARE(lv->topLevelItemCount(), 3);
        } else {
            QCOMPARE(t.h.lastText(), u"此商品库存不足！"_s);
            QCOMPARE(lv->topLevelItemCount(), 2);
        }
        // The arrow keys choose a line as a click does.
        lv->setCurrentItem(lv->topLevelItem(1));
        w<QLineEdit>(s, u"txtNum"_s)->clear();
        QTest::keyClick(lv, Qt::Key_Up);
        QCOMPARE(lv->currentItem(), lv->topLevelItem(0));
        QCOMPARE(w<QLineEdit>(s, u"txtNum"_s)->text(), u"1"_s);
        // A quantity change above the stock is refused either way.
        t.h.clearMessages();
        lv->setCurrentItem(lv->topLevelItem(0));
        w<QLineEdit>(s, u"txtNum"_s)->setText(u"2"_s);
        click(s, u"cmdEdit"_s);
        QCOMPARE(t.h.lastText(), u"此商品库存不足！"_s);
        QCOMPARE(lv->topLevelItem(0)->text(5), u"1"_s);
    });
}

void TstSale::browser()
{
    Till t;
    QVERIFY(t.start());
    storeMember(kCard, QString(), 100);
    Sql(u"INSERT INTO splb (name) VALUES ('饮料'), ('零食')"_s).exec();
    storeGoods(u"A1"_s, u"可乐"_s, 3, 100, 0, u"饮料"_s);
    storeGoods(u"B1"_s, u"薯片"_s, 3.33, 100, 0, u"零食"_s, false);
    storeGoods(u"C1"_s, u"抹布"_s, 2, 1);
    storeGoods(u"D1"_s, u"旧货"_s, 2, 100, 0, u"已删除"_s);
    QVERIFY(t.login());
    t.sale([&](FrmSpxf *s) {
        t.h.onModal([&](QDialog *b) {
            QCOMPARE(b->windowTitle(), u"商品浏览"_s);
            auto *tree = w<QTreeWidget>(b, u"listLb"_s);
            QCOMPARE(tree->topLevelItemCount(), 3);
            QCOMPARE(tree->topLevelItem(0)->text(0), u"饮料"_s);
            QCOMPARE(tree->topLevelItem(2)->text(0), u"未分类商品"_s);
            QCOMPARE(tree->topLevelItem(1)->child(0)->text(0), u"B1|薯片"_s); // disabled too
            QCOMPARE(tree->topLevelItem(2)->childCount(), 2);
            QCOMPARE(tree->topLevelItem(2)->child(1)->text(0), u"D1|旧货"_s);
            auto *sel = w<QTreeWidget>(b, u"lvSel"_s);
            click(b, u"cmdDel"_s);
            QCOMPARE(t.h.lastText(), u"您尚未选择任何商品！"_s);
            // A category node adds nothing; a quantity must be above 0.
            tree->setCurrentItem(tree->topLevelItem(0));
            click(b, u"cmdAdd"_s);
            QCOMPARE(sel->topLevelItemCount(), 0);
            tree->setCurrentItem(tree->topLevelItem(1)->child(0));
            w<QLineEdit>(b, u"txtNum"_s)->setText(u"0"_s);
            click(b, u"cmdAdd"_s);
            QCOMPARE(t.h.lastText(), u"请输入商品的有效数量！"_s);
            w<QLineEdit>(b, u"txtNum"_s)->setText(u"1.25"_s);
            click(b, u"cmdAdd"_s);
            QCOMPARE(rowTexts(sel, 0),
                     (QStringList{u"B1"_s, u"薯片"_s, u"1.25"_s, u"3.33元"_s, u"件"_s}));
            // C1 has a stock of 1: refused when confirmed, the others added.
            tree->setCurrentItem(tree->topLevelItem(2)->child(0));
            w<QLineEdit>(b, u"txtNum"_s)->setText(u"2"_s);
            click(b, u"cmdAdd"_s);
            tree->setCurrentItem(tree->topLevelItem(0)->child(0));
            Q_EMIT tree->itemDoubleClicked(tree->currentItem(), 0);
            QCOMPARE(sel->topLevelItemCount(), 3);
            t.h.clearMessages();
            click(b, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"此商品库存不足！"_s);
        });
        click(s, u"cmdSpll"_s);
        auto *lv = w<QTreeWidget>(s, u"lvSp"_s);
        QCOMPARE(lv->topLevelItemCount(), 2);
        QCOMPARE(rowTexts(lv, 0).last(), u"4.16元"_s);
        QCOMPARE(rowTexts(lv, 1).mid(0, 2), (QStringList{u"A1"_s, u"可乐"_s}));
        QCOMPARE(lv->topLevelItem(1)->text(5), u"2"_s);
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
}

void TstSale::points_data()
{
    QTest::addColumn<double>("yuan");
    QTest::addColumn<QString>("card");
    QTest::addColumn<qint64>("points");
    QTest::newRow("ordinary and special, y 10") << 10.0 << kCard << qint64(15);
    QTest::newRow("y 0: special goods only") << 0.0 << kCard << qint64(6);
    QTest::newRow("no-card customer") << 10.0 << u"000000000000"_s << qint64(0);
    QTest::newRow("y 0.1: decimal values") << 0.1 << kCard << qint64(6 + 955);
}

void TstSale::points()
{
    QFETCH(double, yuan);
    QFETCH(QString, card);
    QFETCH(qint64, points);
    BasketLine ordinary;
    ordinary.sl = 1;
    ordinary.je = lit(95.5);
    BasketLine special;
    special.sl = 2;
    special.jf = 3;
    special.je = 20;
    QCOMPARE(salePoints({ordinary, special}, lit(115.5), lit(yuan), card), Amount(points));
    // Special goods points are cut per line: 1.5 × 3 gives 4.
    BasketLine half;
    half.sl = lit(1.5);
    half.jf = 3;
    half.je = 9;
    QCOMPARE(salePoints({half}, 9, 0, kCard), Amount(4));
}

void TstSale::receipt_data()
{
    QTest::addColumn<bool>("showCard");
    QTest::addColumn<qint64>("points");
    QTest::addColumn<QString>("text");
    const QString head = u"会员姓名：张三\r\n"_s;
    const QString lines = u"会员级别：金卡\r\n可乐*2   金额：5.1元\r\n薯片*1.5   金额：4.5元\r\n"
                          u"本次消费总金额：9.6元\r\n"_s;
    QTest::newRow("magnetic cards, points")
        << true << qint64(9)
        << head + u"会员卡号：100000000001\r\n"_s + lines + u"本次消费获得积分：9\r\n"_s;
    QTest::newRow("IC cards, no points") << false << qint64(0) << head + lines;
}

void TstSale::receipt()
{
    QFETCH(bool, showCard);
    QFETCH(qint64, points);
    QFETCH(QString, text);
    BasketLine a;
    a.name = u"可乐"_s;
    a.sl = 2;
    a.je = lit(5.1);
    BasketLine b;
    b.name = u"薯片"_s;
    b.sl = lit(1.5);
    b.je = lit(4.5);
    QCOMPARE(saleReceipt(u"会员姓名：张三"_s, u"会员卡号："_s + kCard, u"会员级别：金卡"_s,
                         showCard, {a, b}, lit(9.6), Amount(points)),
             text);
}

void TstSale::escapeAsksBeforeThrowingAway()
{
    Till t(Backend::Sqlite);
    QVERIFY(t.start());
    storeMember(kCard, QString(), 50);
    storeGoods(u"G1"_s, u"可乐"_s, 2.5);
    QVERIFY(t.login());
    t.sale([&](FrmSpxf *s) {
        s->AddSp(u"G1"_s, 2);
        t.h.answer(MsgAnswer::No);
        QTest::keyClick(s, Qt::Key_Escape);
        QCOMPARE(t.h.lastText(), u"购物篮中还有1种商品，确定要放弃本次消费吗？"_s);
        QCOMPARE(t.h.messages().last().defaultAnswer, MsgAnswer::No);
        QVERIFY(s->isVisible());
        QCOMPARE(w<QTreeWidget>(s, u"lvSp"_s)->topLevelItemCount(), 1);
        t.h.answer(MsgAnswer::Yes);
        QTest::keyClick(s, Qt::Key_Escape);
        QVERIFY(!s->isVisible());
    });
    QCOMPARE(count(u"con"_s), 0);
    // An empty basket goes without a question.
    const qsizetype asked = t.h.messages().size();
    t.sale([&](FrmSpxf *s) {
        QTest::keyClick(s, Qt::Key_Escape);
        QVERIFY(!s->isVisible());
    });
    QCOMPARE(t.h.messages().size(), asked);
}

void TstSale::cardPayment()
{
    LT_USE_BACKEND();
    Till t(backend);
    QVERIFY(t.start());
    storeMember(kCard, QString(), 50);
    storeGoods(u"G1"_s, u"可乐"_s, 25, 1, 3);
    storeGoods(u"G2"_s, u"面包"_s, 0.01);
    SetSysInfo(u"kc"_s, u"yes"_s);
    SetSysInfo(u"yuan"_s, u"10"_s);
    SetSysInfo(u"fs"_s, u"2"_s);
    QVERIFY(t.login());
    auto pay = [&](const QString &password) {
        t.h.onModal([&t, password](QDialog *c) {
            QCOMPARE(c->windowTitle(), u"会员卡结账"_s);
            w<QLineEdit>(c, u"txtPwd"_s)->setText(password);
            click(c, u"cmdOK"_s);
            if (c->isVisible()) {
                QVERIFY(w<QPushButton>(c, u"cmdOK"_s)->isEnabled());
                QCOMPARE(w<QPushButton>(c, u"cmdOK"_s)->text(), u"确定(&O)"_s);
                click(c, u"cmdCC"_s);
            }
        });
    };
    t.sale([&](FrmSpxf *s) {
        w<QRadioButton>(s, u"optCPay"_s)->setChecked(true);
        s->AddSp(u"G1"_s, 2);
        s->AddSp(u"G2"_s, 1);
        QCOMPARE(s->Je, 50.01);
        t.h.onModal([&](QDialog *c) {
            QCOMPARE(w<QLabel>(c, u"lblXfje"_s)->text(), u"50.01"_s);
            QCOMPARE(w<QLabel>(c, u"lblKnye"_s)->text(), u"50"_s);
            w<QLineEdit>(c, u"txtPwd"_s)->setText(u"12"_s);
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"密码错误！"_s);
            QCOMPARE(w<QLineEdit>(c, u"txtPwd"_s)->selectedText(), u"12"_s);
            w<QLineEdit>(c, u"txtPwd"_s)->setText(u"123"_s);
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"余额不足！"_s);
            QVERIFY(c->isVisible());
            click(c, u"cmdCC"_s);
        });
        click(s, u"cmdOK"_s);
        QVERIFY(s->isVisible()); // the basket stays for another try
        QCOMPARE(count(u"con"_s), 0);
        QCOMPARE(memberValue(u"ye"_s), 50.0);
        // Exactly the balance.
        auto *lv = w<QTreeWidget>(s, u"lvSp"_s);
        lv->setCurrentItem(lv->topLevelItem(1));
        click(s, u"cmdDel"_s);
        pay(u"123"_s);
        click(s, u"cmdOK"_s);
        QVERIFY(!s->isVisible());
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    QCOMPARE(memberValue(u"ye"_s), 0.0);
    QCOMPARE(memberValue(u"jf"_s), 10.0 + 6); // special goods: 2 × 3
    Sql con(u"SELECT id, mberid, czkfk, xjfk, jf, czy, ps, createtime FROM con"_s);
    con.exec();
    QVERIFY(con.next());
    const int conId = con.integer(0);
    QCOMPARE(con.amount(2), 50.0);
    QCOMPARE(con.amount(3), 0.0);
    QCOMPARE(con.integer(4), 6);
    QCOMPARE(con.text(5), u"admin"_s);
    QVERIFY(Database::toDt(con.value(7)).isValid());
    QVERIFY(!con.next());
    QVERIFY(scalar(u"SELECT boolsp FROM con"_s).toBool());
    Sql line(u"SELECT conid, spid, spmc, dj, zk, zhdj, sl, jf, je FROM xiangxi"_s);
    line.exec();
    QVERIFY(line.next());
    QCOMPARE(line.integer(0), conId);
    QCOMPARE(line.text(2), u"可乐"_s);
    QCOMPARE(line.amount(3), 25.0);
    QCOMPARE(line.amount(4), 100.0);
    QCOMPARE(line.amount(6), 2.0);
    QCOMPARE(line.amount(7), 6.0);
    QCOMPARE(line.amount(8), 50.0);
    QVERIFY(!line.next());
    // Stock 1 sold 2: 0, not -1.
    QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'G1'"_s), 0.0);
    QCOMPARE(GetSysInfo(u"fs"_s), u"0"_s);
    // The member panel shows the member afresh.
    QCOMPARE(t.main->findChild<QLabel *>(u"lblKnye"_s)->text(), u"0元"_s);
}

void TstSale::cashPayment()
{
    Till t;
    QVERIFY(t.start());
    storeMember(kCard, QString(), 10);
    storeGoods(u"G1"_s, u"可乐"_s, 100);
    SetSysInfo(u"yuan"_s, u"10"_s);
    QVERIFY(t.login(u"000000000000"_s));
    t.sale([&](FrmSpxf *s) {
        w<QRadioButton>(s, u"optXPay"_s)->setChecked(true);
        // An empty basket is not settled.
        click(s, u"cmdOK"_s);
        QCOMPARE(t.h.lastText(), u"请先添加要消费的商品！"_s);
        QCOMPARE(t.h.unexpectedModals(), 0);
        s->AddSp(u"G1"_s, 1);
        t.h.onModal([&](QDialog *c) {
            QCOMPARE(c->windowTitle(), u"现金结账"_s);
            auto *cash = w<QLineEdit>(c, u"txtXjfk"_s);
            QCOMPARE(cash->selectedText(), u"100"_s);
            cash->setText(u"99.99"_s);
            QCOMPARE(w<QLabel>(c, u"lblZlje"_s)->text(), u"-0.01"_s);
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"付款不足！"_s);
            cash->setText(u"120"_s);
            QCOMPARE(w<QLabel>(c, u"lblZlje"_s)->text(), u"20"_s);
            cash->setText(u"99.999"_s); // rounds to 100 with two decimals
            click(c, u"cmdOK"_s);
            QVERIFY(!c->isVisible());
        });
        click(s, u"cmdOK"_s);
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    // The no-card customer never earns points from a sale.
    Sql con(u"SELECT mberid, czkfk, xjfk, jf FROM con"_s);
    con.exec();
    QVERIFY(con.next());
    QCOMPARE(con.text(0), u"000000000000"_s);
    QCOMPARE(con.amount(1), 0.0);
    QCOMPARE(con.amount(2), 100.0);
    QCOMPARE(con.integer(3), 0);
    QCOMPARE(GetSysInfo(u"fs"_s), u"1"_s);
    QCOMPARE(amountAt(u"SELECT kc FROM sp"_s), 99.0);
}

void TstSale::mixedPayment()
{
    LT_USE_BACKEND();
    Till t(backend);
    QVERIFY(t.start());
    storeMember(kCard, QString(), 40);
    storeGoods(u"G1"_s, u"礼盒"_s, 100);
    SetSysInfo(u"yuan"_s, u"0"_s);
    QVERIFY(t.login());
    t.sale([&](FrmSpxf *s) {
        w<QRadioButton>(s, u"optCxpay"_s)->setChecked(true);
        s->AddSp(u"G1"_s, 1);
        t.h.onModal([&](QDialog *c) {
            QCOMPARE(c->windowTitle(), u"两种方式结合付款"_s);
            auto *chkCzk = w<QCheckBox>(c, u"chkCzk"_s);
            auto *chkXj = w<QCheckBox>(c, u"chkXj"_s);
            auto *txtCzk = w<QLineEdit>(c, u"txtCzk"_s);
            auto *txtXj = w<QLineEdit>(c, u"txtXj"_s);
            QVERIFY(!txtCzk->isEnabled());
            // No change while nothing is offered, and what the card holds.
            QCOMPARE(w<QLabel>(c, u"lblZlje"_s)->text(), u"0"_s);
            QCOMPARE(w<QLabel>(c, u"lblKnye"_s)->text(), u"40"_s);
            QVERIFY(chkCzk->text().contains(u"&K"_s) && chkXj->text().contains(u"&X"_s));
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"付费不足！"_s);
            chkCzk->setChecked(true);
            QVERIFY(txtCzk->isEnabled());
            txtCzk->setText(u"120"_s);
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"储值卡付款金额不能大于消费金额！"_s);
            // A negative card part would put money on the card.
            txtCzk->setText(u"-50"_s);
            chkXj->setChecked(true);
            txtXj->setText(u"150"_s);
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"储值卡付款金额不能小于0元！"_s);
            QCOMPARE(count(u"con"_s), 0);
            txtCzk->setText(u"30"_s);
            chkXj->setChecked(true);
            txtXj->setText(u"60"_s);
            QCOMPARE(w<QLabel>(c, u"lblZlje"_s)->text(), u"0"_s); // still short
            txtXj->setText(u"80"_s);
            auto *apay = qobject_cast<FrmApay *>(c);
            QVERIFY(apay);
            QCOMPARE(apay->NowJe, 110.0);
            QCOMPARE(w<QLabel>(c, u"lblZlje"_s)->text(), u"10"_s);
            // The password prompt cancelled: nothing written, still open.
            t.h.onModal([](QDialog *p) {
                QCOMPARE(p->windowTitle(), u"输入密码"_s);
                click(p, u"cmdCC"_s);
            });
            click(c, u"cmdOK"_s);
            QVERIFY(c->isVisible());
            QVERIFY(w<QPushButton>(c, u"cmdOK"_s)->isEnabled());
            QCOMPARE(count(u"con"_s), 0);
            // A wrong password.
            t.h.onModal([](QDialog *p) {
                w<QLineEdit>(p, u"txtPwd"_s)->setText(u"999"_s);
                click(p, u"cmdOK"_s);
            });
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"密码错误！"_s);
            QVERIFY(w<QPushButton>(c, u"cmdOK"_s)->isEnabled());
            QCOMPARE(count(u"con"_s), 0);
            // Unticking the cash box empties it; the sum falls short again.
            chkXj->setChecked(false);
            QVERIFY(txtXj->text().isEmpty());
            click(c, u"cmdOK"_s);
            QCOMPARE(t.h.lastText(), u"付费不足！"_s);
            chkXj->setChecked(true);
            txtXj->setText(u"80"_s);
            t.h.onModal([](QDialog *p) {
                w<QLineEdit>(p, u"txtPwd"_s)->setText(u"123"_s);
                click(p, u"cmdOK"_s);
            });
            click(c, u"cmdOK"_s);
            QVERIFY(!c->isVisible());
        });
        click(s, u"cmdOK"_s);
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    // The status bar tells what was done once the sale window is gone.
    const QString told = t.main->statusPanel(1)->text();
    QVERIFY2(told.endsWith(u"消费成功：100元，卡付30元，卡内余额10元，找零10元"_s),
             qPrintable(told));
    Sql con(u"SELECT czkfk, xjfk, jf FROM con"_s);
    con.exec();
    QVERIFY(con.next());
    QCOMPARE(con.amount(0), 30.0);
    QCOMPARE(con.amount(1), 70.0);
    QCOMPARE(con.integer(2), 0); // no points rate
    QVERIFY(!con.next());        // one sale, whatever was refused before it
    QCOMPARE(memberValue(u"ye"_s), 10.0);
    QCOMPARE(memberValue(u"jf"_s), 10.0);
    QCOMPARE(GetSysInfo(u"fs"_s), u"2"_s);
}

void TstSale::direct_data()
{
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<QString>("card");
    QTest::addColumn<bool>("fromBalance");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("password");
    QTest::addColumn<double>("yuan");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<double>("balance");
    QTest::addColumn<double>("points");
    QTest::addColumn<QVariant>("conPoints");
    QTest::newRow("card, y 10, 95") << int(Backend::Sqlite) << kCard << true << u"95"_s << u"12a"_s
                                    << 10.0 << QString() << 5.0 << 19.0 << QVariant(9);
    QTest::newRow("exactly the balance")
        << int(Backend::Sqlite) << kCard << true << u"100"_s << u"12a"_s << 0.0 << QString() << 0.0
        << 10.0 << QVariant();
    QTest::newRow("a cent more") << int(Backend::Sqlite) << kCard << true << u"100.01"_s << u"12a"_s
                                 << 10.0 << u"余额不足！"_s << 100.0 << 10.0 << QVariant();
    QTest::newRow("wrong password") << int(Backend::Sqlite) << kCard << true << u"5"_s << u"12"_s
                                    << 10.0 << u"密码错误！"_s << 100.0 << 10.0 << QVariant();
    QTest::newRow("wrong case") << int(Backend::Sqlite) << kCard << true << u"5"_s << u"12A"_s
                                << 10.0 << u"密码错误！"_s << 100.0 << 10.0 << QVariant();
    // A password an older program kept as typed, not yet hashed.
    QTest::newRow("kept as typed") << int(Backend::Sqlite) << kCard << true << u"5"_s << u"12a"_s
                                   << 0.0 << QString() << 95.0 << 10.0 << QVariant();
    QTest::newRow("kept as typed, wrong case")
        << int(Backend::Sqlite) << kCard << true << u"5"_s << u"12A"_s << 0.0 << u"密码错误！"_s
        << 100.0 << 10.0 << QVariant();
    QTest::newRow("cash, y 0") << int(Backend::Sqlite) << kCard << false << u"50"_s << QString()
                               << 0.0 << QString() << 100.0 << 10.0 << QVariant(0);
    QTest::newRow("cash, no password asked")
        << int(Backend::Sqlite) << kCard << false << u"12.345"_s << u"wrong"_s << 1.0 << QString()
        << 100.0 << 22.0 << QVariant(12);
    QTest::newRow("zero") << int(Backend::Sqlite) << kCard << false << u"0"_s << QString() << 1.0
                          << u"消费金额必须大于0元！"_s << 100.0 << 10.0 << QVariant();
    QTest::newRow("negative") << int(Backend::Sqlite) << kCard << true << u"-5"_s << u"12a"_s << 1.0
                              << u"消费金额必须大于0元！"_s << 100.0 << 10.0 << QVariant();
    QTest::newRow("not a number") << int(Backend::Sqlite) << kCard << true << u"abc"_s << u"12a"_s
                                  << 1.0 << u"消费金额必须大于0元！"_s << 100.0 << 10.0
                                  << QVariant();
    QTest::newRow("no-card customer earns points")
        << int(Backend::Sqlite) << u"000000000000"_s << false << u"30"_s << QString() << 10.0
        << QString() << 100.0 << 13.0 << QVariant(3);
    QTest::newRow("card, y 10, 95, postgres")
        << int(Backend::Postgres) << kCard << true << u"95"_s << u"12a"_s << 10.0 << QString()
        << 5.0 << 19.0 << QVariant(9);
    QTest::newRow("a cent more, postgres")
        << int(Backend::Postgres) << kCard << true << u"100.01"_s << u"12a"_s << 10.0
        << u"余额不足！"_s << 100.0 << 10.0 << QVariant();
    QTest::newRow("cash, no password asked, postgres")
        << int(Backend::Postgres) << kCard << false << u"12.345"_s << u"wrong"_s << 1.0 << QString()
        << 100.0 << 22.0 << QVariant(12);
}

void TstSale::direct()
{
    LT_USE_BACKEND();
    QFETCH(QString, card);
    QFETCH(bool, fromBalance);
    QFETCH(QString, amount);
    QFETCH(QString, password);
    QFETCH(double, yuan);
    QFETCH(QString, message);
    QFETCH(double, balance);
    QFETCH(double, points);
    QFETCH(QVariant, conPoints);
    Till t(backend);
    QVERIFY(t.start());
    storeMember(kCard, QString(), 100, u"12a"_s);
    if (QByteArray(QTest::currentDataTag()).startsWith("kept as typed"))
        Sql(u"UPDATE mber SET pwd = '12a' WHERE id = ?"_s).bind(kCard).exec();
    Sql(u"UPDATE mber SET ye = ?, jf = ?, pwd = '123' WHERE id = '000000000000'"_s)
        .bind(Amount(100))
        .bind(Amount(10))
        .exec();
    QVERIFY(t.login(card));
    state().yuanPerPoint = lit(yuan);
    int targetWhileOpen = -1;
    t.direct([&](QDialog *d) {
        targetWhileOpen = state().cardTarget;
        QVERIFY(state().hotKeyBlocked[AppState::HkDirect]);
        QVERIFY(w<QRadioButton>(d, u"optYe"_s)->isChecked());
        QVERIFY(w<QLineEdit>(d, u"txtPwd"_s)->isEnabled());
        if (!fromBalance) {
            w<QRadioButton>(d, u"optXj"_s)->setChecked(true);
            QVERIFY(!w<QLineEdit>(d, u"txtPwd"_s)->isEnabled());
        }
        w<QLineEdit>(d, u"txtXfje"_s)->setText(amount);
        w<QLineEdit>(d, u"txtPwd"_s)->setText(password);
        w<QLineEdit>(d, u"txtPs"_s)->setText(u"茶位费"_s);
        click(d, u"cmdOK"_s);
        QCOMPARE(d->isVisible(), !message.isEmpty());
        if (!message.isEmpty()) {
            QCOMPARE(t.h.lastText(), message);
            QVERIFY(w<QPushButton>(d, u"cmdOK"_s)->isEnabled());
        }
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    QCOMPARE(targetWhileOpen, 0);
    QVERIFY(!state().hotKeyBlocked[AppState::HkDirect]);
    QCOMPARE(memberValue(u"ye"_s, card), balance);
    QCOMPARE(memberValue(u"jf"_s, card), points);
    QCOMPARE(count(u"con"_s), message.isEmpty() ? 1 : 0);
    if (message.isEmpty()) {
        Sql con(u"SELECT czkfk, xjfk, jf, ps, boolsp FROM con"_s);
        con.exec();
        QVERIFY(con.next());
        QCOMPARE(con.amount(0), fromBalance ? NumVal(amount) : Amount());
        QCOMPARE(con.amount(1), fromBalance ? Amount() : NumVal(amount));
        QCOMPARE(con.value(2).isNull(), conPoints.isNull());
        if (!conPoints.isNull())
            QCOMPARE(con.integer(2), conPoints.toInt());
        QCOMPARE(con.text(3), u"茶位费"_s);
        QVERIFY(!con.value(4).toBool());
        QCOMPARE(count(u"xiangxi"_s), 0);
    }
}

void TstSale::pointsAndUpgrade()
{
    // A member paying cash earns points for the goods and for the rest of
    // the amount, and moves up a level after the sale and after a direct
    // consumption.
    Till t;
    QVERIFY(t.start());
    Sql(u"INSERT INTO lv (name, jf) VALUES ('普通', 0), ('银卡', ?), ('金卡', ?)"_s)
        .bind(Amount(100))
        .bind(Amount(120))
        .exec();
    SetSysInfo(u"lvup"_s, u"yes"_s);
    SetSysInfo(u"yuan"_s, u"10"_s);
    storeMember(kCard, u"普通"_s, 0);
    Sql(u"UPDATE mber SET jf = ? WHERE id = ?"_s).bind(Amount(95)).bind(kCard).exec();
    storeGoods(u"G1"_s, u"可乐"_s, 30);
    storeGoods(u"G2"_s, u"积分礼品"_s, 2, 100, 3); // 3 points a piece
    QVERIFY(t.login());
    state().yuanPerPoint = Amount(10);
    t.sale([&](FrmSpxf *s) {
        w<QRadioButton>(s, u"optXPay"_s)->setChecked(true);
        s->AddSp(u"G1"_s, 1);
        s->AddSp(u"G2"_s, lit(1.5));
        t.h.onModal([&](QDialog *c) {
            QCOMPARE(c->windowTitle(), u"现金结账"_s);
            click(c, u"cmdOK"_s);
        });
        click(s, u"cmdOK"_s);
        QVERIFY(!s->isVisible());
    });
    // 1.5 × 3 cut to 4 for the special goods, (33 − 3) / 10 = 3 for the rest.
    Sql con(u"SELECT czkfk, xjfk, jf FROM con"_s);
    con.exec();
    QVERIFY(con.next());
    QCOMPARE(con.amount(0), 0.0);
    QCOMPARE(con.amount(1), 33.0);
    QCOMPARE(con.integer(2), 7);
    // The line keeps whole pieces × points: 1 × 3.
    QCOMPARE(amountAt(u"SELECT jf FROM xiangxi WHERE spid = 'G2'"_s), 3.0);
    QCOMPARE(amountAt(u"SELECT jf FROM xiangxi WHERE spid = 'G1'"_s), 0.0);
    QCOMPARE(memberValue(u"jf"_s), 102.0);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = ?"_s, {kCard}).toString(), u"银卡"_s);
    QCOMPARE(t.main->shownMember(u"lblLv"_s), u"银卡"_s); // shown again

    t.direct([&](QDialog *d) {
        w<QRadioButton>(d, u"optXj"_s)->setChecked(true);
        w<QLineEdit>(d, u"txtXfje"_s)->setText(u"200"_s);
        click(d, u"cmdOK"_s);
        QVERIFY(!d->isVisible());
    });
    QCOMPARE(memberValue(u"jf"_s), 122.0);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = ?"_s, {kCard}).toString(), u"金卡"_s);
    QCOMPARE(t.h.unexpectedModals(), 0);
}

void TstSale::twoTillsOneBalance()
{
    // Another till spends 80 of the 100 while this one is paying 80 from the
    // card: this one waits for it and then finds 20, never spending twice.
    LT_NEED_POSTGRES();
    Harness h(Backend::Postgres);
    QVERIFY(h.openDatabase());
    storeMember(kCard, QString(), 100);
    const DbConfig c = h.config();
    std::atomic<bool> locked = false;
    std::atomic<bool> otherOk = false;
    std::thread other([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"other-till"_s);
            db.setHostName(c.host);
            db.setPort(c.port);
            db.setUserName(c.user);
            db.setPassword(c.password);
            db.setDatabaseName(c.dbName);
            if (db.open() && db.transaction()) {
                QSqlQuery q(db);
                if (q.exec(u"SELECT ye FROM mber WHERE id = '100000000001' FOR UPDATE"_s)) {
                    locked = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(500));
                    otherOk = q.exec(u"UPDATE mber SET ye = ye - 80 WHERE id = '100000000001'"_s) &&
                              db.commit();
                }
            }
            locked = true;
            db.close();
        }
        QSqlDatabase::removeDatabase(u"other-till"_s);
    });
    while (!locked)
        std::this_thread::yield();
    SaleInput sale;
    sale.card = kCard;
    sale.total = sale.cardPart = 80;
    sale.password = u"123"_s;
    const SaleResult r = recordSale(sale);
    other.join();
    QVERIFY(otherOk);
    QCOMPARE(r.refusal, PayRefusal::NoBalance);
    QCOMPARE(memberValue(u"ye"_s), 20.0);
    QCOMPARE(count(u"con"_s), 0);
}

void TstSale::manyLines()
{
    // Stock is taken per goods code (a code on two lines counts both, never
    // below 0) and the lines are kept in the basket's order, also when the
    // basket is longer than one statement writes.
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    storeMember(kCard, QString(), 0);
    storeGoods(u"G1"_s, u"可乐"_s, 1, 5);
    storeGoods(u"G2"_s, u"雪碧"_s, 1, 100);
    storeGoods(u"G3"_s, u"毛巾"_s, 1, 1);
    SetSysInfo(u"kc"_s, u"yes"_s); // goods may be oversold
    SaleInput sale;
    sale.card = kCard;
    auto add = [&](const QString &code, qint64 sl) {
        BasketLine l;
        l.spid = code;
        l.name = code;
        l.sj = l.zhdj = 1;
        l.sl = sl;
        l.je = sl;
        sale.lines << l;
        sale.total += l.je;
    };
    add(u"G2"_s, 3);
    add(u"G1"_s, 2);
    add(u"G2"_s, 4);
    add(u"G3"_s, 2);
    for (int i = 0; i < 600; ++i)
        add(i % 2 ? u"G1"_s : u"G2"_s, 0);
    add(u"G1"_s, 1);
    const SaleResult r = recordSale(sale);
    QCOMPARE(r.refusal, PayRefusal::None);
    QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'G1'"_s), 2.0);
    QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'G2'"_s), 93.0);
    QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'G3'"_s), 0.0);
    QStringList written;
    Sql q(u"SELECT spid, sl FROM xiangxi WHERE conid = ? ORDER BY "_s +
          (backend == Backend::Postgres ? u"ctid"_s : u"rowid"_s));
    q.bind(r.conId).exec();
    while (q.next())
        written << q.text(0) + u"×"_s + FmtJe(q.amount(1));
    QCOMPARE(written.size(), sale.lines.size());
    QCOMPARE(written.mid(0, 4), QStringList({u"G2×3"_s, u"G1×2"_s, u"G2×4"_s, u"G3×2"_s}));
    QCOMPARE(written.at(4), u"G2×0"_s);
    QCOMPARE(written.last(), u"G1×1"_s);

    // A line taking back stock is no sale: nothing is written.
    SaleInput back = sale;
    back.lines = {sale.lines.first()};
    back.lines.first().sl = -1;
    QCOMPARE(recordSale(back).refusal, PayRefusal::OutOfRange);
    QCOMPARE(count(u"con"_s), 1);
    QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'G2'"_s), 93.0);
}

QTEST_MAIN(TstSale)
#include "tst_sale.moc"

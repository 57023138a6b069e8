// The report windows and their queries: consumption, goods statistics,
// turnover, the record reports, balances and the operation log.

#include "amounts.h"
#include "appstate.h"
#include "cardrouting.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "reportchart.h"
#include "reportqueries.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::reports;
using test::Harness;

namespace
{

const QDate kDay(2012, 1, 31);

QDateTime at(const QDate &d, int h = 12, int m = 0, int s = 0)
{
    return QDateTime(d, QTime(h, m, s));
}

int sale(const QString &card, const QDateTime &when, double cash, double card_,
         const QString &op = u"admin"_s, const QVariant &jf = 5)
{
    Sql(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps) VALUES (?, ?, ?, ?, ?, ?, ?, NULL)"_s)
        .bind(card)
        .bind(true)
        .bind(lit(card_))
        .bind(lit(cash))
        .bind(jf)
        .bind(Database::dt(when))
        .bind(op)
        .exec();
    return scalar(u"SELECT max(id) FROM con"_s).toInt();
}

void line(int conId, const QString &spid, const QString &name, double price, double qty, double je)
{
    Sql(A(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je) VALUES (?, ?, ?, ?, {100}, ?, ?, 0, ?)"_s))
        .bind(conId)
        .bind(spid)
        .bind(name)
        .bind(lit(price))
        .bind(lit(price))
        .bind(lit(qty))
        .bind(lit(je))
        .exec();
}

void giveBack(const QDateTime &when, double je, bool toCard, const QString &level = u"金卡"_s)
{
    Sql(u"INSERT INTO thjl (conid, mberid, mbername, mberlb, je, thfs, czy, createtime, ps) VALUES (1, '100000000001', '张三', ?, ?, ?, 'admin', ?, '')"_s)
        .bind(level)
        .bind(lit(je))
        .bind(toCard)
        .bind(Database::dt(when))
        .exec();
}

QStringList column(const Rows &rows, int c)
{
    QStringList out;
    for (const QStringList &r : rows)
        out << r.value(c);
    return out;
}

template <typename T = QWidget> T *w(QWidget *d, const QString &name)
{
    return d->findChild<T *>(name);
}

} // namespace

class TstReportWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sales_data() { Harness::addBackendRows(); }
    void sales();
    void lineItems();
    void goods_data() { Harness::addBackendRows(); }
    void goods();
    void turnover_data();
    void turnover();
    void records();
    void balances();
    void log();
    void windows_data();
    void windows();
    void consumptionWindowCards();
    void transferWindowCards();
    void chartsFollowTheLists();
};

void TstReportWindows::sales()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    Sql(u"INSERT INTO mber (id, name, lv) VALUES ('100000000001', '张三', '金卡'), ('100000000002', '李四', NULL)"_s)
        .exec();
    const int mixed = sale(u"100000000001"_s, at(kDay, 9), 30, 20.5);
    line(mixed, u"G1"_s, u"可乐"_s, 10, 2, 20);
    sale(u"100000000002"_s, at(kDay, 10), 7, 0, u"admin"_s, QVariant()); // direct, no points
    sale(u"100000000001"_s, at(kDay, 11), 1, 0, u"小王"_s);
    sale(u"100000000001"_s, at(kDay.addDays(1), 0, 0, 0), 99, 0); // the next day
    sale(u"100000000001"_s, at(kDay, 0, 0, 0), 2, 0);             // the first second counts
    const Days day{kDay, kDay};
    const Rows all = texts(salesReport(day, QString(), QString()));
    QCOMPARE(all.size(), 4);
    QCOMPARE(column(all, 1).first(), FmtTime(at(kDay, 11))); // newest first
    const QStringList first = all[2];
    QCOMPARE(first[0], QString::number(mixed));
    QCOMPARE(first[2], u"100000000001"_s);
    QCOMPARE(first[3], u"张三"_s);
    QCOMPARE(first[4], u"金卡"_s);
    QCOMPARE(first[5], u"50.5元"_s);
    QCOMPARE(first[6], u"5"_s);
    QCOMPARE(first[7], u"admin"_s);
    QCOMPARE(first[8], QString());
    QCOMPARE(all[1][6], QString()); // no points recorded
    QCOMPARE(all[1][4], QString());
    QCOMPARE(texts(salesReport(day, u"小王"_s, QString())).size(), 1);
    QCOMPARE(texts(salesReport(day, QString(), u" 100000000002 "_s)).size(), 1);
    QCOMPARE(texts(salesReport(day, QString(), u"000"_s)).size(), 0); // the whole card number only
    QCOMPARE(texts(saleLines(mixed)),
             (Rows{{u"G1"_s, u"可乐"_s, u"10元"_s, u"100%"_s, u"10元"_s, u"2"_s, u"20元"_s}}));
    QVERIFY(texts(saleLines(all[1][0].toInt())).isEmpty());
}

void TstReportWindows::lineItems()
{
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(u"INSERT INTO mber (id, name, lv) VALUES ('100000000001', '张三', '金卡')"_s).exec();
    const int a = sale(u"100000000001"_s, at(kDay, 9), 30, 0);
    line(a, u"G1"_s, u"可乐"_s, 10, 3, 30);
    const int b = sale(u"200000000002"_s, at(kDay, 10), 5, 0);
    line(b, u"G2"_s, u"面包"_s, 5, 1, 5);
    sale(u"100000000001"_s, at(kDay, 11), 9, 0); // direct: no lines
    const Days day{kDay, kDay};
    const Rows rows = texts(lineItemsReport(day, QString(), QString()));
    QCOMPARE(column(rows, 1), (QStringList{u"G2"_s, u"G1"_s}));
    QCOMPARE(rows[1],
             (QStringList{FmtTime(at(kDay, 9)), u"G1"_s, u"可乐"_s, u"100000000001"_s, u"张三"_s,
                          u"金卡"_s, u"10元"_s, u"100%"_s, u"10元"_s, u"3"_s, u"30元"_s}));
    // Three digits anywhere in the card number.
    QCOMPARE(column(texts(lineItemsReport(day, QString(), u"000"_s)), 1),
             (QStringList{u"G2"_s, u"G1"_s}));
    QCOMPARE(column(texts(lineItemsReport(day, QString(), u"0001"_s)), 1), QStringList{u"G1"_s});
    QCOMPARE(texts(lineItemsReport(day, u"小王"_s, QString())).size(), 0);
}

void TstReportWindows::goods()
{
    // Summed in the database on both backends.
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    Sql(A(u"INSERT INTO sp (spid, name, lb, dw, jj, sj) VALUES ('G1', '可乐', '饮料', '瓶', {6}, {10}), ('G2', '赠品', '杂货', '个', {2}, 0), ('G3', '雪碧', '饮料', '瓶', {1}, {3})"_s))
        .exec();
    for (int i = 0; i < 3; ++i)
        line(sale(u"100000000001"_s, at(kDay, 9 + i), 10, 0), u"G1"_s, u"可乐"_s, 10, 1, 10);
    const int c = sale(u"100000000001"_s, at(kDay, 13), 3, 0);
    line(c, u"G2"_s, u"赠品"_s, 0, 4, 0);
    line(c, u"G9"_s, u"已下架"_s, 5, 1, 5);
    line(c, u"G3"_s, u"雪碧"_s, 3, 1, 3);
    const Days day{kDay, kDay};
    const Rows rows = texts(goodsStatistics(day, QString(), QString()));
    QCOMPARE(column(rows, 0), (QStringList{u"G1"_s, u"G2"_s, u"G9"_s, u"G3"_s}));
    QCOMPARE(rows[0], (QStringList{u"G1"_s, u"饮料"_s, u"可乐"_s, u"瓶"_s, u"6"_s, u"3"_s, u"30"_s,
                                   u"12"_s, u"40%"_s}));
    QCOMPARE(rows[1][8], QString()); // nothing taken: no rate
    QCOMPARE(rows[1][7], u"-8"_s);
    QCOMPARE(rows[2], (QStringList{u"G9"_s, QString(), u"已下架"_s, QString(), QString(), u"1"_s,
                                   u"5"_s, u"5"_s, u"100%"_s}));
    QCOMPARE(column(texts(goodsStatistics(day, QString(), u"饮料"_s)), 0),
             (QStringList{u"G1"_s, u"G3"_s}));
    // A code wins over the category.
    QCOMPARE(column(texts(goodsStatistics(day, u" G2 "_s, u"饮料"_s)), 0), QStringList{u"G2"_s});
}

void TstReportWindows::turnover_data()
{
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<bool>("daily");
    QTest::addColumn<QStringList>("keys");
    // The day of each row is taken by the database: both kinds.
    for (const auto &[name, backend] :
         {std::pair{"sqlite", Backend::Sqlite}, std::pair{"postgres", Backend::Postgres}}) {
        QTest::addRow("days across a month end, %s", name)
            << int(backend) << true
            << QStringList{u"2012-01-30"_s, u"2012-01-31"_s, u"2012-02-01"_s, u"2012-02-02"_s};
        QTest::addRow("months across a year end, %s", name)
            << int(backend) << false
            << QStringList{u"2011-11"_s, u"2011-12"_s, u"2012-01"_s, u"2012-02"_s};
    }
}

void TstReportWindows::turnover()
{
    LT_USE_BACKEND();
    QFETCH(bool, daily);
    QFETCH(QStringList, keys);
    Harness h(backend);
    QVERIFY(h.openDatabase());
    sale(u"100000000001"_s, at(kDay, 9), 10, 5);
    sale(u"100000000001"_s, at(kDay, 23, 59, 59), 0.005, 0); // cut away
    giveBack(at(kDay, 10), 3, false);
    sale(u"100000000001"_s, at(QDate(2012, 2, 1), 0, 0, 0), 1, 1);
    const Rows rows = daily ? texts(dailyTurnover(QDate(2012, 1, 30), QDate(2012, 2, 2)))
                            : texts(monthlyTurnover(2011, 11, 2012, 2));
    QCOMPARE(column(rows, 0), keys);
    const QStringList busy = rows[daily ? 1 : 2];
    QCOMPARE(busy.mid(1), (QStringList{u"15元"_s, u"5元"_s, u"10元"_s, u"3元"_s}));
    QCOMPARE(rows[0].mid(1), (QStringList{u"0元"_s, u"0元"_s, u"0元"_s, u"0元"_s}));
    QCOMPARE(rows[daily ? 2 : 3][1], u"2元"_s);
    QVERIFY(texts(dailyTurnover(QDate(2012, 2, 2), QDate(2012, 2, 1))).isEmpty());
    QVERIFY(texts(monthlyTurnover(2012, 5, 2012, 4)).isEmpty());
    QVERIFY(texts(monthlyTurnover(2013, 1, 2012, 12)).isEmpty());
}

void TstReportWindows::records()
{
    Harness h;
    QVERIFY(h.openDatabase());
    const QVariant when = Database::dt(at(kDay));
    // Recorded under the level name of the time.
    Sql(A(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, yhsm, czy, createtime, ps) VALUES ('100000000001', '张三', '旧金卡', {100}, {110}, NULL, 'admin', ?, NULL)"_s))
        .bind(when)
        .exec();
    QCOMPARE(texts(rechargeRecords({kDay, kDay}, u"旧金卡"_s, QString(), QString())),
             (Rows{{FmtTime(at(kDay)), u"100000000001"_s, u"张三"_s, u"旧金卡"_s, u"100元"_s,
                    u"110元"_s, QString(), u"admin"_s, QString()}}));
    QVERIFY(texts(rechargeRecords({kDay, kDay}, u"金卡"_s, QString(), QString())).isEmpty());
    QVERIFY(
        texts(rechargeRecords({kDay.addDays(1), kDay.addDays(1)}, QString(), QString(), QString()))
            .isEmpty());

    Sql(A(u"INSERT INTO dhjl (mberid, mbername, mberlb, jf, czy, createtime, ps) VALUES ('100000000001', '张三', '金卡', {50}, '小王', ?, '毛巾'), ('100000000002', '李四', '金卡', {20}, 'admin', ?, '')"_s))
        .bind(when)
        .bind(when)
        .exec();
    // With a card number the operator is not looked at.
    QCOMPARE(
        column(texts(exchangeRecords({kDay, kDay}, u"100000000001"_s, QString(), u"admin"_s)), 3),
        QStringList{u"50"_s});
    QCOMPARE(column(texts(exchangeRecords({kDay, kDay}, QString(), QString(), u"admin"_s)), 0),
             QStringList{u"100000000002"_s});

    Sql(A(u"INSERT INTO zzjl (zcid, zcname, zclv, zrid, zrname, zrlv, je, czy, createtime, ps) VALUES ('A', '甲', '金卡', 'B', '乙', '银卡', {10}, 'admin', ?, ''), ('B', '乙', '银卡', 'A', '甲', '金卡', {4}, 'admin', ?, '')"_s))
        .bind(when)
        .bind(when)
        .exec();
    const Rows ab =
        texts(transferRecords({kDay, kDay}, QString(), QString(), QString(), u"A"_s, u"B"_s));
    QCOMPARE(ab.size(), 1);
    QCOMPARE(ab[0][6], u"10元"_s);
    QCOMPARE(
        texts(transferRecords({kDay, kDay}, QString(), u"银卡"_s, QString(), QString(), QString()))
            .size(),
        1);

    giveBack(at(kDay), 5, true);
    giveBack(at(kDay), 2, false, u"银卡"_s);
    QCOMPARE(column(texts(returnRecords({kDay, kDay}, QString(), QString(), QString())), 5),
             (QStringList{u"退款至储值卡"_s, u"现金退款"_s}));
    QCOMPARE(column(texts(returnRecords({kDay, kDay}, QString(), u"银卡"_s, QString())), 3),
             QStringList{u"2元"_s});
}

void TstReportWindows::balances()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(A(u"INSERT INTO mber (id, name, ye) VALUES ('100000000001', '张三', {12.5})"_s)).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"余额一览"_s);
        QCOMPARE(state().cardTarget, int(devices::TargetBalanceReport));
        auto *lv = w<QTreeView>(d, u"lvTb"_s);
        auto *id = w<QLineEdit>(d, u"txtID"_s);
        w<QPushButton>(d, u"cmdSearch"_s)->click();
        QCOMPARE(h.lastText(), u"请输入会员卡号！"_s);
        id->setText(u"999"_s);
        QTest::keyClick(id, Qt::Key_Return);
        QCOMPARE(h.lastText(), u"您输入的卡号不存在！"_s);
        QCOMPARE(lv->model()->rowCount(), 0);
        devices::deliverCard(u"100000000001"_s); // a swipe looks the card up
        QCOMPARE(lv->model()->rowCount(), 1);
        QCOMPARE(lv->model()->index(0, 2).data().toString(), u"12.5元"_s);
        w<QPushButton>(d, u"cmdAll"_s)->click();
        QCOMPARE(lv->model()->rowCount(), 2);
        QCOMPARE(lv->model()->index(0, 0).data().toString(), u"000000000000"_s);
        w<QPushButton>(d, u"cmdClose"_s)->click();
    });
    const int before = state().cardTarget;
    main->findChild<QToolButton *>(u"ImgReport_4"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(state().cardTarget, before);
}

void TstReportWindows::log()
{
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(u"INSERT INTO syslog (czy, czlx, cznr, createtime) VALUES ('admin', '添加商品', '甲', ?), ('已删除', '删除商品', '乙', ?), ('admin', '添加商品', '丙', ?)"_s)
        .bind(Database::dt(at(kDay, 0, 0, 0)))
        .bind(Database::dt(at(kDay, 23, 59, 59)))
        .bind(Database::dt(at(kDay.addDays(1), 0, 0, 0)))
        .exec();
    QCOMPARE(column(texts(logEntries({kDay, kDay}, QString())), 2),
             (QStringList{u"甲"_s, u"乙"_s}));
    QCOMPARE(column(texts(logEntries({kDay, kDay}, u"已删除"_s)), 0), QStringList{u"已删除"_s});
    QVERIFY(texts(logEntries({kDay, kDay}, u"小王"_s)).isEmpty());
}

void TstReportWindows::windows_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("target");
    QTest::newRow("0") << 0 << u"会员消费统计"_s << int(devices::TargetConsumption1);
    QTest::newRow("1") << 1 << u"商品消费统计"_s << 0;
    QTest::newRow("2") << 2 << u"营业情况统计"_s << 0;
    QTest::newRow("3") << 3 << u"会员充值记录查询"_s << int(devices::TargetRechargeReport);
    QTest::newRow("5") << 5 << u"系统日志查询"_s << 0;
    QTest::newRow("6") << 6 << u"积分兑换统计"_s << int(devices::TargetExchangeReport);
    QTest::newRow("7") << 7 << u"转账记录查询"_s << 0;
    QTest::newRow("8") << 8 << u"退货记录查询"_s << int(devices::TargetReturnReport);
}

void TstReportWindows::windows()
{
    QFETCH(int, icon);
    QFETCH(QString, title);
    QFETCH(int, target);
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('小王', '', '111111111111')"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), title);
        QCOMPARE(state().cardTarget, target);
        // Operator filters start with "不限", then every operator.
        if (auto *ops = d->findChild<QComboBox *>(u"comCzy"_s)) {
            QCOMPARE(ops->currentText(), u"不限"_s);
            QCOMPARE(ops->count(), 3);
        }
        for (auto *picker : d->findChildren<QDateEdit *>())
            QCOMPARE(picker->date(), QDate::currentDate());
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_%1"_s.arg(icon))->click();
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstReportWindows::consumptionWindowCards()
{
    Harness h;
    QVERIFY(h.startProgram());
    const int a = sale(u"100000000001"_s, QDateTime::currentDateTime(), 3, 0);
    line(a, u"G1"_s, u"可乐"_s, 3, 1, 3);
    sale(u"200000000002"_s, QDateTime::currentDateTime(), 4, 0);
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    h.onModal([&](QDialog *d) {
        w<QPushButton>(d, u"cmdTab_1"_s)->click();
        QCOMPARE(state().cardTarget, int(devices::TargetConsumption2));
        devices::deliverCard(u"100000000001"_s);
        // The line-item tab took the swipe and ran its own query.
        QCOMPARE(w<QLineEdit>(d, u"txtID2"_s)->text(), u"100000000001"_s);
        QCOMPARE(w<QTreeView>(d, u"lvXfmx"_s)->model()->rowCount(), 1);
        QVERIFY(w<QLineEdit>(d, u"txtID"_s)->text().isEmpty());
        QCOMPARE(w<QTreeView>(d, u"lvXfjl"_s)->model()->rowCount(), 0);
        w<QPushButton>(d, u"cmdTab_0"_s)->click();
        devices::deliverCard(u"100000000001"_s);
        QCOMPARE(w<QTreeView>(d, u"lvXfjl"_s)->model()->rowCount(), 1);
        QCOMPARE(w<QTreeView>(d, u"lvXfxx"_s)->model()->rowCount(), 1); // lines of the first row
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_0"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstReportWindows::transferWindowCards()
{
    Harness h;
    QVERIFY(h.startProgram());
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    // A transfer of today, which any query of the window would list.
    Sql(A(u"INSERT INTO zzjl (zcid, zrid, je, czy, createtime) VALUES"
          u" ('100000000001', '100000000002', {5}, 'admin', ?)"_s))
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
    h.onModal([&](QDialog *d) {
        auto *from = w<QLineEdit>(d, u"txtZcID"_s);
        auto *to = w<QLineEdit>(d, u"txtZrID"_s);
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        w<QPushButton>(d, u"cmdSearch"_s)->setFocus();
        devices::deliverCard(u"100000000001"_s); // no card field has the focus
        QVERIFY(from->text().isEmpty() && to->text().isEmpty());
        to->setFocus();
        QCOMPARE(state().cardTarget, int(devices::TargetTransferTo));
        devices::deliverCard(u"100000000002"_s);
        QCOMPARE(to->text(), u"100000000002"_s);
        from->setFocus();
        devices::deliverCard(u"100000000001"_s);
        QCOMPARE(from->text(), u"100000000001"_s);
        QCOMPARE(w<QTreeView>(d, u"lvTb"_s)->model()->rowCount(), 0); // no query ran
        w<QPushButton>(d, u"cmdSearch"_s)->click();
        QCOMPARE(w<QTreeView>(d, u"lvTb"_s)->model()->rowCount(), 1); // as a query would
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_7"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
}

namespace
{

// A list's column as amounts, row by row, as the model holds them.
QList<Amount> amounts(QTreeView *list, int column)
{
    QList<Amount> out;
    auto *model = qobject_cast<ReportModel *>(list->model());
    while (model->canFetchMore({}))
        model->fetchMore({});
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->value(r, column).value<Amount>();
    return out;
}

QStringList texts(QTreeView *list, int column)
{
    QStringList out;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        out << list->model()->index(r, column).data().toString();
    return out;
}

} // namespace

// Each chart draws its list's figures: the turnover's card, cash and returns
// per day and per month, the goods' top amounts and profits, the recharges
// per day and per month; a chart is saved as a PNG picture.
void TstReportWindows::chartsFollowTheLists()
{
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(A(u"INSERT INTO sp (spid, name, lb, dw, jj, sj) VALUES ('G1', '可乐', '饮料', '瓶', {6}, "
          u"{10}),"
          u" ('G2', '雪碧', '饮料', '瓶', {1}, {3}), ('G3', '薯片', '零食', '袋', {4.5}, {5})"_s))
        .exec();
    for (int d = 0; d < 3; ++d) {
        line(sale(u"100000000001"_s, at(kDay.addDays(d), 9), 10 + d, 5), u"G1"_s, u"可乐"_s, 10,
             1.5, 15 + d);
        line(sale(u"100000000001"_s, at(kDay.addDays(d), 15), 3, 0), u"G2"_s, u"雪碧"_s, 3, 1, 3);
        giveBack(at(kDay.addDays(d), 16), d, d % 2 == 0);
    }
    line(sale(u"100000000001"_s, at(kDay, 17), 50, 0), u"G3"_s, u"薯片"_s, 5, 10, 50);
    for (const auto &[card, when, paid, credited] :
         {std::tuple{u"100000000001"_s, at(kDay, 8), 100, 120},
          std::tuple{u"100000000001"_s, at(kDay, 18), 50, 50},
          std::tuple{u"100000000009"_s, at(kDay, 19), 1000, 1000}, // filtered out below
          std::tuple{u"100000000001"_s, at(kDay.addDays(2), 8), 300, 360}})
        Sql(A(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, czy, createtime)"
              u" VALUES (?, '张三', '金卡', ?, ?, 'admin', ?)"_s))
            .bind(card)
            .bind(Amount(paid))
            .bind(Amount(credited))
            .bind(Database::dt(when))
            .exec();
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    QTemporaryDir dir;
    const QString png = dir.filePath(u"营业额.png"_s);

    h.onModal([&](QDialog *d) {
        w<QDateEdit>(d, u"dtStart"_s)->setDate(kDay.addDays(-1));
        w<QDateEdit>(d, u"dtEnd"_s)->setDate(kDay.addDays(3));
        w<QPushButton>(d, u"cmdSearch1"_s)->click();
        auto *daily = w<QTreeView>(d, u"lvTb1"_s);
        const ReportChart *chart = ReportChart::of(daily);
        QVERIFY(chart);
        const ChartData &c = chart->data();
        QCOMPARE(c.categories, texts(daily, 0));
        QCOMPARE(c.categories.size(), 5);
        QCOMPARE(c.bars.size(), 2);
        QCOMPARE(c.bars[0].values, amounts(daily, 2)); // card
        QCOMPARE(c.bars[1].values, amounts(daily, 3)); // cash
        QVERIFY(c.line);
        QCOMPARE(c.line->values, amounts(daily, 4)); // returns
        QVERIFY(!c.bars[1].values[1].isZero());
        // Months: the same figures, summed.
        w<QPushButton>(d, u"dcButton2"_s)->click();
        w<QComboBox>(d, u"comY1"_s)->setCurrentText(u"2012"_s);
        w<QComboBox>(d, u"comY2"_s)->setCurrentText(u"2012"_s);
        w<QComboBox>(d, u"comM2"_s)->setCurrentText(u"2"_s);
        w<QPushButton>(d, u"cmdSearch2"_s)->click();
        auto *monthly = w<QTreeView>(d, u"lvTb2"_s);
        const ChartData &m = ReportChart::of(monthly)->data();
        QCOMPARE(m.categories, (QStringList{u"2012-01"_s, u"2012-02"_s}));
        QCOMPARE(m.bars[1].values, amounts(monthly, 3));
        // Saved as a picture.
        h.onModal([&](QDialog *chooser) {
            qobject_cast<QFileDialog *>(chooser)->selectFile(png);
            chooser->accept();
        });
        d->findChild<QWidget *>(u"lvTb1Split"_s)
            ->findChild<QPushButton *>(u"cmdChartPng"_s)
            ->click();
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_2"_s)->click();
    const QImage picture(png);
    QVERIFY(!picture.isNull());
    QVERIFY(picture.width() >= 600 && picture.height() >= 400);
    // Bars drawn in colour, not a blank or grey picture.
    int coloured = 0;
    for (int y = 0; y < picture.height(); y += 2)
        for (int x = 0; x < picture.width(); x += 2)
            coloured += QColor(picture.pixel(x, y)).hsvSaturation() > 100;
    QVERIFY2(coloured > 2000, qPrintable(QString::number(coloured)));

    h.onModal([&](QDialog *d) {
        w<QDateEdit>(d, u"dtStart"_s)->setDate(kDay);
        w<QDateEdit>(d, u"dtEnd"_s)->setDate(kDay.addDays(2));
        w<QPushButton>(d, u"cmdSearch"_s)->click();
        auto *list = w<QTreeView>(d, u"lvTb"_s);
        ReportChart *chart = ReportChart::of(list);
        // By amount: 薯片 50, 可乐 48, 雪碧 9; by profit: 可乐 48 - 4.5 × 6 = 21,
        // 薯片 50 - 45 = 5, 雪碧 9 - 3 = 6.
        QCOMPARE(chart->data().categories, (QStringList{u"薯片"_s, u"可乐"_s, u"雪碧"_s}));
        QCOMPARE(chart->data().bars[0].values, (QList<Amount>{Amount(50), Amount(48), Amount(9)}));
        QStringList names = texts(list, 2);
        QCOMPARE(QSet<QString>(names.begin(), names.end()),
                 QSet<QString>({u"薯片"_s, u"可乐"_s, u"雪碧"_s}));
        chart->findChild<QComboBox *>(u"comChartBy"_s)->setCurrentIndex(1);
        QCOMPARE(chart->data().categories, (QStringList{u"可乐"_s, u"雪碧"_s, u"薯片"_s}));
        QCOMPARE(chart->data().bars[0].values, (QList<Amount>{Amount(21), Amount(6), Amount(5)}));
        QCOMPARE(amounts(list, 7).size(), 3);
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_1"_s)->click();

    h.onModal([&](QDialog *d) {
        w<QDateEdit>(d, u"dtStart"_s)->setDate(kDay);
        w<QDateEdit>(d, u"dtEnd"_s)->setDate(kDay.addDays(2));
        w<QLineEdit>(d, u"txtID"_s)->setText(u"100000000001"_s); // the list's filter holds
        w<QPushButton>(d, u"cmdSearch"_s)->click();
        auto *list = w<QTreeView>(d, u"lvTb"_s);
        QCOMPARE(list->model()->rowCount(), 3);
        ReportChart *chart = ReportChart::of(list);
        // Per day: what the list's rows of that day add up to.
        const QList<Amount> paid = amounts(list, 4), credited = amounts(list, 5);
        const QStringList when = texts(list, 0);
        QList<Amount> dayPaid(3, Amount(0)), dayBonus(3, Amount(0));
        for (int r = 0; r < when.size(); ++r) {
            const int day = int(kDay.daysTo(QDate::fromString(when[r].left(10), u"yyyy-MM-dd"_s)));
            dayPaid[day] += paid[r];
            dayBonus[day] += credited[r] - paid[r];
        }
        QCOMPARE(chart->data().categories,
                 (QStringList{u"2012-01-31"_s, u"2012-02-01"_s, u"2012-02-02"_s}));
        QCOMPARE(chart->data().bars[0].values, dayPaid);
        QCOMPARE(chart->data().bars[1].values, dayBonus);
        QCOMPARE(dayPaid, (QList<Amount>{Amount(150), Amount(0), Amount(300)}));
        // Per month.
        chart->findChild<QComboBox *>(u"comChartBy"_s)->setCurrentIndex(1);
        QCOMPARE(chart->data().categories, (QStringList{u"2012-01"_s, u"2012-02"_s}));
        QCOMPARE(chart->data().bars[0].values, (QList<Amount>{Amount(150), Amount(300)}));
        QCOMPARE(chart->data().bars[1].values, (QList<Amount>{Amount(20), Amount(60)}));
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_3"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
}

QTEST_MAIN(TstReportWindows)
#include "tst_reportwindows.moc"

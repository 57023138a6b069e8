// The member panel and the member list, driven through the main window.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "memberlist.h"
#include "memberlistpanel.h"
#include "sysinfo.h"
#include "ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

struct M {
    QString id, name, tel = QString(), lv = QString();
    int st = 0;
};

void addMember(const M &m)
{
    Sql(A(u"INSERT INTO mber (id, name, tel, lv, st, ye, jf, ljczje, createtime) "
          u"VALUES (?, ?, ?, ?, ?, {12.5}, {30}, {200}, ?)"_s))
        .bind(m.id)
        .bind(m.name)
        .bind(m.tel)
        .bind(m.lv)
        .bind(m.st)
        .bind(Database::dt(QDateTime(QDate(2026, 1, 2), QTime(9, 30, 0))))
        .exec();
}

int addSale(const QString &id, double card, double cash, const QDateTime &when, int lines = 0)
{
    Sql q(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps) "
          u"VALUES (?, ?, ?, ?, 3, ?, 'admin', '') RETURNING id"_s);
    q.bind(id).bind(lines > 0).bind(lit(card)).bind(lit(cash)).bind(Database::dt(when)).exec();
    q.next();
    const int conId = q.integer(0);
    for (int i = 0; i < lines; ++i)
        Sql(A(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je) "
              u"VALUES (?, ?, '可乐', {3}, {90}, {2.7}, {2}, 0, {5.4})"_s))
            .bind(conId)
            .bind(u"SP%1"_s.arg(i))
            .exec();
    return conId;
}

QStringList column(QTreeWidget *list, int col)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(col);
    return out;
}

template <typename T> T *w(FrmMain *main, const QString &name)
{
    T *found = main->findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

QString label(FrmMain *main, const QString &name)
{
    return w<QLabel>(main, name)->text();
}

} // namespace

class TstMemberPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookup_data();
    void lookup();
    void chooseAmongSeveral();
    void memberShown();
    void totalsFollowSales();
    void longHistoriesComeInBatches();
    void expiryBoundary_data();
    void expiryBoundary();
    void noCardAndClear();
    void cardBoxKeepsTheFocus_data();
    void cardBoxKeepsTheFocus();
    void saleLinesFollowSelection();
    void tabs();
    void photoViewer();
    void listPaging_data();
    void listPaging();
    void listFilters_data() { Harness::addBackendRows(); }
    void listFilters();
    void disabledListKeepsPage();
    void pagesKeepTheirStart();
    void advancedSearch();
};

void TstMemberPanel::lookup_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("one by card") << u"100000000001"_s << QStringList{u"100000000001"_s};
    QTest::newRow("part of name") << u"小明"_s << QStringList{u"100000000002"_s};
    QTest::newRow("13 in card or name")
        << u"13"_s << QStringList{u"100000000013"_s, u"200000000000"_s};
    QTest::newRow("whole telephone") << u"13800001111"_s << QStringList{u"100000000001"_s};
    QTest::newRow("part of telephone") << u"1380000"_s << QStringList{};
    QTest::newRow("quote") << u"O'Neil"_s << QStringList{u"100000000003"_s};
    QTest::newRow("wildcard is literal") << u"%"_s << QStringList{};
    QTest::newRow("nothing") << u"不存在"_s << QStringList{};
}

void TstMemberPanel::lookup()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, found);
    Harness h;
    QVERIFY(h.openDatabase());
    addMember({u"100000000001"_s, u"张三"_s, u"13800001111"_s});
    addMember({u"100000000002"_s, u"王小明"_s});
    addMember({u"100000000003"_s, u"O'Neil"_s});
    addMember({u"100000000013"_s, u"李四"_s});
    addMember({u"200000000000"_s, u"十三13"_s, QString(), QString(), 2}); // disabled: still found
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    auto *txt = w<QLineEdit>(main, u"txtMber"_s);
    txt->setText(typed);
    QTest::keyClick(txt, Qt::Key_Return);
    auto *sel = w<QTreeWidget>(main, u"lvSel"_s);
    QStringList ids = column(sel, 0);
    ids.sort();
    QCOMPARE(ids, found);
    if (found.size() == 1) {
        QCOMPARE(main->NowMberID, found.first());
        QCOMPARE(label(main, u"lblID"_s), found.first());
        QVERIFY(txt->text().isEmpty());
        QVERIFY(h.messages().isEmpty());
    } else if (found.size() > 1) {
        QVERIFY(w<QWidget>(main, u"picSel"_s)->isVisible());
        QVERIFY(main->NowMberID.isEmpty());
    } else {
        QCOMPARE(h.lastText(), u"您查找的会员不存在！"_s);
        QCOMPARE(txt->text(), typed);
        QVERIFY(main->NowMberID.isEmpty());
    }
    QVERIFY(w<QPushButton>(main, u"cmdFind"_s)->isEnabled());
}

void TstMemberPanel::chooseAmongSeveral()
{
    Harness h;
    QVERIFY(h.openDatabase());
    for (int i = 0; i < 20; ++i)
        addMember({u"1300000000%1"_s.arg(i, 2, 10, QChar(u'0')), u"会员%1"_s.arg(i)});
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    // The panel keeps its place while the choice is shown over it.
    auto *history = w<QWidget>(main, u"lvInfo"_s);
    const auto place = [&] { return history->mapTo(main, QPoint(0, 0)); };
    const QPoint before = place();
    w<QLineEdit>(main, u"txtMber"_s)->setText(u"13"_s);
    w<QPushButton>(main, u"cmdFind"_s)->click();
    auto *sel = w<QTreeWidget>(main, u"lvSel"_s);
    QCOMPARE(sel->topLevelItemCount(), 14); // at most 14 shown
    QVERIFY(sel->isVisible());
    QCoreApplication::processEvents();
    QCOMPARE(place(), before);
    QVERIFY(w<QWidget>(main, u"picSel"_s)->geometry().top() >
            w<QWidget>(main, u"txtMber"_s)
                ->mapTo(w<QWidget>(main, u"picSel"_s)->parentWidget(), QPoint(0, 0))
                .y());
    sel->setCurrentItem(sel->topLevelItem(2));
    QTest::keyClick(sel, Qt::Key_Return);
    QVERIFY(!w<QWidget>(main, u"picSel"_s)->isVisible());
    QCOMPARE(main->NowMberID, sel->topLevelItem(2)->text(0));
    QCOMPARE(label(main, u"lblName"_s), sel->topLevelItem(2)->text(1));

    // "取消" only hides the choice.
    w<QPushButton>(main, u"cmdFind"_s)->click();
    w<QLineEdit>(main, u"txtMber"_s)->setText(u"13"_s);
    w<QPushButton>(main, u"cmdFind"_s)->click();
    w<QPushButton>(main, u"cmdSelCC"_s)->click();
    QVERIFY(!w<QWidget>(main, u"picSel"_s)->isVisible());
    QCOMPARE(main->NowMberID, sel->topLevelItem(2)->text(0));
}

void TstMemberPanel::memberShown()
{
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(A(u"INSERT INTO mber (id, name, sex, lv, tel, ye, jf, ljczje, booljzrq, jzrq, ps, "
          u"createtime) "
          u"VALUES ('100000000009', '赵敏', 2, '金卡', '139', {88.8}, {120}, {500.5}, ?, ?, NULL, ?)"_s))
        .bind(false)
        .bind(Database::dt(QDateTime(QDate(2020, 1, 1), QTime(0, 0))))
        .bind(Database::dt(QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9))))
        .exec();
    Sql(A(u"INSERT INTO czjl (mberid, ssje, czje, yhsm, czy, createtime) VALUES ('100000000009', {100}, {110}, NULL, 'admin', ?)"_s))
        .bind(Database::dt(QDateTime(QDate(2026, 6, 1), QTime(10, 0))))
        .exec();
    Sql(u"INSERT INTO sjtx (mberid, txsj, lx, ps, czy) VALUES ('100000000009', ?, '欠款未付', '还欠10元', 'admin')"_s)
        .bind(Database::dt(QDateTime(QDate(2026, 7, 1), QTime(15, 0))))
        .exec();
    Sql(A(u"INSERT INTO dhjl (mberid, jf, ps, czy, createtime) VALUES ('100000000009', {30}, '毛巾', 'admin', ?)"_s))
        .bind(Database::dt(QDateTime(QDate(2026, 6, 2), QTime(10, 0))))
        .exec();
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000009"_s);
    QCOMPARE(label(main, u"lblName"_s), u"赵敏"_s);
    QCOMPARE(label(main, u"lblSex"_s), u"女"_s);
    QCOMPARE(label(main, u"lblLv"_s), u"金卡"_s);
    QCOMPARE(label(main, u"lblKnye"_s), u"88.8元"_s);
    QCOMPARE(label(main, u"lblJf"_s), u"120"_s);
    QCOMPARE(label(main, u"lblCzje"_s), u"500.5元"_s);
    QCOMPARE(label(main, u"lblJrsj"_s), u"2026-05-06 07:08:09"_s);
    QCOMPARE(label(main, u"lblDqsj"_s), u"无限制"_s); // whatever jzrq holds
    QCOMPARE(label(main, u"lblPs"_s), QString());
    QCOMPARE(label(main, u"lblXfje"_s), u"0元"_s);
    QCOMPARE(label(main, u"lblXfcs"_s), u"0次"_s);
    QCOMPARE(label(main, u"lblLastJe"_s), u"0元"_s);
    QCOMPARE(label(main, u"lblLastTime"_s), u"无"_s);
    QCOMPARE(main->NowMberSt, 0);
    QVERIFY(w<QPushButton>(main, u"cmdShowPho"_s)->isHidden());

    auto *cz = w<QTreeWidget>(main, u"lvCz"_s);
    QCOMPARE(cz->topLevelItemCount(), 1);
    QCOMPARE(cz->topLevelItem(0)->text(2), u"100元"_s);
    QCOMPARE(cz->topLevelItem(0)->text(3), u"110元"_s);
    QCOMPARE(cz->topLevelItem(0)->text(4), QString());
    auto *tx = w<QTreeWidget>(main, u"lvTx"_s);
    QCOMPARE(tx->topLevelItem(0)->text(1), u"2026-07-01"_s);
    QCOMPARE(tx->topLevelItem(0)->text(3), u"还欠10元"_s);
    auto *dh = w<QTreeWidget>(main, u"lvDh"_s);
    QCOMPARE(dh->topLevelItem(0)->text(2), u"30"_s);
    QCOMPARE(dh->topLevelItem(0)->text(3), u"毛巾"_s);
    QVERIFY(!ui::waitNotice()->isVisible());

    // A card that does not exist leaves the member shown as it was.
    main->ShowMber(u"999999999999"_s);
    QCOMPARE(main->NowMberID, u"100000000009"_s);
    QCOMPARE(label(main, u"lblName"_s), u"赵敏"_s);
}

void TstMemberPanel::totalsFollowSales()
{
    Harness h;
    QVERIFY(h.openDatabase());
    addMember({u"100000000001"_s, u"张三"_s});
    Sql(A(u"UPDATE mber SET ljxfje = {999}, ljxfcs = 99 WHERE id = '100000000001'"_s)).exec();
    const QDateTime t(QDate(2026, 3, 1), QTime(8, 0));
    addSale(u"100000000001"_s, 5.0, 0.0, t);
    addSale(u"100000000001"_s, 0.0, 5.129, t.addDays(1));
    const int newest = addSale(u"100000000001"_s, 0.0, 0.0, t.addDays(2));
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000001"_s);
    // The stored totals first, then the sum over the history once the
    // first screen is up.
    QCOMPARE(label(main, u"lblXfcs"_s), u"99次"_s);
    QTRY_COMPARE(label(main, u"lblXfje"_s), u"10.12元"_s); // truncated for the eye
    QCOMPARE(label(main, u"lblXfcs"_s), u"3次"_s);
    QCOMPARE(amountAt(u"SELECT ljxfje FROM mber WHERE id = '100000000001'"_s), 10.129);
    QCOMPARE(scalar(u"SELECT ljxfcs FROM mber WHERE id = '100000000001'"_s).toInt(), 3);
    auto *info = w<QTreeWidget>(main, u"lvInfo"_s);
    QCOMPARE(info->topLevelItem(0)->text(0), QString::number(newest)); // newest first
    QCOMPARE(column(info, 2), QStringList({u"0元"_s, u"5.129元"_s, u"5元"_s}));
    QCOMPARE(label(main, u"lblLastTime"_s), u"2026-03-03 08:00:00"_s);

    // A sale deleted elsewhere: the next display corrects the totals.
    Sql(u"DELETE FROM con WHERE id = ?"_s).bind(newest).exec();
    Sql(u"DELETE FROM con WHERE xjfk > 5"_s).exec();
    main->ShowMber(u"100000000001"_s);
    QTRY_COMPARE(label(main, u"lblXfcs"_s), u"1次"_s);
    QCOMPARE(amountAt(u"SELECT ljxfje FROM mber WHERE id = '100000000001'"_s), 5.0);
}

void TstMemberPanel::longHistoriesComeInBatches()
{
    // A regular (or the no-card customer) with a long history: the panel
    // shows the newest batch at once, the totals of all of it, and the rest
    // as the list is scrolled down, in the same order.
    Harness h;
    QVERIFY(h.openDatabase());
    addMember({u"100000000001"_s, u"张三"_s});
    const QDateTime t(QDate(2026, 1, 1), QTime(8, 0));
    {
        Transaction tx;
        for (int i = 0; i < 250; ++i)
            addSale(u"100000000001"_s, 1.0, 0.01, t.addSecs(i * 3600));
        Sql r(A(
            u"INSERT INTO czjl (mberid, ssje, czje, createtime) VALUES ('100000000001', {1}, {1}, ?)"_s));
        for (int i = 0; i < 130; ++i)
            r.bind(Database::dt(t.addSecs(i * 60))).exec();
        tx.commit();
    }
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000001"_s);
    QTRY_COMPARE(label(main, u"lblXfcs"_s), u"250次"_s);
    QCOMPARE(label(main, u"lblXfje"_s), u"252.5元"_s);
    auto *info = w<QTreeWidget>(main, u"lvInfo"_s);
    auto *cz = w<QTreeWidget>(main, u"lvCz"_s);
    QCOMPARE(info->topLevelItemCount(), 100);
    QCOMPARE(cz->topLevelItemCount(), 100);
    auto scrollDown = [](QTreeWidget *list) {
        QCoreApplication::processEvents(); // the list lays out the rows it was given
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    };
    for (int expected : {200, 250, 250}) {
        scrollDown(info);
        QCOMPARE(info->topLevelItemCount(), expected);
    }
    // The recharge history, once its tab is shown.
    for (int tab = 0; tab < 4 && !cz->isVisible(); ++tab)
        w<QPushButton>(main, u"ButXf_%1"_s.arg(tab))->click();
    QVERIFY(cz->isVisible());
    scrollDown(cz);
    QCOMPARE(cz->topLevelItemCount(), 130);
    // Newest first all the way, no row twice.
    QStringList times = column(info, 1);
    QCOMPARE(times.first(), FmtTime(t.addSecs(249 * 3600)));
    QCOMPARE(times.last(), FmtTime(t));
    QStringList sorted = times;
    std::sort(sorted.begin(), sorted.end(), std::greater<QString>());
    QCOMPARE(times, sorted);
    QCOMPARE(QSet<QString>(times.begin(), times.end()).size(), 250);
}

void TstMemberPanel::expiryBoundary_data()
{
    QTest::addColumn<int>("secondsFromNow");
    QTest::addColumn<bool>("hasExpiry");
    QTest::addColumn<int>("state");
    QTest::newRow("a minute ahead") << 60 << true << 0;
    QTest::newRow("a minute past") << -60 << true << 3;
    QTest::newRow("past but no expiry") << -86400 << false << 0;
    QTest::newRow("earlier today") << -5 << true << 3;
}

void TstMemberPanel::expiryBoundary()
{
    QFETCH(int, secondsFromNow);
    QFETCH(bool, hasExpiry);
    QFETCH(int, state);
    Harness h;
    QVERIFY(h.openDatabase());
    const QDateTime expiry = QDateTime::currentDateTime().addSecs(secondsFromNow);
    addMember({u"100000000001"_s, u"张三"_s});
    Sql(u"UPDATE mber SET booljzrq = ?, jzrq = ?"_s)
        .bind(hasExpiry)
        .bind(Database::dt(expiry))
        .exec();
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000001"_s);
    QCOMPARE(main->NowMberSt, state);
    QCOMPARE(label(main, u"lblDqsj"_s), hasExpiry ? expiry.toString(u"yyyy-MM-dd"_s) : u"无限制"_s);
    // The state is never stored.
    QCOMPARE(scalar(u"SELECT st FROM mber WHERE id = '100000000001'"_s).toInt(), 0);
}

void TstMemberPanel::noCardAndClear()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    w<QPushButton>(main, u"cmdNotMber"_s)->click();
    QCOMPARE(main->NowMberID, u"000000000000"_s);
    QCOMPARE(label(main, u"lblID"_s), u"000000000000"_s);
    w<QPushButton>(main, u"cmdCls"_s)->click();
    QVERIFY(main->NowMberID.isEmpty());
    QCOMPARE(main->NowMberSt, 0);
    QVERIFY(label(main, u"lblID"_s).isEmpty());
    QVERIFY(label(main, u"lblXfcs"_s).isEmpty());
    QVERIFY(h.messages().isEmpty());
}

void TstMemberPanel::cardBoxKeepsTheFocus_data()
{
    QTest::addColumn<QString>("button"); // a screen opened from the main window
    QTest::newRow("add member") << u"dcButton6"_s;
    QTest::newRow("reminders") << u"dcButton5"_s;
    QTest::newRow("handover, cancelled") << u"dcButton7"_s;
}

void TstMemberPanel::cardBoxKeepsTheFocus()
{
    // Whatever had the focus, the card box has it again when a screen opened
    // from the main window closes, so that the next swipe finds a member.
    QFETCH(QString, button);
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    auto *card = w<QLineEdit>(main, u"txtMber"_s);
    QTRY_COMPARE(main->focusWidget(), card);
    w<QTreeWidget>(main, u"lvInfo"_s)->setFocus();
    QCOMPARE(main->focusWidget(), w<QTreeWidget>(main, u"lvInfo"_s));
    int opened = 0;
    h.onModal([&](QDialog *d) {
        ++opened;
        d->reject();
    });
    auto *open = main->findChild<QAbstractButton *>(button);
    QVERIFY(open);
    open->click();
    QCOMPARE(opened, 1);
    QCOMPARE(main->focusWidget(), card);
}

void TstMemberPanel::saleLinesFollowSelection()
{
    Harness h;
    QVERIFY(h.openDatabase());
    addMember({u"100000000001"_s, u"张三"_s});
    const QDateTime t(QDate(2026, 3, 1), QTime(8, 0));
    const int older = addSale(u"100000000001"_s, 10.8, 0, t, 2);
    addSale(u"100000000001"_s, 5.4, 0, t.addDays(1), 1);
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000001"_s);
    auto *lines = w<QTreeWidget>(main, u"lvXiangxi"_s);
    QCOMPARE(lines->topLevelItemCount(), 1); // the newest sale's lines
    QCOMPARE(lines->topLevelItem(0)->text(2), u"3元"_s);
    QCOMPARE(lines->topLevelItem(0)->text(3), u"90%"_s);
    QCOMPARE(lines->topLevelItem(0)->text(4), u"2.7元"_s);
    QCOMPARE(lines->topLevelItem(0)->text(7), u"5.4元"_s);

    auto *info = w<QTreeWidget>(main, u"lvInfo"_s);
    QTreeWidgetItem *row = info->topLevelItem(1);
    QCOMPARE(row->text(0), QString::number(older));
    QTest::mouseClick(info->viewport(), Qt::LeftButton, {}, info->visualItemRect(row).center());
    QCOMPARE(lines->topLevelItemCount(), 2);
    QVERIFY(!w<QLabel>(main, u"picShowXX"_s)->isVisible());
    // Back to the newest sale with the arrow key.
    QTest::keyClick(info, Qt::Key_Up);
    QCOMPARE(info->currentItem(), info->topLevelItem(0));
    QCOMPARE(lines->topLevelItemCount(), 1);
}

void TstMemberPanel::tabs()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    auto *stack = w<QStackedWidget>(main, u"stkMem"_s);
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(w<QPushButton>(main, u"ButXf_0"_s)->styleSheet().contains(u"#0000FF"_s));
    w<QPushButton>(main, u"ButXf_2"_s)->click();
    QCOMPARE(stack->currentIndex(), 2);
    QVERIFY(w<QWidget>(main, u"PicMem_2"_s)->isVisible());
    QVERIFY(!w<QWidget>(main, u"PicMem_0"_s)->isVisible());
    QVERIFY(w<QPushButton>(main, u"ButXf_2"_s)->styleSheet().contains(u"#0000FF"_s));
    QVERIFY(w<QPushButton>(main, u"ButXf_0"_s)->styleSheet().isEmpty());
}

void TstMemberPanel::photoViewer()
{
    Harness h;
    QVERIFY(h.openDatabase());
    const QString good = h.folder() + u"/photo.bmp"_s;
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::red);
    QVERIFY(img.save(good));
    const QString bad = h.folder() + u"/broken.bmp"_s;
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    addMember({u"100000000001"_s, u"有照片"_s});
    addMember({u"100000000002"_s, u"坏照片"_s});
    Sql(u"UPDATE mber SET photo = ? WHERE id = '100000000001'"_s).bind(good).exec();
    Sql(u"UPDATE mber SET photo = ? WHERE id = '100000000002'"_s).bind(bad).exec();
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);

    // A member with a photo shows its button where its room was kept: the
    // lists below stay where they were.
    auto *history = w<QWidget>(main, u"lvInfo"_s);
    const QPoint before = history->mapTo(main, QPoint(0, 0));
    main->ShowMber(u"100000000001"_s);
    auto *show = w<QPushButton>(main, u"cmdShowPho"_s);
    QVERIFY(!show->isHidden());
    QCoreApplication::processEvents();
    QCOMPARE(history->mapTo(main, QPoint(0, 0)), before);
    bool shown = false;
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"查看照片"_s);
        shown = !d->findChild<QLabel *>(u"Pic"_s)->pixmap().isNull();
        d->findChild<QPushButton *>(u"cmdOK"_s)->click();
    });
    show->click();
    QVERIFY(shown);

    main->ShowMber(u"100000000002"_s);
    show->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QVERIFY(h.lastText().contains(bad));
}

void TstMemberPanel::listPaging_data()
{
    QTest::addColumn<int>("members");
    QTest::addColumn<int>("pageTurns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("up");
    QTest::addColumn<bool>("down");
    QTest::newRow("empty") << 0 << 0 << 0 << false << false;
    QTest::newRow("one page exactly") << 32 << 0 << 32 << false << false;
    QTest::newRow("one more than a page") << 33 << 0 << 32 << false << true;
    QTest::newRow("second page of 33") << 33 << 1 << 1 << true << false;
    QTest::newRow("middle page") << 70 << 1 << 32 << true << true;
}

void TstMemberPanel::listPaging()
{
    QFETCH(int, members);
    QFETCH(int, pageTurns);
    QFETCH(int, rows);
    QFETCH(bool, up);
    QFETCH(bool, down);
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(u"DELETE FROM mber"_s).exec(); // the no-card customer would count too
    {
        Transaction tx;
        for (int i = 0; i < members; ++i)
            addMember({u"5%1"_s.arg(i, 11, 10, QChar(u'0')), u"会员%1"_s.arg(i)});
        tx.commit();
    }
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    w<QPushButton>(main, u"cmdMemgl"_s)->click();
    w<QPushButton>(main, u"cmdQuery"_s)->click();
    for (int i = 0; i < pageTurns; ++i)
        w<QPushButton>(main, u"cmdPageDown"_s)->click();
    auto *list = w<QTreeWidget>(main, u"lvMber"_s);
    QCOMPARE(list->topLevelItemCount(), rows);
    QCOMPARE(w<QPushButton>(main, u"cmdPageUp"_s)->isEnabled(), up);
    QCOMPARE(w<QPushButton>(main, u"cmdPageDown"_s)->isEnabled(), down);
    QCOMPARE(main->NowMberListPage, 1 + pageTurns);
    if (pageTurns > 0) {
        w<QPushButton>(main, u"cmdPageUp"_s)->click();
        QCOMPARE(list->topLevelItemCount(), 32);
        QCOMPARE(list->topLevelItem(0)->text(0), u"500000000000"_s);
    }
    QVERIFY(!ui::waitNotice()->isVisible());
}

void TstMemberPanel::listFilters()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    addMember({u"100000000001"_s, u"张三"_s, QString(), u"金卡"_s});
    addMember({u"100000000002"_s, u"张三丰"_s, QString(), u"银卡"_s});
    addMember({u"100000000003"_s, u"张_停用"_s, QString(), u"金卡"_s, 2});
    addMember({u"100000000004"_s, u"Tom O'Hara"_s, QString(), QString()});
    Sql(u"INSERT INTO lv (name) VALUES ('金卡'), ('银卡')"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    w<QPushButton>(main, u"cmdMemgl"_s)->click();
    auto *lv = w<QComboBox>(main, u"comLv"_s);
    QCOMPARE(lv->count(), 3);
    auto *text = w<QLineEdit>(main, u"txtIDName"_s);
    auto *list = w<QTreeWidget>(main, u"lvMber"_s);
    auto run = [&](const QString &t, int level) {
        text->setText(t);
        lv->setCurrentIndex(level);
        w<QPushButton>(main, u"cmdQuery"_s)->click();
        return column(list, 0);
    };
    QCOMPARE(run(u"张三"_s, 0), QStringList({u"100000000001"_s, u"100000000002"_s}));
    QCOMPARE(run(u"张三"_s, 1), QStringList({u"100000000001"_s})); // 金卡
    QCOMPARE(run(u"张_"_s, 0), QStringList()); // disabled never listed; _ is literal
    QCOMPARE(run(u"o'hara"_s, 0), QStringList({u"100000000004"_s}));
    QCOMPARE(run(u"0003"_s, 0), QStringList());
    QCOMPARE(text->selectedText(), u"0003"_s);
    run(u"张三丰"_s, 0);
    QCOMPARE(list->topLevelItem(0)->text(2), u"未知"_s);
    QCOMPARE(list->topLevelItem(0)->text(6), u"12.5"_s); // shown as stored, no unit
    QCOMPARE(list->topLevelItem(0)->text(8), u"200"_s);

    w<QPushButton>(main, u"cmdShowJy"_s)->click();
    QCOMPARE(column(list, 0), QStringList({u"100000000003"_s}));
}

void TstMemberPanel::disabledListKeepsPage()
{
    Harness h;
    QVERIFY(h.openDatabase());
    {
        Transaction tx;
        for (int i = 0; i < 80; ++i)
            addMember({u"6%1"_s.arg(i, 11, 10, QChar(u'0')), u"会员"_s});
        addMember({u"700000000001"_s, u"停用"_s, QString(), QString(), 2});
        tx.commit();
    }
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    w<QPushButton>(main, u"cmdMemgl"_s)->click();
    w<QPushButton>(main, u"cmdQuery"_s)->click();
    w<QPushButton>(main, u"cmdPageDown"_s)->click();
    w<QPushButton>(main, u"cmdPageDown"_s)->click();
    QCOMPARE(main->NowMberListPage, 3);
    w<QPushButton>(main, u"cmdShowJy"_s)->click();
    auto *list = w<QTreeWidget>(main, u"lvMber"_s);
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(!w<QPushButton>(main, u"cmdPageUp"_s)->isEnabled());
    QVERIFY(!w<QPushButton>(main, u"cmdPageDown"_s)->isEnabled());
    w<QLineEdit>(main, u"txtIDName"_s)->clear();
    w<QPushButton>(main, u"cmdQuery"_s)->click();
    QCOMPARE(main->NowMberListPage, 1);
    QCOMPARE(list->topLevelItemCount(), 32);
}

void TstMemberPanel::pagesKeepTheirStart()
{
    // A page reached by the page buttons starts after the last member of the
    // page before it, going back up and shown again alike: a member added
    // in front shifts only the first page.
    Harness h;
    QVERIFY(h.openDatabase());
    {
        Transaction tx;
        for (int i = 1; i <= 80; ++i)
            addMember({u"6%1"_s.arg(i, 11, 10, QChar(u'0')), u"会员"_s});
        tx.commit();
    }
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    w<QPushButton>(main, u"cmdMemgl"_s)->click();
    w<QPushButton>(main, u"cmdQuery"_s)->click();
    auto *list = w<QTreeWidget>(main, u"lvMber"_s);
    w<QPushButton>(main, u"cmdPageDown"_s)->click();
    w<QPushButton>(main, u"cmdPageDown"_s)->click();
    // The no-card customer comes first.
    QCOMPARE(list->topLevelItem(0)->text(0), u"600000000064"_s);
    w<QPushButton>(main, u"cmdPageUp"_s)->click();
    QCOMPARE(main->NowMberListPage, 2);
    QCOMPARE(list->topLevelItem(0)->text(0), u"600000000032"_s);
    addMember({u"500000000000"_s, u"新会员"_s});
    members::MemberListPanel::of(*main)->refresh();
    QCOMPARE(list->topLevelItem(0)->text(0), u"600000000032"_s);
    QCOMPARE(list->topLevelItemCount(), 32);
    w<QPushButton>(main, u"cmdPageUp"_s)->click();
    QCOMPARE(list->topLevelItem(1)->text(0), u"500000000000"_s);
    QVERIFY(!w<QPushButton>(main, u"cmdPageUp"_s)->isEnabled());
}

void TstMemberPanel::advancedSearch()
{
    Harness h;
    QVERIFY(h.openDatabase());
    addMember({u"100000000001"_s, u"张三"_s, u"139"_s});
    addMember({u"100000000002"_s, u"张三"_s, u"138"_s});
    addMember({u"100000000003"_s, u"李四"_s, u"139"_s, QString(), 2});
    Sql(u"UPDATE mber SET sex = 1, zjlx = '身份证' WHERE id = '100000000002'"_s).exec();
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    w<QPushButton>(main, u"cmdMemgl"_s)->click();
    auto *list = w<QTreeWidget>(main, u"lvMber"_s);

    int targetWhileOpen = -1;
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"高级查询"_s);
        targetWhileOpen = state().cardTarget;
        QCOMPARE(d->findChild<QComboBox *>(u"comSex"_s)->currentText(), u"未知"_s);
        d->findChild<QCheckBox *>(u"chkName"_s)->setChecked(true);
        d->findChild<QLineEdit *>(u"txtName"_s)->setText(u"张三"_s);
        d->findChild<QCheckBox *>(u"chkTel"_s)->setChecked(true); // empty: not a condition
        d->findChild<QPushButton *>(u"cmdOK"_s)->click();
    });
    w<QPushButton>(main, u"cmdHquery"_s)->click();
    QCOMPARE(targetWhileOpen, 0);
    QCOMPARE(state().cardTarget, 2);
    QCOMPARE(column(list, 0), QStringList({u"100000000001"_s, u"100000000002"_s}));

    h.onModal([&](QDialog *d) {
        d->findChild<QCheckBox *>(u"chkSex"_s)->setChecked(true);
        d->findChild<QComboBox *>(u"comSex"_s)->setCurrentIndex(1);
        d->findChild<QCheckBox *>(u"chkZjlx"_s)->setChecked(true);
        d->findChild<QComboBox *>(u"comZjlx"_s)->setEditText(u"身份证"_s);
        d->findChild<QPushButton *>(u"cmdOK"_s)->click();
    });
    w<QPushButton>(main, u"cmdHquery"_s)->click();
    QCOMPARE(column(list, 0), QStringList({u"100000000002"_s}));

    // Nothing ticked: every member in state 0. "关闭(&C)" runs no query.
    h.onModal([&](QDialog *d) { d->findChild<QPushButton *>(u"cmdOK"_s)->click(); });
    w<QPushButton>(main, u"cmdHquery"_s)->click();
    QCOMPARE(list->topLevelItemCount(), 3); // with the no-card customer
    // A query now would list the member added meanwhile.
    Sql(u"INSERT INTO mber (id, name, st) VALUES ('100000000009', '新会员', 0)"_s).exec();
    h.onModal([&](QDialog *d) { d->findChild<QPushButton *>(u"cmdClose"_s)->click(); });
    w<QPushButton>(main, u"cmdHquery"_s)->click();
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(h.unexpectedModals(), 0);
}

QTEST_MAIN(TstMemberPanel)
#include "tst_memberpanel.moc"

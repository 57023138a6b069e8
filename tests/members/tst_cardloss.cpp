// Replacing a lost card: the account and its history move to the new card
// number; the checks before it.

#include "appstate.h"
#include "cardrouting.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

const QString kA = u"100000000001"_s;
const QString kB = u"200000000002"_s;
const QString kOther = u"100000000009"_s;

template <typename T = QWidget> T *w(QWidget *d, const QString &name)
{
    return d->findChild<T *>(name);
}
void click(QWidget *d, const QString &name) { w<QPushButton>(d, name)->click(); }

int rowsOf(const QString &table, const QString &column, const QString &card)
{
    return scalar(u"SELECT count(*) FROM "_s + table + u" WHERE "_s + column + u" = ?"_s, {card})
        .toInt();
}

void storeAccount(int st = 0)
{
    Sql(A(u"INSERT INTO mber (id, name, lv, ye, jf, st, zjlx, zjhm, ljczje, jsr) VALUES (?, '张三', '金卡', {88}, {120}, ?, '身份证', '4401', {300}, '')"_s))
        .bind(kA).bind(st).exec();
    Sql(u"INSERT INTO mber (id, name, jsr) VALUES (?, '李四', ?)"_s).bind(kOther).bind(kA).exec();
    const QVariant now = Database::dt(QDateTime::currentDateTime());
    Sql(A(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, createtime) VALUES (?, ?, {10}, 0, ?), (?, ?, {5}, {5}, ?)"_s))
        .bind(kA).bind(false).bind(now).bind(kA).bind(false).bind(now).exec();
    Sql(A(u"INSERT INTO czjl (mberid, ssje, czje, createtime) VALUES (?, {100}, {100}, ?)"_s)).bind(kA).bind(now).exec();
    Sql(A(u"INSERT INTO dhjl (mberid, jf, createtime) VALUES (?, {5}, ?)"_s)).bind(kA).bind(now).exec();
    // Not today: the reminder window would open at login.
    Sql(u"INSERT INTO sjtx (mberid, txsj, lx) VALUES (?, ?, '生日')"_s)
        .bind(kA).bind(Database::dt(QDateTime::currentDateTime().addDays(-2))).exec();
    Sql(A(u"INSERT INTO thjl (conid, mberid, je, createtime) VALUES (1, ?, {2}, ?)"_s)).bind(kA).bind(now).exec();
    Sql(A(u"INSERT INTO zzjl (zcid, zrid, je, createtime) VALUES (?, ?, {3}, ?)"_s)).bind(kA).bind(kOther).bind(now).exec();
}

struct Till {
    Harness h;
    FrmMain *main = nullptr;
    bool login()
    {
        if (!h.startProgram())
            return false;
        storeAccount(state);
        main = h.login();
        if (!main)
            return false;
        main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
        main->findChild<QPushButton *>(state == 0 ? u"cmdQuery"_s : u"cmdShowJy"_s)->click();
        auto *lv = main->findChild<QTreeWidget *>(u"lvMber"_s);
        const auto found = lv->findItems(kA, Qt::MatchExactly);
        if (found.isEmpty())
            return false;
        lv->setCurrentItem(found[0]);
        return true;
    }
    void loss(const std::function<void(QDialog *)> &body)
    {
        h.onModal([body](QDialog *d) {
            QCOMPARE(d->windowTitle(), u"挂失"_s);
            body(d);
            if (d->isVisible())
                click(d, u"cmdCC"_s);
        });
        main->findChild<QPushButton *>(u"CmdGl_8"_s)->click();
    }
    int state = 0;
};

} // namespace

class TstCardLoss : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusals_data();
    void refusals();
    void replace_data() { Harness::addBackendRows(); }
    void replace();
    void disabledMember();
};

void TstCardLoss::refusals_data()
{
    QTest::addColumn<QString>("newId");
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << u"   "_s << u"4401"_s << u" 新卡号不能为空！"_s;
    QTest::newRow("another member's card") << kOther << u"4401"_s << u" 您输入的新卡号已经存在！"_s;
    QTest::newRow("its own card") << kA << u"4401"_s << u" 您输入的新卡号已经存在！"_s;
    QTest::newRow("wrong certificate") << kB << u"4402"_s << u"输入的证件号码错误！"_s;
}

void TstCardLoss::refusals()
{
    QFETCH(QString, newId);
    QFETCH(QString, certificate);
    QFETCH(QString, message);
    Till t;
    QVERIFY(t.login());
    t.loss([&](QDialog *d) {
        w<QLineEdit>(d, u"txtZjhm"_s)->setText(certificate);
        w<QLineEdit>(d, u"txtNewID"_s)->setText(newId);
        click(d, u"cmdOK"_s);
        QCOMPARE(t.h.lastText(), message);
        QVERIFY(d->isVisible());
        QVERIFY(w<QPushButton>(d, u"cmdOK"_s)->isEnabled());
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    QCOMPARE(rowsOf(u"mber"_s, u"id"_s, kA), 1);
    QCOMPARE(rowsOf(u"con"_s, u"mberid"_s, kA), 2);
}

void TstCardLoss::replace()
{
    LT_USE_BACKEND();
    Till t{Harness(backend)};
    QVERIFY(t.login());
    t.main->ShowMber(kA);
    int targetWhileOpen = -1;
    t.loss([&](QDialog *d) {
        targetWhileOpen = state().cardTarget;
        QCOMPARE(w<QLabel>(d, u"lblID"_s)->text(), u"会员卡号："_s + kA);
        QCOMPARE(w<QLabel>(d, u"lblName"_s)->text(), u"会员姓名：张三"_s);
        QCOMPARE(w<QLabel>(d, u"lblZjlx"_s)->text(), u"证件类型：身份证"_s);
        w<QLineEdit>(d, u"txtZjhm"_s)->setText(u" 4401 "_s);
        // The new card swiped lands in its box.
        devices::deliverCard(u"  "_s + kB + u" "_s);
        QCOMPARE(w<QLineEdit>(d, u"txtNewID"_s)->text().trimmed(), kB);
        click(d, u"cmdOK"_s);
        QCOMPARE(t.h.lastText(), u"挂失成功！旧卡已作废！"_s);
        QVERIFY(!d->isVisible());
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    QCOMPARE(targetWhileOpen, int(devices::TargetNewCard));
    QCOMPARE(rowsOf(u"mber"_s, u"id"_s, kA), 0);
    Sql m(u"SELECT ye, jf, lv, ljczje, st FROM mber WHERE id = ?"_s);
    m.bind(kB).exec();
    QVERIFY(m.next());
    QCOMPARE(m.amount(0), 88.0);
    QCOMPARE(m.amount(1), 120.0);
    QCOMPARE(m.text(2), u"金卡"_s);
    QCOMPARE(m.amount(3), 300.0);
    QCOMPARE(m.integer(4), 0);
    for (const char *table : {"con", "czjl", "dhjl", "sjtx", "thjl"}) {
        const QString name = QString::fromLatin1(table);
        QCOMPARE(rowsOf(name, u"mberid"_s, kA), 0);
        QVERIFY2(rowsOf(name, u"mberid"_s, kB) > 0, table);
    }
    QCOMPARE(rowsOf(u"con"_s, u"mberid"_s, kB), 2);
    // Transfers and referrers keep the old number.
    QCOMPARE(rowsOf(u"zzjl"_s, u"zcid"_s, kA), 1);
    QCOMPARE(rowsOf(u"mber"_s, u"jsr"_s, kA), 1);
    // The list is run again and the panel follows the account.
    auto *lv = t.main->findChild<QTreeWidget *>(u"lvMber"_s);
    QVERIFY(lv->findItems(kA, Qt::MatchExactly).isEmpty());
    QCOMPARE(lv->findItems(kB, Qt::MatchExactly).size(), 1);
    QCOMPARE(t.main->NowMberID, kB);
}

void TstCardLoss::disabledMember()
{
    Till t;
    t.state = 2;
    QVERIFY(t.login());
    t.loss([&](QDialog *d) {
        QCOMPARE(w<QLabel>(d, u"lblName"_s)->text(), u"会员姓名：张三"_s);
        QVERIFY(!w<QPushButton>(d, u"cmdOK"_s)->isEnabled());
    });
    QCOMPARE(t.h.messages().first().text, u"选中的会员已挂失或已被禁用，不能操作！"_s);
    QCOMPARE(rowsOf(u"mber"_s, u"id"_s, kA), 1);
}

QTEST_MAIN(TstCardLoss)
#include "tst_cardloss.moc"

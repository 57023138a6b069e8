// Reminders: the birthday window, today's events, the window at start-up,
// and the event editor.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "reminders.h"
#include "sysinfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::members;
using test::Harness;

namespace
{

void born(const QString &id, const QDate &date, int sex = 1)
{
    Sql(u"INSERT INTO mber (id, name, sex, lv, csny) VALUES (?, ?, ?, NULL, ?)"_s)
        .bind(id).bind(u"会员"_s + id.right(2)).bind(sex).bind(Database::dt(QDateTime(date, QTime(0, 0))))
        .exec();
}

void addEvent(const QString &card, const QDateTime &when, const QString &ps)
{
    Sql(u"INSERT INTO sjtx (mberid, txsj, lx, ps, czy) VALUES (?, ?, '欠款未付', ?, '老板')"_s)
        .bind(card).bind(Database::dt(when)).bind(ps).exec();
}

QStringList ids(const QList<Birthday> &list)
{
    QStringList out;
    for (const Birthday &b : list)
        out << b.id;
    return out;
}

template <typename T = QWidget> T *w(QWidget *d, const QString &name)
{
    return d->findChild<T *>(name);
}

} // namespace

class TstReminders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void birthdays_data();
    void birthdays();
    void birthdaysByIndex();
    void eventsOfToday();
    void atStartup();
    void editor();
};

void TstReminders::birthdays_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("days");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("1 March, 7 days") << QDate(2026, 3, 1) << 7 << QStringList{u"01"_s, u"07"_s};
    QTest::newRow("28 December, across the year end")
        << QDate(2026, 12, 28) << 7 << QStringList{u"28"_s, u"31"_s, u"41"_s, u"43"_s};
    QTest::newRow("29 February kept on the 28th") << QDate(2027, 2, 28) << 1 << QStringList{u"29"_s};
    QTest::newRow("switched off") << QDate(2026, 3, 1) << 0 << QStringList{};
}

void TstReminders::birthdays()
{
    QFETCH(QDate, today);
    QFETCH(int, days);
    QFETCH(QStringList, listed);
    Harness h;
    QVERIFY(h.openDatabase());
    born(u"100000000001"_s, QDate(1990, 3, 1));
    born(u"100000000007"_s, QDate(1985, 3, 7));
    born(u"100000000008"_s, QDate(1985, 3, 8));
    born(u"100000000028"_s, QDate(1970, 12, 28));
    born(u"100000000031"_s, QDate(1970, 12, 31));
    born(u"100000000041"_s, QDate(2000, 1, 1));
    born(u"100000000043"_s, QDate(2000, 1, 3));
    born(u"100000000044"_s, QDate(2000, 1, 4));
    born(u"100000000029"_s, QDate(2000, 2, 29), 2);
    QStringList got;
    for (const QString &id : ids(birthdaysWithin(days, today)))
        got << id.right(2);
    QCOMPARE(got, listed);
}

void TstReminders::birthdaysByIndex()
{
    // The reminder at every login finds the members of the coming days by
    // the index on month and day, not by reading every member.
    Harness h;
    QVERIFY(h.openDatabase());
    for (int i = 0; i < 200; ++i)
        born(u"1000000%1"_s.arg(i, 5, 10, QChar(u'0')), QDate(1980, 1, 1).addDays(i * 37));
    Sql(u"ANALYZE"_s).exec();
    Sql plan(u"EXPLAIN QUERY PLAN SELECT id, name, sex, lv, csny FROM mber WHERE "_s +
             Database::monthDayOf(u"csny"_s, Backend::Sqlite) + u" IN (?, ?) ORDER BY id"_s);
    plan.bind(1210).bind(1211).exec();
    QStringList steps;
    while (plan.next())
        steps << plan.text(3);
    QVERIFY2(steps.join(u'\n').contains(u"USING INDEX ix_mber_birthday"_s), qPrintable(steps.join(u'\n')));
}

void TstReminders::eventsOfToday()
{
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(u"INSERT INTO mber (id, name) VALUES ('100000000001', '张三')"_s).exec();
    const QDate today = QDate::currentDate();
    addEvent(u"100000000001"_s, QDateTime(today, QTime(23, 30)), u"还钱"_s);
    addEvent(u"999999999999"_s, QDateTime(today, QTime(0, 0)), u"会员已删"_s);
    addEvent(u"100000000001"_s, QDateTime(today.addDays(1), QTime(0, 10)), u"明天"_s);
    const QList<Event> list = eventsOn(today);
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].name, u"张三"_s);
    QCOMPARE(list[0].ps, u"还钱"_s);
    QCOMPARE(list[1].name, QString());
}

void TstReminders::atStartup()
{
    Harness h;
    QVERIFY(h.startProgram());
    born(u"100000000001"_s, QDate::currentDate().addYears(-30), 2);
    addEvent(u"100000000001"_s, QDateTime::currentDateTime(), u"取东西"_s);
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"会员提醒"_s);
        // Birthdays first when there are some.
        auto *sr = w<QTreeWidget>(d, u"lvSr"_s);
        QVERIFY(sr->isVisible());
        QVERIFY(!w<QTreeWidget>(d, u"lvSj"_s)->isVisible());
        QCOMPARE(sr->topLevelItem(0)->text(2), u"女"_s);
        QCOMPARE(sr->topLevelItem(0)->text(4), QDate::currentDate().toString(u"MM月dd日"_s));
        QCOMPARE(state().cardTarget, 0);
        w<QPushButton>(d, u"cmdSj"_s)->click();
        QCOMPARE(w<QTreeWidget>(d, u"lvSj"_s)->topLevelItem(0)->text(3), u"取东西"_s);
        QVERIFY(w<QPushButton>(d, u"cmdSj"_s)->styleSheet().contains(u"blue"_s));
        w<QCheckBox>(d, u"chkShow"_s)->setChecked(false);
        // The cashier's keys wait until the reminders are closed.
        QTest::keyClick(d, Qt::Key_F4);
        QVERIFY(h.messages().isEmpty());
        d->reject();
    });
    FrmMain *main = h.login();
    QVERIFY(main);
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(GetSysInfo(u"showtx"_s), u"no"_s);
    QTest::keyClick(main, Qt::Key_F4);
    QCOMPARE(h.lastText(), u"请先指定会员！"_s);
    // Not at the next start, but on demand.
    delete main;
    main = h.login();
    QVERIFY(main);
    QCOMPARE(h.unexpectedModals(), 0);
    bool shown = false;
    h.onModal([&](QDialog *d) {
        shown = true;
        QVERIFY(!w<QCheckBox>(d, u"chkShow"_s)->isChecked());
        d->reject();
    });
    main->findChild<QPushButton *>(u"dcButton5"_s)->click();
    QVERIFY(shown);
    // Without any reminder the window stays away at start-up.
    SetSysInfo(u"showtx"_s, u"yes"_s);
    Sql(u"DELETE FROM sjtx"_s).exec();
    Sql(u"UPDATE mber SET csny = NULL"_s).exec();
    delete main;
    QVERIFY(h.login());
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstReminders::editor()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO mber (id, name, st) VALUES ('100000000001', '张三', 0)"_s).exec();
    const QDateTime when(QDate::currentDate().addDays(3), QTime(9, 30));
    addEvent(u"100000000001"_s, when, u"还钱"_s);
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000001"_s);
    // Adding: a description is needed.
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"增加事件"_s);
        QCOMPARE(w<QComboBox>(d, u"comLx"_s)->count(), 3);
        w<QPushButton>(d, u"cmdOK"_s)->click();
        QCOMPARE(h.lastText(), u"说明不能为空！"_s);
        QVERIFY(d->isVisible());
        w<QComboBox>(d, u"comLx"_s)->setCurrentText(u"积分兑换提醒"_s);
        w<QLineEdit>(d, u"txtPs"_s)->setText(u"换毛巾"_s);
        w<QPushButton>(d, u"cmdOK"_s)->click();
    });
    main->findChild<QPushButton *>(u"cmdAddsj"_s)->click();
    QCOMPARE(scalar(u"SELECT count(*) FROM sjtx WHERE ps = '换毛巾' AND czy = 'admin' AND mberid = '100000000001'"_s).toInt(), 1);
    // Editing the first event keeps its member, takes the operator.
    auto *tx = main->findChild<QTreeWidget *>(u"lvTx"_s);
    QCOMPARE(tx->topLevelItemCount(), 2);
    const int id = scalar(u"SELECT id FROM sjtx WHERE ps = '还钱'"_s).toInt();
    for (int i = 0; i < tx->topLevelItemCount(); ++i)
        if (tx->topLevelItem(i)->text(0).toInt() == id)
            tx->setCurrentItem(tx->topLevelItem(i));
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"修改事件"_s);
        QCOMPARE(w<QDateTimeEdit>(d, u"dtTime"_s)->dateTime(), when);
        QCOMPARE(w<QLineEdit>(d, u"txtPs"_s)->text(), u"还钱"_s);
        w<QLineEdit>(d, u"txtPs"_s)->setText(u"还钱一半"_s);
        w<QPushButton>(d, u"cmdOK"_s)->click();
    });
    main->findChild<QPushButton *>(u"cmdEditsj"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    Sql q(u"SELECT mberid, czy, ps FROM sjtx WHERE id = ?"_s);
    q.bind(id).exec();
    QVERIFY(q.next());
    QCOMPARE(q.text(0), u"100000000001"_s);
    QCOMPARE(q.text(1), u"admin"_s);
    QCOMPARE(q.text(2), u"还钱一半"_s);
}

QTEST_MAIN(TstReminders)
#include "tst_reminders.moc"

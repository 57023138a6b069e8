// Member levels: the level list and editor, the upgrade settings and the
// automatic upgrade.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "levels.h"
#include "sysinfo.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::members;
using test::Harness;

namespace
{

QTreeWidget *list(QDialog *d, const char *name = "Lv")
{
    return d->findChild<QTreeWidget *>(QString::fromLatin1(name));
}

void click(QWidget *w, const char *name)
{
    w->findChild<QPushButton *>(QString::fromLatin1(name))->click();
}

// Fills the level editor and confirms it.
std::function<void(QDialog *)> editor(const QString &name, const QString &zk, const QString &csje,
                                      const QString &csjf, QString *title = nullptr)
{
    return [=](QDialog *d) {
        if (title)
            *title = d->windowTitle();
        d->findChild<QLineEdit *>(u"txtName"_s)->setText(name);
        d->findChild<QLineEdit *>(u"txtZk"_s)->setText(zk);
        d->findChild<QLineEdit *>(u"txtCsje"_s)->setText(csje);
        d->findChild<QLineEdit *>(u"txtCsjf"_s)->setText(csjf);
        click(d, "cmdOK");
    };
}

struct Row {
    QString name;
    Amount csje, csjf, zk, czbl, jf;
};

Row stored(const QString &name)
{
    Sql q(u"SELECT name, csje, csjf, zk, czbl, jf FROM lv WHERE name = ?"_s);
    q.bind(name).exec();
    if (!q.next())
        return {};
    return {q.text(0), q.amount(1), q.amount(2), q.amount(3), q.amount(4), q.amount(5)};
}

} // namespace

class TstLevels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addLevel_data();
    void addLevel();
    void addRefusals();
    void renameAndDelete();
    void upgradeSettings();
    void upgrade_data();
    void upgrade();
    void upgradeSkipped();
};

void TstLevels::addLevel_data()
{
    QTest::addColumn<QString>("zk");
    QTest::addColumn<QString>("csje");
    QTest::addColumn<QString>("csjf");
    QTest::addColumn<double>("storedZk");
    QTest::addColumn<double>("storedCsje");
    QTest::addColumn<double>("storedCsjf");
    QTest::addColumn<QString>("shownZk");
    QTest::newRow("plain") << u"85"_s << u"50"_s << u"10"_s << 85.0 << 50.0 << 10.0 << u"85%"_s;
    QTest::newRow("discount 0") << u"0"_s << u"0"_s << u"0"_s << 100.0 << 0.0 << 0.0 << u"100%"_s;
    QTest::newRow("discount empty")
        << QString() << u""_s << u""_s << 100.0 << 0.0 << 0.0 << u"100%"_s;
    QTest::newRow("lenient numbers")
        << u"88.5折"_s << u"12.5元"_s << u"7.9分"_s << 88.5 << 12.5 << 7.0 << u"88.5%"_s;
    QTest::newRow("negative points cut")
        << u"100"_s << u"-3"_s << u"-20.5"_s << 100.0 << -3.0 << -20.0 << u"100%"_s;
}

void TstLevels::addLevel()
{
    QFETCH(QString, zk);
    QFETCH(QString, csje);
    QFETCH(QString, csjf);
    QFETCH(double, storedZk);
    QFETCH(double, storedCsje);
    QFETCH(double, storedCsjf);
    QFETCH(QString, shownZk);
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    QString presetZk;
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"会员类别设置"_s);
        h.onModal([&](QDialog *e) {
            presetZk = e->findChild<QLineEdit *>(u"txtZk"_s)->text();
            editor(u"金卡"_s, zk, csje, csjf)(e);
        });
        click(d, "cmdAdd");
        QCOMPARE(list(d)->topLevelItemCount(), 1);
        QTreeWidgetItem *row = list(d)->topLevelItem(0);
        QCOMPARE(row->text(0), u"金卡"_s);
        QCOMPARE(row->text(3), shownZk);
        click(d, "cmdClose");
    });
    main->findChild<QToolButton *>(u"Imgsz_1"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(presetZk, u"100"_s);
    const Row r = stored(u"金卡"_s);
    QCOMPARE(r.zk, storedZk);
    QCOMPARE(r.csje, storedCsje);
    QCOMPARE(r.csjf, storedCsjf);
    QCOMPARE(r.czbl, 0.0);
    QVERIFY(h.messages().isEmpty());
}

void TstLevels::addRefusals()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(A(u"INSERT INTO lv (name, zk) VALUES ('银卡', {95})"_s)).exec();
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    h.onModal([&](QDialog *d) {
        // An empty name keeps the editor open.
        h.onModal([&](QDialog *e) {
            e->findChild<QLineEdit *>(u"txtName"_s)->setText(u"   "_s);
            click(e, "cmdOK");
            QVERIFY(e->isVisible());
            QCOMPARE(h.lastText(), u"等级名称不能为空！"_s);
            click(e, "cmdCC");
        });
        click(d, "cmdAdd");
        // A name that exists is refused.
        h.onModal(editor(u"银卡"_s, u"90"_s, u"0"_s, u"0"_s));
        click(d, "cmdAdd");
        QCOMPARE(h.lastText(), u"等级名称不能重复！"_s);
        click(d, "cmdClose");
    });
    main->findChild<QToolButton *>(u"Imgsz_1"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(scalar(u"SELECT count(*) FROM lv"_s).toInt(), 1);
    QCOMPARE(stored(u"银卡"_s).zk, 95.0);
}

void TstLevels::renameAndDelete()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(A(u"INSERT INTO lv (name, zk, czbl, jf) VALUES ('银卡', {95}, {5}, {100}), ('金卡', {90}, {8}, {500}), ('钻石', {80}, 0, 0)"_s))
        .exec();
    Sql(u"INSERT INTO mber (id, name, lv, st) VALUES ('100000000001', '甲', '银卡', 0), ('100000000002', '乙', '钻石', 2)"_s)
        .exec();
    Sql(A(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('A1', '银卡', {70})"_s)).exec();
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    QString title;
    h.onModal([&](QDialog *d) {
        QTreeWidget *lv = list(d);
        QCOMPARE(lv->topLevelItemCount(), 3);
        // Renaming to another level's name is refused.
        lv->setCurrentItem(lv->topLevelItem(0));
        h.onModal(editor(u"金卡"_s, u"95"_s, u"0"_s, u"0"_s, &title));
        click(d, "cmdEdit");
        QCOMPARE(title, u"修改会员类别"_s);
        QCOMPARE(h.lastText(), u"等级名称不能重复！"_s);
        // Keeping its own name is accepted; then a real rename.
        h.onModal(editor(u"银卡"_s, u"93"_s, u"20"_s, u"5"_s));
        click(d, "cmdEdit");
        QCOMPARE(lv->topLevelItem(0)->text(3), u"93%"_s);
        h.onModal(editor(u"白银卡"_s, u"93"_s, u"20"_s, u"5"_s));
        click(d, "cmdEdit");
        QCOMPARE(lv->topLevelItem(0)->text(0), u"白银卡"_s);

        // A level used by any member, a disabled one too, stays.
        lv->setCurrentItem(lv->topLevelItem(2));
        h.clearMessages();
        click(d, "cmdDel");
        QCOMPARE(h.lastText(), u"已经有会员应用此等级，此等级不能被删除！"_s);
        QCOMPARE(lv->topLevelItemCount(), 3);
        // An unused one goes at once, without a question.
        lv->setCurrentItem(lv->topLevelItem(1));
        h.clearMessages();
        click(d, "cmdDel");
        QVERIFY(h.messages().isEmpty());
        QCOMPARE(lv->topLevelItemCount(), 2);
        click(d, "cmdClose");
    });
    main->findChild<QToolButton *>(u"Imgsz_1"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    const Row r = stored(u"白银卡"_s);
    QCOMPARE(r.zk, 93.0);
    QCOMPARE(r.csje, 20.0);
    QCOMPARE(r.czbl, 5.0); // untouched by the editor
    QCOMPARE(r.jf, 100.0);
    QVERIFY(stored(u"金卡"_s).name.isEmpty());
    // The new name is carried over to the members and goods discounts.
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = '100000000001'"_s).toString(), u"白银卡"_s);
    QCOMPARE(scalar(u"SELECT lv FROM spdz WHERE spid = 'A1'"_s).toString(), u"白银卡"_s);
}

void TstLevels::upgradeSettings()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    // With no levels the points cannot be set.
    h.onModal([&](QDialog *d) {
        h.onModal([&](QDialog *up) {
            up->findChild<QCheckBox *>(u"chkLvUp"_s)->setChecked(true);
            click(up, "cmdSet");
            QCOMPARE(h.lastText(), u"您还没有添加任何会员类别！"_s);
            click(up, "cmdCC");
        });
        click(d, "cmdLvUp");
        click(d, "cmdClose");
    });
    main->findChild<QToolButton *>(u"Imgsz_1"_s)->click();
    QCOMPARE(GetSysInfo(u"lvup"_s), u"no"_s); // cancelled: nothing written

    Sql(A(u"INSERT INTO lv (name, jf) VALUES ('银卡', {100}), ('金卡', {500})"_s)).exec();
    h.onModal([&](QDialog *d) {
        h.onModal([&](QDialog *up) {
            QCOMPARE(up->windowTitle(), u"会员等级自动升级设置"_s);
            QTreeWidget *tb = list(up, "lvTb");
            QVERIFY(!tb->isEnabled());
            up->findChild<QCheckBox *>(u"chkLvUp"_s)->setChecked(true);
            QVERIFY(tb->isEnabled());
            QCOMPARE(tb->topLevelItem(1)->text(1), u"500"_s);
            tb->setCurrentItem(tb->topLevelItem(1));
            h.onModal([&](QDialog *sz) {
                QCOMPARE(sz->findChild<QLabel *>(u"lblLv"_s)->text(), u"等级名称：金卡"_s);
                auto *jf = sz->findChild<QLineEdit *>(u"txtJf"_s);
                QCOMPARE(jf->selectedText(), u"500"_s);
                jf->setText(u"  "_s);
                click(sz, "cmdOK");
                QCOMPARE(h.lastText(), u"请您输入此等级所需积分！"_s);
                jf->setText(u"150.9"_s);
                click(sz, "cmdOK");
            });
            click(up, "cmdSet");
            QCOMPARE(tb->topLevelItem(1)->text(1), u"150"_s);
            tb->setCurrentItem(tb->topLevelItem(0));
            h.onModal([&](QDialog *sz) {
                sz->findChild<QLineEdit *>(u"txtJf"_s)->setText(u"-20.5"_s);
                click(sz, "cmdOK");
            });
            click(up, "cmdSet");
            click(up, "cmdOK");
        });
        click(d, "cmdLvUp");
        click(d, "cmdClose");
    });
    main->findChild<QToolButton *>(u"Imgsz_1"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(GetSysInfo(u"lvup"_s), u"yes"_s);
    QCOMPARE(stored(u"金卡"_s).jf, 150.0);
    QCOMPARE(stored(u"银卡"_s).jf, -20.0);
}

void TstLevels::upgrade_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<double>("points");
    QTest::addColumn<QString>("after");
    QTest::newRow("普通 499 to 银卡") << u"普通"_s << 499.0 << u"银卡"_s;
    QTest::newRow("普通 520 to 金卡") << u"普通"_s << 520.0 << u"金卡"_s;
    QTest::newRow("金卡 with 10 stays") << u"金卡"_s << 10.0 << u"金卡"_s;
    QTest::newRow("exactly the threshold") << u"普通"_s << 100.0 << u"银卡"_s;
    QTest::newRow("below every threshold") << u"普通"_s << 99.0 << u"普通"_s;
    QTest::newRow("half rounds up to an even number (99.5)") << u"普通"_s << 99.5 << u"银卡"_s;
    QTest::newRow("half rounds down to an even number (500.5 below 501)")
        << u"普通"_s << 500.5 << u"银卡"_s;
    QTest::newRow("501 reaches 金卡") << u"普通"_s << 501.0 << u"金卡"_s;
    QTest::newRow("just below after rounding") << u"普通"_s << 99.4 << u"普通"_s;
    QTest::newRow("no level gets the highest reached") << QString() << 600.0 << u"金卡"_s;
    QTest::newRow("no level: the lowest reached, never a level of 0")
        << QString() << 50.0 << u"新客"_s;
    QTest::newRow("unknown level stays") << u"已删除"_s << 900.0 << u"已删除"_s;
    QTest::newRow("negative points: nothing") << u"银卡"_s << -1.0 << u"银卡"_s;
    QTest::newRow("jf 0 levels are never reached") << u"普通"_s << 10.0 << u"普通"_s;
}

void TstLevels::upgrade()
{
    QFETCH(QString, level);
    QFETCH(double, points);
    QFETCH(QString, after);
    Harness h;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"lvup"_s, u"yes"_s);
    Sql(A(u"INSERT INTO lv (name, jf) VALUES ('金卡', {501}), ('普通', 0), ('银卡', {100}), ('员工', 0),"
          u" ('新客', {-20})"_s))
        .exec();
    Sql(u"INSERT INTO mber (id, name, lv, jf) VALUES ('100000000001', '甲', ?, ?)"_s)
        .bind(level)
        .bind(lit(points))
        .exec();
    upgradeMember(u"100000000001"_s);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = '100000000001'"_s).toString(), after);
}

void TstLevels::upgradeSkipped()
{
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(A(u"INSERT INTO lv (name, jf) VALUES ('银卡', {100})"_s)).exec();
    Sql(A(u"INSERT INTO mber (id, name, lv, jf) VALUES ('100000000001', '甲', '', {300})"_s)).exec();
    Sql(A(u"UPDATE mber SET jf = {300} WHERE id = '000000000000'"_s)).exec();
    SetSysInfo(u"lvup"_s, u"no"_s);
    upgradeMember(u"100000000001"_s);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = '100000000001'"_s).toString(), QString());
    SetSysInfo(u"lvup"_s, u"YES"_s); // only exactly "yes" switches it on
    upgradeMember(u"100000000001"_s);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = '100000000001'"_s).toString(), QString());
    SetSysInfo(u"lvup"_s, u"yes"_s);
    upgradeMember(u"000000000000"_s);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = '000000000000'"_s).toString(), QString());
    upgradeMember(u"999999999999"_s); // no such member: nothing happens
    upgradeMember(u"100000000001"_s);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = '100000000001'"_s).toString(), u"银卡"_s);
}

QTEST_MAIN(TstLevels)
#include "tst_levels.moc"

// Operators and permissions: the operator settings window, adding an
// operator and changing the password.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "mod1.h"
#include "secrets.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

QListWidgetItem *nameItem(QDialog *d, const QString &name)
{
    const auto found =
        d->findChild<QListWidget *>(u"listName"_s)->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

void choose(QDialog *d, const QString &name)
{
    auto *names = d->findChild<QListWidget *>(u"listName"_s);
    names->setCurrentItem(nameItem(d, name));
}

QString per(const QString &name)
{
    return scalar(u"SELECT per FROM czy WHERE name = ?"_s, {name}).toString();
}

// Opens the operator window from the settings icons and hands it over.
void withOperators(Harness &h, FrmMain *main, std::function<void(QDialog *)> body)
{
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    h.onModal([body](QDialog *d) {
        body(d);
        d->findChild<QPushButton *>(u"cmdClose"_s)->click();
    });
    main->findChild<QToolButton *>(u"Imgsz_2"_s)->click();
}

} // namespace

class TstOperators : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void permissionTexts();
    void ticksStoredAtOnce();
    void adminProtected();
    void addOperator_data();
    void addOperator();
    void deleteOperator();
    void changePassword_data();
    void changePassword();
};

void TstOperators::permissionTexts()
{
    QCOMPARE(lanting::permissionTexts().size(), 12);
    QCOMPARE(lanting::permissionTexts().at(Per::Reports - 1), u"查看统计信息"_s);
    QCOMPARE(lanting::permissionTexts().at(Per::Operators - 1), u"增加/删除/修改操作员"_s);
}

void TstOperators::ticksStoredAtOnce()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('cashier', '1', '1110')"_s).exec();
    withOperators(h, main, [&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"操作员设置"_s);
        QVERIFY(d->findChild<QLabel *>(u"picShow"_s)->isVisible());
        // The name list taking the focus chooses nobody.
        QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(d->findChild<QListWidget *>(u"listName"_s), &focus);
        QVERIFY(d->findChild<QLabel *>(u"picShow"_s)->isVisible());
        choose(d, u"cashier"_s);
        QVERIFY(!d->findChild<QLabel *>(u"picShow"_s)->isVisible());
        auto *perList = d->findChild<QListWidget *>(u"listPer"_s);
        QCOMPARE(perList->count(), 12);
        QVERIFY(perList->isEnabled());
        QVERIFY(!d->findChild<QLabel *>(u"lblAdmin"_s)->isVisible());
        // A short string grants every missing position.
        QCOMPARE(perList->item(3)->checkState(), Qt::Unchecked);
        QCOMPARE(perList->item(10)->checkState(), Qt::Checked);
        perList->item(10)->setCheckState(Qt::Unchecked); // "查看统计信息"
        QCOMPARE(per(u"cashier"_s), u"111011111101"_s);
        perList->item(3)->setCheckState(Qt::Checked);
        QCOMPARE(per(u"cashier"_s), u"111111111101"_s);
    });
    QCOMPARE(h.unexpectedModals(), 0);
    const QString saved = per(u"cashier"_s);

    // The next login of that operator is refused the reports panel.
    Harness h2;
    QVERIFY(h2.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('cashier', '1', ?)"_s).bind(saved).exec();
    FrmMain *m2 = h2.login(u"cashier"_s, u"1"_s);
    QVERIFY(m2);
    m2->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    QCOMPARE(h2.lastText(), u"您没有权限执行此操作！"_s);
}

void TstOperators::adminProtected()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    withOperators(h, main, [&](QDialog *d) {
        choose(d, u"admin"_s);
        QVERIFY(!d->findChild<QListWidget *>(u"listPer"_s)->isEnabled());
        QVERIFY(d->findChild<QLabel *>(u"lblAdmin"_s)->isVisible());
        d->findChild<QPushButton *>(u"cmdDel"_s)->click();
        QCOMPARE(h.lastText(), u"操作员admin为系统自带管理员，不可被删除！"_s);
        QVERIFY(nameItem(d, u"admin"_s));
    });
    QCOMPARE(per(u"admin"_s), u"111111111111"_s);
    QCOMPARE(h.unanswered(), 0);

    // Without permission 12 the window does not open.
    Harness h2;
    QVERIFY(h2.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('boss', '', '111111111110')"_s).exec();
    FrmMain *m2 = h2.login(u"boss"_s, QString());
    m2->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    m2->findChild<QToolButton *>(u"Imgsz_2"_s)->click();
    QCOMPARE(h2.lastText(), u"您没有权限执行此操作！"_s);
    QCOMPARE(h2.unexpectedModals(), 0);
}

void TstOperators::addOperator_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pwd1");
    QTest::addColumn<QString>("pwd2");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");
    QTest::newRow("added, trimmed")
        << u"  小王  "_s << u"1"_s << u"1"_s << u"操作员添加成功！"_s << u"小王"_s;
    QTest::newRow("empty password allowed")
        << u"小李"_s << QString() << QString() << u"操作员添加成功！"_s << u"小李"_s;
    QTest::newRow("blank name") << u"   "_s << u"1"_s << u"1"_s << u"操作员用户名不能为空！"_s
                                << QString();
    QTest::newRow("passwords differ")
        << u"小赵"_s << u"1"_s << u"2"_s << u"两次密码输入不一致！"_s << QString();
    QTest::newRow("Admin duplicates admin")
        << u"Admin"_s << u"1"_s << u"1"_s << u"您输入的操作员用户名已经存在！"_s << QString();
    QTest::newRow("quote in name")
        << u"O'Reilly"_s << u"x"_s << u"x"_s << u"操作员添加成功！"_s << u"O'Reilly"_s;
}

void TstOperators::addOperator()
{
    QFETCH(QString, name);
    QFETCH(QString, pwd1);
    QFETCH(QString, pwd2);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    withOperators(h, main, [&](QDialog *d) {
        h.onModal([&](QDialog *add) {
            QCOMPARE(add->windowTitle(), u"增加操作员"_s);
            add->findChild<QLineEdit *>(u"txtName"_s)->setText(name);
            add->findChild<QLineEdit *>(u"txtPwd1"_s)->setText(pwd1);
            add->findChild<QLineEdit *>(u"txtPwd2"_s)->setText(pwd2);
            add->findChild<QPushButton *>(u"cmdOK"_s)->click();
            if (add->isVisible())
                add->findChild<QPushButton *>(u"cmdCC"_s)->click();
        });
        d->findChild<QPushButton *>(u"cmdAdd"_s)->click();
        if (!stored.isEmpty())
            QVERIFY(nameItem(d, stored));
    });
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(h.lastText(), message);
    QCOMPARE(scalar(u"SELECT count(*) FROM czy"_s).toInt(), stored.isEmpty() ? 1 : 2);
    if (!stored.isEmpty()) {
        QCOMPARE(per(stored), u"111011101000"_s);
        {
            const QString kept =
                scalar(u"SELECT pwd FROM czy WHERE name = ?"_s, {stored}).toString();
            QVERIFY(isHashed(kept));
            QVERIFY(secretMatches(kept, pwd1));
            QVERIFY(!secretMatches(kept, pwd1 + u"x"_s));
        }
    }
}

void TstOperators::deleteOperator()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('cashier', '1', '111011101000')"_s).exec();
    withOperators(h, main, [&](QDialog *d) {
        choose(d, u"cashier"_s);
        h.answer(MsgAnswer::No);
        d->findChild<QPushButton *>(u"cmdDel"_s)->click();
        QVERIFY(nameItem(d, u"cashier"_s));
        QCOMPARE(h.messages().last().defaultAnswer, MsgAnswer::No);
        QCOMPARE(h.lastText(), u"您确实要删除操作员[cashier]吗？"_s);
        h.answer(MsgAnswer::Yes);
        d->findChild<QPushButton *>(u"cmdDel"_s)->click();
        QVERIFY(!nameItem(d, u"cashier"_s));
        QCOMPARE(h.lastText(), u"删除成功！"_s);
        QCOMPARE(d->findChild<QListWidget *>(u"listPer"_s)->count(), 0);
    });
    QCOMPARE(scalar(u"SELECT count(*) FROM czy"_s).toInt(), 1);
    QCOMPARE(h.unanswered(), 0);
}

void TstOperators::changePassword_data()
{
    QTest::addColumn<QString>("oldPwd");
    QTest::addColumn<QString>("new1");
    QTest::addColumn<QString>("new2");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("stored");
    QTest::newRow("changed") << u"860317"_s << u"abc"_s << u"abc"_s << u"密码修改成功！"_s << true
                             << u"abc"_s;
    QTest::newRow("wrong old password")
        << u"860318"_s << u"abc"_s << u"abc"_s << u"您输入的旧密码错误！"_s << true << u"860317"_s;
    QTest::newRow("old password with a blank")
        << u"860317 "_s << u"abc"_s << u"abc"_s << u"您输入的旧密码错误！"_s << true << u"860317"_s;
    QTest::newRow("new ones differ") << u"860317"_s << u"abc"_s << u"abd"_s
                                     << u"新密码两次输入的不一致！"_s << false << u"860317"_s;
}

void TstOperators::changePassword()
{
    QFETCH(QString, oldPwd);
    QFETCH(QString, new1);
    QFETCH(QString, new2);
    QFETCH(QString, message);
    QFETCH(bool, closes);
    QFETCH(QString, stored);
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    bool closed = false;
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"修改密码"_s);
        QCOMPARE(d->findChild<QLineEdit *>(u"txtCzy"_s)->text(), u"admin"_s);
        d->findChild<QLineEdit *>(u"txtOldPwd"_s)->setText(oldPwd);
        d->findChild<QLineEdit *>(u"txtNewPwd1"_s)->setText(new1);
        d->findChild<QLineEdit *>(u"txtNewPwd2"_s)->setText(new2);
        d->findChild<QPushButton *>(u"cmdCh"_s)->click();
        closed = !d->isVisible();
        if (!closed)
            d->findChild<QPushButton *>(u"cmdClose"_s)->click();
    });
    main->findChild<QToolButton *>(u"Imgsz_7"_s)->click();
    QCOMPARE(h.lastText(), message);
    QCOMPARE(closed, closes);
    // Kept as a hash of what was typed, never as typed.
    const QString kept = scalar(u"SELECT pwd FROM czy WHERE name = 'admin'"_s).toString();
    QVERIFY(isHashed(kept));
    QVERIFY(secretMatches(kept, stored));
    QVERIFY(stored.isEmpty() || !kept.contains(stored));
    QCOMPARE(state().permissions, u"111111111111"_s); // the running login is unchanged
}

QTEST_MAIN(TstOperators)
#include "tst_operators.moc"

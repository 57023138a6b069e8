// The member form in add and edit mode, the referrer chooser and the photo
// screen.

#include "appstate.h"
#include "cardrouting.h"
#include "cardsecrets.h"
#include "database.h"
#include "enrolment.h"
#include "frmaddmem.h"
#include "frmmain.h"
#include "frmp.h"
#include "harness.h"
#include "secrets.h"
#include "sysinfo.h"
#include "ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::members;
using test::Harness;

namespace
{

template <typename T> T *w(QWidget *d, const QString &name)
{
    T *found = d->findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

void type(QWidget *d, const QString &name, const QString &text)
{
    w<QLineEdit>(d, name)->setText(text);
}

QVariantList memberRow(const QString &id)
{
    Sql q(u"SELECT name, lv, ye, csje, csjf, jf, st, ljxfje, ljxfcs, ljczje, pwd, sex, booljzrq, "
          u"jzrq, createtime, tel, jsr, photo FROM mber WHERE id = ?"_s);
    q.bind(id).exec();
    QVariantList out;
    if (q.next())
        for (int i = 0; i < 18; ++i)
            out << q.value(i);
    return out;
}

} // namespace

class TstEnrolment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void enrolWithLevelOpening();
    void enrolWithoutLevels();
    void saveRefusals();
    void continueAfterSave();
    void editKeepsMoney();
    void editDeletedLevel();
    void enterMovesOn();
    void cardPasswordsBroughtOver_data() { Harness::addBackendRows(); }
    void cardPasswordsBroughtOver();
    void referrer();
    void icCardNumberFromReader();
    void photos();
    void cameraScreen();
};

void TstEnrolment::enrolWithLevelOpening()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(A(u"INSERT INTO lv (name, csje, csjf) VALUES ('普通', 0, 0), ('金卡', {50}, {10})"_s))
        .exec();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"增加会员"_s);
        QCOMPARE(w<QComboBox>(d, u"comHylx"_s)->currentText(), u"普通"_s);
        QCOMPARE(w<QComboBox>(d, u"comSex"_s)->currentText(), u"未知"_s);
        QCOMPARE(w<QDateEdit>(d, u"dtCsny"_s)->date(), QDate(1985, 1, 1));
        QCOMPARE(w<QDateEdit>(d, u"dtJzrq"_s)->date(), QDate::currentDate().addDays(730));
        QVERIFY(!w<QDateEdit>(d, u"dtJzrq"_s)->isEnabled());
        type(d, u"txtID"_s, u"100000000001"_s);
        type(d, u"txtName"_s, u"钱七"_s);
        w<QComboBox>(d, u"comHylx"_s)->setCurrentIndex(1);
        w<QComboBox>(d, u"comSex"_s)->setCurrentIndex(2);
        w<QPushButton>(d, u"cmdSave"_s)->click();
    });
    w<QPushButton>(main, u"dcButton6"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QVERIFY(h.messages().isEmpty());
    const QVariantList r = memberRow(u"100000000001"_s);
    QVERIFY(!r.isEmpty());
    QCOMPARE(r[1].toString(), u"金卡"_s);
    QCOMPARE(Database::toAmount(r[2]), 50.0); // ye
    QCOMPARE(Database::toAmount(r[3]), 50.0); // csje
    QCOMPARE(r[4].toInt(), 10);               // csjf
    QCOMPARE(Database::toAmount(r[5]), 10.0); // jf
    QCOMPARE(r[6].toInt(), 0);
    QCOMPARE(Database::toAmount(r[7]), 0.0);
    QCOMPARE(r[8].toInt(), 0);
    QCOMPARE(Database::toAmount(r[9]), 0.0);
    QCOMPARE(r[10].toString(), QString()); // two empty passwords
    QCOMPARE(r[11].toInt(), 2);
    QCOMPARE(r[12].toBool(), false);
    // The expiry date is stored even with the box unticked.
    QCOMPARE(Database::toDt(r[13]).date(), QDate::currentDate().addDays(730));
    QVERIFY(Database::toDt(r[14]) >= before);
    QCOMPARE(scalar(u"SELECT count(*) FROM czjl"_s).toInt(), 0);
    QCOMPARE(scalar(u"SELECT count(*) FROM syslog"_s).toInt(), 0);
}

void TstEnrolment::enrolWithoutLevels()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    h.onModal([&](QDialog *d) {
        QCOMPARE(w<QComboBox>(d, u"comHylx"_s)->count(), 0);
        type(d, u"txtID"_s, u"100000000002"_s);
        type(d, u"txtName"_s, u"无等级"_s);
        w<QPushButton>(d, u"cmdSave"_s)->click();
    });
    w<QPushButton>(main, u"dcButton6"_s)->click();
    const QVariantList r = memberRow(u"100000000002"_s);
    QCOMPARE(r[1].toString(), QString());
    QCOMPARE(Database::toAmount(r[2]), 0.0);
    QCOMPARE(Database::toAmount(r[5]), 0.0);

    // Without permission 1 the form does not open.
    Harness h2;
    QVERIFY(h2.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('cashier', '', '011111111111')"_s).exec();
    FrmMain *m2 = h2.login(u"cashier"_s, QString());
    QVERIFY(m2);
    w<QPushButton>(m2, u"dcButton6"_s)->click();
    QCOMPARE(h2.lastText(), u"您没有权限执行此操作！"_s);
    QCOMPARE(h2.unexpectedModals(), 0);
}

void TstEnrolment::saveRefusals()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    h.onModal([&](QDialog *d) {
        auto *save = w<QPushButton>(d, u"cmdSave"_s);
        save->click();
        QCOMPARE(h.lastText(), u"会员卡号不能为空！"_s);
        type(d, u"txtID"_s, u"000000000000"_s);
        save->click();
        QCOMPARE(h.lastText(), u"请输入会员姓名！"_s);
        QCOMPARE(d->focusWidget(), w<QLineEdit>(d, u"txtName"_s));
        type(d, u"txtName"_s, u"   "_s); // blanks are no name
        save->click();
        QCOMPARE(h.lastText(), u"请输入会员姓名！"_s);
        type(d, u"txtName"_s, u"王五"_s);
        type(d, u"txtPwd1"_s, u"123"_s);
        type(d, u"txtPwd2"_s, u"124"_s);
        save->click();
        QCOMPARE(h.lastText(), u"两次输入的密码不一致！"_s);
        type(d, u"txtPwd2"_s, u"123"_s);
        save->click();
        QCOMPARE(h.lastText(), u"此卡号已存在！"_s);
        QVERIFY(d->isVisible());
        QVERIFY(save->isEnabled());
        QCOMPARE(save->text(), u"确定(&O)"_s);
        QCOMPARE(w<QLineEdit>(d, u"txtID"_s)->selectedText(), u"000000000000"_s);
        w<QPushButton>(d, u"cmdClose"_s)->click();
    });
    w<QPushButton>(main, u"dcButton6"_s)->click();
    QCOMPARE(h.messages().size(), 5);
    QCOMPARE(scalar(u"SELECT count(*) FROM mber"_s).toInt(), 1);
}

void TstEnrolment::continueAfterSave()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(u"INSERT INTO lv (name) VALUES ('普通'), ('金卡')"_s).exec();
    const QString photo = h.folder() + u"/a.bmp"_s;
    h.onModal([&](QDialog *d) {
        auto *form = qobject_cast<FrmAddmem *>(d);
        w<QCheckBox>(d, u"chkCon"_s)->setChecked(true);
        type(d, u"txtID"_s, u"100000000001"_s);
        type(d, u"txtName"_s, u"一号"_s);
        type(d, u"txtTel"_s, u"139"_s);
        type(d, u"txtPwd1"_s, u"Ab123"_s);
        type(d, u"txtPwd2"_s, u"Ab123"_s);
        w<QComboBox>(d, u"comHylx"_s)->setCurrentIndex(1);
        w<QComboBox>(d, u"comSex"_s)->setCurrentIndex(1);
        w<QCheckBox>(d, u"chkJzrq"_s)->setChecked(true);
        w<QDateEdit>(d, u"dtCsny"_s)->setDate(QDate(1990, 5, 5));
        h.onModal([&](QDialog *fd) {
            QImage(4, 4, QImage::Format_RGB32).save(photo);
            auto *dlg = qobject_cast<QFileDialog *>(fd);
            QCOMPARE(dlg->windowTitle(), u"选择照片"_s);
            dlg->selectFile(photo);
            static_cast<QDialog *>(dlg)->accept();
        });
        w<QPushButton>(d, u"cmdXzzp"_s)->click();
        w<QPushButton>(d, u"cmdSave"_s)->click();
        QVERIFY(d->isVisible()); // stays for the next member
        QVERIFY(form->IsOK);
        QVERIFY(w<QLineEdit>(d, u"txtID"_s)->text().isEmpty());
        QVERIFY(w<QLineEdit>(d, u"txtTel"_s)->text().isEmpty());
        QCOMPARE(w<QComboBox>(d, u"comHylx"_s)->currentIndex(), 0);
        QCOMPARE(w<QComboBox>(d, u"comSex"_s)->currentIndex(), 0);
        QVERIFY(!w<QCheckBox>(d, u"chkJzrq"_s)->isChecked());
        QCOMPARE(w<QDateEdit>(d, u"dtCsny"_s)->date(), QDate(1985, 1, 1));
        QCOMPARE(w<QPushButton>(d, u"cmdSave"_s)->text(), u"确定(&O)"_s);
        // The photo went with the fields.
        w<QPushButton>(d, u"cmdVP"_s)->click();
        QCOMPARE(h.lastText(), u"照片为空！"_s);
        type(d, u"txtID"_s, u"100000000002"_s);
        type(d, u"txtName"_s, u"二号"_s);
        w<QPushButton>(d, u"cmdSave"_s)->click();
        w<QPushButton>(d, u"cmdClose"_s)->click();
    });
    w<QPushButton>(main, u"dcButton6"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    const QVariantList first = memberRow(u"100000000001"_s);
    QCOMPARE(first[1].toString(), u"金卡"_s);
    QCOMPARE(first[12].toBool(), true);
    QVERIFY(isHashed(first[10].toString())); // never the password as typed
    QVERIFY(secretMatches(first[10].toString(), u"Ab123"_s));
    QCOMPARE(QDir::fromNativeSeparators(first[17].toString()), photo);
    const QVariantList second = memberRow(u"100000000002"_s);
    QCOMPARE(second[1].toString(), u"普通"_s);
    QCOMPARE(second[17].toString(), QString());
    QCOMPARE(second[10].toString(), QString()); // the boxes were emptied for the next member
}

void TstEnrolment::editKeepsMoney()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(A(u"INSERT INTO lv (name, csje, csjf) VALUES ('金卡', {50}, {10})"_s)).exec();
    const QDateTime created(QDate(2025, 1, 2), QTime(3, 4, 5));
    const QDateTime expiry(QDate(2027, 6, 1), QTime(12, 0, 0));
    Sql(A(u"INSERT INTO mber (id, name, lv, ye, csje, csjf, jf, st, ljxfje, ljxfcs, ljczje, pwd, "
          u"booljzrq, jzrq, createtime) VALUES ('100000000001', '旧名', '金卡', {77}, {5}, 6, "
          u"{88}, 0, "
          u"{9}, 3, {200}, 'pw', ?, ?, ?)"_s))
        .bind(true)
        .bind(Database::dt(expiry))
        .bind(Database::dt(created))
        .exec();
    FrmAddmem form(main);
    QVERIFY(form.ReadInfo(u"100000000001"_s));
    QCOMPARE(form.windowTitle(), u"修改会员信息"_s);
    QVERIFY(!w<QLineEdit>(&form, u"txtID"_s)->isEnabled());
    QVERIFY(w<QCheckBox>(&form, u"chkCon"_s)->isHidden());
    // The stored password is not shown, and empty boxes keep it.
    QCOMPARE(w<QLineEdit>(&form, u"txtPwd1"_s)->text(), QString());
    QCOMPARE(w<QLineEdit>(&form, u"txtPwd2"_s)->text(), QString());
    QVERIFY(!w<QLineEdit>(&form, u"txtPwd1"_s)->placeholderText().isEmpty());
    QCOMPARE(state().cardTarget, 0);
    type(&form, u"txtName"_s, u"新名"_s);
    w<QPushButton>(&form, u"cmdSave"_s)->click();
    QVERIFY(h.messages().isEmpty());
    const QVariantList r = memberRow(u"100000000001"_s);
    QCOMPARE(r[0].toString(), u"新名"_s);
    QCOMPARE(Database::toAmount(r[2]), 77.0);
    QCOMPARE(Database::toAmount(r[3]), 5.0);
    QCOMPARE(r[4].toInt(), 6);
    QCOMPARE(Database::toAmount(r[5]), 88.0);
    QCOMPARE(Database::toAmount(r[7]), 9.0);
    QCOMPARE(r[8].toInt(), 3);
    QCOMPARE(Database::toAmount(r[9]), 200.0);
    QCOMPARE(Database::toDt(r[13]), expiry); // same day: the stored moment stays
    QCOMPARE(Database::toDt(r[14]), created);
    QCOMPARE(r[10].toString(), u"pw"_s);
    // A new password typed twice replaces it, kept as its hash.
    FrmAddmem again(main);
    QVERIFY(again.ReadInfo(u"100000000001"_s));
    type(&again, u"txtPwd1"_s, u"新Pw9"_s);
    type(&again, u"txtPwd2"_s, u"新Pw9"_s);
    w<QPushButton>(&again, u"cmdSave"_s)->click();
    QVERIFY(h.messages().isEmpty());
    const QString stored = memberRow(u"100000000001"_s)[10].toString();
    QVERIFY(isHashed(stored));
    QVERIFY(secretMatches(stored, u"新Pw9"_s));
    QVERIFY(!secretMatches(stored, u"新pw9"_s));
    QVERIFY(!secretMatches(stored, u"pw"_s));
    QVERIFY(!FrmAddmem(main).ReadInfo(u"999999999999"_s));
}

void TstEnrolment::cardPasswordsBroughtOver()
{
    // What an older program left: passwords as typed (the upgrade marks
    // them), among members without one and one already hashed.
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    auto card = [](int i) { return u"5%1"_s.arg(i, 11, 10, QChar(u'0')); };
    auto plain = [](int i) { return u"Pw%1"_s.arg(i); };
    const int members = 1300; // more than one read and more than one batch
    {
        Transaction tx;
        for (int i = 0; i < members; ++i)
            Sql(u"INSERT INTO mber (id, name, pwd) VALUES (?, '会员', ?)"_s)
                .bind(card(i))
                .bind(i % 3 == 0 ? QString() : plain(i))
                .exec();
        Sql(u"UPDATE mber SET pwd = ? WHERE id = ?"_s)
            .bind(hashSecret(u"早已加密"_s, SecretUse::Card))
            .bind(card(1))
            .exec();
        Sql(u"INSERT INTO sysinfo (infokey, keyvalue) VALUES ('mberpwd', 'plain')"_s).exec();
        tx.commit();
    }
    QVERIFY(cardSecretsPending());

    // A password changed at another till between the read and the write is
    // kept as it now is.
    QString last;
    const QList<PlainCardSecret> first = plainCardSecrets(QString(), 10, &last);
    QCOMPARE(last, card(8));   // after the no-card customer
    QCOMPARE(first.size(), 5); // 0, 3, 6 have none; 1 is hashed
    QCOMPARE(first.at(0).card, card(2));
    MemberForm changed;
    changed.id = card(2);
    changed.name = u"会员"_s;
    changed.pwd = u"新的"_s;
    updateMemberData(changed, 0);
    QCOMPARE(storeCardSecrets(first, hashCardSecrets(first)), 4);
    QVERIFY(secretMatches(scalar(u"SELECT pwd FROM mber WHERE id = ?"_s, {card(2)}).toString(),
                          u"新的"_s));

    CardSecretUpgrade upgrade;
    QSignalSpy done(&upgrade, &CardSecretUpgrade::finished);
    QVERIFY(upgrade.start());
    QVERIFY(done.wait(120000));
    // 866 had a password as typed: one was hashed already, five were done.
    QCOMPARE(upgrade.written(), 860);
    QVERIFY(!cardSecretsPending());
    Sql rows(u"SELECT id, pwd FROM mber WHERE id LIKE '5%' ORDER BY id"_s);
    rows.exec();
    int seen = 0;
    while (rows.next()) {
        const int i = rows.text(0).mid(1).toInt();
        const QString stored = rows.text(1);
        if (i % 3 == 0) {
            QCOMPARE(stored, QString());
        } else {
            QVERIFY2(isHashed(stored), qPrintable(rows.text(0)));
            if (i != 1 && i != 2 && i % 97 == 5) // a sample: the hashes are slow to check
                QVERIFY(secretMatches(stored, plain(i)));
        }
        ++seen;
    }
    QCOMPARE(seen, members);
    QVERIFY(secretMatches(scalar(u"SELECT pwd FROM mber WHERE id = ?"_s, {card(1)}).toString(),
                          u"早已加密"_s));
    // Nothing left to do at the next start.
    QVERIFY(!CardSecretUpgrade().start());
}

void TstEnrolment::enterMovesOn()
{
    // A keyboard-style reader types the card number and Enter: the form
    // moves on to the name and saves nothing; Enter in the last box saves.
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(u"INSERT INTO lv (name) VALUES ('普通')"_s).exec();
    h.onModal([&](QDialog *d) {
        auto *id = w<QLineEdit>(d, u"txtID"_s);
        id->setFocus();
        QTest::keyClicks(id, u"100000000009"_s);
        QTest::keyClick(id, Qt::Key_Return);
        QVERIFY(d->isVisible());
        QCOMPARE(d->focusWidget(), w<QLineEdit>(d, u"txtName"_s));
        w<QLineEdit>(d, u"txtName"_s)->insert(u"刷卡"_s);
        QTest::keyClick(w<QLineEdit>(d, u"txtName"_s), Qt::Key_Enter);
        QCOMPARE(d->focusWidget(), w<QComboBox>(d, u"comHylx"_s));
        QTest::keyClick(w<QComboBox>(d, u"comHylx"_s), Qt::Key_Return);
        QCOMPARE(d->focusWidget(), w<QLineEdit>(d, u"txtTel"_s));
        QCOMPARE(scalar(u"SELECT count(*) FROM mber WHERE id = '100000000009'"_s).toInt(), 0);
        auto *last = w<QLineEdit>(d, u"txtPs"_s);
        last->setFocus();
        QTest::keyClick(last, Qt::Key_Return);
    });
    w<QPushButton>(main, u"dcButton6"_s)->click();
    QVERIFY2(h.messages().isEmpty(), qPrintable(h.lastText()));
    QCOMPARE(scalar(u"SELECT name FROM mber WHERE id = '100000000009'"_s).toString(), u"刷卡"_s);
}

void TstEnrolment::editDeletedLevel()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    Sql(u"INSERT INTO lv (name) VALUES ('普通')"_s).exec();
    Sql(u"INSERT INTO mber (id, name, lv, st) VALUES ('100000000001', '甲', '已删除', 2)"_s).exec();
    FrmAddmem form(main);
    QVERIFY(form.ReadInfo(u"100000000001"_s));
    QCOMPARE(w<QComboBox>(&form, u"comHylx"_s)->currentIndex(), -1);
    w<QPushButton>(&form, u"cmdSave"_s)->click();
    const QVariantList r = memberRow(u"100000000001"_s);
    QCOMPARE(r[1].toString(), u"已删除"_s);
    QCOMPARE(r[6].toInt(), 2); // the state read is written back
}

void TstEnrolment::referrer()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    for (int i = 0; i < 60; ++i)
        Sql(u"INSERT INTO mber (id, name) VALUES (?, '推荐人')"_s)
            .bind(u"8000000000%1"_s.arg(i, 2, 10, QChar(u'0')))
            .exec();
    Sql(u"INSERT INTO mber (id, name, lv, st) VALUES ('900000000001', '老会员', NULL, 2)"_s).exec();
    FrmAddmem form(main);
    auto *jsr = w<QLineEdit>(&form, u"txtJsr"_s);
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"选择介绍人"_s);
        QCOMPARE(state().cardTarget, 13);
        w<QPushButton>(d, u"cmdOK"_s)->click();
        QCOMPARE(h.lastText(), u"您还没有选择介绍人！"_s);
        type(d, u"txtIDName"_s, u"推荐"_s);
        w<QPushButton>(d, u"cmdFind"_s)->click();
        QCOMPARE(w<QTreeWidget>(d, u"lvJsr"_s)->topLevelItemCount(), 50);
        type(d, u"txtIDName"_s, u"老会员"_s); // any state
        w<QPushButton>(d, u"cmdFind"_s)->click();
        QCOMPARE(w<QTreeWidget>(d, u"lvJsr"_s)->topLevelItemCount(), 1);
        w<QPushButton>(d, u"cmdOK"_s)->click();
    });
    const int before = state().cardTarget;
    w<QPushButton>(&form, u"cmdAddJsr"_s)->click();
    QCOMPARE(state().cardTarget, before);
    QCOMPARE(jsr->text(), u"900000000001"_s);
    h.onModal([&](QDialog *d) { w<QPushButton>(d, u"cmdCC"_s)->click(); });
    w<QPushButton>(&form, u"cmdAddJsr"_s)->click();
    QCOMPARE(jsr->text(), u"900000000001"_s);
    w<QPushButton>(&form, u"cmdClJsr"_s)->click();
    QVERIFY(jsr->text().isEmpty());
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstEnrolment::icCardNumberFromReader()
{
    Harness h;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"klx"_s, u"0"_s);
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    QCOMPARE(state().cardTarget, 1);
    {
        FrmAddmem form(main);
        QCOMPARE(state().cardTarget, 3);
        QVERIFY(!w<QLineEdit>(&form, u"txtID"_s)->isEnabled());
        devices::deliverCard(u"123456789012"_s);
        QCOMPARE(w<QLineEdit>(&form, u"txtID"_s)->text(), u"123456789012"_s);
    }
    QCOMPARE(state().cardTarget, 1); // back on every way out
}

void TstEnrolment::photos()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    const QString photo = h.folder() + u"/p.bmp"_s;
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QVERIFY(img.save(photo));
    Sql(u"INSERT INTO mber (id, name, photo) VALUES ('100000000001', '甲', ?)"_s)
        .bind(photo)
        .exec();
    FrmAddmem form(main);
    QVERIFY(form.ReadInfo(u"100000000001"_s));
    bool viewed = false;
    h.onModal([&](QDialog *d) {
        viewed = !w<QLabel>(d, u"Pic"_s)->pixmap().isNull();
        d->accept();
    });
    w<QPushButton>(&form, u"cmdVP"_s)->click();
    QVERIFY(viewed);
    // Cancelling the file dialog keeps the photo: it can still be viewed.
    h.onModal([](QDialog *d) { d->reject(); });
    w<QPushButton>(&form, u"cmdXzzp"_s)->click();
    viewed = false;
    h.onModal([&](QDialog *d) {
        viewed = !w<QLabel>(d, u"Pic"_s)->pixmap().isNull();
        d->accept();
    });
    w<QPushButton>(&form, u"cmdVP"_s)->click();
    QVERIFY(viewed);
    // Cleared, it is stored empty.
    w<QPushButton>(&form, u"cmdQczp"_s)->click();
    w<QPushButton>(&form, u"cmdSave"_s)->click();
    QCOMPARE(memberRow(u"100000000001"_s)[17].toString(), QString());
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstEnrolment::cameraScreen()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    FrmAddmem form(main);
    w<QPushButton>(&form, u"cmdPz"_s)->click();
    QCOMPARE(h.lastText(), u"请先输入卡号！"_s);

    QTemporaryDir other;
    type(&form, u"txtID"_s, u" 100000000001 "_s);
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"会员拍照"_s);
        auto *p = qobject_cast<frmP *>(d);
        QVERIFY(p);
        const QString expected = QDir::toNativeSeparators(h.folder() + u"/photo/"_s);
        QCOMPARE(p->PSave, expected);
        QCOMPARE(GetSysInfo(u"ppath"_s), expected); // "defpath" resolved and stored
        QVERIFY(!w<QLabel>(d, u"lblCamera"_s)->text().isEmpty());
        w<QPushButton>(d, u"cmdOK"_s)->click();
        QCOMPARE(h.lastText(), u"请先拍照！"_s);
        // Another folder, chosen through the folder chooser.
        h.onModal([&](QDialog *fd) {
            auto *dlg = qobject_cast<QFileDialog *>(fd);
            dlg->setDirectory(other.path());
            dlg->selectFile(other.path());
            static_cast<QDialog *>(dlg)->accept();
        });
        w<QPushButton>(d, u"cmdB"_s)->click();
        QVERIFY(w<QLabel>(d, u"lblPath"_s)
                    ->text()
                    .endsWith(QDir::toNativeSeparators(other.path() + u"/"_s)));
        // A still frame is saved as a bitmap named after the card number.
        QImage frame(32, 24, QImage::Format_RGB32);
        frame.fill(Qt::green);
        QVERIFY(p->keepFrame(frame));
        w<QPushButton>(d, u"cmdOK"_s)->click();
    });
    w<QPushButton>(&form, u"cmdPz"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    const QString file = other.path() + u"/100000000001.bmp"_s;
    QVERIFY(QFile::exists(file));
    QCOMPARE(QImage(file).size(), QSize(32, 24));
    type(&form, u"txtID"_s, u"100000000001"_s);
    type(&form, u"txtName"_s, u"拍照"_s);
    w<QPushButton>(&form, u"cmdSave"_s)->click();
    QCOMPARE(QDir::fromNativeSeparators(memberRow(u"100000000001"_s)[17].toString()), file);
}

QTEST_MAIN(TstEnrolment)
#include "tst_enrolment.moc"

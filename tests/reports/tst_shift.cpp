// The shift handover: the figures of the shift, the record, the backup on
// the way out, handing over to the next operator, the exit, the history.

#include "appstate.h"
#include "database.h"
#include "frmlogin.h"
#include "frmmain.h"
#include "harness.h"
#include "sysinfo.h"
#include "ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

template <typename T = QWidget> T *w(QWidget *d, const QString &name)
{
    return d->findChild<T *>(name);
}
void click(QWidget *d, const QString &name)
{
    w<QPushButton>(d, name)->click();
}
QString text(QWidget *d, const QString &name)
{
    return w<QLabel>(d, name)->text();
}

QVariant at(const QDateTime &t)
{
    return Database::dt(t);
}

void sale(const QString &op, const QDateTime &when, double cash, double card,
          const QString &card_ = u"100000000001"_s)
{
    Sql(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, createtime, czy) VALUES (?, ?, ?, ?, ?, ?)"_s)
        .bind(card_)
        .bind(false)
        .bind(lit(card))
        .bind(lit(cash))
        .bind(at(when))
        .bind(op)
        .exec();
}
void giveBack(const QString &op, const QDateTime &when, double je, bool toCard)
{
    Sql(u"INSERT INTO thjl (conid, mberid, je, thfs, createtime, czy) VALUES (1, '100000000001', ?, ?, ?, ?)"_s)
        .bind(lit(je))
        .bind(toCard)
        .bind(at(when))
        .bind(op)
        .exec();
}
void recharge(const QString &op, const QDateTime &when, double paid, double credited)
{
    Sql(u"INSERT INTO czjl (mberid, mbername, ssje, czje, yhsm, createtime, czy) VALUES ('100000000001', '张三', ?, ?, '赠送', ?, ?)"_s)
        .bind(lit(paid))
        .bind(lit(credited))
        .bind(at(when))
        .bind(op)
        .exec();
}

struct Stored {
    QString czy;
    QDateTime login, handover;
    Amount yyje = -1, ssxj = -1, czje = -1, thfhxj = -1, thfhcz = -1;
};
QList<Stored> storedHandovers()
{
    QList<Stored> list;
    Sql q(
        u"SELECT czy, logintime, jbtime, yyje, ssxj, czje, thfhxj, thfhcz FROM jbjl ORDER BY id"_s);
    q.exec();
    while (q.next())
        list << Stored{q.text(0),
                       Database::toDt(q.value(1)),
                       Database::toDt(q.value(2)),
                       q.amount(3),
                       q.amount(4),
                       q.amount(5),
                       q.amount(6),
                       q.amount(7)};
    return list;
}

// A logged-in till whose shift began an hour ago.
struct Till {
    Harness h;
    QPointer<FrmMain> main;
    explicit Till(Backend b = Backend::Sqlite) : h(b) {}
    QDateTime login;
    bool start()
    {
        if (!h.startProgram())
            return false;
        Sql(u"INSERT INTO mber (id, name, st) VALUES ('100000000001', '张三', 0)"_s).exec();
        main = h.login();
        if (!main)
            return false;
        login = QDateTime::currentDateTime().addSecs(-3600);
        login = login.addMSecs(-login.time().msec());
        state().loginTime = login;
        return true;
    }
    void handover(const std::function<void(QDialog *)> &body)
    {
        h.onModal([body](QDialog *d) {
            body(d);
            if (d->isVisible())
                click(d, u"cmdCC"_s);
        });
        main->findChild<QPushButton *>(u"dcButton7"_s)->click();
    }
};

} // namespace

class TstShift : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void figures_data() { Harness::addBackendRows(); }
    void figures();
    void emptyShift();
    void periodChangedAfterOpening();
    void exitMode();
    void backup();
    void history();
};

void TstShift::figures()
{
    LT_USE_BACKEND();
    Till t(backend);
    QVERIFY(t.start());
    const QDateTime in = t.login.addSecs(60);
    sale(u"admin"_s, t.login, 0.999, 0);             // at the first second: counted, cut to 0.99
    sale(u"admin"_s, in, 10, 20.5);                  // mixed: once in the list
    sale(u"admin"_s, in, 5, 0, u"999999999999"_s);   // a member that is gone
    sale(u"admin"_s, t.login.addSecs(-1), 100, 100); // before the shift
    sale(u"其他"_s, in, 100, 100);                   // another operator
    giveBack(u"admin"_s, in, 5, true);
    giveBack(u"admin"_s, in, 3, false);
    giveBack(u"其他"_s, in, 50, false);
    recharge(u"admin"_s, in, 100, 110);
    recharge(u"其他"_s, in, 500, 500);
    int targetWhileOpen = -1;
    QDateTime end;
    t.handover([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"操作员交班"_s);
        targetWhileOpen = state().cardTarget;
        QCOMPARE(w<QDateEdit>(d, u"dtStart"_s)->date(), t.login.date());
        QCOMPARE(w<QTimeEdit>(d, u"TimeStart"_s)->time(), t.login.time());
        end = QDateTime(w<QDateEdit>(d, u"dtEnd"_s)->date(), w<QTimeEdit>(d, u"TimeEnd"_s)->time());
        QCOMPARE(text(d, u"Label2_0"_s), u"统计时间："_s +
                                             t.login.toString(u"yyyy-MM-dd HH:mm:ss"_s) +
                                             u" 至 "_s + end.toString(u"yyyy-MM-dd HH:mm:ss"_s));
        QCOMPARE(text(d, u"Label2_1"_s), u"交班统计"_s);
        QCOMPARE(text(d, u"Label2_2"_s), u"操作员：admin"_s);
        QCOMPARE(text(d, u"Label2_3"_s), u"现金消费：15.99元"_s);
        QCOMPARE(text(d, u"Label2_4"_s), u"储值卡消费：20.5元"_s);
        QCOMPARE(text(d, u"Label2_5"_s), u"退货金额：8元"_s);
        QCOMPARE(text(d, u"Label2_6"_s), u"营业金额：36.49元"_s);
        QCOMPARE(text(d, u"Label2_7"_s), u"充值实收现金：100元"_s);
        // Cash sales and cash recharges less the cash handed back.
        QCOMPARE(text(d, u"Label2_8"_s), u"应交现金：112.99元"_s);
        // Without a receipt printer the slip says so.
        click(d, u"cmdPrint"_s);
        QCOMPARE(t.h.lastText(), u"您还没有设置小票打印机，请先在系统设置中设置小票打印机！"_s);
        t.h.clearMessages();
        auto *lvXf = w<QTreeWidget>(d, u"lvXf"_s);
        QCOMPARE(lvXf->topLevelItemCount(), 3);
        QCOMPARE(lvXf->topLevelItem(1)->text(2), u"张三"_s);
        QCOMPARE(lvXf->topLevelItem(1)->text(3), u"30.5元"_s);
        QCOMPARE(lvXf->topLevelItem(2)->text(2), QString());
        auto *lvCz = w<QTreeWidget>(d, u"lvCz"_s);
        QCOMPARE(lvCz->topLevelItemCount(), 1);
        QCOMPARE(lvCz->topLevelItem(0)->text(3), u"110元"_s);
        // The tabs.
        auto *stack = w<QStackedWidget>(d, u"stkOp"_s);
        click(d, u"cmdOp_2"_s);
        QCOMPARE(stack->currentWidget()->objectName(), u"picOp_2"_s);
        QVERIFY(w<QPushButton>(d, u"cmdOp_2"_s)->styleSheet().contains(u"blue"_s));
        QVERIFY(!w<QPushButton>(d, u"cmdOp_0"_s)->styleSheet().contains(u"blue"_s));
        QVERIFY(w<QCheckBox>(d, u"chkJilu"_s)->isChecked());
        QVERIFY(!w<QCheckBox>(d, u"chkBk"_s)->isChecked());
        click(d, u"cmdOK"_s);
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    QCOMPARE(targetWhileOpen, 0);
    const QList<Stored> rows = storedHandovers();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].czy, u"admin"_s);
    QCOMPARE(rows[0].login, t.login);
    QCOMPARE(rows[0].handover, end);
    QCOMPARE(rows[0].yyje, 36.49);
    QCOMPARE(rows[0].ssxj, 100.0);
    QCOMPARE(rows[0].czje, 110.0);
    QCOMPARE(rows[0].thfhxj, 3.0);
    QCOMPARE(rows[0].thfhcz, 5.0);
    QCOMPARE(GetSysInfo(u"exitbk"_s), u"no"_s);

    // The login window is back; the next operator gets a fresh main window.
    QTRY_VERIFY(t.main.isNull());
    QVERIFY(!t.h.programEnded());
    QVERIFY(t.h.loginWindow()->isVisible());
    // Without the password of the one before.
    QCOMPARE(t.h.loginWindow()->findChild<QLineEdit *>(u"txtPwd"_s)->text(), QString());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('小王', '1', '111111111111')"_s).exec();
    FrmMain *next = t.h.login(u"小王"_s, u"1"_s);
    QVERIFY(next);
    QCOMPARE(state().operatorName, u"小王"_s);
    QVERIFY(!next->isJiaoban);
}

void TstShift::emptyShift()
{
    Till t;
    QVERIFY(t.start());
    t.handover([&](QDialog *d) {
        for (const char *label : {"Label2_3", "Label2_4", "Label2_5", "Label2_6", "Label2_7"})
            QVERIFY2(text(d, QString::fromLatin1(label)).endsWith(u"：0元"_s), label);
        QCOMPARE(w<QTreeWidget>(d, u"lvXf"_s)->topLevelItemCount(), 0);
        QCOMPARE(w<QTreeWidget>(d, u"lvCz"_s)->topLevelItemCount(), 0);
        click(d, u"cmdOK"_s);
    });
    const QList<Stored> rows = storedHandovers();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].yyje + rows[0].ssxj + rows[0].czje + rows[0].thfhxj + rows[0].thfhcz, 0.0);
}

void TstShift::periodChangedAfterOpening()
{
    Till t;
    QVERIFY(t.start());
    sale(u"admin"_s, t.login.addSecs(10), 7, 0);
    sale(u"admin"_s, t.login.addDays(-1), 40, 0); // before the shift
    QDateTime end;
    t.handover([&](QDialog *d) {
        QCOMPARE(text(d, u"Label2_3"_s), u"现金消费：7元"_s);
        w<QDateEdit>(d, u"dtStart"_s)->setDate(t.login.date().addDays(-2));
        w<QTimeEdit>(d, u"TimeEnd"_s)->setTime(QTime(23, 59, 59));
        end = QDateTime(w<QDateEdit>(d, u"dtEnd"_s)->date(), QTime(23, 59, 59));
        click(d, u"cmdSearch"_s);
        QCOMPARE(text(d, u"Label2_3"_s), u"现金消费：47元"_s);
        QCOMPARE(w<QTreeWidget>(d, u"lvXf"_s)->topLevelItemCount(), 2);
        w<QCheckBox>(d, u"chkJilu"_s)->setChecked(true);
        click(d, u"cmdOK"_s);
    });
    const QList<Stored> rows = storedHandovers();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].yyje, 7.0); // the shift as it stood at the opening
    QCOMPARE(rows[0].handover, end);
}

void TstShift::exitMode()
{
    Till t;
    QVERIFY(t.start());
    const QString op = state().operatorName;
    t.h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"退出系统"_s);
        QCOMPARE(text(d, u"Label2_1"_s), u"退出统计"_s);
        QCOMPARE(w<QPushButton>(d, u"cmdOK"_s)->text(), u"确认退出(&X)"_s);
        w<QCheckBox>(d, u"chkJilu"_s)->setChecked(false);
        click(d, u"cmdCC"_s);
    });
    t.main->findChild<QPushButton *>(u"cmdExit"_s)->click();
    // Cancelled: the same operator runs on.
    QVERIFY(t.main && t.main->isVisible());
    QVERIFY(!t.h.programEnded());
    QCOMPARE(state().operatorName, op);
    t.h.onModal([&](QDialog *d) {
        w<QCheckBox>(d, u"chkJilu"_s)->setChecked(false);
        click(d, u"cmdOK"_s);
    });
    t.main->findChild<QToolButton *>(u"Image6"_s)->click();
    QVERIFY(t.h.programEnded());
    QCOMPARE(t.h.unexpectedModals(), 0);
    QVERIFY(storedHandovers().isEmpty());
}

void TstShift::backup()
{
    Till t;
    QVERIFY(t.start());
    QTemporaryDir root;
    const QString folder = root.filePath(u"备份/每日"_s); // created when missing
    QVERIFY(QDir().mkpath(folder));
    // The folder is chosen in the window and stored at once, with a separator.
    t.handover([&](QDialog *d) {
        t.h.onModal([&](QDialog *chooser) {
            auto *f = qobject_cast<QFileDialog *>(chooser);
            QVERIFY(f);
            QCOMPARE(f->windowTitle(), u"请选择备份数据存放的文件夹："_s);
            f->setDirectory(folder);
            f->selectFile(folder);
            static_cast<QDialog *>(f)->accept();
        });
        click(d, u"cmdSelBkPath"_s);
        QCOMPARE(GetSysInfo(u"bkpath"_s), folder + u"/"_s);
        click(d, u"cmdCC"_s);
    });
    QCOMPARE(t.h.unexpectedModals(), 0);
    QDir(folder).removeRecursively();
    // Backing up on the way out, twice: the copy is replaced.
    for (int round = 1; round <= 2; ++round) {
        Sql(u"UPDATE mber SET ye = ? WHERE id = '100000000001'"_s).bind(Amount(round * 10)).exec();
        t.h.onModal([&](QDialog *d) {
            w<QCheckBox>(d, u"chkBk"_s)->setChecked(true);
            w<QCheckBox>(d, u"chkJilu"_s)->setChecked(false);
            click(d, u"cmdOK"_s);
        });
        FrmMain *main = round == 1 ? t.main.data() : t.h.login();
        QVERIFY(main);
        main->findChild<QPushButton *>(u"dcButton7"_s)->click();
        const QString copy = QDir(folder).filePath(u"qzdbbak.qdb"_s);
        QVERIFY(QFileInfo::exists(copy));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"backup-check"_s);
            db.setDatabaseName(copy);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(u"SELECT ye FROM mber WHERE id = '100000000001'"_s) && q.next());
            QCOMPARE(Amount::fromRaw(q.value(0).toLongLong()), Amount(round * 10));
        }
        QSqlDatabase::removeDatabase(u"backup-check"_s);
        QCOMPARE(GetSysInfo(u"exitbk"_s), u"yes"_s);
    }
    // The box starts ticked now; with no folder nothing is copied, silently.
    SetSysInfo(u"bkpath"_s, QString());
    t.h.clearMessages();
    FrmMain *main = t.h.login();
    QVERIFY(main);
    t.main = main;
    t.handover([&](QDialog *d) {
        QVERIFY(w<QCheckBox>(d, u"chkBk"_s)->isChecked());
        click(d, u"cmdOK"_s);
    });
    QVERIFY(t.h.messages().isEmpty());
    QCOMPARE(GetSysInfo(u"exitbk"_s), u"yes"_s);
}

void TstShift::history()
{
    Till t;
    QVERIFY(t.start());
    const QDateTime today = QDateTime(QDate::currentDate(), QTime(0, 0, 5));
    Sql(A(u"INSERT INTO jbjl (czy, logintime, jbtime, yyje, ssxj, czje, thfhxj, thfhcz) VALUES ('夜班', ?, ?, {12.5}, {100}, {110}, {3}, {4})"_s))
        .bind(at(today.addSecs(-3600)))
        .bind(at(today))
        .exec();
    QAbstractItemView *exported = nullptr;
    QString title;
    ui::setReportExporter([&](QAbstractItemView *l, const QString &ti, bool) {
        exported = l;
        title = ti;
    });
    t.main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    t.h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"交班历史查询"_s);
        QCOMPARE(state().cardTarget, 0);
        auto *lv = w<QTreeWidget>(d, u"lvTb"_s);
        QCOMPARE(lv->topLevelItemCount(), 0); // nothing runs on opening
        QCOMPARE(w<QTimeEdit>(d, u"TimeStart1"_s)->time(), QTime(0, 0));
        click(d, u"cmdSearch_0"_s); // by login time: it began yesterday
        QCOMPARE(lv->topLevelItemCount(), 0);
        click(d, u"cmdSearch_1"_s); // by handover time: it ended today
        QCOMPARE(lv->topLevelItemCount(), 1);
        const QTreeWidgetItem *row = lv->topLevelItem(0);
        QCOMPARE(row->text(0), u"夜班"_s);
        QCOMPARE(row->text(3), u"12.5元"_s);
        QCOMPARE(row->text(4), u"100元"_s);
        QCOMPARE(row->text(5), u"3元"_s);
        QCOMPARE(row->text(6), u"4元"_s);
        click(d, u"cmdExcel"_s);
        QCOMPARE(exported, lv);
        click(d, u"cmdClose"_s);
    });
    t.main->findChild<QToolButton *>(u"ImgReport_9"_s)->click();
    ui::setReportExporter({});
    QCOMPARE(t.h.unexpectedModals(), 0);
    QCOMPARE(title, u"交班记录报表"_s);
}

QTEST_MAIN(TstShift)
#include "tst_shift.moc"

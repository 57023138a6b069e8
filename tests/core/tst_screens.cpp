// Every screen of the program on a 1366×768 till, filled with the longest
// contents a shop has (whole 13-digit goods codes, 18-digit ID numbers,
// long goods names and remarks, date-times): no column, label, box or button
// is narrower than its text, and no window is larger than the screen.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "salewindows.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

const QString kCard = u"100000000001"_s;
const QString kGoods = u"6901234567892"_s;

// A shop's longest-expected data, in every table a screen shows.
void fillShop()
{
    const QVariant now = Database::dt(QDateTime::currentDateTime());
    Sql(u"INSERT INTO lv (name, zk, csje, csjf) VALUES ('钻石至尊会员', ?, 0, 0)"_s)
        .bind(Amount(85))
        .exec();
    Sql(u"INSERT INTO mber (id, name, sex, lv, tel, zjlx, zjhm, pwd, csny, booljzrq, jzrq, ye, jf,"
        u" st, ljxfje, ljxfcs, ljczje, addr, qq, fx, ps, createtime, jsr)"
        u" VALUES (?, '欧阳娜娜娜', 2, '钻石至尊会员', '13800138000', '身份证',"
        u" '44010619900101123X', '', ?, 1, ?, ?, ?, 0, ?, 12, ?,"
        u" '广东省广州市天河区天河路385号太古汇一座', '123456789012', '美容美发',"
        u" '老顾客，喜欢周末来店里', ?, '100000000002')"_s)
        .bind(kCard)
        .bind(Database::dt(QDateTime(
            QDate(1990, QDate::currentDate().month(), std::min(QDate::currentDate().day(), 28)),
            QTime(0, 0)))) // a birthday for the reminder
        .bind(Database::dt(QDateTime(QDate(2028, 12, 31), QTime(23, 59, 59))))
        .bind(Amount::fromDecimalText(u"123456.78"_s))
        .bind(Amount(98765))
        .bind(Amount::fromDecimalText(u"234567.89"_s))
        .bind(Amount::fromDecimalText(u"345678.90"_s))
        .bind(now)
        .exec();
    Sql(u"INSERT INTO czgz (shangxian, xiaxian, je) VALUES (?, ?, ?)"_s)
        .bind(Amount(1000))
        .bind(Amount(100000))
        .bind(Amount(2000))
        .exec();
    Sql(u"INSERT INTO splb (name) VALUES ('饮料酒水'), ('日用百货')"_s).exec();
    Sql(u"INSERT INTO sp (spid, name, lb, dw, jj, sj, jf, zt, kc) VALUES (?,"
        u" '农夫山泉天然饮用水550ml×24瓶整箱装', '饮料酒水', '箱', ?, ?, ?, 1, ?)"_s)
        .bind(kGoods)
        .bind(Amount::fromDecimalText(u"8888.88"_s))
        .bind(Amount::fromDecimalText(u"9999.99"_s))
        .bind(Amount(100))
        .bind(Amount(123456))
        .exec();
    Sql con(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
            u" VALUES (?, ?, ?, ?, 1000, ?, '收银员小王', '整箱购买，送货上门') RETURNING id"_s);
    con.bind(kCard)
        .bind(true)
        .bind(Amount::fromDecimalText(u"19999.98"_s))
        .bind(Amount::fromDecimalText(u"1000.00"_s))
        .bind(now)
        .exec();
    con.next();
    const int conId = con.integer(0);
    con.query().finish();
    Sql(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je)"
        u" VALUES (?, ?, '农夫山泉天然饮用水550ml×24瓶整箱装', ?, ?, ?, ?, ?, ?)"_s)
        .bind(conId)
        .bind(kGoods)
        .bind(Amount::fromDecimalText(u"9999.99"_s))
        .bind(Amount(85))
        .bind(Amount::fromDecimalText(u"8499.99"_s))
        .bind(Amount(2))
        .bind(Amount(100))
        .bind(Amount::fromDecimalText(u"16999.98"_s))
        .exec();
    Sql(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, yhsm, czy, ps, createtime)"
        u" VALUES (?, '欧阳娜娜娜', '钻石至尊会员', ?, ?, '充值满10000元送2000元，另送积分500分',"
        u" '收银员小王', '年终大促', ?)"_s)
        .bind(kCard)
        .bind(Amount(10000))
        .bind(Amount(12000))
        .bind(now)
        .exec();
    Sql(u"INSERT INTO dhjl (mberid, mbername, mberlb, jf, ps, czy, createtime) VALUES (?,"
        u" '欧阳娜娜娜', '钻石至尊会员', ?, '兑换电饭煲一台（型号MB-FB40Simple）', '收银员小王', ?)"_s)
        .bind(kCard)
        .bind(Amount(5000))
        .bind(now)
        .exec();
    Sql(u"INSERT INTO thjl (conid, mberid, mbername, mberlb, je, thfs, czy, createtime, ps)"
        u" VALUES (1, ?, '欧阳娜娜娜', '钻石至尊会员', ?, ?, '收银员小王', ?, '包装破损，整箱退回')"_s)
        .bind(kCard)
        .bind(Amount::fromDecimalText(u"8499.99"_s))
        .bind(true)
        .bind(now)
        .exec();
    Sql(u"INSERT INTO zzjl (zcid, zcname, zclv, zrid, zrname, zrlv, je, czy, createtime, ps)"
        u" VALUES (?, '欧阳娜娜娜', '钻石至尊会员', '100000000002', '司马相如', '钻石至尊会员', ?,"
        u" '收银员小王', ?, '家人之间转账')"_s)
        .bind(kCard)
        .bind(Amount(50000))
        .bind(now)
        .exec();
    Sql(u"INSERT INTO jbjl (czy, logintime, jbtime, yyje, ssxj, czje, thfhxj, thfhcz)"
        u" VALUES ('收银员小王', ?, ?, ?, ?, ?, ?, ?)"_s)
        .bind(now)
        .bind(now)
        .bind(Amount::fromDecimalText(u"123456.78"_s))
        .bind(Amount::fromDecimalText(u"23456.78"_s))
        .bind(Amount::fromDecimalText(u"34567.89"_s))
        .bind(Amount::fromDecimalText(u"456.78"_s))
        .bind(Amount::fromDecimalText(u"567.89"_s))
        .exec();
    Sql(u"INSERT INTO syslog (czy, czlx, cznr, createtime) VALUES ('收银员小王', '会员充值',"
        u" '为会员[100000000001]欧阳娜娜娜充值10000元，实际入账12000元，最新余额123456.78元', ?)"_s)
        .bind(now)
        .exec();
    Sql(u"INSERT INTO sjtx (mberid, txsj, lx, ps, czy) VALUES (?, ?, '结婚纪念日',"
        u" '提前一周准备礼物，记得打电话', '收银员小王')"_s)
        .bind(kCard)
        .bind(now)
        .exec();
    Sql(u"INSERT INTO mber (id, name, lv, st, createtime) VALUES ('100000000002', '司马相如',"
        u" '钻石至尊会员', 0, ?)"_s)
        .bind(now)
        .exec();
}

// The demonstration shop's program, logged in, its main window filling the
// screen; null when it did not start.
FrmMain *openShop(Harness &h)
{
    if (!h.openDatabase())
        return nullptr;
    fillShop();
    Database::close();
    if (!h.startProgram())
        return nullptr;
    FrmMain *main = h.login();
    if (main) {
        main->showMaximized();
        main->resize(QGuiApplication::primaryScreen()->availableSize());
    }
    return main;
}

// Whatever of the window is cut off: "window › widget: text".
QStringList cutOff(QWidget *window)
{
    QStringList problems;
    const QString where =
        window->windowTitle().isEmpty() ? window->objectName() : window->windowTitle();
    const auto tell = [&](QWidget *w, const QString &what) {
        problems << u"%1 › %2: %3"_s.arg(where, w->objectName(), what);
    };
    const QRect screen = window->screen()->availableGeometry();
    if (window->minimumSizeHint().width() > screen.width() ||
        window->minimumSizeHint().height() > screen.height())
        tell(window, u"larger than the screen"_s);
    for (QLabel *l : window->findChildren<QLabel *>()) {
        if (!l->isVisibleTo(window) || l->text().isEmpty() || Qt::mightBeRichText(l->text()) ||
            !l->pixmap().isNull())
            continue;
        QString text = l->text();
        if (l->buddy())
            text.remove(u'&');
        const QFontMetrics fm(l->font());
        if (l->wordWrap()) {
            if (l->contentsRect().height() + 1 < l->heightForWidth(l->width()))
                tell(l, u"%1 (%2 < %3 high)"_s.arg(text)
                            .arg(l->contentsRect().height())
                            .arg(l->heightForWidth(l->width())));
        } else {
            for (const QString &line : text.split(u'\n'))
                if (l->contentsRect().width() + 1 < fm.horizontalAdvance(line) + l->indent()) {
                    tell(l, line);
                    break;
                }
        }
    }
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
        if (b->isVisibleTo(window) && !b->text().isEmpty() && !qobject_cast<QToolButton *>(b) &&
            b->width() < b->minimumSizeHint().width())
            tell(b, b->text());
    for (QLineEdit *e : window->findChildren<QLineEdit *>()) {
        if (!e->isVisibleTo(window) || e->text().isEmpty() || e->echoMode() != QLineEdit::Normal ||
            qobject_cast<QComboBox *>(e->parentWidget()))
            continue;
        // The text and the frame's own room.
        // The text and the line edit's own margins (two pixels each side).
        const int needed = QFontMetrics(e->font()).horizontalAdvance(e->text()) + 4 +
                           e->textMargins().left() + e->textMargins().right();
        if (e->contentsRect().width() < needed)
            tell(e, u"%1 (%2 < %3)"_s.arg(e->text()).arg(e->contentsRect().width()).arg(needed));
    }
    for (QComboBox *c : window->findChildren<QComboBox *>())
        if (c->isVisibleTo(window) && !c->currentText().isEmpty() &&
            c->width() < QFontMetrics(c->font()).horizontalAdvance(c->currentText()) + 30)
            tell(c, c->currentText());
    for (QTreeView *v : window->findChildren<QTreeView *>()) {
        if (!v->isVisibleTo(window) || !v->model())
            continue;
        QHeaderView *h = v->header();
        // Every column in sight where the screen has room for it.
        int total = 0;
        for (int c = 0; c < h->count(); ++c)
            total += h->isSectionHidden(c) ? 0 : h->sectionSize(c);
        if (total > v->viewport()->width() + 1 && window->width() < screen.width() * 9 / 10)
            tell(v,
                 u"columns wider than the list (%1 > %2)"_s.arg(total).arg(v->viewport()->width()));
        for (int c = 0; c < h->count(); ++c) {
            if (h->isSectionHidden(c))
                continue;
            const int size = h->sectionSize(c);
            if (!h->isHidden() && size < h->sectionSizeHint(c))
                tell(v, u"heading %1"_s.arg(v->model()->headerData(c, Qt::Horizontal).toString()));
            for (int r = 0; r < std::min(v->model()->rowCount(), 30); ++r) {
                const QModelIndex i = v->model()->index(r, c);
                const int indent = c == 0 && v->rootIsDecorated() ? v->indentation() : 0;
                if (size < v->sizeHintForIndex(i).width() + indent) {
                    tell(v, i.data().toString());
                    break;
                }
            }
        }
    }
    return problems;
}

} // namespace

class TstScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tillScreen();
    void nothingCutOff();
    void pictures();
};

void TstScreens::tillScreen()
{
    // The test runs on a screen the size of a common till's.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(screen.size(), QSize(1366, 768));
}

void TstScreens::nothingCutOff()
{
    Harness h;
    FrmMain *main = openShop(h);
    QVERIFY(main);
    QCoreApplication::processEvents();
    QStringList problems;
    const auto settle = [] {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    };
    const auto look = [&](QWidget *w) {
        settle();
        problems += cutOff(w);
    };

    // The main window's panels, with the member shown and each history.
    main->ShowMber(kCard);
    for (const char *tab : {"ButXf_0", "ButXf_1", "ButXf_2", "ButXf_3"}) {
        main->findChild<QPushButton *>(QString::fromLatin1(tab))->click();
        look(main);
    }
    for (const char *panel : {"cmdMemgl", "cmdMemtj", "cmdSysz", "cmdMemxf"}) {
        main->findChild<QAbstractButton *>(QString::fromLatin1(panel))->click();
        look(main);
    }

    // Every screen opened from the main window, as it opens and, for a
    // report, with its query run.
    const auto open = [&](const QString &button) {
        bool opened = false;
        h.onModal([&](QDialog *d) {
            opened = true;
            look(d);
            // The basket with a line in it.
            if (auto *sale = qobject_cast<sales::FrmSpxf *>(d)) {
                sale->AddSp(kGoods, Amount(2));
                look(d);
                d->findChild<QTreeView *>(u"lvSp"_s)->model()->removeRows(0, 1);
            }
            // The recharge with its bonus explained.
            if (auto *paid = d->findChild<QLineEdit *>(u"txtSsje"_s)) {
                paid->setText(u"10000"_s);
                look(d);
            }
            if (auto *search = d->findChild<QPushButton *>(u"cmdSearch"_s);
                search && search->isVisible() && search->isEnabled()) {
                search->click();
                look(d);
            }
            if (d->isVisible())
                d->reject();
        });
        auto *b = main->findChild<QAbstractButton *>(button);
        QVERIFY2(b, qPrintable(button));
        b->click();
        QVERIFY2(opened, qPrintable(button + u" "_s + h.lastText()));
    };
    main->findChild<QAbstractButton *>(u"cmdMemxf"_s)->click();
    main->ShowMber(kCard);
    for (const char *b : {"dcButton6", "dcButton5", "dcButton7", "cmdAbout", "dcButton11",
                          "dcButton12", "cmdChongzhi", "cmdDhjf", "cmdAddsj", "cmdStatement"})
        open(QString::fromLatin1(b));
    // The member list's screens, for the member chosen in it.
    main->findChild<QAbstractButton *>(u"cmdMemgl"_s)->click();
    main->findChild<QAbstractButton *>(u"cmdQuery"_s)->click();
    look(main);
    auto *members = main->findChild<QTreeView *>(u"lvMber"_s);
    QVERIFY(members && members->model()->rowCount() > 0);
    const QModelIndexList ours =
        members->model()->match(members->model()->index(0, 0), Qt::DisplayRole, kCard);
    QVERIFY(!ours.isEmpty());
    members->setCurrentIndex(ours.first());
    for (int i : {1, 4, 5, 8})
        open(u"CmdGl_%1"_s.arg(i));
    // The import window with a file of the shop's longest contents, a new
    // level and a row with problems.
    QTemporaryDir files;
    const QString sheet = files.filePath(u"会员资料.csv"_s);
    {
        QFile f(sheet);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(u"会员卡号,姓名,手机号码,会员等级,余额（元）,积分,出生日期,身份证号,有效期至,备注\n"
                u"100000000777,欧阳明月,13912345678,钻石贵宾会员卡,99999999.99,123456,"
                u"1990-07-01,11010119900701001X,2030-12-31,长期顾客，每月初来店购买大包装商品\n"
                u"100000000778,,,金卡,12abc,,1990-02-31,,,\n"_s.toUtf8());
    }
    h.onModal([&](QDialog *d) {
        qobject_cast<QFileDialog *>(d)->selectFile(sheet);
        d->accept();
    });
    bool imported = false;
    h.onModal([&](QDialog *d) {
        imported = true;
        look(d);
        d->reject();
    });
    main->findChild<QAbstractButton *>(u"cmdImport"_s)->click();
    QVERIFY2(imported, qPrintable(h.lastText()));
    main->findChild<QAbstractButton *>(u"cmdMemtj"_s)->click();
    for (int i = 0; i < 10; ++i)
        open(u"ImgReport_%1"_s.arg(i));
    main->findChild<QAbstractButton *>(u"cmdSysz"_s)->click();
    for (int i = 0; i < 8; ++i)
        open(u"Imgsz_%1"_s.arg(i));
    problems.removeDuplicates();
    QVERIFY2(problems.isEmpty(), qPrintable(u"\n"_s + problems.join(u'\n')));
}

void TstScreens::pictures()
{
    // The README's pictures of the main screens, rendered from the same
    // demonstration shop: into LANTING_SCREENSHOTS when it names a folder
    // (scripts/screenshots.sh), else into a folder of the test's own.
    QTemporaryDir scratch;
    const QString folder = qEnvironmentVariableIsSet("LANTING_SCREENSHOTS")
                               ? qEnvironmentVariable("LANTING_SCREENSHOTS")
                               : scratch.path();
    QVERIFY(QDir().mkpath(folder));
    Harness h;
    FrmMain *main = openShop(h);
    QVERIFY(main);
    QStringList saved;
    const auto picture = [&](QWidget *w, const QString &name) {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        const QString file = QDir(folder).filePath(name + u".png"_s);
        QVERIFY2(w->grab().save(file), qPrintable(file));
        saved << file;
    };
    main->ShowMber(kCard);
    picture(main, u"member"_s);
    h.onModal([&](QDialog *d) {
        auto *sale = qobject_cast<sales::FrmSpxf *>(d);
        QVERIFY(sale);
        sale->AddSp(kGoods, Amount(2));
        picture(d, u"sale"_s);
        d->findChild<QAbstractButton *>(u"optXPay"_s)->click();
        h.onModal([&](QDialog *pay) {
            picture(pay, u"payment"_s);
            pay->reject();
        });
        d->findChild<QPushButton *>(u"cmdOK"_s)->click();
        d->findChild<QTreeView *>(u"lvSp"_s)->model()->removeRows(0, 1);
        d->reject();
    });
    main->findChild<QAbstractButton *>(u"dcButton11"_s)->click();
    main->findChild<QAbstractButton *>(u"cmdMemtj"_s)->click();
    picture(main, u"today"_s);
    h.onModal([&](QDialog *d) {
        auto *search = d->findChild<QPushButton *>(u"cmdSearch"_s);
        QVERIFY(search);
        search->click();
        picture(d, u"report"_s);
        d->reject();
    });
    main->findChild<QAbstractButton *>(u"ImgReport_3"_s)->click();
    main->findChild<QAbstractButton *>(u"cmdSysz"_s)->click();
    picture(main, u"settings"_s);
    QCOMPARE(saved.size(), 6);
    for (const QString &file : saved) {
        const QImage image(file);
        QVERIFY2(image.width() >= 200 && image.height() >= 100, qPrintable(file));
    }
}

QTEST_MAIN(TstScreens)
#include "tst_screens.moc"

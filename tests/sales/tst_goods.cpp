// The goods settings window: categories, the goods list and its filters,
// adding, editing, deleting, disabling; the per-level discount window.

#include "appstate.h"
#include "database.h"
#include "discounts.h"
#include "frmmain.h"
#include "harness.h"
#include "sysinfo.h"
#include "ui.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

void click(QWidget *w, const char *name)
{
    auto *b = w->findChild<QPushButton *>(QString::fromLatin1(name));
    QVERIFY2(b, name);
    b->click();
}

QTreeWidget *goodsList(QDialog *d)
{
    return d->findChild<QTreeWidget *>(u"lvSp"_s);
}
QListWidget *categoryList(QDialog *d)
{
    return d->findChild<QListWidget *>(u"Lb"_s);
}
QString countLabel(QDialog *d)
{
    return d->findChild<QLabel *>(u"lblAll"_s)->text();
}

// A real click on an entry of the category list.
void clickCategory(QDialog *d, const QString &name)
{
    QListWidget *lb = categoryList(d);
    const QList<QListWidgetItem *> found = lb->findItems(name, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(name));
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, lb->visualItemRect(found[0]).center());
}

QStringList column(QTreeWidget *list, int c)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(c);
    return texts;
}

void storeGoods(const QString &spid, const QString &name, const QString &lb, bool zt = true,
                double sj = 10)
{
    Sql(A(u"INSERT INTO sp (spid, name, lb, dw, jj, sj, jf, zt, kc) VALUES (?, ?, ?, '件', {5}, ?, 0, ?, {20})"_s))
        .bind(spid)
        .bind(name)
        .bind(lb)
        .bind(lit(sj))
        .bind(zt)
        .exec();
}

int count(const QString &table, const QString &where = u"1 = 1"_s, const QVariantList &v = {})
{
    return scalar(u"SELECT count(*) FROM "_s + table + u" WHERE "_s + where, v).toInt();
}

QStringList logContents()
{
    return firstColumn(u"SELECT cznr FROM syslog ORDER BY id"_s);
}

// Fills the goods dialog; empty texts leave a field as it is.
struct GoodsInput {
    QString spid, name, lb, dw, jj, sj, jf, kc;
    bool keepPoints = true, keepStock = true;
};

void fillGoods(QDialog *e, const GoodsInput &in)
{
    if (!in.spid.isNull())
        e->findChild<QLineEdit *>(u"txtID"_s)->setText(in.spid);
    if (!in.name.isNull())
        e->findChild<QLineEdit *>(u"txtName"_s)->setText(in.name);
    if (!in.lb.isNull()) {
        auto *lb = e->findChild<QComboBox *>(u"comLb"_s);
        lb->setCurrentIndex(lb->findText(in.lb));
    }
    if (!in.dw.isNull())
        e->findChild<QComboBox *>(u"comDw"_s)->setCurrentText(in.dw);
    if (!in.jj.isNull())
        e->findChild<QLineEdit *>(u"txtJj"_s)->setText(in.jj);
    if (!in.sj.isNull())
        e->findChild<QLineEdit *>(u"txtSj"_s)->setText(in.sj);
    if (!in.jf.isNull())
        e->findChild<QLineEdit *>(u"txtJf"_s)->setText(in.jf);
    if (!in.kc.isNull())
        e->findChild<QLineEdit *>(u"txtKc"_s)->setText(in.kc);
}

// Opens the goods window from the settings panel and hands it to `body`.
void withGoodsWindow(Harness &h, FrmMain *main, const std::function<void(QDialog *)> &body)
{
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"商品设置"_s);
        body(d);
        click(d, "cmdClose");
    });
    main->findChild<QToolButton *>(u"Imgsz_0"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
}

} // namespace

class TstGoods : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listFilters_data() { Harness::addBackendRows(); }
    void listFilters();
    void addGoods_data();
    void addGoods();
    void addRefused();
    void editGoods();
    void deleteAndDisable();
    void categories_data() { Harness::addBackendRows(); }
    void categories();
    void exportList();
    void importGoods_data() { Harness::addBackendRows(); }
    void importGoods();
    void rates_data();
    void rates();
    void ratesExhaustedAndDeleted();
    void applyToCategory_data() { Harness::addBackendRows(); }
    void applyToCategory();
    void effectiveRate_data();
    void effectiveRate();
};

void TstGoods::listFilters()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO splb (name) VALUES ('饮料'), ('零食'), ('日用')"_s).exec();
    storeGoods(u"B002"_s, u"绿茶"_s, u"饮料"_s);
    storeGoods(u"A001"_s, u"Cola 可乐"_s, u"饮料"_s);
    storeGoods(u"C003"_s, u"薯片"_s, u"零食"_s, false);
    storeGoods(u"D%4"_s, u"百分_号"_s, QString());
    storeGoods(u"E005"_s, u"O'Brien 饼干"_s, u"零食"_s);
    FrmMain *main = h.login();
    QVERIFY(main);
    withGoodsWindow(h, main, [&](QDialog *d) {
        QCOMPARE(categoryList(d)->count(), 4);
        QCOMPARE(categoryList(d)->item(0)->text(), u"全部类别"_s);
        QCOMPARE(categoryList(d)->item(3)->text(), u"日用"_s); // in the order entered
        QTreeWidget *lv = goodsList(d);
        QCOMPARE(lv->topLevelItemCount(), 0);
        QCOMPARE(lv->headerItem()->text(8), u"库存量"_s);

        // Toggling before any fill does nothing.
        d->findChild<QCheckBox *>(u"chkXsjy"_s)->setChecked(true);
        QCOMPARE(lv->topLevelItemCount(), 0);
        d->findChild<QCheckBox *>(u"chkXsjy"_s)->setChecked(false);

        clickCategory(d, u"全部类别"_s);
        QCOMPARE(column(lv, 0), (QStringList{u"A001"_s, u"B002"_s, u"D%4"_s, u"E005"_s}));
        QCOMPARE(countLabel(d), u"总计：4"_s);
        const QTreeWidgetItem *first = lv->topLevelItem(0);
        QCOMPARE(first->text(1), u"Cola 可乐"_s);
        QCOMPARE(first->text(2), u"饮料"_s);
        QCOMPARE(first->text(3), u"件"_s);
        QCOMPARE(first->text(4), u"5"_s);
        QCOMPARE(first->text(5), u"10"_s);
        QCOMPARE(first->text(6), u"0"_s);
        QCOMPARE(first->text(7), u"有效"_s);
        QCOMPARE(first->text(8), u"20"_s);

        // The disabled goods shows once the box is ticked, its code in red.
        d->findChild<QCheckBox *>(u"chkXsjy"_s)->setChecked(true);
        QCOMPARE(lv->topLevelItemCount(), 5);
        const QTreeWidgetItem *disabled = lv->findItems(u"C003"_s, Qt::MatchExactly)[0];
        QCOMPARE(disabled->text(7), u"无效"_s);
        QCOMPARE(disabled->foreground(0).color(), QColor(255, 0, 0));
        QCOMPARE(countLabel(d), u"总计：5"_s);

        clickCategory(d, u"零食"_s);
        QCOMPARE(column(lv, 0), (QStringList{u"C003"_s, u"E005"_s}));
        d->findChild<QCheckBox *>(u"chkXsjy"_s)->setChecked(false);
        QCOMPARE(column(lv, 0), (QStringList{u"E005"_s}));

        // The search: code or name, any case, % and _ and quotes literal.
        auto *txt = d->findChild<QLineEdit *>(u"txtIDName"_s);
        const QList<std::pair<QString, QStringList>> searches = {
            {u"cola"_s, {u"A001"_s}}, {u"00"_s, {u"A001"_s, u"B002"_s, u"E005"_s}},
            {u"%"_s, {u"D%4"_s}},     {u"_"_s, {u"D%4"_s}},
            {u"o'b"_s, {u"E005"_s}},  {QString(), {u"A001"_s, u"B002"_s, u"D%4"_s, u"E005"_s}},
            {u"没有"_s, {}},
        };
        for (const auto &[text, codes] : searches) {
            txt->setText(text);
            click(d, "cmdFind");
            QCOMPARE(column(lv, 0), codes);
        }
        QCOMPARE(countLabel(d), u"总计：0"_s);
    });
    QVERIFY(h.messages().isEmpty());
}

void TstGoods::addGoods_data()
{
    QTest::addColumn<QString>("jf");
    QTest::addColumn<QString>("kc");
    QTest::addColumn<QString>("jj");
    QTest::addColumn<qint64>("storedJf");
    QTest::addColumn<double>("storedKc");
    QTest::addColumn<double>("storedJj");
    QTest::addColumn<QString>("shownJf");
    QTest::newRow("special goods")
        << u"5"_s << u"100"_s << u"3.5"_s << qint64(5) << 100.0 << 3.5 << u"5"_s;
    QTest::newRow("points cut: 2.9")
        << u"2.9"_s << u"1"_s << u"3"_s << qint64(2) << 1.0 << 3.0 << u"2"_s;
    QTest::newRow("empty points") << u"  "_s << u" 7 "_s << u"3"_s << qint64(0) << 7.0 << 3.0
                                  << u"0"_s;
    QTest::newRow("lenient numbers")
        << u"3分"_s << u"12abc"_s << u"abc"_s << qint64(3) << 12.0 << 0.0 << u"3"_s;
}

void TstGoods::addGoods()
{
    QFETCH(QString, jf);
    QFETCH(QString, kc);
    QFETCH(QString, jj);
    QFETCH(qint64, storedJf);
    QFETCH(double, storedKc);
    QFETCH(double, storedJj);
    QFETCH(QString, shownJf);
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO splb (name) VALUES ('饮料'), ('零食')"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    withGoodsWindow(h, main, [&](QDialog *d) {
        clickCategory(d, u"零食"_s);
        h.onModal([&](QDialog *e) {
            QCOMPARE(e->windowTitle(), u"添加商品"_s);
            // The category clicked is preselected; points and stock default to 0.
            QCOMPARE(e->findChild<QComboBox *>(u"comLb"_s)->currentText(), u"零食"_s);
            QCOMPARE(e->findChild<QLineEdit *>(u"txtJf"_s)->text(), u"0"_s);
            QCOMPARE(e->findChild<QLineEdit *>(u"txtKc"_s)->text(), u"0"_s);
            QCOMPARE(e->findChild<QComboBox *>(u"comDw"_s)->count(), 5);
            fillGoods(e, {u"S01"_s, u"薯条"_s, QString(), u"袋"_s, jj, u"8.8"_s, jf, kc});
            click(e, "cmdOK");
        });
        click(d, "cmdAddgoods");
        QTreeWidget *lv = goodsList(d);
        QCOMPARE(lv->topLevelItemCount(), 1);
        const QTreeWidgetItem *row = lv->topLevelItem(0);
        QCOMPARE(row->text(0), u"S01"_s);
        QCOMPARE(row->text(2), u"零食"_s);
        QCOMPARE(row->text(4), jj.trimmed());
        QCOMPARE(row->text(6), shownJf);
        QCOMPARE(row->text(7), u"有效"_s);
        QCOMPARE(row->text(8), kc.trimmed());
    });
    Sql q(u"SELECT name, lb, dw, jj, sj, jf, zt, kc FROM sp WHERE spid = 'S01'"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(q.text(0), u"薯条"_s);
    QCOMPARE(q.text(1), u"零食"_s);
    QCOMPARE(q.text(2), u"袋"_s);
    QCOMPARE(q.amount(3), storedJj);
    QCOMPARE(q.amount(4), 8.8);
    QCOMPARE(q.amount(5), Amount(storedJf));
    QVERIFY(q.value(6).toBool());
    QCOMPARE(q.amount(7), storedKc);
    QCOMPARE(logContents(), QStringList{u"添加商品[薯条]，商品编号为[S01]。"_s});
    QCOMPARE(scalar(u"SELECT czlx FROM syslog"_s).toString(), u"添加商品"_s);
}

void TstGoods::addRefused()
{
    Harness h;
    QVERIFY(h.startProgram());
    storeGoods(u"A001"_s, u"可乐"_s, QString());
    FrmMain *main = h.login();
    QVERIFY(main);
    withGoodsWindow(h, main, [&](QDialog *d) {
        // Every required field in turn keeps the dialog open.
        h.onModal([&](QDialog *e) {
            QCOMPARE(e->findChild<QComboBox *>(u"comLb"_s)->currentIndex(), -1);
            const QStringList required = {u"txtID"_s, u"txtName"_s, u"txtJj"_s, u"txtSj"_s,
                                          u"txtKc"_s};
            for (const QString &missing : required) {
                fillGoods(
                    e, {u"N01"_s, u"新品"_s, QString(), QString(), u"1"_s, u"2"_s, u"0"_s, u"3"_s});
                e->findChild<QLineEdit *>(missing)->setText(missing == u"txtKc"_s ? u"   "_s
                                                                                  : QString());
                h.clearMessages();
                click(e, "cmdOK");
                QVERIFY2(e->isVisible(), qPrintable(missing));
                QCOMPARE(h.lastText(), u"请将信息填写完整！"_s);
            }
            click(e, "cmdCC");
        });
        click(d, "cmdAddgoods");
        // A code that exists is refused once the dialog has closed.
        h.clearMessages();
        h.onModal([&](QDialog *e) {
            fillGoods(
                e, {u"A001"_s, u"另一个"_s, QString(), QString(), u"1"_s, u"2"_s, u"0"_s, u"3"_s});
            click(e, "cmdOK");
        });
        click(d, "cmdAddgoods");
        QCOMPARE(h.lastText(), u"商品编号不能重复！"_s);
        QCOMPARE(goodsList(d)->topLevelItemCount(), 0);
    });
    QCOMPARE(count(u"sp"_s), 1);
    QCOMPARE(scalar(u"SELECT name FROM sp"_s).toString(), u"可乐"_s);
    QCOMPARE(count(u"syslog"_s), 0);
}

void TstGoods::editGoods()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO splb (name) VALUES ('饮料'), ('零食')"_s).exec();
    storeGoods(u"A001"_s, u"可乐"_s, u"饮料"_s, false);
    storeGoods(u"A002"_s, u"雪碧"_s, u"旧类别"_s);
    FrmMain *main = h.login();
    QVERIFY(main);
    withGoodsWindow(h, main, [&](QDialog *d) {
        d->findChild<QCheckBox *>(u"chkXsjy"_s)->setChecked(true);
        clickCategory(d, u"全部类别"_s);
        QTreeWidget *lv = goodsList(d);
        // Cancelled: nothing written.
        h.onModal([&](QDialog *e) {
            QCOMPARE(e->windowTitle(), u"修改商品信息"_s);
            auto *id = e->findChild<QLineEdit *>(u"txtID"_s);
            QCOMPARE(id->text(), u"A001"_s);
            QVERIFY(!id->isEnabled());
            QCOMPARE(e->findChild<QComboBox *>(u"comLb"_s)->currentText(), u"饮料"_s);
            QCOMPARE(e->findChild<QComboBox *>(u"comDw"_s)->currentText(), u"件"_s);
            QCOMPARE(e->findChild<QLineEdit *>(u"txtSj"_s)->text(), u"10"_s);
            e->findChild<QLineEdit *>(u"txtName"_s)->setText(u"不要"_s);
            click(e, "cmdCC");
        });
        lv->setCurrentItem(lv->topLevelItem(0));
        click(d, "cmdEditgoods");
        QCOMPARE(scalar(u"SELECT name FROM sp WHERE spid = 'A001'"_s).toString(), u"可乐"_s);

        // Saved by a double click; the code and the disabled state stay.
        h.onModal([&](QDialog *e) {
            fillGoods(e, {QString(), u"百事可乐"_s, u"零食"_s, u"瓶"_s, u"4"_s, u"6.5"_s, u"1.7"_s,
                          u"30"_s});
            click(e, "cmdOK");
        });
        Q_EMIT lv->itemDoubleClicked(lv->topLevelItem(0), 0);
        QCOMPARE(lv->topLevelItem(0)->text(1), u"百事可乐"_s);
        QCOMPARE(lv->topLevelItem(0)->text(7), u"无效"_s);
        {
            Sql saved(u"SELECT name, lb, dw, jj, sj, jf, zt, kc FROM sp WHERE spid = 'A001'"_s);
            saved.exec();
            QVERIFY(saved.next());
            QCOMPARE(saved.text(0), u"百事可乐"_s);
            QCOMPARE(saved.text(1), u"零食"_s);
            QCOMPARE(saved.text(2), u"瓶"_s);
            QCOMPARE(saved.amount(3), 4.0);
            QCOMPARE(saved.amount(4), 6.5);
            QCOMPARE(saved.amount(5), 1.0); // whole points
            QVERIFY(!saved.value(6).toBool());
            QCOMPARE(saved.amount(7), 30.0);
        }

        // A category that no longer exists is not preselected.
        h.onModal([&](QDialog *e) {
            QCOMPARE(e->findChild<QComboBox *>(u"comLb"_s)->currentIndex(), -1);
            click(e, "cmdOK");
        });
        lv->setCurrentItem(lv->topLevelItem(1));
        d->findChild<QAction *>(u"mnuEdit"_s)->trigger();

        // Another till sells 2 of A001 while its dialog is open: the sale
        // stays when the stock was not touched, and a stock typed over it is
        // refused.
        auto sellTwo = [] { Sql(A(u"UPDATE sp SET kc = kc - {2} WHERE spid = 'A001'"_s)).exec(); };
        h.onModal([&](QDialog *e) {
            sellTwo();
            e->findChild<QLineEdit *>(u"txtSj"_s)->setText(u"7"_s);
            click(e, "cmdOK");
        });
        lv->setCurrentItem(lv->topLevelItem(0));
        click(d, "cmdEditgoods");
        QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'A001'"_s), 28.0);
        QCOMPARE(amountAt(u"SELECT sj FROM sp WHERE spid = 'A001'"_s), 7.0);
        QCOMPARE(lv->topLevelItem(0)->text(8), u"28"_s);
        h.onModal([&](QDialog *e) {
            sellTwo();
            e->findChild<QLineEdit *>(u"txtKc"_s)->setText(u"100"_s);
            click(e, "cmdOK");
        });
        click(d, "cmdEditgoods");
        QCOMPARE(h.lastText(),
                 u"此商品的库存已在其他收银台变动，修改没有保存，请重新打开后再修改库存！"_s);
        QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'A001'"_s), 26.0);

        // Goods deleted meanwhile.
        Sql(u"DELETE FROM sp WHERE spid = 'A001'"_s).exec();
        lv->setCurrentItem(lv->topLevelItem(0));
        click(d, "cmdEditgoods");
        QCOMPARE(h.lastText(), u"此商品不存在！"_s);
    });
    Sql q(u"SELECT name, lb, dw, jj, sj, jf, zt, kc FROM sp WHERE spid = 'A002'"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(q.text(1), QString()); // the unknown category was not kept
    QCOMPARE(logContents(), (QStringList{u"修改了商品编号为[A001]的商品信息。"_s,
                                         u"修改了商品编号为[A002]的商品信息。"_s,
                                         u"修改了商品编号为[A001]的商品信息。"_s}));
    QCOMPARE(h.unanswered(), 0);
}

void TstGoods::deleteAndDisable()
{
    Harness h;
    QVERIFY(h.startProgram());
    storeGoods(u"A001"_s, u"可乐"_s, QString());
    storeGoods(u"A002"_s, u"雪碧"_s, QString());
    Sql(A(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('A001', '金卡', {80}), ('A001', '银卡', {90}), ('A002', '金卡', {85})"_s))
        .exec();
    Sql(A(u"INSERT INTO xiangxi (conid, spid, spmc, sl) VALUES (1, 'A001', '可乐', {2})"_s)).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    withGoodsWindow(h, main, [&](QDialog *d) {
        QTreeWidget *lv = goodsList(d);
        // With an empty list nothing happens.
        click(d, "cmdDelgoods");
        QVERIFY(h.messages().isEmpty());
        clickCategory(d, u"全部类别"_s);

        d->findChild<QAction *>(u"mnuDis"_s)->trigger(); // the first row
        QCOMPARE(lv->topLevelItem(0)->text(7), u"无效"_s);
        QVERIFY(!scalar(u"SELECT zt FROM sp WHERE spid = 'A001'"_s).toBool());
        d->findChild<QAction *>(u"mnuEna"_s)->trigger();
        QVERIFY(scalar(u"SELECT zt FROM sp WHERE spid = 'A001'"_s).toBool());
        d->findChild<QAction *>(u"mnuDis"_s)->trigger();

        h.answer(MsgAnswer::No);
        click(d, "cmdDelgoods");
        const Message asked = h.messages().last();
        QCOMPARE(asked.text, u"您确实要删除商品[A001|可乐]吗？"_s);
        QCOMPARE(asked.caption, u"确认"_s);
        QCOMPARE(asked.defaultAnswer, MsgAnswer::No);
        QCOMPARE(lv->topLevelItemCount(), 2);
        h.answer(MsgAnswer::Yes);
        d->findChild<QAction *>(u"mnuDel"_s)->trigger();
        QCOMPARE(column(lv, 0), QStringList{u"A002"_s});
        QCOMPARE(countLabel(d), u"总计：1"_s);
    });
    QCOMPARE(count(u"sp"_s, u"spid = 'A001'"_s), 0);
    QCOMPARE(count(u"spdz"_s, u"spid = 'A001'"_s), 0);
    QCOMPARE(count(u"spdz"_s, u"spid = 'A002'"_s), 1);
    QCOMPARE(count(u"xiangxi"_s), 1); // past sales keep naming it
    // Disabling writes no log row.
    QCOMPARE(logContents(), QStringList{u"删除商品，商品编号为[A001]，商品名称为[可乐]。"_s});
}

void TstGoods::categories()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO splb (name) VALUES ('Drinks'), ('零食')"_s).exec();
    storeGoods(u"A001"_s, u"薯片"_s, u"零食"_s);
    FrmMain *main = h.login();
    QVERIFY(main);
    auto typed = [&](const QString &answer, bool accept = true) {
        h.onModal([=](QDialog *in) {
            auto *box = qobject_cast<QInputDialog *>(in);
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), u"新增商品类别"_s);
            QCOMPARE(box->labelText(), u"请输入新类别的名称："_s);
            box->setTextValue(answer);
            if (accept)
                box->accept();
            else
                box->reject();
        });
    };
    withGoodsWindow(h, main, [&](QDialog *d) {
        QListWidget *lb = categoryList(d);
        const QList<std::pair<QString, QString>> refused = {
            {u" 全部类别 "_s, u"不能使用这个名字！"_s},
            {u"drinks"_s, u"您输入的类别已经存在！"_s},
            {u"   "_s, QString()},
        };
        for (const auto &[answer, message] : refused) {
            h.clearMessages();
            typed(answer);
            click(d, "cmdAddLb");
            QCOMPARE(h.lastText(), message);
        }
        typed(u"日用"_s, false);
        click(d, "cmdAddLb");
        QCOMPARE(lb->count(), 3);

        typed(u"  日用 "_s);
        click(d, "cmdAddLb");
        QCOMPARE(lb->count(), 4);
        QCOMPARE(lb->item(3)->text(), u"日用"_s);

        // "全部类别" and a category with goods stay.
        h.clearMessages();
        lb->setCurrentRow(0);
        click(d, "cmdDelLb");
        QVERIFY(h.messages().isEmpty());
        lb->setCurrentRow(2);
        click(d, "cmdDelLb");
        QCOMPARE(h.lastText(), u"此类别下已经有商品，请先删除此类别下的所有商品才能删除此类别！"_s);
        QCOMPARE(lb->count(), 4);

        lb->setCurrentRow(1);
        h.answer(MsgAnswer::No);
        click(d, "cmdDelLb");
        QCOMPARE(h.lastText(), u"您确实要删除[Drinks]吗？"_s);
        QCOMPARE(lb->count(), 4);
        h.answer(MsgAnswer::Yes);
        click(d, "cmdDelLb");
        QCOMPARE(lb->count(), 3);
    });
    QCOMPARE(firstColumn(u"SELECT name FROM splb ORDER BY id"_s),
             (QStringList{u"零食"_s, u"日用"_s}));
    QCOMPARE(logContents(), (QStringList{u"添加商品类别，类别名称为[日用]。"_s,
                                         u"删除商品类别，类别名称为[Drinks]。"_s}));
}

void TstGoods::exportList()
{
    Harness h;
    QVERIFY(h.startProgram());
    storeGoods(u"A001"_s, u"可乐"_s, QString());
    FrmMain *main = h.login();
    QVERIFY(main);
    QAbstractItemView *exported = nullptr;
    QString title;
    bool printed = true;
    ui::setReportExporter([&](QAbstractItemView *list, const QString &t, bool print) {
        exported = list;
        title = t;
        printed = print;
    });
    withGoodsWindow(h, main, [&](QDialog *d) {
        click(d, "cmdExcel");
        QCOMPARE(h.lastText(), u"商品列表为空，无法导出！"_s);
        click(d, "cmdDiscount");
        QCOMPARE(h.lastText(), u"请选择要设置折扣的商品！"_s);
        QVERIFY(!exported);
        clickCategory(d, u"全部类别"_s);
        click(d, "cmdExcel");
        QCOMPARE(exported, goodsList(d));
    });
    ui::setReportExporter({});
    QCOMPARE(title, u"商品信息报表"_s);
    QVERIFY(!printed);
}

void TstGoods::rates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("shownRate");
    QTest::addColumn<QString>("shownPrice");
    QTest::newRow("85 on 10.5, half up") << u"85"_s << 2 << 85.0 << u"85%"_s << u"8.93元"_s;
    QTest::newRow("one decimal") << u"85"_s << 1 << 85.0 << u"85%"_s << u"8.9元"_s;
    QTest::newRow("0 is full price") << u"0"_s << 2 << 100.0 << u"100%"_s << u"10.5元"_s;
    QTest::newRow("not a number") << u"八折"_s << 2 << 100.0 << u"100%"_s << u"10.5元"_s;
    QTest::newRow("fraction, lenient") << u"87.5%"_s << 2 << 87.5 << u"87.5%"_s << u"9.19元"_s;
}

void TstGoods::rates()
{
    QFETCH(QString, typed);
    QFETCH(int, decimals);
    QFETCH(double, stored);
    QFETCH(QString, shownRate);
    QFETCH(QString, shownPrice);
    Harness h;
    QVERIFY(h.startProgram());
    Sql(A(u"INSERT INTO lv (name, zk) VALUES ('金卡', {90}), ('银卡', {95})"_s)).exec();
    storeGoods(u"A001"_s, u"可乐"_s, QString(), true, 10.5);
    FrmMain *main = h.login();
    QVERIFY(main);
    state().decimals = decimals;
    withGoodsWindow(h, main, [&](QDialog *d) {
        clickCategory(d, u"全部类别"_s);
        h.onModal([&](QDialog *z) {
            QCOMPARE(z->windowTitle(), u"单项打折"_s);
            QCOMPARE(z->findChild<QLabel *>(u"lblID"_s)->text(), u"A001"_s);
            QCOMPARE(z->findChild<QLabel *>(u"lblName"_s)->text(), u"可乐"_s);
            QCOMPARE(z->findChild<QLabel *>(u"lblSj"_s)->text(), u"10.5元"_s);
            h.onModal([&](QDialog *a) {
                QCOMPARE(a->windowTitle(), u"添加打折"_s);
                auto *lb = a->findChild<QComboBox *>(u"comLb"_s);
                QCOMPARE(lb->count(), 2);
                lb->setCurrentIndex(lb->findText(u"银卡"_s));
                a->findChild<QLineEdit *>(u"txtZk"_s)->setText(typed);
                click(a, "cmdOK");
            });
            click(z, "cmdAdd");
            auto *lv = z->findChild<QTreeWidget *>(u"Lv"_s);
            QCOMPARE(lv->topLevelItemCount(), 1);
            QCOMPARE(lv->topLevelItem(0)->text(0), u"银卡"_s);
            QCOMPARE(lv->topLevelItem(0)->text(1), shownRate);
            QCOMPARE(lv->topLevelItem(0)->text(2), shownPrice);
            click(z, "cmdClose");
        });
        click(d, "cmdDiscount");
        // Shown again the same way from the stored rate.
        h.onModal([&](QDialog *z) {
            auto *lv = z->findChild<QTreeWidget *>(u"Lv"_s);
            QCOMPARE(lv->topLevelItemCount(), 1);
            QCOMPARE(lv->topLevelItem(0)->text(1), shownRate);
            QCOMPARE(lv->topLevelItem(0)->text(2), shownPrice);
            click(z, "cmdClose");
        });
        click(d, "cmdDiscount");
    });
    QCOMPARE(amountAt(u"SELECT zkl FROM spdz WHERE spid = 'A001' AND lv = '银卡'"_s), stored);
    QCOMPARE(count(u"syslog"_s), 0);
}

void TstGoods::ratesExhaustedAndDeleted()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(A(u"INSERT INTO lv (name, zk) VALUES ('金卡', {90}), ('银卡', {95})"_s)).exec();
    storeGoods(u"A001"_s, u"可乐"_s, QString());
    Sql(A(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('A001', '银卡', {80})"_s)).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    withGoodsWindow(h, main, [&](QDialog *d) {
        clickCategory(d, u"全部类别"_s);
        h.onModal([&](QDialog *z) {
            auto *lv = z->findChild<QTreeWidget *>(u"Lv"_s);
            // Only the level without a rate is offered; both fields are needed.
            h.onModal([&](QDialog *a) {
                auto *lb = a->findChild<QComboBox *>(u"comLb"_s);
                QCOMPARE(lb->count(), 1);
                QCOMPARE(lb->currentText(), u"金卡"_s);
                click(a, "cmdOK");
                QVERIFY(a->isVisible());
                QCOMPARE(h.lastText(), u"请将信息填写完整！"_s);
                a->findChild<QLineEdit *>(u"txtZk"_s)->setText(u"70"_s);
                click(a, "cmdOK");
            });
            click(z, "cmdAdd");
            QCOMPARE(lv->topLevelItemCount(), 2);
            h.clearMessages();
            click(z, "cmdAdd");
            QCOMPARE(h.lastText(), u"没有会员类别项可添加！"_s);

            lv->setCurrentItem(lv->topLevelItem(0));
            h.answer(MsgAnswer::No);
            click(z, "cmdDel");
            QCOMPARE(h.lastText(), u"您确实要删除选定的项目吗？"_s);
            QCOMPARE(lv->topLevelItemCount(), 2);
            h.answer(MsgAnswer::Yes);
            click(z, "cmdDel");
            QCOMPARE(lv->topLevelItemCount(), 1);
            click(z, "cmdClose");
        });
        click(d, "cmdDiscount");
        // Goods deleted meanwhile.
        Sql(u"DELETE FROM sp"_s).exec();
        click(d, "cmdDiscount");
        QCOMPARE(h.lastText(), u"此商品不存在！"_s);
    });
    QCOMPARE(h.unexpectedModals(), 0);
    Sql q(u"SELECT lv, zkl FROM spdz"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(q.text(0), u"金卡"_s);
    QCOMPARE(q.amount(1), 70.0);
    QVERIFY(!q.next());
}

void TstGoods::applyToCategory()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    Sql(A(u"INSERT INTO lv (name, zk) VALUES ('X', {90}), ('Y', {95}), ('Z', {100})"_s)).exec();
    storeGoods(u"A"_s, u"甲"_s, u"饮料"_s);
    storeGoods(u"B"_s, u"乙"_s, u"饮料"_s, false);
    storeGoods(u"C"_s, u"丙"_s, u"零食"_s);
    storeGoods(u"D"_s, u"丁"_s, QString());
    Sql(A(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('A', 'X', {80}), ('A', 'Z', {77.5}), ('B', 'Y', {90}), ('C', 'Y', {60})"_s))
        .exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    withGoodsWindow(h, main, [&](QDialog *d) {
        clickCategory(d, u"全部类别"_s);
        QTreeWidget *lv = goodsList(d);
        lv->setCurrentItem(lv->findItems(u"A"_s, Qt::MatchExactly)[0]);
        h.onModal([&](QDialog *z) {
            h.answer(MsgAnswer::No);
            click(z, "cmdAllLb");
            QCOMPARE(h.lastText(), u"您确实要把当前商品的打折设置应用到[饮料]类下所有商品上吗？"_s);
            QCOMPARE(count(u"spdz"_s, u"spid = 'B'"_s), 1);
            h.answer(MsgAnswer::Yes);
            click(z, "cmdAllLb");
            const Message done = h.messages().last();
            QCOMPARE(done.caption, u"设置成功"_s);
            QCOMPARE(done.icon, MsgIcon::Information);
            QCOMPARE(done.text, u"共有2件商品应用了此打折设置！"_s);
            click(z, "cmdClose");
        });
        click(d, "cmdDiscount");
        // Goods without a category.
        lv->setCurrentItem(lv->findItems(u"D"_s, Qt::MatchExactly)[0]);
        h.onModal([&](QDialog *z) {
            h.clearMessages();
            click(z, "cmdAllLb");
            QCOMPARE(h.lastText(), u"此商品没有类别！"_s);
            QCOMPARE(h.messages().size(), 1);
            click(z, "cmdClose");
        });
        click(d, "cmdDiscount");
    });
    QCOMPARE(h.unexpectedModals(), 0);
    auto rates = [](const QString &spid) {
        QStringList out;
        for (const sales::LevelRate &r : sales::goodsRates(spid))
            out << r.lv + u"="_s + FmtJe(r.zkl);
        return out;
    };
    QCOMPARE(rates(u"B"_s), (QStringList{u"X=80"_s, u"Z=77.5"_s}));
    QCOMPARE(rates(u"A"_s), (QStringList{u"X=80"_s, u"Z=77.5"_s}));
    QCOMPARE(rates(u"C"_s), QStringList{u"Y=60"_s});
    QCOMPARE(count(u"spdz"_s, u"spid = 'D'"_s), 0);
}

void TstGoods::effectiveRate_data()
{
    QTest::addColumn<QString>("spid");
    QTest::addColumn<QString>("level");
    QTest::addColumn<double>("rate");
    QTest::newRow("own rate replaces the level's") << u"A"_s << u"金卡"_s << 70.0;
    QTest::newRow("level discount without own rate") << u"B"_s << u"金卡"_s << 88.8;
    QTest::newRow("own rate of another level") << u"A"_s << u"银卡"_s << 95.0;
    QTest::newRow("unknown level") << u"B"_s << u"已删除"_s << 100.0;
    QTest::newRow("own rate of an unknown level") << u"A"_s << u"已删除"_s << 60.0;
    QTest::newRow("no level") << u"A"_s << QString() << 100.0;
}

void TstGoods::effectiveRate()
{
    QFETCH(QString, spid);
    QFETCH(QString, level);
    QFETCH(double, rate);
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(A(u"INSERT INTO lv (name, zk) VALUES ('金卡', {88.8}), ('银卡', {95})"_s)).exec();
    Sql(A(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('A', '金卡', {70}), ('A', '已删除', {60})"_s))
        .exec();
    QCOMPARE(sales::effectiveRate(spid, level), rate);
}

// Goods from a GBK spreadsheet through the goods window: a new category
// created, another put under an existing one, the rows with problems left
// out, prices and stock exact, one log row; the lists show what came in.
void TstGoods::importGoods()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO splb (name) VALUES ('零食')"_s).exec();
    storeGoods(u"EXIST"_s, u"旧商品"_s, u"零食"_s);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"商品.csv"_s);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QStringEncoder gbk("GB18030");
        f.write(gbk.encode(u"商品条码,商品名称,商品类别,单位,进价,零售价,库存数量,积分\r\n"
                           u"6901234567892,矿泉水,饮料,瓶,0.8,1.5,100,0\r\n"
                           u"6901234567893,可乐,碳酸饮料,瓶,1.2,3,50,1\r\n"
                           u"A001,,零食,袋,1,2,3,0\r\n"
                           u"A002,薯片,零食,袋,2,abc,,\r\n"
                           u"A003,糖,零食,袋,1,2,5,1.5\r\n"
                           u"EXIST,旧商品,零食,个,1,1,1,0\r\n"
                           u"A004,盐,零食,袋,1,,5,0\r\n"_s));
    }
    FrmMain *main = h.login();
    QVERIFY(main);
    QStringList seen;
    withGoodsWindow(h, main, [&](QDialog *d) {
        h.onModal([&](QDialog *chooser) {
            qobject_cast<QFileDialog *>(chooser)->selectFile(path);
            chooser->accept();
        });
        h.onModal([&](QDialog *import) {
            seen << import->windowTitle()
                 << import->findChild<QComboBox *>(u"comEncoding"_s)->currentText()
                 << import->findChild<QLabel *>(u"lblSummary"_s)->text();
            // 碳酸饮料 (the first new name) under 零食; 饮料 created.
            auto *first = import->findChild<QComboBox *>(u"comRef_0"_s);
            seen << import->findChild<QTableWidget *>(u"tblRefs"_s)->item(0, 0)->text();
            first->setCurrentIndex(first->findText(u"归入“零食”"_s));
            h.answer(MsgAnswer::Yes); // without the rows with problems
            click(import, "cmdImport");
        });
        click(d, "cmdImport");
        // The new category is listed, and its goods under it.
        QVERIFY(!categoryList(d)->findItems(u"饮料"_s, Qt::MatchExactly).isEmpty());
    });
    QCOMPARE(seen,
             QStringList({u"导入商品"_s, u"自动识别（GB18030）"_s,
                          u"共7行，其中5行有问题（标为红色），这些行不会导入。"_s, u"碳酸饮料"_s}));
    QCOMPARE(h.lastText(), u"导入完成：商品2种，新建类别1个。"_s);
    Sql q(u"SELECT spid, name, lb, dw, jj, sj, kc, jf, zt FROM sp WHERE spid LIKE '69%'"
          u" ORDER BY spid"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(QStringList({q.text(0), q.text(1), q.text(2), q.text(3)}),
             QStringList({u"6901234567892"_s, u"矿泉水"_s, u"饮料"_s, u"瓶"_s}));
    QCOMPARE(q.amount(4), 0.8);
    QCOMPARE(q.amount(5), 1.5);
    QCOMPARE(q.amount(6), 100.0);
    QCOMPARE(q.amount(7), 0.0);
    QVERIFY(q.value(8).toBool());
    QVERIFY(q.next());
    QCOMPARE(q.text(2), u"零食"_s);
    QCOMPARE(q.amount(7), 1.0);
    QVERIFY(!q.next());
    QCOMPARE(scalar(u"SELECT count(*) FROM sp"_s).toInt(), 3);
    QCOMPARE(scalar(u"SELECT count(*) FROM splb WHERE name = '碳酸饮料'"_s).toInt(), 0);
    QCOMPARE(scalar(u"SELECT cznr FROM syslog WHERE czlx = '导入商品'"_s).toString(),
             u"从文件[商品.csv]导入商品2种，库存进价合计140元，新建商品类别1个。"_s);
}

QTEST_MAIN(TstGoods)
#include "tst_goods.moc"

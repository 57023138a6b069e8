#pragma once

// The report windows: consumption, goods statistics, turnover, the record
// reports, balances and the operation log.

#include "reportqueries.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace Ui
{
class FrmMemXf;
class FrmGoodsXf;
class FrmYyqk;
class FrmCzjl;
class FrmJfcx;
class FrmZgjl;
class FrmThjl;
class FrmYuee;
class FrmRizhi;
} // namespace Ui

namespace lanting::reports
{

// What every report window does alike: the card-read target kept while it is
// open, the filter lists, the query start and end, export and print.
class ReportWindow : public QDialog
{
    Q_OBJECT

protected:
    explicit ReportWindow(QWidget *parent);
    ~ReportWindow() override;

    // Swiped cards go to the field while `target` is the card-read target;
    // `query` then runs when given.
    void routeCards(int target, QLineEdit *field, std::function<void()> query = {});
    void setTarget(int target);
    static void fillFilter(QComboBox *box, const QStringList &names);
    static QString filterValue(const QComboBox *box);
    static void today(std::initializer_list<QDateEdit *> pickers);
    static Days days(const QDateEdit *from, const QDateEdit *to);
    // Gives the list its model, showing the report's headings.
    void attach(QTreeView *list, const ReportQuery &report);
    static ReportModel *modelOf(const QTreeView *list);
    // Runs the query with the buttons disabled and the loading panel shown
    // and shows its first rows, the first of them current; the rest come as
    // the list scrolls. False when it failed (the list is then empty).
    bool run(QTreeView *list, QList<QPushButton *> buttons, QWidget *loading,
             const std::function<ReportQuery()> &query);
    void exportWith(QPushButton *excel, QPushButton *print, QTreeView *list, const QString &title);
    static void selectTab(const QList<QPushButton *> &tabs, int index);
    void showEvent(QShowEvent *event) override;

private:
    bool m_sized = false;
    int m_savedTarget = 0;
    QList<int> m_routes;
};

class FrmMemXf : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmMemXf(QWidget *parent = nullptr);
    ~FrmMemXf() override;

private:
    void showTab(int index);
    void searchSales();
    void showLines();
    void searchLines();
    Ui::FrmMemXf *m_ui;
};

class FrmGoodsXf : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmGoodsXf(QWidget *parent = nullptr);
    ~FrmGoodsXf() override;

private:
    Ui::FrmGoodsXf *m_ui;
};

class FrmYyqk : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmYyqk(QWidget *parent = nullptr);
    ~FrmYyqk() override;

private:
    Ui::FrmYyqk *m_ui;
};

class FrmCzjl : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmCzjl(QWidget *parent = nullptr);
    ~FrmCzjl() override;

private:
    void search();
    Ui::FrmCzjl *m_ui;
};

class FrmJfcx : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmJfcx(QWidget *parent = nullptr);
    ~FrmJfcx() override;

private:
    void search();
    Ui::FrmJfcx *m_ui;
};

class FrmZgjl : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmZgjl(QWidget *parent = nullptr);
    ~FrmZgjl() override;

private:
    void focusMoved(QWidget *now);
    Ui::FrmZgjl *m_ui;
};

class FrmThjl : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmThjl(QWidget *parent = nullptr);
    ~FrmThjl() override;

private:
    void search();
    Ui::FrmThjl *m_ui;
};

class FrmYuee : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmYuee(QWidget *parent = nullptr);
    ~FrmYuee() override;

private:
    void search();
    Ui::FrmYuee *m_ui;
};

class FrmRizhi : public ReportWindow
{
    Q_OBJECT
public:
    explicit FrmRizhi(QWidget *parent = nullptr);
    ~FrmRizhi() override;

private:
    Ui::FrmRizhi *m_ui;
};

} // namespace lanting::reports

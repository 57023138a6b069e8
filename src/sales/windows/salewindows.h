#pragma once

// The sale window with its basket and the goods browser.

#include "basket.h"
#include "cardrouting.h"

#include <QDialog>
#include <memory>

namespace Ui
{
class FrmSpxf;
class frmSpll;
} // namespace Ui

namespace lanting
{
class FrmMain;
}

namespace lanting::sales
{

class FrmSpxf : public QDialog
{
    Q_OBJECT

public:
    explicit FrmSpxf(FrmMain *main, QWidget *parent = nullptr);
    ~FrmSpxf() override;

    // Adds a line for the goods, or tells why not.
    void AddSp(const QString &code, Amount quantity);
    const QList<BasketLine> &lines() const { return m_lines; }

    Amount Je; // the sale total
    Amount Jf; // the points of the sale, worked out by the settlement

    // Esc or "取消" with goods in the basket asks first.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search();
    void pickHit();
    void hideHits();
    void browse();
    void changeQuantity();
    void deleteLine();
    void lineSelected();
    void recompute();
    void settle();
    int currentLine() const;

    Ui::FrmSpxf *m_ui;
    FrmMain *m_main;
    devices::TargetScope m_target;
    QString m_card, m_name, m_level;
    bool m_print = false;
    QList<BasketLine> m_lines;
};

class frmSpll : public QDialog
{
    Q_OBJECT

public:
    explicit frmSpll(FrmSpxf *sale);
    ~frmSpll() override;

private:
    void add();
    void remove();
    void confirm();

    Ui::frmSpll *m_ui;
    FrmSpxf *m_sale;
};

} // namespace lanting::sales

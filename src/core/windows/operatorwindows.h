#pragma once

// The operator windows: the operator settings, adding an operator, and the
// password change of the logged-in operator.

#include <QDialog>

namespace Ui {
class FrmOp;
class FrmAddOp;
class FrmChangeChar;
} // namespace Ui

class QListWidgetItem;

namespace lanting {

class FrmOp : public QDialog
{
    Q_OBJECT

public:
    explicit FrmOp(QWidget *parent = nullptr);
    ~FrmOp() override;

private:
    void fillNames();
    void choose(QListWidgetItem *item);
    void permissionTicked();
    void removeOperator();
    void addOperatorClicked();
    void noneChosen();

    Ui::FrmOp *m_ui;
    QString m_selected;
};

class FrmAddOp : public QDialog
{
    Q_OBJECT

public:
    explicit FrmAddOp(QWidget *parent = nullptr);
    ~FrmAddOp() override;

private:
    void confirm();
    Ui::FrmAddOp *m_ui;
};

class FrmChangeChar : public QDialog
{
    Q_OBJECT

public:
    explicit FrmChangeChar(QWidget *parent = nullptr);
    ~FrmChangeChar() override;

private:
    void change();
    Ui::FrmChangeChar *m_ui;
};

} // namespace lanting

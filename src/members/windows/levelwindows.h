#pragma once

// The level windows: the level list, the level editor, the upgrade settings
// and its entry dialog.

#include <QDialog>

namespace Ui {
class FrmMemLv;
class FrmAddMemLv;
class frmLvUp;
class frmSzjf;
} // namespace Ui

class QTreeWidgetItem;

namespace lanting::members {

struct Level;

class FrmAddMemLv : public QDialog
{
    Q_OBJECT

public:
    explicit FrmAddMemLv(QWidget *parent = nullptr);
    ~FrmAddMemLv() override;
    // Edit mode, preset from a level.
    void setLevel(const Level &level);
    Level level() const;
    bool IsOK = false;

private:
    void confirm();
    Ui::FrmAddMemLv *m_ui;
};

class FrmMemLv : public QDialog
{
    Q_OBJECT

public:
    explicit FrmMemLv(QWidget *parent = nullptr);
    ~FrmMemLv() override;

private:
    void add();
    void edit();
    void remove();
    void upgradeSettings();
    void showRow(QTreeWidgetItem *row, const Level &level);
    Ui::FrmMemLv *m_ui;
};

class frmSzjf : public QDialog
{
    Q_OBJECT

public:
    explicit frmSzjf(const QString &levelName, const QString &points, QWidget *parent = nullptr);
    ~frmSzjf() override;
    QString points() const;
    bool IsOK = false;

private:
    void confirm();
    Ui::frmSzjf *m_ui;
};

class frmLvUp : public QDialog
{
    Q_OBJECT

public:
    explicit frmLvUp(QWidget *parent = nullptr);
    ~frmLvUp() override;

private:
    void setPoints();
    void save();
    void switchChanged();
    Ui::frmLvUp *m_ui;
};

} // namespace lanting::members

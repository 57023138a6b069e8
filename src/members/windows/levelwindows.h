#pragma once

// The level windows: the level list, the level editor, the upgrade settings
// and its entry dialog.

#include <QDialog>

namespace Ui {
class FrmMemLv;
class FrmAddMemLv;
class FrmLvUp;
class FrmSzjf;
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

class FrmSzjf : public QDialog
{
    Q_OBJECT

public:
    explicit FrmSzjf(const QString &levelName, const QString &points, QWidget *parent = nullptr);
    ~FrmSzjf() override;
    QString points() const;
    bool IsOK = false;

private:
    void confirm();
    Ui::FrmSzjf *m_ui;
};

class FrmLvUp : public QDialog
{
    Q_OBJECT

public:
    explicit FrmLvUp(QWidget *parent = nullptr);
    ~FrmLvUp() override;

private:
    void setPoints();
    void save();
    void switchChanged();
    Ui::FrmLvUp *m_ui;
};

} // namespace lanting::members

#pragma once

// The settings window, backup and restore, skins, help and about.

#include <QColor>
#include <QDialog>
#include <QStringList>

namespace Ui {
class FrmOther;
class FrmDateBak;
class frmAbout;
} // namespace Ui

namespace lanting {
class FrmMain;
}

namespace lanting::maintenance {

class FrmOther : public QDialog
{
    Q_OBJECT

public:
    explicit FrmOther(FrmMain *main);
    ~FrmOther() override;

private:
    void showPage(int page);
    void save();
    Ui::FrmOther *m_ui;
    FrmMain *m_main;
};

class FrmDateBak : public QDialog
{
    Q_OBJECT

public:
    explicit FrmDateBak(QWidget *parent = nullptr);
    ~FrmDateBak() override;

private:
    void backup();
    void restore();
    Ui::FrmDateBak *m_ui;
};

class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

private:
    Ui::frmAbout *m_ui;
};

// The twenty looks, by index, as the skin menu names them.
const QStringList &skinNames();
// Applies a look to every window (an index outside 0 to 19 applies none).
void applySkin(int index);
// The main window's background with a skin chosen from the menu.
QColor skinBackground(int index);

void installMaintenance(FrmMain &main);

} // namespace lanting::maintenance

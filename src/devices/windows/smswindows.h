#pragma once

// The SMS account window and the template window.

#include <QDialog>

namespace Ui
{
class frmDxLogin;
class frmDxMoban;
} // namespace Ui

namespace lanting::devices
{

class frmDxLogin : public QDialog
{
    Q_OBJECT

public:
    explicit frmDxLogin(QWidget *parent = nullptr);
    ~frmDxLogin() override;
    // Logs in with what the boxes hold; returns when the answer (or the
    // time-out) is in.
    void login();

private:
    void showAccount(bool loggedIn);
    Ui::frmDxLogin *m_ui;
};

class frmDxMoban : public QDialog
{
    Q_OBJECT

public:
    explicit frmDxMoban(QWidget *parent = nullptr);
    ~frmDxMoban() override;

private:
    Ui::frmDxMoban *m_ui;
};

} // namespace lanting::devices

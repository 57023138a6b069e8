#pragma once

// The SMS account window and the template window.

#include <QDialog>

namespace Ui
{
class FrmDxLogin;
class FrmDxMoban;
} // namespace Ui

namespace lanting::devices
{

class FrmDxLogin : public QDialog
{
    Q_OBJECT

public:
    explicit FrmDxLogin(QWidget *parent = nullptr);
    ~FrmDxLogin() override;
    // Logs in with what the boxes hold; returns when the answer (or the
    // time-out) is in.
    void login();

private:
    void showAccount(bool loggedIn);
    Ui::FrmDxLogin *m_ui;
};

class FrmDxMoban : public QDialog
{
    Q_OBJECT

public:
    explicit FrmDxMoban(QWidget *parent = nullptr);
    ~FrmDxMoban() override;

private:
    Ui::FrmDxMoban *m_ui;
};

} // namespace lanting::devices

#pragma once

#include "database.h"

#include <QDialog>
#include <QPointer>

namespace Ui
{
class FrmLogin;
}

namespace lanting
{

class FrmMain;

// The start-up window: opens the database, loads the settings kept in
// memory and logs an operator in.
class FrmLogin : public QDialog
{
    Q_OBJECT

public:
    // configError, when not empty, says why no database could be chosen.
    explicit FrmLogin(std::optional<DbConfig> config, QString configError = {},
                      QWidget *parent = nullptr);
    ~FrmLogin() override;

    // The loading sequence. Failing steps are passed over and reported at the
    // end; false when the user then chose to end the program.
    bool start();

    FrmMain *mainWindow() const;

Q_SIGNALS:
    // The program ends: the login window was left, or the main window closed.
    void programEnds();
    // A main window was opened for the operator who just logged in.
    void mainWindowOpened(lanting::FrmMain *main);

public Q_SLOTS:
    void reject() override;

private:
    void login();
    void showHint();

    Ui::FrmLogin *m_ui;
    std::optional<DbConfig> m_config;
    QString m_configError;
    QPointer<FrmMain> m_main;
};

} // namespace lanting

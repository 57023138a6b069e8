#include "frmlogin.h"

#include "ui_frmlogin.h"
#include "ui_frmstart.h"

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "login.h"
#include "messages.h"
#include "sysinfo.h"
#include "ui.h"

#include <QLineEdit>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

FrmLogin::FrmLogin(std::optional<DbConfig> config, QString configError, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmLogin), m_config(std::move(config)),
      m_configError(std::move(configError))
{
    m_ui->setupUi(this);
    connect(m_ui->cmdLogin, &QPushButton::clicked, this, &FrmLogin::login);
    connect(m_ui->cmdExit, &QPushButton::clicked, this, &FrmLogin::reject);
}

FrmLogin::~FrmLogin()
{
    delete m_main;
    delete m_ui;
}

bool FrmLogin::start()
{
    QDialog splash(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
    Ui::FrmStart splashUi;
    splashUi.setupUi(&splash);
    splash.show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    QStringList errors;
    if (!m_configError.isEmpty())
        errors << m_configError;
    QString openError;
    if (m_config && !Database::openAtStart(*m_config, &openError))
        errors << openError;
    if (Database::isOpen()) {
        try {
            m_ui->comCzy->addItems(operatorNames());
        } catch (const DbError &e) {
            errors << e.message();
        }
    }
    showHint();
    if (m_ui->comCzy->count() > 0) {
        m_ui->comCzy->setCurrentIndex(0);
        m_ui->txtPwd->setFocus(); // the name is there: the password comes next
    }

    splashUi.lblShow->setText(u"正在载入设置..."_s);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (Database::isOpen()) {
        errors << loadStartupSettings();
        ui::applySkin(state().skin);
        // A backup at the last handover or exit may have been cut short.
        try {
            Database::clearBackupLeftovers(GetSysInfo(u"bkpath"_s));
        } catch (const DbError &) {
        }
    }
    splash.close();

    if (!errors.isEmpty()) {
        const Message ask{u"错误提示"_s, MsgIcon::Critical,
                          u"出现错误，错误描述为：["_s + errors.join(u'；') +
                              u"]，是否终止程序运行？"_s,
                          MsgButtons::YesNo, MsgAnswer::Yes};
        if (showMessage(ask) == MsgAnswer::Yes)
            return false;
    }
    return true;
}

void FrmLogin::login()
{
    const QString name = m_ui->comCzy->currentText();
    if (name.isEmpty()) {
        msgNotice(u"请输入操作员名称！"_s);
        m_ui->comCzy->lineEdit()->selectAll();
        m_ui->comCzy->setFocus();
        return;
    }
    m_ui->cmdLogin->setEnabled(false);
    ui::showWait(u"正在登陆..."_s);
    std::optional<Operator> op;
    try {
        op = authenticate(name, m_ui->txtPwd->text());
    } catch (const DbError &e) {
        ui::closeWait();
        m_ui->cmdLogin->setEnabled(true);
        msgError(e.message());
        return;
    }
    m_ui->cmdLogin->setEnabled(true);
    if (!op) {
        ui::closeWait();
        msgNotice(u"您输入的用户名或密码错误！"_s);
        // Typing again replaces what was wrong.
        m_ui->txtPwd->selectAll();
        m_ui->txtPwd->setFocus();
        return;
    }
    hide();
    const QString sessionError = beginSession(*op);

    m_main = new FrmMain;
    connect(m_main, &FrmMain::programEnds, this, [this] {
        close();
        Q_EMIT programEnds();
    });
    // The next operator logs in here: the name stays, the password of the
    // one before does not.
    connect(m_main, &FrmMain::handedOver, this, [this] {
        m_ui->txtPwd->clear();
        showHint();
        show();
        m_ui->txtPwd->setFocus();
    });
    m_main->show();
    ui::closeWait();
    if (!sessionError.isEmpty())
        msgError(sessionError);
    const QPointer<FrmMain> opened = m_main;
    m_main->runStartupSteps();
    if (opened)
        Q_EMIT mainWindowOpened(m_main);
}

void FrmLogin::showHint()
{
    bool delivered = false;
    try {
        delivered = Database::isOpen() && deliveredAccountInUse();
    } catch (const DbError &) {
    }
    m_ui->lblHint->setVisible(delivered);
}

void FrmLogin::reject()
{
    QDialog::reject();
    if (!m_main)
        Q_EMIT programEnds();
}

} // namespace lanting

lanting::FrmMain *lanting::FrmLogin::mainWindow() const
{
    return m_main;
}

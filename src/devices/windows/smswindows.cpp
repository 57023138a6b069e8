#include "smswindows.h"

#include "ui_frmdxlogin.h"
#include "ui_frmdxmoban.h"

#include "database.h"
#include "messages.h"
#include "sms.h"
#include "sysinfo.h"
#include "ui.h"

#include <QEventLoop>
#include <QPlainTextEdit>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

// --- frmDxLogin ------------------------------------------------------------

frmDxLogin::frmDxLogin(QWidget *parent) : QDialog(parent), m_ui(new Ui::frmDxLogin)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdLogin, &QPushButton::clicked, this, &frmDxLogin::login);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cmdExit, &QPushButton::clicked, this, [this] {
        smsAccount() = {};
        showAccount(false);
    });
    connect(m_ui->cmdPwd, &QPushButton::clicked, this, [this] {
        try {
            ui::ShellOpen(changePasswordUrl(GetSysInfo(u"smsurl"_s), m_ui->txtID->text())
                              .toString(QUrl::FullyEncoded));
        } catch (const DbError &e) {
            msgError(e.message());
        }
    });
    try {
        m_ui->txtUrl->setText(GetSysInfo(u"smsurl"_s));
    } catch (const DbError &e) {
        msgError(e.message());
    }
    showAccount(false);
    if (smsAccount().loggedIn()) {
        m_ui->txtID->setText(smsAccount().id);
        m_ui->txtPwd->setText(smsAccount().pwd);
        QMetaObject::invokeMethod(this, &frmDxLogin::login, Qt::QueuedConnection);
    }
}

frmDxLogin::~frmDxLogin()
{
    delete m_ui;
}

void frmDxLogin::showAccount(bool loggedIn)
{
    m_ui->picLogin->setVisible(!loggedIn);
    m_ui->picAccount->setVisible(loggedIn);
}

void frmDxLogin::login()
{
    m_ui->txtID->setText(m_ui->txtID->text().trimmed());
    const QString account = m_ui->txtID->text();
    const QString password = m_ui->txtPwd->text();
    if (account.isEmpty() || password.isEmpty()) {
        msgNotice(u"请输入填写完整！"_s);
        return;
    }
    QWidget *inputs[] = {m_ui->txtUrl, m_ui->txtID, m_ui->txtPwd, m_ui->cmdLogin};
    for (QWidget *w : inputs)
        w->setEnabled(false);
    m_ui->lblWait->setText(u"正在连接短信平台，请稍候..."_s);
    try {
        SetSysInfo(u"smsurl"_s, m_ui->txtUrl->text().trimmed());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    // The answer is awaited here with the window still painted; the
    // gateway's time-out bounds the wait.
    QEventLoop wait;
    LoginAnswer answer;
    QString error;
    bool finished = false;
    SmsGateway::instance().login(account, password, [&](LoginAnswer a, QString e) {
        answer = a;
        error = e;
        finished = true;
        wait.quit();
    });
    if (!finished)
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    m_ui->lblWait->clear();
    for (QWidget *w : inputs)
        w->setEnabled(true);
    if (!error.isEmpty()) {
        msgError(error);
        return;
    }
    switch (answer.kind) {
    case LoginAnswer::WrongAccount:
        msgNotice(u"账号或密码不正确！"_s);
        break;
    case LoginAnswer::Failure:
        msgNotice(u"登陆失败！网络错误！"_s);
        break;
    case LoginAnswer::Count:
        smsAccount() = {account, password};
        m_ui->lblID->setText(u"账号："_s + account);
        m_ui->lblDx->setText(u"短信剩余条数："_s + answer.count + u"条"_s);
        showAccount(true);
        break;
    }
}

// --- frmDxMoban ------------------------------------------------------------

frmDxMoban::frmDxMoban(QWidget *parent) : QDialog(parent), m_ui(new Ui::frmDxMoban)
{
    m_ui->setupUi(this);
    try {
        m_ui->txtCz->setPlainText(GetSysInfo(u"czmoban"_s));
        m_ui->txtXf->setPlainText(GetSysInfo(u"xfmoban"_s));
    } catch (const DbError &e) {
        msgError(e.message());
    }
    const std::tuple<QPushButton *, QPlainTextEdit *, const char16_t *> inserts[] = {
        {m_ui->cmdCzName, m_ui->txtCz, u"#姓名#"},   {m_ui->cmdCzCard, m_ui->txtCz, u"#卡号#"},
        {m_ui->cmdCzJe, m_ui->txtCz, u"#充值金额#"}, {m_ui->cmdCzYe, m_ui->txtCz, u"#余额#"},
        {m_ui->cmdXfName, m_ui->txtXf, u"#姓名#"},   {m_ui->cmdXfCard, m_ui->txtXf, u"#卡号#"},
        {m_ui->cmdXfJe, m_ui->txtXf, u"#消费金额#"}, {m_ui->cmdXfYe, m_ui->txtXf, u"#余额#"},
        {m_ui->cmdXfJf, m_ui->txtXf, u"#积分#"},
    };
    for (const auto &[button, box, placeholder] : inserts) {
        const QString text = QString::fromUtf16(placeholder);
        QPlainTextEdit *target = box;
        connect(button, &QPushButton::clicked, this, [target, text] {
            target->insertPlainText(text); // replaces the selection, or goes in at the caret
            target->setFocus();
        });
    }
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] {
        try {
            Transaction tx;
            SetSysInfo(u"czmoban"_s, m_ui->txtCz->toPlainText());
            SetSysInfo(u"xfmoban"_s, m_ui->txtXf->toPlainText());
            tx.commit();
        } catch (const DbError &e) {
            msgError(e.message());
            return;
        }
        accept();
    });
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

frmDxMoban::~frmDxMoban()
{
    delete m_ui;
}

} // namespace lanting::devices

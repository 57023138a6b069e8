#include "operatorwindows.h"

#include "ui_frmaddop.h"
#include "ui_frmchangechar.h"
#include "ui_frmop.h"

#include "appstate.h"
#include "database.h"
#include "login.h"
#include "messages.h"
#include "mod1.h"
#include "operators.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting {

// --- FrmOp ---------------------------------------------------------------

FrmOp::FrmOp(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmOp)
{
    m_ui->setupUi(this);
    connect(m_ui->listName, &QListWidget::itemClicked, this, &FrmOp::choose);
    // Chosen by the operator (mouse or arrow keys), not by the list making
    // its first row current when it takes the focus.
    connect(m_ui->listName, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> chosen = m_ui->listName->selectedItems();
        if (!chosen.isEmpty())
            choose(chosen.first());
    });
    connect(m_ui->listPer, &QListWidget::itemChanged, this, &FrmOp::permissionTicked);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &FrmOp::removeOperator);
    connect(m_ui->cmdAdd, &QPushButton::clicked, this, &FrmOp::addOperatorClicked);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    fillNames();
    ui::closeWait();
}

FrmOp::~FrmOp() { delete m_ui; }

void FrmOp::noneChosen()
{
    m_selected.clear();
    m_ui->listPer->clear();
    m_ui->listPer->hide();
    m_ui->lblAdmin->hide();
    m_ui->picShow->show();
}

void FrmOp::fillNames()
{
    const QSignalBlocker block(m_ui->listName);
    m_ui->listName->clear();
    noneChosen();
    try {
        m_ui->listName->addItems(operatorNames());
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

void FrmOp::choose(QListWidgetItem *item)
{
    if (!item || item->text() == m_selected)
        return;
    std::optional<QString> per;
    try {
        per = permissionsOf(item->text());
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    {
        const QSignalBlocker block(m_ui->listPer);
        m_ui->listPer->clear();
        const QStringList &texts = permissionTexts();
        for (int i = 0; i < texts.size(); ++i) {
            auto *line = new QListWidgetItem(texts.at(i), m_ui->listPer);
            line->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            const bool ticked = per && !(i < per->size() && per->at(i) == u'0');
            line->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_selected = item->text();
    const bool admin = m_selected == kAdminName;
    m_ui->listPer->setEnabled(!admin);
    m_ui->lblAdmin->setVisible(admin);
    m_ui->picShow->hide();
    m_ui->listPer->show();
    m_ui->listName->setFocus();
}

void FrmOp::permissionTicked()
{
    if (m_selected.isEmpty() || m_selected == kAdminName)
        return;
    QString per;
    for (int i = 0; i < m_ui->listPer->count(); ++i)
        per += m_ui->listPer->item(i)->checkState() == Qt::Checked ? u'1' : u'0';
    try {
        setPermissions(m_selected, per); // stored at once; there is no save button
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

void FrmOp::removeOperator()
{
    if (m_selected.isEmpty())
        return;
    if (m_selected == kAdminName) {
        msgNotice(u"操作员admin为系统自带管理员，不可被删除！"_s);
        return;
    }
    if (!askYesNo(u"您确实要删除操作员["_s + m_selected + u"]吗？"_s, u"确认"_s, true))
        return;
    try {
        deleteOperator(m_selected);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    fillNames();
    msgSuccess(u"删除成功！"_s);
}

void FrmOp::addOperatorClicked()
{
    FrmAddOp dlg(this);
    ui::execModal(&dlg);
    fillNames();
}

// --- FrmAddOp ------------------------------------------------------------

FrmAddOp::FrmAddOp(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmAddOp)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmAddOp::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

FrmAddOp::~FrmAddOp() { delete m_ui; }

void FrmAddOp::confirm()
{
    const QString name = m_ui->txtName->text().trimmed();
    m_ui->txtName->setText(name);
    if (name.isEmpty()) {
        msgNotice(u"操作员用户名不能为空！"_s);
        m_ui->txtName->setFocus();
        return;
    }
    if (m_ui->txtPwd1->text() != m_ui->txtPwd2->text()) {
        msgNotice(u"两次密码输入不一致！"_s);
        return;
    }
    try {
        if (operatorExists(name)) {
            msgNotice(u"您输入的操作员用户名已经存在！"_s);
            m_ui->txtName->selectAll();
            m_ui->txtName->setFocus();
            return;
        }
        addOperator(name, m_ui->txtPwd1->text());
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    msgSuccess(u"操作员添加成功！"_s);
    accept();
}

// --- FrmChangeChar -------------------------------------------------------

FrmChangeChar::FrmChangeChar(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmChangeChar)
{
    m_ui->setupUi(this);
    m_ui->txtCzy->setText(state().operatorName);
    connect(m_ui->cmdCh, &QPushButton::clicked, this, &FrmChangeChar::change);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmChangeChar::~FrmChangeChar() { delete m_ui; }

void FrmChangeChar::change()
{
    if (m_ui->txtNewPwd1->text() != m_ui->txtNewPwd2->text()) {
        msgNotice(u"新密码两次输入的不一致！"_s);
        return;
    }
    try {
        switch (changePassword(m_ui->txtCzy->text(), m_ui->txtOldPwd->text(),
                               m_ui->txtNewPwd1->text())) {
        case PasswordChange::Changed:
            msgSuccess(u"密码修改成功！"_s);
            break;
        case PasswordChange::WrongOldPassword:
            msgNotice(u"您输入的旧密码错误！"_s);
            break;
        case PasswordChange::NoSuchOperator:
            break;
        }
    } catch (const DbError &e) {
        msgError(e.message());
    }
    accept();
}

} // namespace lanting

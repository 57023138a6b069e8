#include "frmjsr.h"

#include "ui_frmjsr.h"

#include "amounts.h"
#include "database.h"
#include "enrolment.h"
#include "messages.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

FrmJsr::FrmJsr(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmJsr)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdFind, &QPushButton::clicked, this, &FrmJsr::find);
    connect(m_ui->txtIDName, &QLineEdit::returnPressed, this, &FrmJsr::find);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmJsr::confirm);
    connect(m_ui->lvJsr, &QTreeWidget::itemDoubleClicked, this, &FrmJsr::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    devices::setTargetHandler(devices::TargetReferrer, [this](const QString &card) {
        m_ui->txtIDName->setText(card);
        find();
    });
}

FrmJsr::~FrmJsr()
{
    devices::setTargetHandler(devices::TargetReferrer, {});
    delete m_ui;
}

QString FrmJsr::selectedId() const
{
    return ui::currentOrFirst(m_ui->lvJsr);
}

void FrmJsr::find()
{
    m_ui->lvJsr->clear();
    try {
        for (const Referrer &r : findReferrers(m_ui->txtIDName->text()))
            ui::addRow(m_ui->lvJsr, {r.id, r.name, r.lv, FmtTime(r.createtime)});
    } catch (const DbError &e) {
        msgError(e.message());
    }
    if (m_ui->lvJsr->topLevelItemCount() > 0)
        m_ui->lvJsr->setCurrentItem(m_ui->lvJsr->topLevelItem(0));
}

void FrmJsr::confirm()
{
    if (m_ui->lvJsr->topLevelItemCount() == 0) {
        msgNotice(u"您还没有选择介绍人！"_s);
        return;
    }
    IsOK = true;
    accept();
}

} // namespace lanting::members

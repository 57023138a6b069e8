#include "remindwindows.h"

#include "ui_frmaddremind.h"
#include "ui_frmremind.h"

#include "database.h"
#include "messages.h"
#include "reminders.h"
#include "sysinfo.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members {

// --- FrmRemind -----------------------------------------------------------

FrmRemind::FrmRemind(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmRemind)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdSr, &QPushButton::clicked, this, [this] { showList(true); });
    connect(m_ui->cmdSj, &QPushButton::clicked, this, [this] { showList(false); });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    showList(false);
    const QDate today = QDate::currentDate();
    try {
        const int days = int(GetSysInfo(u"txtian"_s).toDouble());
        m_ui->cmdSr->setEnabled(days >= 1);
        for (const Birthday &b : birthdaysWithin(days, today))
            ui::addRow(m_ui->lvSr, {b.id, b.name, b.sex, b.lv, b.csny.toString(u"MM月dd日"_s)});
        for (const Event &e : eventsOn(today))
            ui::addRow(m_ui->lvSj, {e.card, e.name, e.lx, e.ps});
        m_ui->chkShow->setChecked(GetSysInfo(u"showtx"_s) == u"yes"_s);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    if (hasReminders())
        showList(m_ui->lvSr->topLevelItemCount() > 0);
}

FrmRemind::~FrmRemind() { delete m_ui; }

bool FrmRemind::hasReminders() const
{
    return m_ui->lvSr->topLevelItemCount() > 0 || m_ui->lvSj->topLevelItemCount() > 0;
}

bool FrmRemind::showAtStart() const { return m_ui->chkShow->isChecked(); }

void FrmRemind::showList(bool birthdays)
{
    m_ui->lvSr->setVisible(birthdays);
    m_ui->lvSj->setVisible(!birthdays);
    m_ui->cmdSr->setStyleSheet(birthdays ? u"color: blue;"_s : QString());
    m_ui->cmdSj->setStyleSheet(birthdays ? QString() : u"color: blue;"_s);
}

void FrmRemind::done(int result)
{
    try {
        SetSysInfo(u"showtx"_s, showAtStart() ? u"yes"_s : u"no"_s);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    QDialog::done(result);
}

// --- FrmAddremind --------------------------------------------------------

FrmAddremind::FrmAddremind(const QString &card, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmAddremind), m_card(card)
{
    m_ui->setupUi(this);
    m_ui->dtTime->setDateTime(QDateTime::currentDateTime());
    m_ui->comLx->setCurrentIndex(0);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmAddremind::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtPs->setFocus();
}

FrmAddremind::~FrmAddremind() { delete m_ui; }

bool FrmAddremind::SetMode(int mode, int eventId)
{
    if (mode != 0)
        return true;
    std::optional<Event> e;
    try {
        e = readEvent(eventId);
    } catch (const DbError &err) {
        msgError(err.message());
    }
    if (!e)
        return false;
    theMode = 0;
    m_eventId = eventId;
    setWindowTitle(u"修改事件"_s);
    m_ui->dtTime->setDateTime(e->txsj);
    m_ui->comLx->setCurrentText(e->lx);
    m_ui->txtPs->setText(e->ps);
    return true;
}

void FrmAddremind::confirm()
{
    if (m_ui->txtPs->text().isEmpty()) {
        msgNotice(u"说明不能为空！"_s);
        m_ui->txtPs->setFocus();
        return;
    }
    QDateTime when = m_ui->dtTime->dateTime();
    when = when.addMSecs(-when.time().msec());
    try {
        if (!saveEvent(theMode == 0 ? m_eventId : 0, m_card, when, m_ui->comLx->currentText(),
                       m_ui->txtPs->text())) {
            msgNotice(u"此事件已被删除！"_s);
            return;
        }
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    IsOK = true;
    accept();
}

} // namespace lanting::members

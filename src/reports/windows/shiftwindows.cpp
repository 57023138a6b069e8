#include "shiftwindows.h"

#include "ui_frmchangeop.h"
#include "ui_frmjbgl.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "messages.h"
#include "receiptprinter.h"
#include "sysinfo.h"
#include "ui.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

QString yuan(Amount amount)
{
    return FmtJe(amount) + u"元"_s;
}

QDateTime point(const QDateEdit *d, const QTimeEdit *t)
{
    return QDateTime(d->date(), QTime(t->time().hour(), t->time().minute(), t->time().second()));
}

QString pointText(const QDateTime &p)
{
    return p.toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

// Screens without a card field take no swipes while open.
int takeTarget()
{
    const int saved = state().cardTarget;
    state().savedTarget = saved;
    state().cardTarget = 0;
    return saved;
}

} // namespace

// --- FrmChangeOp ---------------------------------------------------------

FrmChangeOp::FrmChangeOp(FrmMain *main) : QDialog(main), m_ui(new Ui::FrmChangeOp), m_main(main)
{
    m_ui->setupUi(this);
    m_savedTarget = takeTarget();
    state().isJiaobanOK = false;
    const QDateTime login = state().loginTime;
    QDateTime now = QDateTime::currentDateTime();
    now = now.addMSecs(-now.time().msec()); // the pickers hold whole seconds
    m_ui->dtStart->setDate(login.date());
    m_ui->TimeStart->setTime(login.time());
    m_ui->dtEnd->setDate(now.date());
    m_ui->TimeEnd->setTime(now.time());
    m_ui->chkJilu->setChecked(true);
    const QList<QPushButton *> tabs{m_ui->cmdOp_0, m_ui->cmdOp_1, m_ui->cmdOp_2};
    for (int i = 0; i < tabs.size(); ++i)
        connect(tabs[i], &QPushButton::clicked, this, [this, i] { showTab(i); });
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &FrmChangeOp::statistics);
    connect(m_ui->cmdPrint, &QPushButton::clicked, this, &FrmChangeOp::printSlip);
    connect(m_ui->cmdSelBkPath, &QPushButton::clicked, this, &FrmChangeOp::chooseBackupFolder);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmChangeOp::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    showTab(0);
    statistics();
    try {
        m_ui->chkBk->setChecked(GetSysInfo(u"exitbk"_s) == u"yes"_s);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    ui::closeWait();
}

FrmChangeOp::~FrmChangeOp()
{
    state().cardTarget = m_savedTarget;
    delete m_ui;
}

void FrmChangeOp::setExitMode()
{
    isExit = true;
    setWindowTitle(u"退出系统"_s);
    m_ui->Label2_1->setText(u"退出统计"_s);
    m_ui->cmdOK->setText(u"确认退出(&X)"_s);
}

void FrmChangeOp::showTab(int index)
{
    const QList<QPushButton *> tabs{m_ui->cmdOp_0, m_ui->cmdOp_1, m_ui->cmdOp_2};
    for (int i = 0; i < tabs.size(); ++i)
        tabs[i]->setStyleSheet(i == index ? u"color: blue;"_s : QString());
    m_ui->stkOp->setCurrentIndex(index);
}

QDateTime FrmChangeOp::startPoint() const
{
    return point(m_ui->dtStart, m_ui->TimeStart);
}
QDateTime FrmChangeOp::endPoint() const
{
    return point(m_ui->dtEnd, m_ui->TimeEnd);
}

void FrmChangeOp::statistics()
{
    const QString op = state().operatorName;
    m_ui->Label2_0->setText(u"统计时间："_s + pointText(startPoint()) + u" 至 "_s +
                            pointText(endPoint()));
    m_ui->Label2_2->setText(u"操作员："_s + op);
    m_ui->lvXf->clear();
    m_ui->lvCz->clear();
    ShiftTotals t;
    try {
        t = shiftTotals(op, startPoint(), endPoint());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    for (const ShiftSale &s : t.sales)
        ui::addRow(m_ui->lvXf,
                   {QString::number(s.id), s.card, s.name, yuan(s.amount), FmtTime(s.time)});
    for (const ShiftRecharge &r : t.recharges)
        ui::addRow(m_ui->lvCz, {r.card, r.name, yuan(r.paid), yuan(r.credited), r.explanation,
                                FmtTime(r.time)});
    m_ui->Label2_3->setText(u"现金消费："_s + yuan(t.cash));
    m_ui->Label2_4->setText(u"储值卡消费："_s + yuan(t.card));
    m_ui->Label2_5->setText(u"退货金额："_s + yuan(t.returns));
    m_ui->Label2_6->setText(u"营业金额："_s + yuan(t.cash + t.card));
    m_ui->Label2_7->setText(u"充值实收现金："_s + yuan(t.rechargeCash));
    // The cash in the drawer that came in during the shift.
    m_ui->Label2_8->setText(u"应交现金："_s + yuan(t.cash + t.rechargeCash - t.refundCash));
    // What is stored is the shift from the login to the opening of this window.
    if (!m_fixed) {
        m_recorded = t;
        m_fixed = true;
    }
}

void FrmChangeOp::printSlip()
{
    QStringList lines;
    for (QLabel *l : {m_ui->Label2_2, m_ui->Label2_3, m_ui->Label2_4, m_ui->Label2_5,
                      m_ui->Label2_6, m_ui->Label2_7, m_ui->Label2_8})
        lines << l->text();
    lines << u"开始：%1"_s.arg(pointText(startPoint())) << u"结束：%1"_s.arg(pointText(endPoint()));
    if (sales::PrintSlip(m_ui->Label2_1->text(), lines))
        ui::tell(u"交班单已送往打印机"_s);
}

void FrmChangeOp::chooseBackupFolder()
{
    QString folder = ui::SelectFolder(this, u"请选择备份数据存放的文件夹："_s);
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    try {
        SetSysInfo(u"bkpath"_s, folder);
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

void FrmChangeOp::confirm()
{
    // Each step on its own: a failing one never keeps the cashier here.
    if (m_ui->chkJilu->isChecked()) {
        try {
            recordHandover({state().operatorName, state().loginTime, endPoint(),
                            m_recorded.cash + m_recorded.card, m_recorded.rechargeCash,
                            m_recorded.credited, m_recorded.refundCash, m_recorded.refundCard});
        } catch (const DbError &) {
        }
    }
    try {
        if (m_ui->chkBk->isChecked()) {
            {
                const ui::WaitScope wait(u"正在备份数据..."_s);
                backupOnExit(GetSysInfo(u"bkpath"_s));
            }
            SetSysInfo(u"exitbk"_s, u"yes"_s);
        } else {
            SetSysInfo(u"exitbk"_s, u"no"_s);
        }
    } catch (const DbError &) {
    }
    state().isJiaobanOK = true;
    accept();
    if (!isExit)
        m_main->handOver();
}

// --- FrmJbgl -------------------------------------------------------------

FrmJbgl::FrmJbgl(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmJbgl)
{
    m_ui->setupUi(this);
    const QDateTime now = QDateTime::currentDateTime();
    for (QDateEdit *d : {m_ui->dtStart1, m_ui->dtEnd1, m_ui->dtStart2, m_ui->dtEnd2})
        d->setDate(now.date());
    for (QTimeEdit *t : {m_ui->TimeEnd1, m_ui->TimeEnd2})
        t->setTime(now.time());
    for (QTimeEdit *t : {m_ui->TimeStart1, m_ui->TimeStart2})
        t->setTime(QTime(0, 0));
    m_ui->picShow->hide();
    connect(m_ui->cmdSearch_0, &QPushButton::clicked, this, [this] { search(true); });
    connect(m_ui->cmdSearch_1, &QPushButton::clicked, this, [this] { search(false); });
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvTb, u"交班记录报表"_s);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmJbgl::~FrmJbgl()
{
    delete m_ui;
}

void FrmJbgl::search(bool byLogin)
{
    m_ui->lvTb->clear();
    m_ui->cmdSearch_0->setEnabled(false);
    m_ui->cmdSearch_1->setEnabled(false);
    m_ui->picShow->show();
    ui::readerReset();
    const QDateTime from =
        byLogin ? point(m_ui->dtStart1, m_ui->TimeStart1) : point(m_ui->dtStart2, m_ui->TimeStart2);
    const QDateTime to =
        byLogin ? point(m_ui->dtEnd1, m_ui->TimeEnd1) : point(m_ui->dtEnd2, m_ui->TimeEnd2);
    try {
        for (const Handover &h : handovers(byLogin, from, to))
            ui::addRow(m_ui->lvTb, {h.czy, FmtTime(h.loginTime), FmtTime(h.handoverTime),
                                    yuan(h.yyje), yuan(h.ssxj), yuan(h.thfhxj), yuan(h.thfhcz)});
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_ui->picShow->hide();
    m_ui->cmdSearch_0->setEnabled(true);
    m_ui->cmdSearch_1->setEnabled(true);
}

} // namespace lanting::reports

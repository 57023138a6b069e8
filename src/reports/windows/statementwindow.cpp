#include "statementwindow.h"

#include "ui_frmstatement.h"

#include "database.h"
#include "messages.h"
#include "ui.h"

#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

FrmStatement::FrmStatement(QWidget *parent, const QString &card)
    : ReportWindow(parent), m_ui(new Ui::FrmStatement), m_card(card)
{
    m_ui->setupUi(this);
    attach(m_ui->lvTb, ReportQuery{statementColumns()});
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &FrmStatement::search);
    connect(m_ui->cmdExcel, &QPushButton::clicked, this,
            [this] { ui::ExportReport(m_ui->lvTb, title(), false); });
    connect(m_ui->cmdPrint, &QPushButton::clicked, this,
            [this] { ui::ExportReport(m_ui->lvTb, title(), true); });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    std::optional<QDate> since;
    try {
        since = memberSince(card);
    } catch (const DbError &e) {
        msgError(e.message());
        ui::closeWait();
        return;
    }
    ui::closeWait();
    if (!since) {
        msgNotice(u"此会员不存在！"_s);
        return;
    }
    m_loaded = true;
    const QDate today = QDate::currentDate();
    m_ui->dtStart->setDate(since->isValid() && *since <= today ? *since : today.addYears(-1));
    m_ui->dtEnd->setDate(today);
    search();
}

FrmStatement::~FrmStatement()
{
    delete m_ui;
}

QString FrmStatement::title() const
{
    return u"会员对账单（%1 %2，%3至%4）"_s.arg(m_card, m_statement ? m_statement->name : QString(),
                                                m_ui->dtStart->date().toString(u"yyyy-MM-dd"_s),
                                                m_ui->dtEnd->date().toString(u"yyyy-MM-dd"_s));
}

void FrmStatement::search()
{
    const Days period{m_ui->dtStart->date(), m_ui->dtEnd->date()};
    if (period.from > period.to) {
        msgNotice(u"开始日期不能晚于结束日期！"_s);
        m_ui->dtStart->setFocus();
        return;
    }
    std::optional<Statement> read;
    const bool ran = run(m_ui->lvTb, {m_ui->cmdSearch}, nullptr, [&] {
        read = memberStatement(m_card, period);
        if (!read)
            throw DbError(u"此会员不存在！"_s);
        return statementReport(*read);
    });
    m_statement = ran ? read : std::nullopt;
    if (!m_statement) {
        m_ui->lblOpening->clear();
        m_ui->lblClosing->clear();
        m_ui->lblCheck->clear();
        return;
    }
    const Statement &s = *m_statement;
    m_ui->lblMember->setText(u"会员：%1 %2"_s.arg(s.card, s.name));
    m_ui->lblOpening->setText(
        u"期初余额：%1元  期初积分：%2"_s.arg(FmtJe(s.openingBalance), FmtJe(s.openingPoints)));
    m_ui->lblClosing->setText(
        u"期末余额：%1元  期末积分：%2"_s.arg(FmtJe(s.closingBalance), FmtJe(s.closingPoints)));
    if (!s.compared) {
        m_ui->lblCheck->setStyleSheet(QString());
        m_ui->lblCheck->setText(u"对账期间没有到今天，期末数字没有与卡内余额核对。"_s);
    } else if (s.reconciles()) {
        m_ui->lblCheck->setStyleSheet(u"color: green;"_s);
        m_ui->lblCheck->setText(u"与卡内余额、积分一致。"_s);
    } else {
        m_ui->lblCheck->setStyleSheet(u"color: red;"_s);
        m_ui->lblCheck->setText(u"与卡内记录不符：卡内余额%1元、积分%2，相差%3元、积分%4。"_s.arg(
            FmtJe(s.storedBalance), FmtJe(s.storedPoints),
            FmtJe(s.storedBalance - s.closingBalance), FmtJe(s.storedPoints - s.closingPoints)));
    }
}

} // namespace lanting::reports

#include "memberlistpanel.h"

#include "ui_memberlistpanel.h"

#include "amounts.h"
#include "appstate.h"
#include "cardrouting.h"
#include "database.h"
#include "frmgj.h"
#include "frmmain.h"
#include "memberlookup.h"
#include "messages.h"
#include "mod1.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

MemberListPanel::MemberListPanel(FrmMain &main)
    : QWidget(main.panelPage(FrmMain::PanelGl)), m_main(main), m_ui(new Ui::MemberListPanel)
{
    m_ui->setupUi(this);
    main.panelPage(FrmMain::PanelGl)->layout()->addWidget(this);
    m_ui->cmdPageUp->setEnabled(false);
    m_ui->cmdPageDown->setEnabled(false);
    // Card, name, sex, level, consumption, visits, balance, points,
    // recharges, telephone; the remark takes the rest.
    const int widths[] = {110, 80, 45, 80, 100, 65, 80, 60, 125, 105};
    for (int c = 0; c < int(std::size(widths)); ++c)
        m_ui->lvMber->setColumnWidth(c, widths[c]);

    connect(m_ui->cmdQuery, &QPushButton::clicked, this, &MemberListPanel::query);
    connect(m_ui->txtIDName, &QLineEdit::returnPressed, this, [this] {
        if (m_ui->cmdQuery->isEnabled())
            query();
    });
    connect(m_ui->cmdShowJy, &QPushButton::clicked, this,
            [this] { ShowMberList(MemberFilter::disabled()); });
    connect(m_ui->cmdPageDown, &QPushButton::clicked, this, [this] { turnPage(1); });
    connect(m_ui->cmdPageUp, &QPushButton::clicked, this, [this] { turnPage(-1); });
    connect(m_ui->cmdHquery, &QPushButton::clicked, this, &MemberListPanel::advancedSearch);
    connect(&main, &FrmMain::panelShown, this, &MemberListPanel::panelShown);
    devices::setTargetHandler(devices::TargetMemberList, [this](const QString &card) {
        m_ui->txtIDName->setText(card);
        m_ui->cmdQuery->click();
    });
}

MemberListPanel::~MemberListPanel()
{
    devices::setTargetHandler(devices::TargetMemberList, {});
    delete m_ui;
}

MemberListPanel *MemberListPanel::of(FrmMain &main)
{
    return main.findChild<MemberListPanel *>();
}

QString MemberListPanel::selectedId() const
{
    return ui::currentOrFirst(m_ui->lvMber);
}

void MemberListPanel::panelShown(int panel)
{
    if (panel != FrmMain::PanelGl)
        return;
    m_ui->comLv->clear();
    m_ui->comLv->addItem(u"不限制"_s);
    try {
        m_ui->comLv->addItems(levelNames());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_ui->comLv->setCurrentIndex(0);
    state().cardTarget = devices::TargetMemberList;
    m_ui->txtIDName->selectAll();
    m_ui->txtIDName->setFocus();
}

void MemberListPanel::query()
{
    m_main.NowMberListPage = 1;
    const QString level = m_ui->comLv->currentIndex() > 0 ? m_ui->comLv->currentText() : QString();
    ShowMberList(MemberFilter::search(m_ui->txtIDName->text(), level));
    m_ui->txtIDName->selectAll();
    m_ui->txtIDName->setFocus();
}

void MemberListPanel::turnPage(int step)
{
    // A page starts after the last member of the page before: kept for
    // every page reached, so that no page is found by counting from the first.
    QString after;
    if (step == 1) {
        const int rows = m_ui->lvMber->topLevelItemCount();
        if (rows > 0)
            after = m_ui->lvMber->topLevelItem(rows - 1)->text(0);
        m_main.NowMberListPage += step;
        if (!after.isEmpty())
            m_pageAfter[m_main.NowMberListPage] = after;
    } else {
        m_main.NowMberListPage += step;
        after = m_pageAfter.value(m_main.NowMberListPage);
    }
    ShowMberList(m_last, after);
}

void MemberListPanel::ShowMberList(const MemberFilter &filter)
{
    m_pageAfter.clear();
    ShowMberList(filter, QString());
}

void MemberListPanel::refresh()
{
    ShowMberList(m_last, m_pageAfter.value(m_main.NowMberListPage));
}

void MemberListPanel::ShowMberList(const MemberFilter &filter, const QString &after)
{
    m_ui->lvMber->clear();
    ui::showWait();
    m_ui->cmdQuery->setEnabled(false);
    m_ui->cmdShowJy->setEnabled(false);
    ui::readerReset();
    m_last = filter;
    ListPage page;
    try {
        page = memberListPage(filter, m_main.NowMberListPage, after);
    } catch (const DbError &e) {
        ui::closeWait();
        msgError(e.message());
    }
    m_ui->cmdPageUp->setEnabled(page.pageUp);
    m_ui->cmdPageDown->setEnabled(page.pageDown);
    for (const ListRow &r : page.rows)
        ui::addRow(m_ui->lvMber,
                   {r.id, r.name, sexText(r.sex), r.lv, FmtJe(r.ljxfje), QString::number(r.ljxfcs),
                    FmtJe(r.ye), r.jf ? FmtJe(*r.jf) : QString(), FmtJe(r.ljczje), r.tel, r.ps});
    if (m_ui->lvMber->topLevelItemCount() > 0)
        m_ui->lvMber->setCurrentItem(m_ui->lvMber->topLevelItem(0));
    ui::closeWait();
    m_ui->cmdQuery->setEnabled(true);
    m_ui->cmdShowJy->setEnabled(true);
}

void MemberListPanel::advancedSearch()
{
    frmGj dlg(this);
    if (ui::execModal(&dlg) != QDialog::Accepted)
        return;
    m_main.NowMberListPage = 1;
    ShowMberList(dlg.filter());
}

} // namespace lanting::members

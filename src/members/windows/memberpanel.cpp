#include "memberpanel.h"

#include "ui_memberpanel.h"

#include "amounts.h"
#include "appstate.h"
#include "cardrouting.h"
#include "database.h"
#include "frmmain.h"
#include "frmvp.h"
#include "memberlookup.h"
#include "messages.h"
#include "ui.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{
QString yuan(Amount v)
{
    return FmtJe(v) + u"元"_s;
}
QString orEmpty(const std::optional<Amount> &v)
{
    return v ? FmtJe(*v) : QString();
}

// The rows of the histories as their lists show them.
void addRows(QTreeWidget *list, const QList<SaleRow> &rows)
{
    for (const SaleRow &r : rows)
        ui::addRow(list, {QString::number(r.id), FmtTime(r.time), yuan(r.amount), orEmpty(r.jf),
                          r.czy, r.ps});
}
void addRows(QTreeWidget *list, const QList<RechargeRow> &rows)
{
    for (const RechargeRow &r : rows)
        ui::addRow(list, {QString::number(r.id), FmtTime(r.time), yuan(r.ssje), yuan(r.czje),
                          r.yhsm, r.czy, r.ps});
}
void addRows(QTreeWidget *list, const QList<ExchangeRow> &rows)
{
    for (const ExchangeRow &r : rows)
        ui::addRow(list, {QString::number(r.id), FmtTime(r.time), orEmpty(r.jf), r.ps, r.czy});
}
} // namespace

MemberPanel::MemberPanel(FrmMain &main)
    : QWidget(main.panelPage(FrmMain::PanelXf)), m_main(main), m_ui(new Ui::MemberPanel)
{
    m_ui->setupUi(this);
    main.panelPage(FrmMain::PanelXf)->layout()->addWidget(this);

    connect(m_ui->cmdFind, &QPushButton::clicked, this, &MemberPanel::lookup);
    connect(m_ui->txtMber, &QLineEdit::returnPressed, this, [this] {
        if (m_ui->cmdFind->isEnabled())
            lookup();
    });
    connect(m_ui->cmdNotMber, &QPushButton::clicked, this, [this] {
        m_ui->txtMber->setText(kNoCardId);
        lookup();
    });
    connect(m_ui->cmdCls, &QPushButton::clicked, this, &MemberPanel::clearMember);
    connect(m_ui->cmdSelOK, &QPushButton::clicked, this, &MemberPanel::chooseSelected);
    connect(m_ui->lvSel, &QTreeWidget::itemDoubleClicked, this, &MemberPanel::chooseSelected);
    connect(m_ui->cmdSelCC, &QPushButton::clicked, m_ui->picSel, &QWidget::hide);
    m_ui->lvSel->installEventFilter(this);
    for (int i = 0; i < 4; ++i)
        connect(findChild<QPushButton *>(u"ButXf_%1"_s.arg(i)), &QPushButton::clicked, this,
                [this, i] { showTab(i); });
    // A sale chosen by mouse or by the arrow keys shows its lines.
    connect(m_ui->lvInfo, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (!item)
            return;
        ui::readerReset();
        showLines(item->text(0).toInt());
    });
    connect(m_ui->cmdShowPho, &QPushButton::clicked, this, &MemberPanel::showPhoto);
    // Long histories arrive a batch at a time, as their lists scroll down.
    for (QTreeWidget *list : {m_ui->lvInfo, m_ui->lvCz, m_ui->lvDh})
        connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this, list](int value) {
                    if (value >= list->verticalScrollBar()->maximum())
                        loadMore(list);
                });

    main.setShowMber([this](const QString &c) { ShowMber(c); });
    connect(&main, &FrmMain::panelShown, this, &MemberPanel::panelShown);
    devices::setTargetHandler(devices::TargetMainLookup, [this](const QString &card) {
        m_ui->txtMber->setText(card);
        lookup();
    });
    m_ui->cmdShowPho->hide();
    // The panel keeps its place: the photo button's room is kept while it is
    // hidden, and the chooser of several matches floats over the account
    // below the lookup rather than pushing it down.
    QSizePolicy keep = m_ui->cmdShowPho->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_ui->cmdShowPho->setSizePolicy(keep);
    layout()->removeWidget(m_ui->picSel);
    m_ui->picSel->setAutoFillBackground(true);
    installEventFilter(this);
    showTab(0);
    // A swipe always finds a member: the card box takes the focus when the
    // main window is shown or comes back, and when a screen opened from it
    // closes.
    main.installEventFilter(this);
    ui::setAfterModal([this] { focusCardBox(); });
}

MemberPanel::~MemberPanel()
{
    ui::setAfterModal({});
    devices::setTargetHandler(devices::TargetMainLookup, {});
    delete m_ui;
}

MemberPanel *MemberPanel::of(FrmMain &main)
{
    return main.findChild<MemberPanel *>();
}

void MemberPanel::focusCardBox()
{
    if (!m_main.isVisible() || m_main.currentPanel() != FrmMain::PanelXf ||
        !m_ui->txtMber->isVisible() || !m_ui->txtMber->isEnabled() || m_ui->picSel->isVisible())
        return;
    m_ui->txtMber->setFocus(Qt::OtherFocusReason);
    m_ui->txtMber->selectAll();
}

void MemberPanel::panelShown(int panel)
{
    if (panel != FrmMain::PanelXf)
        return;
    QTimer::singleShot(0, this, &MemberPanel::focusCardBox);
    if (state().isIcCard()) {
        state().cardTarget = devices::TargetMainLookup;
        m_ui->txtMber->hide();
        m_ui->cmdFind->hide();
        m_ui->lblTs->setText(u"请刷会员IC卡"_s);
    } else {
        m_ui->txtMber->show();
        m_ui->cmdFind->show();
        m_ui->lblTs->setText(u"请输入会员编号或姓名："_s);
    }
}

void MemberPanel::showTab(int index)
{
    m_ui->stkMem->setCurrentIndex(index);
    for (int i = 0; i < 4; ++i)
        findChild<QPushButton *>(u"ButXf_%1"_s.arg(i))
            ->setStyleSheet(i == index ? u"color: #0000FF;"_s : QString());
}

int MemberPanel::currentTab() const
{
    return m_ui->stkMem->currentIndex();
}

void MemberPanel::placeChooser()
{
    const QRect box = m_ui->txtMber->geometry();
    const QPoint below = m_ui->txtMber->parentWidget()->mapTo(this, box.bottomLeft());
    const int margin = layout()->contentsMargins().left();
    const int height = std::min(std::max(160, m_ui->picSel->sizeHint().height()),
                                std::max(120, this->height() - below.y() - 8));
    m_ui->picSel->setGeometry(margin, below.y() + 4, width() - 2 * margin, height);
}

bool MemberPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::Resize && m_ui->picSel->isVisible())
        placeChooser();
    if (watched == &m_main &&
        (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate))
        QTimer::singleShot(0, this, &MemberPanel::focusCardBox);
    if (watched == m_ui->lvSel && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            chooseSelected();
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_ui->picSel->hide();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MemberPanel::lookup()
{
    m_ui->lvSel->clear();
    m_ui->cmdFind->setEnabled(false);
    const bool ic = state().isIcCard();
    if (!ic)
        ui::readerReset();
    QList<MemberHit> hits;
    try {
        hits = findMembers(m_ui->txtMber->text(), ic);
    } catch (const DbError &e) {
        m_ui->cmdFind->setEnabled(true);
        msgError(e.message());
        return;
    }
    for (const MemberHit &h : hits)
        ui::addRow(m_ui->lvSel, {h.id, h.name, h.lv});
    if (hits.size() == 1) {
        ShowMber(hits.first().id);
        if (!ic) {
            m_ui->txtMber->clear();
            m_ui->txtMber->setFocus();
        }
    } else if (hits.size() > 1) {
        placeChooser();
        m_ui->picSel->show();
        m_ui->picSel->raise();
        m_ui->lvSel->setCurrentItem(m_ui->lvSel->topLevelItem(0));
        m_ui->lvSel->setFocus();
    } else {
        msgNotice(u"您查找的会员不存在！"_s);
        if (!ic) {
            m_ui->txtMber->selectAll();
            m_ui->txtMber->setFocus();
        }
    }
    m_ui->cmdFind->setEnabled(true);
}

void MemberPanel::chooseSelected()
{
    const QString id = ui::currentText(m_ui->lvSel);
    if (id.isEmpty())
        return;
    m_ui->picSel->hide();
    m_ui->txtMber->clear();
    m_ui->txtMber->setFocus();
    ui::readerReset();
    ShowMber(id);
}

void MemberPanel::loadMore(QTreeWidget *list)
{
    const int from = list->topLevelItemCount();
    if (m_shown.isNull() || from % kHistoryBatch != 0 || from == 0)
        return; // the whole history is there already
    try {
        if (list == m_ui->lvInfo)
            addRows(list, saleRows(m_shown, from));
        else if (list == m_ui->lvCz)
            addRows(list, rechargeRows(m_shown, from));
        else
            addRows(list, exchangeRows(m_shown, from));
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

void MemberPanel::ShowMber(const QString &c)
{
    m_shown = QString();
    for (QTreeWidget *list : {m_ui->lvInfo, m_ui->lvCz, m_ui->lvTx, m_ui->lvDh})
        list->clear();
    ui::showWait();
    ui::readerReset();
    try {
        if (const auto m = readMember(c)) {
            m_main.NowMberID = c;
            m_main.NowMberSt = shownState(*m, QDateTime::currentDateTime());
            m_ui->lblID->setText(m->id);
            m_ui->lblName->setText(m->name);
            m_ui->lblSex->setText(sexText(m->sex));
            m_ui->lblLv->setText(m->lv);
            m_ui->lblKnye->setText(yuan(m->ye));
            m_ui->lblJf->setText(FmtJe(m->jf));
            m_ui->lblTel->setText(m->tel);
            m_ui->lblJrsj->setText(FmtTime(m->createtime));
            m_ui->lblCzje->setText(yuan(m->ljczje));
            // The stored totals at once; the sum over the whole history
            // follows as soon as the first screen is up.
            m_ui->lblXfje->setText(yuan(Trunc2(m->ljxfje)));
            m_ui->lblXfcs->setText(QString::number(m->ljxfcs) + u"次"_s);
            m_ui->lblDqsj->setText(m->booljzrq ? FmtDate(m->jzrq) : u"无限制"_s);
            m_ui->lblPs->setText(m->ps);
            m_ui->cmdShowPho->setVisible(!m->photo.isEmpty());
        } else {
            m_ui->lvXiangxi->clear();
            m_ui->lblXfje->clear();
            m_ui->lblXfcs->clear();
        }
        const History h = readHistory(c);
        addRows(m_ui->lvInfo, h.sales);
        addRows(m_ui->lvCz, h.recharges);
        for (const EventRow &r : h.events)
            ui::addRow(m_ui->lvTx, {QString::number(r.id), FmtDate(r.txsj), r.lx, r.ps, r.czy});
        addRows(m_ui->lvDh, h.exchanges);
        if (h.sales.isEmpty()) {
            m_ui->lblLastJe->setText(u"0元"_s);
            m_ui->lblLastTime->setText(u"无"_s);
            m_ui->lvXiangxi->clear();
        } else {
            m_ui->lblLastJe->setText(yuan(h.sales.first().amount));
            m_ui->lblLastTime->setText(FmtTime(h.sales.first().time));
            showLines(h.sales.first().id);
        }
        m_shown = c;
    } catch (const DbError &e) {
        ui::closeWait();
        msgError(e.message());
        return;
    }
    ui::closeWait();
    QTimer::singleShot(0, this, [this, c] { showTotals(c); });
}

void MemberPanel::showTotals(const QString &c)
{
    if (m_shown != c)
        return; // another member came up meanwhile
    try {
        const Totals t = consumptionTotals(c);
        m_ui->lblXfje->setText(yuan(Trunc2(t.total)));
        m_ui->lblXfcs->setText(QString::number(t.count) + u"次"_s);
    } catch (const DbError &e) {
        // The stored totals stay shown; they are corrected the next time.
        qWarning("%s", qPrintable(e.message()));
    }
}

void MemberPanel::showLines(int conId)
{
    m_ui->lvXiangxi->clear();
    m_ui->picShowXX->show();
    ui::readerReset();
    try {
        for (const LineRow &l : saleLines(conId))
            ui::addRow(m_ui->lvXiangxi, {l.spid, l.spmc, yuan(l.dj), FmtJe(l.zk) + u"%"_s,
                                         yuan(l.zhdj), FmtJe(l.sl), orEmpty(l.jf), yuan(l.je)});
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_ui->picShowXX->hide();
}

void MemberPanel::clearMember()
{
    m_shown = QString();
    m_main.NowMberID.clear();
    m_main.NowMberSt = 0;
    for (QLabel *l :
         {m_ui->lblID, m_ui->lblName, m_ui->lblSex, m_ui->lblLv, m_ui->lblXfje, m_ui->lblXfcs,
          m_ui->lblKnye, m_ui->lblJf, m_ui->lblTel, m_ui->lblJrsj, m_ui->lblDqsj, m_ui->lblCzje,
          m_ui->lblLastJe, m_ui->lblLastTime, m_ui->lblPs})
        l->clear();
    m_ui->cmdShowPho->hide();
    for (QTreeWidget *list : {m_ui->lvInfo, m_ui->lvXiangxi, m_ui->lvCz, m_ui->lvTx, m_ui->lvDh})
        list->clear();
}

void MemberPanel::showPhoto()
{
    QString path;
    try {
        if (const auto m = readMember(m_main.NowMberID))
            path = m->photo;
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    frmVP viewer(this);
    if (!viewer.load(path)) {
        msgNotice(u"无法打开照片文件[%1]，文件不存在或不是图片。"_s.arg(path));
        return;
    }
    ui::execModal(&viewer);
}

} // namespace lanting::members

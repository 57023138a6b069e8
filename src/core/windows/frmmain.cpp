#include "frmmain.h"

#include "ui_frmmain.h"

#include "appstate.h"
#include "database.h"
#include "messages.h"
#include "mod1.h"
#include "operatorwindows.h"
#include "sysinfo.h"
#include "ui.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{
const QString kWebAddress = u"www.lanting.example"_s;
constexpr int kReportIcons = 10;
constexpr int kSettingsIcons = 9;
} // namespace

FrmMain::FrmMain(QWidget *parent)
    : QMainWindow(parent), m_ui(new Ui::FrmMain), m_clock(new QTimer(this))
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);

    // Step 1 of loading: the window's own state starts afresh.
    state().hotKeyBlocked = {};

    const AppState &s = state();
    try {
        setTitle(GetSysInfo(u"fdmc"_s));
    } catch (const DbError &) {
        setTitle(QString());
    }

    const QString panelTexts[6] = {
        u"欢迎使用"_s,
        u"操作员："_s + s.operatorName,
        s.isIcCard() ? u"读卡器状态：未连接"_s : u"磁条卡模式"_s,
        QString(),
        u"按下Home键打开钱箱"_s,
        kWebAddress,
    };
    for (int i = 0; i < 6; ++i) {
        m_status[i] = new QLabel(panelTexts[i], this);
        m_status[i]->setObjectName(u"StatusPanel%1"_s.arg(i + 1));
        m_status[i]->setContentsMargins(6, 0, 6, 0);
        m_ui->StatusBar1->addWidget(m_status[i], i == 0 ? 1 : 0);
    }
    m_ui->cmdConnect->setVisible(s.isIcCard());
    // What the cashier just did, in the first panel, with the time of it.
    ui::setTeller([this](const QString &line) {
        m_status[0]->setText(QTime::currentTime().toString(u"HH:mm:ss "_s) + line);
    });

    m_clock->setObjectName(u"Timer1"_s);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &FrmMain::refreshClock);
    refreshClock();
    m_clock->start();

    // Pictures of the tool buttons, and the icons of the two icon panels.
    QStyle *st = style();
    const std::pair<QToolButton *, QStyle::StandardPixmap> pictures[] = {
        {m_ui->Image3, QStyle::SP_FileDialogNewFolder},
        {m_ui->Image2, QStyle::SP_MessageBoxInformation},
        {m_ui->Image4, QStyle::SP_BrowserReload},
        {m_ui->Image5, QStyle::SP_DialogHelpButton},
        {m_ui->Image1, QStyle::SP_FileDialogInfoView},
        {m_ui->Image6, QStyle::SP_DialogCloseButton},
    };
    for (const auto &[pic, icon] : pictures)
        pic->setIcon(st->standardIcon(icon));

    const std::pair<QAbstractButton *, QToolButton *> tools[] = {
        {m_ui->dcButton6, m_ui->Image3}, {m_ui->dcButton5, m_ui->Image2},
        {m_ui->dcButton7, m_ui->Image4}, {m_ui->cmdHelp, m_ui->Image5},
        {m_ui->cmdAbout, m_ui->Image1},  {m_ui->cmdExit, m_ui->Image6},
    };
    for (const auto &[button, pic] : tools) {
        const QString name = button->objectName();
        connect(button, &QAbstractButton::clicked, this, [this, name] { runTool(name); });
        connect(pic, &QAbstractButton::clicked, this, [this, name] { runTool(name); });
    }
    const QAbstractButton *more[] = {m_ui->cmdSkin, m_ui->cmdDxMoban, m_ui->cmdDxpt,
                                     m_ui->cmdConnect};
    for (const QAbstractButton *b : more) {
        const QString name = b->objectName();
        connect(b, &QAbstractButton::clicked, this, [this, name] { runTool(name); });
    }

    // A picture of its own for every report and setting, from the icon theme.
    static const char *const reportPictures[kReportIcons] = {"skrooge",
                                                             "package-x-generic",
                                                             "office-chart-bar",
                                                             "kwalletmanager",
                                                             "accessories-calculator",
                                                             "utilities-log-viewer",
                                                             "starred",
                                                             "kget",
                                                             "edit-undo",
                                                             "office-calendar"};
    static const char *const settingsPictures[kSettingsIcons] = {
        "gnome-software", "x-office-address-book", "preferences-desktop-user",
        "homebank",       "input-keyboard",        "preferences-other",
        "deja-dup",       "dialog-password",       "edit-clear-all"};
    for (int i = 0; i < kReportIcons; ++i) {
        auto *b = findChild<QToolButton *>(u"ImgReport_%1"_s.arg(i));
        b->setIcon(ui::themedIcon(QString::fromLatin1(reportPictures[i]),
                                  st->standardIcon(QStyle::SP_FileDialogDetailedView)));
        connect(b, &QToolButton::clicked, this, [this, i] { onReportIcon(i); });
    }
    for (int i = 0; i < kSettingsIcons; ++i) {
        auto *b = findChild<QToolButton *>(u"Imgsz_%1"_s.arg(i));
        b->setIcon(ui::themedIcon(QString::fromLatin1(settingsPictures[i]),
                                  st->standardIcon(QStyle::SP_FileDialogContentsView)));
        connect(b, &QToolButton::clicked, this, [this, i] { onSettingsIcon(i); });
    }

    connect(m_ui->cmdMemxf, &QAbstractButton::clicked, this, [this] { switchPanel(PanelXf); });
    connect(m_ui->cmdMemgl, &QAbstractButton::clicked, this, [this] { switchPanel(PanelGl); });
    connect(m_ui->cmdMemtj, &QAbstractButton::clicked, this, [this] { switchPanel(PanelTj); });
    connect(m_ui->cmdSysz, &QAbstractButton::clicked, this, [this] { switchPanel(PanelSz); });

    setSettingsAction(2, [this] {
        FrmOp dlg(this);
        ui::execModal(&dlg);
    });
    setSettingsAction(7, [this] {
        FrmChangeChar dlg(this);
        ui::execModal(&dlg);
    });
    for (const auto &extension : extensions())
        extension(*this);
    switchPanel(PanelXf);
}

std::vector<std::function<void(FrmMain &)>> &FrmMain::extensions()
{
    static std::vector<std::function<void(FrmMain &)>> list;
    return list;
}

void FrmMain::addExtension(std::function<void(FrmMain &)> extension)
{
    extensions().push_back(std::move(extension));
}

QWidget *FrmMain::panelPage(Panel panel) const
{
    return m_ui->stkPanels->widget(panel);
}

QString FrmMain::shownMember(const QString &label) const
{
    const auto *l = panelPage(PanelXf)->findChild<QLabel *>(label);
    return l ? l->text() : QString();
}

void FrmMain::ShowMber(const QString &cardNumber)
{
    if (m_showMber)
        m_showMber(cardNumber);
}

void FrmMain::setShowMber(std::function<void(const QString &)> show)
{
    m_showMber = std::move(show);
}

FrmMain::~FrmMain()
{
    ui::setTeller({});
    delete m_ui;
}

void FrmMain::setTitle(const QString &shopName)
{
    setWindowTitle(u"岚汀会员管理系统 - ["_s + shopName + u"]"_s);
}

QLabel *FrmMain::statusPanel(int n) const
{
    return n >= 1 && n <= 6 ? m_status[n - 1] : nullptr;
}

void FrmMain::refreshClock()
{
    m_status[3]->setText(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s));
}

FrmMain::Panel FrmMain::currentPanel() const
{
    return Panel(m_ui->stkPanels->currentIndex());
}

void FrmMain::markPanel(Panel panel)
{
    QAbstractButton *buttons[] = {m_ui->cmdMemxf, m_ui->cmdMemgl, m_ui->cmdMemtj, m_ui->cmdSysz};
    buttons[panel]->setChecked(true);
    m_ui->stkPanels->setCurrentIndex(panel);
}

bool FrmMain::switchPanel(Panel panel)
{
    AppState &s = state();
    switch (panel) {
    case PanelXf:
    case PanelGl:
        // The member panels set their card-read target and fields.
        markPanel(panel);
        Q_EMIT panelShown(panel);
        return true;
    case PanelTj:
    case PanelSz:
        if (!CheckPer(panel == PanelTj ? Per::Reports : Per::Settings)) {
            markPanel(currentPanel()); // the visible panel stays selected
            return false;
        }
        s.cardTarget = 0;
        markPanel(panel);
        Q_EMIT panelShown(panel);
        return true;
    }
    return false;
}

void FrmMain::setToolAction(const QString &button, Action action)
{
    m_tools[button] = std::move(action);
}
void FrmMain::setReportAction(int index, Action action)
{
    m_reports[index] = std::move(action);
}
void FrmMain::setSettingsAction(int index, Action action)
{
    m_settings[index] = std::move(action);
}
void FrmMain::setScreen(const QString &name, Screen screen)
{
    m_screens[name] = std::move(screen);
}

void FrmMain::openScreen(const QString &name, const QString &cardNumber)
{
    if (const auto it = m_screens.find(name); it != m_screens.end() && it->second)
        it->second(cardNumber);
}

void FrmMain::setCloseGuard(std::function<bool()> guard)
{
    m_closeGuard = std::move(guard);
}

void FrmMain::runTool(const QString &button)
{
    if (button == u"cmdExit"_s) {
        close();
        return;
    }
    if (button == u"dcButton6"_s && !CheckPer(Per::AddMember))
        return;
    if (const auto it = m_tools.find(button); it != m_tools.end() && it->second)
        it->second();
}

void FrmMain::onReportIcon(int index)
{
    ui::showWait();
    ui::readerReset();
    const auto it = m_reports.find(index);
    if (it != m_reports.end() && it->second)
        it->second(); // the report window closes the wait notice when loaded
    else
        ui::closeWait();
}

void FrmMain::onSettingsIcon(int index)
{
    if (index == 8) {
        // What an initialisation would do is not defined; the question stays.
        showMessage({u"提示信息"_s, MsgIcon::Question, u"是否初始化本系统"_s, MsgButtons::YesNo,
                     MsgAnswer::Yes});
        return;
    }
    ui::showWait();
    ui::readerReset();
    if ((index == 2 || index == 6) && !HasPer(Per::Operators)) {
        ui::closeWait();
        NoPerMsg();
        return;
    }
    const auto it = m_settings.find(index);
    if (it != m_settings.end() && it->second)
        it->second();
    else
        ui::closeWait();
}

void FrmMain::addStartupStep(Action step)
{
    m_startup.push_back(std::move(step));
}

void FrmMain::runStartupSteps()
{
    for (const Action &step : m_startup)
        step();
}

void FrmMain::handOver()
{
    hide();
    isJiaoban = true;
    Q_EMIT handedOver();
    close();
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    if (!isJiaoban && m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    m_clock->stop();
    event->accept();
    if (!isJiaoban)
        Q_EMIT programEnds();
}

} // namespace lanting

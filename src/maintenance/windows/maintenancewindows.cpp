#include "maintenancewindows.h"

#include "ui_frmabout.h"
#include "ui_frmdatebak.h"
#include "ui_frmother.h"

#include "appstate.h"
#include "cashdrawer.h"
#include "database.h"
#include "escpos.h"
#include "frmmain.h"
#include "messages.h"
#include "othersettings.h"
#include "programfolder.h"
#include "sysinfo.h"
#include "ui.h"

#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPrinterInfo>
#include <QStyle>
#include <QStyleFactory>

using namespace Qt::Literals::StringLiterals;

namespace lanting::maintenance
{

// --- FrmOther ------------------------------------------------------------

FrmOther::FrmOther(FrmMain *main) : QDialog(main), m_ui(new Ui::FrmOther), m_main(main)
{
    m_ui->setupUi(this);
    for (int i = 1; i <= 7; ++i)
        m_ui->comQx->addItem(u"COM%1"_s.arg(i));
    // A drawer plugged into the ESC/POS receipt printer.
    m_ui->comQx->addItem(QString::fromUtf16(devices::kDrawerOnPrinter));
    m_ui->comPrinter->addItems(QPrinterInfo::availablePrinterNames());
    try {
        const OtherSettings s = loadOtherSettings();
        m_ui->chPrint->setChecked(s.boolprint);
        m_ui->txtNum->setText(s.dyfs);
        m_ui->comPrinter->setCurrentIndex(m_ui->comPrinter->findText(s.printer));
        m_ui->txtBt1->setText(s.bt1);
        m_ui->txtBt2->setText(s.bt2);
        m_ui->txtJz1->setText(s.jz1);
        m_ui->txtJz2->setText(s.jz2);
        m_ui->txtShopName->setText(s.fdmc);
        m_ui->chkKc->setChecked(s.kc);
        m_ui->txtYuan->setText(s.yuan);
        m_ui->txtTian->setText(s.txtian);
        m_ui->comXiaoshu->setCurrentIndex(m_ui->comXiaoshu->findText(s.xiaoshu));
        m_ui->comQx->setCurrentIndex(std::max(0, m_ui->comQx->findText(s.qxdk)));
        state().drawerPort = m_ui->comQx->currentText();
        m_ui->chkCzSend->setChecked(s.czsendm);
        m_ui->chkXfSend->setChecked(s.xfsendm);
        m_ui->comKind->setCurrentIndex(s.escpos ? 1 : 0);
        m_ui->txtEscpos->setText(s.escposAddress);
        m_ui->comPaper->setCurrentIndex(s.paperMm == 80 ? 1 : 0);
        m_ui->txtDisplay->setText(s.displayPort);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    connect(m_ui->dcButton2, &QPushButton::clicked, this, [this] { showPage(0); });
    connect(m_ui->dcButton1, &QPushButton::clicked, this, [this] { showPage(1); });
    connect(m_ui->cmdSave, &QPushButton::clicked, this, &FrmOther::save);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    showPage(0);
    ui::closeWait();
}

FrmOther::~FrmOther()
{
    delete m_ui;
}

void FrmOther::showPage(int page)
{
    m_ui->stkPages->setCurrentIndex(page);
    m_ui->dcButton2->setStyleSheet(page == 0 ? u"color: blue;"_s : QString());
    m_ui->dcButton1->setStyleSheet(page == 1 ? u"color: blue;"_s : QString());
}

void FrmOther::save()
{
    // The copies are a whole number; "2份" or "1.5" is not taken.
    if (!copiesValid(m_ui->txtNum->text())) {
        msgNotice(u"打印份数必须是整数！"_s);
        showPage(1);
        m_ui->txtNum->selectAll();
        m_ui->txtNum->setFocus();
        return;
    }
    OtherSettings s;
    s.boolprint = m_ui->chPrint->isChecked();
    s.dyfs = m_ui->txtNum->text().trimmed();
    s.printer = m_ui->comPrinter->currentText();
    s.bt1 = m_ui->txtBt1->text();
    s.bt2 = m_ui->txtBt2->text();
    s.jz1 = m_ui->txtJz1->text();
    s.jz2 = m_ui->txtJz2->text();
    s.fdmc = m_ui->txtShopName->text();
    s.kc = m_ui->chkKc->isChecked();
    s.qxdk = m_ui->comQx->currentText();
    s.txtian = m_ui->txtTian->text();
    s.xiaoshu = m_ui->comXiaoshu->currentText();
    s.yuan = m_ui->txtYuan->text();
    s.czsendm = m_ui->chkCzSend->isChecked();
    s.xfsendm = m_ui->chkXfSend->isChecked();
    s.escpos = m_ui->comKind->currentIndex() == 1;
    s.escposAddress = m_ui->txtEscpos->text();
    s.paperMm = m_ui->comPaper->currentIndex() == 1 ? 80 : 58;
    s.displayPort = m_ui->txtDisplay->text();
    if (s.escpos && devices::escposTarget(s.escposAddress).kind == devices::EscposTarget::None) {
        msgNotice(u"请输入ESC/POS小票打印机的地址！"_s);
        showPage(1);
        m_ui->txtEscpos->setFocus();
        return;
    }
    try {
        saveOtherSettings(s);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    m_main->setTitle(s.fdmc);
    accept();
}

// --- FrmDateBak ----------------------------------------------------------

FrmDateBak::FrmDateBak(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmDateBak)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdBak, &QPushButton::clicked, this, &FrmDateBak::backup);
    connect(m_ui->cmdR, &QPushButton::clicked, this, &FrmDateBak::restore);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmDateBak::~FrmDateBak()
{
    delete m_ui;
}

namespace
{
// The server keeps its own data: backups of it are made on the server.
bool onServer()
{
    if (Database::backend() != Backend::Postgres)
        return false;
    msgNotice(u"数据库在服务器上，请在数据库服务器上备份和恢复。"_s);
    return true;
}
} // namespace

void FrmDateBak::backup()
{
    if (onServer())
        return;
    const QString chosen = ui::SelectFolder(this, u"请选择备份数据存放的文件夹："_s);
    if (chosen.isEmpty())
        return;
    const QString folder = withSeparator(QDir::fromNativeSeparators(chosen));
    if (!privateFolder(folder)) {
        showMessage({u"错误"_s, MsgIcon::Warning,
                     u"无法创建文件夹[%1]。"_s.arg(QDir::toNativeSeparators(folder))});
        return;
    }
    bool copied = false;
    {
        const ui::WaitScope wait(u"正在备份数据..."_s);
        copied = Database::copyTo(folder + QString::fromUtf16(kBackupName));
    }
    if (!copied) {
        showMessage({u"错误"_s, MsgIcon::Warning,
                     u"无法把数据库复制到[%1]。"_s.arg(QDir::toNativeSeparators(folder))});
        return;
    }
    msgSuccess(u"备份成功！"_s);
}

void FrmDateBak::restore()
{
    if (onServer())
        return;
    const QString chosen = ui::SelectFolder(this, u"请选择要恢复的数据存放的文件夹："_s);
    if (chosen.isEmpty())
        return;
    const QString file =
        withSeparator(QDir::fromNativeSeparators(chosen)) + QString::fromUtf16(kBackupName);
    if (!QFileInfo::exists(file)) {
        msgNotice(u"该文件夹不存在本软件的数据库！"_s);
        return;
    }
    if (!askYesNo(u"您确实要恢复数据库吗？"_s, u"数据库还原确认"_s, true))
        return;
    QString error;
    bool restored = false;
    {
        const ui::WaitScope wait(u"正在恢复数据..."_s);
        restored = Database::restoreFrom(file, &error);
    }
    if (!restored) {
        showMessage({u"错误"_s, MsgIcon::Critical, error});
        return;
    }
    msgSuccess(u"数据库恢复成功！"_s);
}

// --- frmAbout ------------------------------------------------------------

frmAbout::frmAbout(QWidget *parent) : QDialog(parent), m_ui(new Ui::frmAbout)
{
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    m_ui->lblVer->setText(u"版本："_s + QStringLiteral(LANTING_VERSION));
    connect(m_ui->cmdWeb, &QPushButton::clicked, this,
            [this] { ui::ShellOpen(m_ui->cmdWeb->text()); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

frmAbout::~frmAbout()
{
    delete m_ui;
}

// --- skins ---------------------------------------------------------------

const QStringList &skinNames()
{
    static const QStringList names = {
        u"默认皮肤"_s,  u"蓝色经典"_s, u"蓝色世界"_s,    u"橘银绕体"_s, u"灰色享受"_s,
        u"酷酷灰色"_s,  u"XP绿色"_s,   u"灰银世界"_s,    u"Longhorn"_s, u"浅蓝地带"_s,
        u"Pixos界面"_s, u"Royale"_s,   u"Storm"_s,       u"Aero"_s,     u"灰蓝界面"_s,
        u"灰黑界面"_s,  u"Compact"_s,  u"Dark Royale"_s, u"Dogmax"_s,   u"淡灰蓝"_s};
    return names;
}

void applySkin(int index)
{
    // Each look is a palette over the same widget style; 0 is the system's.
    static const QPalette original = qApp->palette();
    static const QColor base[] = {{},
                                  {0xB9, 0xD3, 0xEE},
                                  {0x99, 0xCC, 0xF5},
                                  {0xE8, 0xC8, 0x9C},
                                  {0xD0, 0xD0, 0xD0},
                                  {0xA8, 0xA8, 0xA8},
                                  {0xC6, 0xE2, 0xB5},
                                  {0xDC, 0xDC, 0xE4},
                                  {0xB0, 0xC4, 0xDE},
                                  {0xCD, 0xE5, 0xF7},
                                  {0xD8, 0xD4, 0xC8},
                                  {0xC4, 0xD8, 0xF0},
                                  {0x9E, 0xAE, 0xC0},
                                  {0xD6, 0xE6, 0xF6},
                                  {0xA9, 0xB8, 0xC8},
                                  {0x70, 0x70, 0x78},
                                  {0xE0, 0xE0, 0xE0},
                                  {0x50, 0x58, 0x70},
                                  {0xC8, 0xB8, 0x98},
                                  {0xC8, 0xD2, 0xDC}};
    if (index < 0 || index >= int(std::size(base)))
        return;
    if (index == 0) {
        qApp->setPalette(original);
        return;
    }
    if (QStyle *fusion = QStyleFactory::create(u"Fusion"_s))
        qApp->setStyle(fusion);
    qApp->setPalette(QPalette(base[index]));
}

QColor skinBackground(int index)
{
    return index == 1 || index == 2 ? QColor(153, 204, 245) : QColor(224, 224, 224);
}

namespace
{
void setBackground(FrmMain &main, const QColor &c)
{
    main.setStyleSheet(u"QMainWindow { background-color: %1; }"_s.arg(c.name()));
    main.setProperty("skinBackground", c);
}
} // namespace

void installMaintenance(FrmMain &main)
{
    main.setSettingsAction(5, [&main] {
        FrmOther dlg(&main);
        ui::execModal(&dlg);
    });
    main.setSettingsAction(6, [&main] {
        FrmDateBak dlg(&main);
        ui::execModal(&dlg);
    });

    // The skin menu, its entry of the stored look ticked.
    auto *menu = new QMenu(&main);
    menu->setObjectName(u"mnuSkinList"_s);
    auto *group = new QActionGroup(menu);
    const int current = state().skin;
    for (int i = 0; i < skinNames().size(); ++i) {
        QAction *entry = menu->addAction(skinNames()[i]);
        entry->setObjectName(u"mnuSkin_%1"_s.arg(i));
        entry->setCheckable(true);
        entry->setChecked(i == current);
        group->addAction(entry);
        QObject::connect(entry, &QAction::triggered, &main, [&main, i] {
            try {
                SetSysInfo(u"skin"_s, QString::number(i));
            } catch (const DbError &e) {
                msgError(e.message());
            }
            state().skin = i;
            applySkin(i);
            setBackground(main, skinBackground(i));
        });
    }
    if (current == 1 || current == 2)
        setBackground(main, skinBackground(current));
    main.setToolAction(u"cmdSkin"_s, [&main, menu] {
        auto *button = main.findChild<QWidget *>(u"cmdSkin"_s);
        menu->popup(button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos());
    });

    main.setToolAction(u"cmdHelp"_s, [] {
        // The shop's own pages in the program folder, else the delivered ones.
        QString help = QDir(state().programFolder).filePath(u"help/index.html"_s);
        if (!QFileInfo::exists(help))
            help = findDataFile(u"help/index.html"_s);
        if (help.isEmpty())
            msgNotice(u"找不到帮助文件。"_s);
        else if (!ui::ShellOpen(help))
            msgNotice(u"本机没有可以打开帮助的浏览器。帮助文件在：\n"_s +
                      QDir::toNativeSeparators(help));
    });
    main.setToolAction(u"cmdAbout"_s, [&main] {
        devices::OpenQx();
        frmAbout dlg(&main);
        ui::execModal(&dlg);
    });
}

} // namespace lanting::maintenance

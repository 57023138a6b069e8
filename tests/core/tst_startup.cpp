// Start-up, login and the main window frame, driven through the real windows.

#include "appstate.h"
#include "database.h"
#include "fakedesktop.h"
#include "frmlogin.h"
#include "frmmain.h"
#include "harness.h"
#include "login.h"
#include "programfolder.h"
#include "singleinstance.h"
#include "sysinfo.h"
#include "ui.h"
#include "urlcatcher.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

using test::UrlCatcher;

class TstStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstStartLoadsSettings_data() { Harness::addBackendRows(); }
    void firstStartLoadsSettings();
    void deliveredAccountHint();
    void loginOutcomes_data();
    void loginOutcomes();
    void sessionSurvivesLostDatabase();
    void emptyNameRefused();
    void keyboardLogin();
    void qtDialogsSpeakChinese();
    void noOperators();
    void badSettingReported();
    void damagedDatabasePrompt_data();
    void damagedDatabasePrompt();
    void mainWindowFrame();
    void panelsFollowPermissions_data();
    void panelsFollowPermissions();
    void icCardHidesTypedLookup();
    void settingsIcons();
    void closingEndsProgram();
    void singleInstance();
    void staleLockTakenOver();
    void shellOpenHandsUrlToDesktop();
    void programFolderBesideOrUsers();
    void selectFolder();
};

void TstStartup::deliveredAccountHint()
{
    // The delivered account is shown only while it still opens the program.
    Harness h;
    QVERIFY(h.startProgram());
    auto *hint = h.loginWindow()->findChild<QLabel *>(u"lblHint"_s);
    QVERIFY(hint);
    QVERIFY(!hint->isHidden());
    QVERIFY(hint->text().contains(u"860317"_s));
    Sql(u"UPDATE czy SET pwd = ? WHERE name = 'admin'"_s).bind(u"新密码2026"_s).exec();
    QVERIFY(h.startProgram());
    hint = h.loginWindow()->findChild<QLabel *>(u"lblHint"_s);
    QVERIFY(hint->isHidden());
    Sql(u"UPDATE czy SET pwd = ? WHERE name = 'admin'"_s).bind(u"860317"_s).exec();
    QVERIFY(h.startProgram());
    QVERIFY(!h.loginWindow()->findChild<QLabel *>(u"lblHint"_s)->isHidden());
}

void TstStartup::firstStartLoadsSettings()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    QVERIFY(h.messages().isEmpty());
    if (backend == Backend::Sqlite)
        QVERIFY(QFile::exists(h.folder() + u"/qzdb.qdb"_s));
    auto *com = h.loginWindow()->findChild<QComboBox *>(u"comCzy"_s);
    QCOMPARE(com->count(), 1);
    QCOMPARE(com->currentText(), u"admin"_s);
    QCOMPARE(state().decimals, 2);
    QCOMPARE(state().cardType, 1);
    QCOMPARE(state().copies, 1);
    QCOMPARE(state().drawerPort, u"COM1"_s);
    QCOMPARE(state().bt1, u"欢迎光临"_s);

    FrmMain *main = h.login();
    QVERIFY(main);
    QCOMPARE(state().operatorName, u"admin"_s);
    QCOMPARE(state().permissions, u"111111111111"_s);
    QCOMPARE(state().yuanPerPoint, 1.0);
    QVERIFY(qAbs(state().loginTime.secsTo(QDateTime::currentDateTime())) < 60);
    QVERIFY(!h.loginWindow()->isVisible());
    QVERIFY(main->isVisible());
    QVERIFY(!ui::waitNotice()->isVisible());
}

void TstStartup::loginOutcomes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right") << u"admin"_s << u"860317"_s << true;
    QTest::newRow("name in other case") << u"ADMIN"_s << u"860317"_s << true;
    QTest::newRow("wrong name") << u"nobody"_s << u"860317"_s << false;
    QTest::newRow("wrong password") << u"admin"_s << u"860318"_s << false;
    QTest::newRow("password in other case") << u"王'五"_s << u"ABC"_s << false;
    QTest::newRow("quoted name") << u"王'五"_s << u"abc"_s << true;
    QTest::newRow("injection") << u"x' OR '1'='1"_s << u"' OR '1'='1"_s << false;
}

void TstStartup::loginOutcomes()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES (?, ?, ?)"_s)
        .bind(u"王'五"_s)
        .bind(u"abc"_s)
        .bind(u"111011101000"_s)
        .exec();
    FrmMain *main = h.login(name, password);
    QCOMPARE(main != nullptr, accepted);
    if (accepted) {
        // The stored spelling is the one kept.
        QCOMPARE(state().operatorName.toLower(), name.toLower());
        QCOMPARE(main->statusPanel(2)->text(), u"操作员："_s + state().operatorName);
        QVERIFY(h.messages().isEmpty());
    } else {
        QCOMPARE(h.messages().size(), 1);
        QCOMPARE(h.messages().first().caption, u"提示"_s);
        QCOMPARE(h.messages().first().icon, MsgIcon::Warning);
        QCOMPARE(h.lastText(), u"您输入的用户名或密码错误！"_s);
        QVERIFY(h.loginWindow()->isVisible());
        QVERIFY(state().operatorName.isEmpty());
        // The entries stay as typed, the password selected: typing again
        // replaces it.
        auto *pwd = h.loginWindow()->findChild<QLineEdit *>(u"txtPwd"_s);
        QCOMPARE(pwd->text(), password);
        QCOMPARE(pwd->selectedText(), password);
        QCOMPARE(h.loginWindow()->focusWidget(), pwd);
        QVERIFY(!ui::waitNotice()->isVisible());
    }
}

void TstStartup::sessionSurvivesLostDatabase()
{
    // The database gone between the password check and the session: the
    // reason is told, nothing is thrown out of the login.
    Harness h;
    QVERIFY(h.openDatabase());
    const std::optional<Operator> op = authenticate(u"admin"_s, u"860317"_s);
    QVERIFY(op);
    Database::close();
    QString error;
    try {
        error = beginSession(*op);
    } catch (const DbError &) {
        QFAIL("the session start let a database error through");
    }
    QVERIFY(!error.isEmpty());
    QCOMPARE(state().operatorName, u"admin"_s);
}

void TstStartup::emptyNameRefused()
{
    Harness h;
    QVERIFY(h.startProgram());
    QVERIFY(!h.login(QString(), u"860317"_s));
    QCOMPARE(h.lastText(), u"请输入操作员名称！"_s);
    QCOMPARE(h.messages().size(), 1);
}

void TstStartup::keyboardLogin()
{
    Harness h;
    QVERIFY(h.startProgram());
    FrmLogin *login = h.loginWindow();
    // The first name is chosen and the password box has the focus.
    auto *pwd = login->findChild<QLineEdit *>(u"txtPwd"_s);
    login->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), pwd);
    QTest::keyClicks(pwd, u"860317"_s);
    QTest::keyClick(pwd, Qt::Key_Return);
    QVERIFY(login->mainWindow());
    // The first swipe of the shift finds the member panel's card box.
    auto *card = login->mainWindow()->findChild<QLineEdit *>(u"txtMber"_s);
    QVERIFY(card);
    QTRY_COMPARE(login->mainWindow()->focusWidget(), card);

    // Esc on the login window ends the program.
    Harness h2;
    QVERIFY(h2.startProgram());
    QTest::keyClick(h2.loginWindow(), Qt::Key_Escape);
    QVERIFY(h2.programEnded());
}

void TstStartup::qtDialogsSpeakChinese()
{
    // Qt's own file dialog, as the program opens it: in Chinese, and large
    // enough to read the names.
    Harness h;
    QVERIFY(ui::loadQtTranslations());
    QFileDialog dlg(nullptr, u"导出"_s);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    ui::makeRoomy(&dlg);
    auto *buttons = dlg.findChild<QDialogButtonBox *>();
    QVERIFY(buttons);
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), u"取消"_s);
    QVERIFY2(buttons->button(QDialogButtonBox::Save)->text().contains(u"保存"_s),
             qPrintable(buttons->button(QDialogButtonBox::Save)->text()));
    const QSize room = dlg.screen()->availableSize() * 9 / 10;
    QVERIFY(dlg.width() >= std::min(760, room.width()));
    QVERIFY(dlg.height() >= std::min(480, room.height()));
}

void TstStartup::noOperators()
{
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(u"DELETE FROM czy"_s).exec();
    Database::close();
    QVERIFY(h.startProgram());
    QCOMPARE(h.loginWindow()->findChild<QComboBox *>(u"comCzy"_s)->count(), 0);
    QVERIFY(!h.login(u"admin"_s, u"860317"_s));
    QCOMPARE(h.lastText(), u"您输入的用户名或密码错误！"_s);
}

void TstStartup::badSettingReported()
{
    Harness h;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"xiaoshu"_s, u"两位"_s);
    SetSysInfo(u"bt1"_s, u"本店欢迎您"_s);
    Database::close();
    h.answer(MsgAnswer::No); // keep the program running
    QVERIFY(h.startProgram());
    QCOMPARE(h.messages().size(), 1);
    const Message &m = h.messages().first();
    QCOMPARE(m.caption, u"错误提示"_s);
    QCOMPARE(m.icon, MsgIcon::Critical);
    QCOMPARE(m.buttons, MsgButtons::YesNo);
    QVERIFY(m.text.startsWith(u"出现错误，错误描述为：["_s));
    QVERIFY(m.text.endsWith(u"]，是否终止程序运行？"_s));
    QVERIFY(m.text.contains(u"xiaoshu"_s));
    // The other settings are loaded all the same, and login works.
    QCOMPARE(state().bt1, u"本店欢迎您"_s);
    QVERIFY(h.login());
}

void TstStartup::damagedDatabasePrompt_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("end the program") << int(MsgAnswer::Yes);
    QTest::newRow("keep the login window") << int(MsgAnswer::No);
}

void TstStartup::damagedDatabasePrompt()
{
    QFETCH(int, answer);
    Harness h;
    const QString path = h.folder() + u"/qzdb.qdb"_s;
    const QByteArray junk = QByteArray("not a database at all\n").repeated(100);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(junk);
    }
    h.answer(MsgAnswer(answer));
    QCOMPARE(h.startProgram(), MsgAnswer(answer) == MsgAnswer::No);
    QCOMPARE(h.messages().size(), 1);
    QVERIFY(h.lastText().contains(u"qzdb.qdb"_s));
    QVERIFY(h.lastText().endsWith(u"]，是否终止程序运行？"_s));
    if (MsgAnswer(answer) == MsgAnswer::No) {
        // Login is refused with a reason and nothing crashes.
        QVERIFY(!h.login());
        QCOMPARE(h.messages().last().caption, u"错误提示"_s);
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), junk);
}

void TstStartup::mainWindowFrame()
{
    Harness h;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"fdmc"_s, u"东门店"_s);
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    QCOMPARE(main->windowTitle(), u"岚汀会员管理系统 - [东门店]"_s);
    QCOMPARE(main->statusPanel(1)->text(), u"欢迎使用"_s);
    QCOMPARE(main->statusPanel(2)->text(), u"操作员：admin"_s);
    QCOMPARE(main->statusPanel(3)->text(), u"磁条卡模式"_s);
    QCOMPARE(main->statusPanel(5)->text(), u"按下Home键打开钱箱"_s);
    QVERIFY(!main->statusPanel(6)->text().isEmpty());
    const QDateTime shown =
        QDateTime::fromString(main->statusPanel(4)->text(), u"yyyy-MM-dd HH:mm:ss"_s);
    QVERIFY(shown.isValid());
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) < 60);
    auto *clock = main->findChild<QTimer *>(u"Timer1"_s);
    QVERIFY(clock && clock->isActive());
    QCOMPARE(clock->interval(), 1000);

    for (const char *name : {"dcButton6", "dcButton5", "dcButton7", "cmdHelp", "cmdAbout",
                             "cmdExit", "Image1", "Image2", "Image3", "Image4", "Image5", "Image6",
                             "cmdSkin", "cmdDxMoban", "cmdDxpt", "cmdConnect"})
        QVERIFY2(main->findChild<QAbstractButton *>(QString::fromLatin1(name)), name);
    QVERIFY(main->findChild<QPushButton *>(u"cmdConnect"_s)->isHidden()); // magnetic stripe
    QCOMPARE(main->findChild<QPushButton *>(u"dcButton7"_s)->text(), u"更改操作员"_s);
    // Every report and setting has a picture of its own from the icon theme.
    QStringList pictures;
    for (int i = 0; i < 10; ++i) {
        auto *b = main->findChild<QToolButton *>(u"ImgReport_%1"_s.arg(i));
        QVERIFY(b);
        pictures << b->icon().name();
        QVERIFY(!b->icon().pixmap(48).isNull());
    }
    for (int i = 0; i < 9; ++i) {
        auto *b = main->findChild<QToolButton *>(u"Imgsz_%1"_s.arg(i));
        QVERIFY(b);
        pictures << b->icon().name();
        QVERIFY(!b->icon().pixmap(48).isNull());
    }
    QVERIFY2(!pictures.contains(QString()), qPrintable(pictures.join(u',')));
    QCOMPARE(QSet<QString>(pictures.begin(), pictures.end()).size(), pictures.size());

    // Starts on "会员消费" with the typed lookup.
    QCOMPARE(main->currentPanel(), FrmMain::PanelXf);
    QVERIFY(main->findChild<QPushButton *>(u"cmdMemxf"_s)->isChecked());
    QCOMPARE(main->findChild<QLabel *>(u"lblTs"_s)->text(), u"请输入会员编号或姓名："_s);
    QVERIFY(main->findChild<QWidget *>(u"PicXf"_s)->isVisible());
}

void TstStartup::panelsFollowPermissions_data()
{
    QTest::addColumn<QString>("per");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("panel");
    QTest::addColumn<bool>("granted");
    QTest::addColumn<int>("target");
    QTest::newRow("reports granted")
        << u"111111111111"_s << u"cmdMemtj"_s << int(FrmMain::PanelTj) << true << 0;
    QTest::newRow("reports denied")
        << u"111111111101"_s << u"cmdMemtj"_s << int(FrmMain::PanelTj) << false << 0;
    QTest::newRow("settings denied")
        << u"111011101000"_s << u"cmdSysz"_s << int(FrmMain::PanelSz) << false << 0;
    QTest::newRow("settings, short string")
        << u"1"_s << u"cmdSysz"_s << int(FrmMain::PanelSz) << true << 0;
    QTest::newRow("member list needs nothing")
        << u"000000000000"_s << u"cmdMemgl"_s << int(FrmMain::PanelGl) << true << 2;
}

void TstStartup::panelsFollowPermissions()
{
    QFETCH(QString, per);
    QFETCH(QString, button);
    QFETCH(int, panel);
    QFETCH(bool, granted);
    QFETCH(int, target);
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('cashier', '1', ?)"_s).bind(per).exec();
    Sql(u"INSERT INTO lv (name) VALUES ('金卡')"_s).exec();
    FrmMain *main = h.login(u"cashier"_s, u"1"_s);
    QVERIFY(main);
    state().cardTarget = 5;
    main->findChild<QPushButton *>(button)->click();
    if (granted) {
        QCOMPARE(int(main->currentPanel()), panel);
        QVERIFY(h.messages().isEmpty());
        QCOMPARE(state().cardTarget, target);
    } else {
        QCOMPARE(h.lastText(), u"您没有权限执行此操作！"_s);
        QCOMPARE(main->currentPanel(), FrmMain::PanelXf);
        QVERIFY(main->findChild<QPushButton *>(u"cmdMemxf"_s)->isChecked());
        QVERIFY(!main->findChild<QPushButton *>(button)->isChecked());
        QCOMPARE(state().cardTarget, 5);
    }
    if (panel == FrmMain::PanelGl) {
        auto *lv = main->findChild<QComboBox *>(u"comLv"_s);
        QCOMPARE(lv->count(), 2);
        QCOMPARE(lv->currentText(), u"不限制"_s);
        QCOMPARE(lv->itemText(1), u"金卡"_s);
    }
}

void TstStartup::icCardHidesTypedLookup()
{
    Harness h;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"klx"_s, u"0"_s);
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    QCOMPARE(main->statusPanel(3)->text(), u"读卡器状态：未连接"_s);
    QVERIFY(!main->findChild<QPushButton *>(u"cmdConnect"_s)->isHidden());
    QVERIFY(main->findChild<QLineEdit *>(u"txtMber"_s)->isHidden());
    QVERIFY(main->findChild<QPushButton *>(u"cmdFind"_s)->isHidden());
    QCOMPARE(main->findChild<QLabel *>(u"lblTs"_s)->text(), u"请刷会员IC卡"_s);
    QCOMPARE(state().cardTarget, 1);
}

void TstStartup::settingsIcons()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('boss', '', '111111111110')"_s).exec();
    FrmMain *main = h.login(u"boss"_s, QString());
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    QCOMPARE(main->currentPanel(), FrmMain::PanelSz);

    int opened = 0;
    bool waitShown = false;
    QString waitText;
    main->setSettingsAction(2, [&] { ++opened; });
    main->setSettingsAction(6, [&] { ++opened; });
    main->setSettingsAction(7, [&] {
        ++opened;
        waitShown = ui::waitNotice()->isVisible();
        waitText = ui::waitNotice()->findChild<QLabel *>()->text();
        ui::closeWait();
    });

    // Operators and backup need permission 12.
    for (int i : {2, 6}) {
        h.clearMessages();
        main->findChild<QToolButton *>(u"Imgsz_%1"_s.arg(i))->click();
        QCOMPARE(h.lastText(), u"您没有权限执行此操作！"_s);
        QVERIFY(!ui::waitNotice()->isVisible());
    }
    QCOMPARE(opened, 0);

    main->findChild<QToolButton *>(u"Imgsz_7"_s)->click();
    QCOMPARE(opened, 1);
    QVERIFY(waitShown);
    QCOMPARE(waitText, u"正在载入..."_s); // not the login's caption any more

    // The initialisation question is asked and either answer does nothing.
    for (MsgAnswer a : {MsgAnswer::Yes, MsgAnswer::No}) {
        h.clearMessages();
        h.answer(a);
        main->findChild<QToolButton *>(u"Imgsz_8"_s)->click();
        QCOMPARE(h.messages().size(), 1);
        QCOMPARE(h.messages().first().caption, u"提示信息"_s);
        QCOMPARE(h.messages().first().icon, MsgIcon::Question);
        QCOMPARE(h.lastText(), u"是否初始化本系统"_s);
    }
    QCOMPARE(h.unanswered(), 0);
    QCOMPARE(scalar(u"SELECT count(*) FROM czy"_s).toInt(), 2);

    // A screen not built yet leaves no wait notice behind.
    main->findChild<QToolButton *>(u"Imgsz_0"_s)->click();
    QVERIFY(!ui::waitNotice()->isVisible());
}

void TstStartup::closingEndsProgram()
{
    Harness h;
    QPointer<FrmMain> main = h.login();
    QVERIFY(main);
    const QDateTime loginTime = state().loginTime;

    // A close that is refused (the handover cancelled) keeps everything.
    main->setCloseGuard([] { return false; });
    main->findChild<QPushButton *>(u"cmdExit"_s)->click();
    QVERIFY(main && main->isVisible());
    QVERIFY(!h.programEnded());
    QCOMPARE(state().loginTime, loginTime);

    main->setCloseGuard({});
    main->findChild<QToolButton *>(u"Image6"_s)->click();
    QVERIFY(h.programEnded());
    QTRY_VERIFY(main.isNull()); // deleted on close
}

void TstStartup::singleInstance()
{
    QTemporaryDir dir;
    {
        SingleInstance first(dir.path());
        QVERIFY(first.acquired());
        SingleInstance second(dir.path());
        QVERIFY(!second.acquired());

        // A second program started on the same folder gives way; the first
        // keeps its lock.
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(), {u"--hold-lock"_s, dir.path()});
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 1);
        QVERIFY(!SingleInstance(dir.path()).acquired());
    }
    SingleInstance again(dir.path());
    QVERIFY(again.acquired());
}

void TstStartup::staleLockTakenOver()
{
    QTemporaryDir dir;
    // The lock of a program that died without releasing it.
    QProcess dead;
    dead.start(QCoreApplication::applicationFilePath(), {u"--leave-lock"_s, dir.path()});
    QVERIFY(dead.waitForFinished(30000));
    QVERIFY(QFile::exists(dir.path() + u"/lanting.lock"_s));
    SingleInstance next(dir.path());
    QVERIFY(next.acquired());
}

// A portable program keeps its data beside itself; an installed one (its
// data folder beside its bin/) in the user's folder, even where it may write
// beside itself, unless its database is there already.
void TstStartup::programFolderBesideOrUsers()
{
    QTemporaryDir root;
    const QString bin = root.filePath(u"bin"_s), user = root.filePath(u"user/lanting"_s);
    QVERIFY(QDir().mkpath(bin));
    QCOMPARE(programFolderBeside(bin, user), bin);
    QVERIFY(QDir().mkpath(root.filePath(u"share/lanting"_s)));
    QCOMPARE(programFolderBeside(bin, user), user);
    QVERIFY(QDir(user).exists()); // made for it
    QFile kept(bin + u"/qzdb.qdb"_s);
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();
    QCOMPARE(programFolderBeside(bin, user), bin);
}

void TstStartup::shellOpenHandsUrlToDesktop()
{
    test::FakeDesktop desktop; // whatever this machine has
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(u"http"_s, &catcher, "open");
    const QString web = u"http://www.example.com/help?a=1&b=2 & calc.exe"_s;
    QVERIFY(ui::ShellOpen(web));
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first().host(), u"www.example.com"_s);
    QVERIFY(catcher.urls.first().toString().contains(u"calc.exe"_s)); // part of the address
    QVERIFY(!ui::ShellOpen(u"   "_s));
    QDesktopServices::unsetUrlHandler(u"http"_s);
}

void TstStartup::selectFolder()
{
    Harness h;
    QTemporaryDir dir;
    QString title;
    h.onModal([&](QDialog *d) {
        auto *fd = qobject_cast<QFileDialog *>(d);
        title = fd->windowTitle();
        fd->setDirectory(dir.path());
        fd->selectFile(dir.path());
        static_cast<QDialog *>(fd)->accept();
    });
    QCOMPARE(QDir(ui::SelectFolder(nullptr, QString())).absolutePath(),
             QDir(dir.path()).absolutePath());
    QCOMPARE(title, u"选择目录"_s);

    h.onModal([&](QDialog *d) {
        title = d->windowTitle();
        d->reject();
    });
    QCOMPARE(ui::SelectFolder(nullptr, u"请选择备份数据存放的文件夹："_s), QString());
    QCOMPARE(title, u"请选择备份数据存放的文件夹："_s);
    QCOMPARE(h.unexpectedModals(), 0);
}

// The helper processes of the lock tests run this same executable.
int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        QCoreApplication app(argc, argv);
        return SingleInstance(QString::fromLocal8Bit(argv[2])).acquired() ? 0 : 1;
    }
    if (argc == 3 && qstrcmp(argv[1], "--leave-lock") == 0) {
        QCoreApplication app(argc, argv);
        auto *kept = new SingleInstance(QString::fromLocal8Bit(argv[2]));
        if (!kept->acquired())
            return 2;
        std::_Exit(0); // dies holding the lock
    }
    QApplication app(argc, argv);
    TstStartup t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_startup.moc"

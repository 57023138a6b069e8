#include "appstate.h"
#include "database.h"
#include "frmlogin.h"
#include "messages.h"
#include "programfolder.h"
#include "singleinstance.h"
#include "ui.h"
#include "wiring.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;

namespace
{

const QCommandLineOption homeOpt(u"home"_s, u"程序文件夹（数据库与工作文件所在）"_s, u"DIR"_s);
const QCommandLineOption dbOpt(u"db"_s, u"数据库地址，如 postgresql://用户:密码@主机/数据库"_s,
                               u"URL"_s);
const QCommandLineOption readyOpt(u"quit-when-ready"_s,
                                  u"打开数据库、显示登录窗口后即退出（用于安装检查）"_s);

void describe(QCommandLineParser &args)
{
    args.setApplicationDescription(u"岚汀会员管理系统专业版"_s);
    args.addHelpOption();
    args.addVersionOption();
    args.addOption(homeOpt);
    args.addOption(dbOpt);
    args.addOption(readyOpt);
}

// --version and --help answer on a terminal, without a screen.
bool onlyText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        for (const char *o : {"--version", "-v", "--help", "-h", "--help-all", "-?"})
            if (qstrcmp(argv[i], o) == 0)
                return true;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    keepTimeZoneLoaded();
    if (onlyText(argc, argv)) {
        QCoreApplication text(argc, argv);
        QCoreApplication::setApplicationName(u"lanting"_s);
        QCoreApplication::setApplicationVersion(QStringLiteral(LANTING_VERSION));
        QCommandLineParser args;
        describe(args);
        args.process(text); // prints and ends the program
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"lanting"_s);
    QApplication::setApplicationDisplayName(u"岚汀会员管理系统专业版"_s);
    QApplication::setApplicationVersion(QStringLiteral(LANTING_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QCommandLineParser args;
    describe(args);
    args.process(app);
    // The install check has nobody to answer a message box: messages go to
    // the error output with their default answers, and a failure ends it
    // with an error status.
    const bool check = args.isSet(readyOpt);
    if (!check)
        ui::installMessageBoxes();
    wireProgram();

    const QString folder = resolveProgramFolder(args.value(homeOpt));
    if (folder.isEmpty()) {
        msgError(u"找不到可以写入的程序文件夹，程序无法启动。"_s);
        return 1;
    }
    state().programFolder = folder;

    SingleInstance instance(folder);
    if (!instance.acquired()) {
        msgNotice(u"岚汀会员管理系统已经启动！"_s);
        return check ? 1 : 0;
    }

    QString configError;
    const std::optional<DbConfig> config = args.isSet(dbOpt)
                                               ? DbConfig::fromUrl(args.value(dbOpt), &configError)
                                               : DbConfig::forFolder(folder, &configError);

    FrmLogin login(config, configError);
    QObject::connect(&login, &FrmLogin::programEnds, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (!login.start())
        return check ? 1 : 0;
    login.show();
    if (args.isSet(readyOpt)) {
        // Up with its database and the login window: say where, and end.
        QTimer::singleShot(0, &app, [&login, folder] {
            QTextStream(stdout) << "ready: " << folder << " " << login.windowTitle() << Qt::endl;
            QApplication::quit();
        });
    }
    const int rc = QApplication::exec();
    Database::close();
    return rc;
}

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

using namespace Qt::Literals::StringLiterals;
using namespace lanting;

int main(int argc, char *argv[])
{
    keepTimeZoneLoaded();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"lanting"_s);
    QApplication::setApplicationDisplayName(u"岚汀会员管理系统专业版"_s);
    QApplication::setApplicationVersion(QStringLiteral(LANTING_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    ui::installMessageBoxes();
    wireProgram();

    QCommandLineParser args;
    args.setApplicationDescription(u"岚汀会员管理系统专业版"_s);
    args.addHelpOption();
    args.addVersionOption();
    const QCommandLineOption homeOpt(u"home"_s, u"程序文件夹（数据库与工作文件所在）"_s, u"DIR"_s);
    const QCommandLineOption dbOpt(u"db"_s, u"数据库地址，如 postgresql://用户:密码@主机/数据库"_s,
                                   u"URL"_s);
    args.addOption(homeOpt);
    args.addOption(dbOpt);
    args.process(app);

    const QString folder = resolveProgramFolder(args.value(homeOpt));
    if (folder.isEmpty()) {
        msgError(u"找不到可以写入的程序文件夹，程序无法启动。"_s);
        return 1;
    }
    state().programFolder = folder;

    SingleInstance instance(folder);
    if (!instance.acquired()) {
        msgNotice(u"岚汀会员管理系统已经启动！"_s);
        return 0;
    }

    QString configError;
    const std::optional<DbConfig> config = args.isSet(dbOpt)
                                               ? DbConfig::fromUrl(args.value(dbOpt), &configError)
                                               : DbConfig::forFolder(folder, &configError);

    FrmLogin login(config, configError);
    QObject::connect(&login, &FrmLogin::programEnds, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (!login.start())
        return 0;
    login.show();
    const int rc = QApplication::exec();
    Database::close();
    return rc;
}

#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

bool usableFolder(const QString &dir)
{
    if (dir.isEmpty() || !privateFolder(dir))
        return false;
    // isWritable() on a folder is unreliable on network and overlay mounts;
    // creating a file is the real test.
    QTemporaryFile probe(dir + u"/.lanting-probe-XXXXXX"_s);
    return probe.open();
}

} // namespace

QString resolveProgramFolder(const QString &overrideDir)
{
    if (!overrideDir.isEmpty())
        return usableFolder(overrideDir) ? QDir(overrideDir).absolutePath() : QString();
    return programFolderBeside(QCoreApplication::applicationDirPath(),
                               QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString programFolderBeside(const QString &exeDir, const QString &userDir)
{
    // A program installed with its data folder beside its bin/ (a package,
    // cmake --install) keeps a shop's data in the user's folder, even when
    // it may write beside itself (run by root); a portable one, or one that
    // already keeps its database or settings there, beside itself.
    const bool installed = QDir(exeDir + u"/../share/lanting"_s).exists();
    const bool keptHere =
        QFileInfo::exists(exeDir + u"/qzdb.qdb"_s) || QFileInfo::exists(exeDir + u"/lanting.ini"_s);
    if ((!installed || keptHere) && usableFolder(exeDir))
        return exeDir;
    return usableFolder(userDir) ? userDir : QString();
}

QString findDataFile(const QString &relativePath)
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    QStringList candidates{exeDir + u'/' + relativePath,
                           exeDir + u"/../share/lanting/"_s + relativePath};
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::AppDataLocation))
        candidates << dir + u'/' + relativePath;
    for (const QString &c : candidates)
        if (QFileInfo::exists(c))
            return QDir::cleanPath(c);
    return {};
}

void keepTimeZoneLoaded()
{
    if (qEnvironmentVariableIsSet("TZ"))
        return; // chosen by the user: left alone
    if (QFileInfo::exists(u"/etc/localtime"_s))
        qputenv("TZ", ":/etc/localtime");
}

bool ownerOnly(const QString &path)
{
    const QFileInfo fi(path);
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
    if (fi.isDir())
        p |= QFile::ExeOwner;
    return fi.exists() && QFile::setPermissions(path, p);
}

bool privateFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    // The folders missing now are made, and only those are narrowed: a
    // parent that was there (the user's home) is left as it is.
    QStringList missing;
    for (QString p = QDir::cleanPath(QDir(path).absolutePath()); !QFileInfo::exists(p);) {
        missing.prepend(p);
        const QString up = QFileInfo(p).path();
        if (up == p)
            break;
        p = up;
    }
    if (!QDir().mkpath(path))
        return false;
    for (const QString &m : missing)
        ownerOnly(m);
    return true;
}

} // namespace lanting

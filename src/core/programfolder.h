#pragma once

#include <QString>

namespace lanting
{

// The folder that holds qzdb.qdb and the program's working files: the given
// override (--home), else the executable's folder when it is writable (a
// portable install; not an installed one, see below), else the per-user
// data folder. Created when missing.
// Empty when no usable folder could be had.
QString resolveProgramFolder(const QString &overrideDir);
// The choice without an override: the executable's folder for a portable
// program, or an installed one that keeps its database or settings there;
// else the user's folder. Created when missing; empty when unusable.
QString programFolderBeside(const QString &exeDir, const QString &userDir);

// A delivered read-only file (template, skins, help): beside the executable,
// then in the install's data folder. Empty when not found.
QString findDataFile(const QString &relativePath);

// Reads the system's time zone once instead of at every local date and time
// (with TZ unset the C library looks at /etc/localtime again for each one,
// which made a year's turnover take seconds). Call before the first date.
void keepTimeZoneLoaded();

// The files and folders the program makes hold a shop's members and money:
// readable by their owner only (0600, folders 0700), whatever the umask.
// ownerOnly() narrows a file or folder; privateFolder() makes the folder
// with every missing parent and narrows those it made. False on failure.
bool ownerOnly(const QString &path);
bool privateFolder(const QString &path);

} // namespace lanting

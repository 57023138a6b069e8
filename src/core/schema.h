#pragma once

#include "database.h"

#include <QStringList>

namespace lanting::schema
{

// The statements that create every table and index of a version (the
// current one by default; older ones build the databases a migration
// starts from).
QStringList createStatements(Backend backend, int version = Database::kSchemaVersion);

// The statements that bring a database of version `from` to `from + 1`.
QStringList migrationStatements(Backend backend, int from);
// Checks made before that migration: each statement counts the rows it
// cannot convert; a count above 0 stops it with the message (%3 the count).
QList<std::pair<QString, QString>> migrationChecks(Backend backend, int from);

// Every settings key with the value a new install starts with.
QList<std::pair<QString, QString>> deliveredSettings();

// The tables of a version-1 database, for telling ours from a foreign one.
QStringList tableNames();

} // namespace lanting::schema

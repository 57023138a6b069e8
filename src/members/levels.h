#pragma once

#include "amounts.h"
#include <QList>
#include <QString>
#include <utility>

namespace lanting::members
{

struct Level {
    QString name;
    Amount csje;     // opening balance of a new member
    Amount csjf;     // opening points, whole
    Amount zk = 100; // discount rate in percent
    Amount czbl;     // recharge bonus ratio
    Amount jf;       // points that upgrade a member to this level; 0: never
};

// Every level in the order entered.
QList<Level> levels();

// A level as the level editor turns its texts into values: amounts and
// rates by their numeric value, points cut toward zero, a discount of 0
// (or empty) as 100.
Level levelFromTexts(const QString &name, const QString &zk, const QString &csje,
                     const QString &csjf);

// Whether another level already has that name (without regard to case);
// `except` is the level being edited.
bool levelNameTaken(const QString &name, const QString &except = QString());

void addLevel(const Level &level);
// Updates the level named oldName (name, amounts, discount; not the bonus
// ratio nor the upgrade points). A new name is carried over to the members
// of the level and to its per-level goods discounts, in the same step.
void updateLevel(const QString &oldName, const Level &level);
// Whether any member, in whatever state, has the level.
bool levelInUse(const QString &name);
// Refuses (DbError) while a member has the level; a member being enrolled
// on it at another till meanwhile is waited for.
void deleteLevel(const QString &name);

// The automatic upgrade switch and thresholds, stored together.
bool upgradeEnabled();
void saveUpgrade(bool enabled, const QList<std::pair<QString, Amount>> &thresholds);

// Moves a member up to the highest level above its own whose points it has
// reached. Levels whose threshold is 0 are never reached this way (a negative
// one is, like any other); there is no downgrade; a member whose level is
// unknown stays. Nothing happens for the no-card customer or while the
// upgrade is switched off.
void upgradeMember(const QString &cardNumber);

} // namespace lanting::members

#include "levels.h"

#include "amounts.h"
#include "database.h"
#include "memberlookup.h"
#include "sysinfo.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{
// Whole points, halves to even (99.5 is 100, 100.5 is 100).
Amount halfToEven(Amount a)
{
    const qint64 whole = a.raw() / Amount::kUnit, rest = a.raw() % Amount::kUnit;
    const qint64 half = Amount::kUnit / 2;
    qint64 r = whole;
    if (rest > half || (rest == half && whole % 2 != 0))
        ++r;
    else if (rest < -half || (rest == -half && whole % 2 != 0))
        --r;
    return r;
}
} // namespace

QList<Level> levels()
{
    QList<Level> out;
    Sql q(u"SELECT name, csje, csjf, zk, czbl, jf FROM lv ORDER BY id"_s);
    q.exec();
    while (q.next())
        out << Level{q.text(0), q.amount(1), q.amount(2), q.amount(3), q.amount(4), q.amount(5)};
    return out;
}

Level levelFromTexts(const QString &name, const QString &zk, const QString &csje,
                     const QString &csjf)
{
    Level l;
    l.name = name;
    l.zk = NumVal(zk) == 0 ? 100 : NumVal(zk);
    l.csje = NumVal(csje);
    l.csjf = WholeVal(csjf);
    return l;
}

bool levelNameTaken(const QString &name, const QString &except)
{
    Sql q(u"SELECT name FROM lv WHERE lower(name) = lower(?)"_s);
    q.bind(name).exec();
    while (q.next())
        if (except.isNull() || q.text(0) != except)
            return true;
    return false;
}

void addLevel(const Level &l)
{
    Sql(u"INSERT INTO lv (name, csje, csjf, zk, czbl, jf) VALUES (?, ?, ?, ?, 0, 0)"_s)
        .bind(l.name)
        .bind(l.csje)
        .bind(l.csjf)
        .bind(l.zk)
        .exec();
}

static void renameOnce(const QString &oldName, const Level &l)
{
    Transaction tx;
    Sql(u"UPDATE lv SET name = ?, csje = ?, csjf = ?, zk = ? WHERE name = ?"_s)
        .bind(l.name)
        .bind(l.csje)
        .bind(l.csjf)
        .bind(l.zk)
        .bind(oldName)
        .exec();
    if (l.name != oldName) {
        Sql(u"UPDATE mber SET lv = ? WHERE lv = ?"_s).bind(l.name).bind(oldName).exec();
        Sql(u"UPDATE spdz SET lv = ? WHERE lv = ?"_s).bind(l.name).bind(oldName).exec();
    }
    tx.commit();
}

void updateLevel(const QString &oldName, const Level &l)
{
    retrying([&] { renameOnce(oldName, l); });
}

bool levelInUse(const QString &name)
{
    return scalar(u"SELECT count(*) FROM mber WHERE lv = ?"_s, {name}).toInt() > 0;
}

void deleteLevel(const QString &name)
{
    // The level's row is locked before its members are counted: an
    // enrolment on it at another till (which holds it shared) is waited
    // for and then counted, and one that starts later finds it gone.
    retrying([&] {
        Transaction tx;
        Sql(u"SELECT name FROM lv WHERE name = ?"_s + forUpdate()).bind(name).exec();
        if (levelInUse(name))
            throw DbError(u"已经有会员应用此等级，此等级不能被删除！"_s);
        Sql(u"DELETE FROM lv WHERE name = ?"_s).bind(name).exec();
        tx.commit();
    });
}

bool upgradeEnabled()
{
    return GetSysInfo(u"lvup"_s) == u"yes"_s;
}

void saveUpgrade(bool enabled, const QList<std::pair<QString, Amount>> &thresholds)
{
    Transaction tx;
    SetSysInfo(u"lvup"_s, enabled ? u"yes"_s : u"no"_s);
    for (const auto &[name, jf] : thresholds)
        Sql(u"UPDATE lv SET jf = ? WHERE name = ?"_s).bind(jf).bind(name).exec();
    tx.commit();
}

static void upgradeOnce(const QString &cardNumber)
{
    Transaction tx;
    // The member first, then the level: the points cannot change under the
    // decision (a rename of a level, which goes the other way, is retried).
    Sql m(u"SELECT jf, lv FROM mber WHERE id = ?"_s + forUpdate());
    m.bind(cardNumber).exec();
    if (!m.next())
        return; // nothing to write for a card nobody has
    const Amount points = halfToEven(m.amount(0));
    const QString current = m.text(1);
    if (points < 0)
        return;
    bool passed = false;
    QString candidate = current;
    Sql walk(u"SELECT name, jf FROM lv ORDER BY jf ASC, id ASC"_s);
    walk.exec();
    while (walk.next()) {
        const QString name = walk.text(0);
        const Amount threshold = walk.amount(1);
        // A threshold of 0 means "no automatic upgrade to this level".
        if (threshold != 0 && points >= threshold && (candidate.isEmpty() || passed)) {
            candidate = name;
            passed = false;
        }
        if (name == candidate)
            passed = true;
    }
    if (candidate != current) {
        // A level deleted meanwhile at another till is not given out.
        Sql still(u"SELECT name FROM lv WHERE name = ?"_s + forShare());
        still.bind(candidate).exec();
        if (!still.next())
            return;
    }
    Sql(u"UPDATE mber SET lv = ? WHERE id = ?"_s).bind(candidate).bind(cardNumber).exec();
    tx.commit();
}

void upgradeMember(const QString &cardNumber)
{
    if (cardNumber == kNoCardId || !upgradeEnabled())
        return;
    retrying([&] { upgradeOnce(cardNumber); });
}

} // namespace lanting::members

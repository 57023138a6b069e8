#include "rechargerules.h"

#include "database.h"
#include "sysinfo.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::stored_value
{

QList<Band> bands()
{
    QList<Band> out;
    Sql q(u"SELECT shangxian, xiaxian, je FROM czgz ORDER BY id"_s);
    q.exec();
    while (q.next())
        out << Band{q.amount(0), q.amount(1), q.amount(2)};
    return out;
}

QList<std::pair<QString, Amount>> levelRatios()
{
    QList<std::pair<QString, Amount>> out;
    Sql q(u"SELECT name, czbl FROM lv ORDER BY id"_s);
    q.exec();
    while (q.next())
        out.append({q.text(0), q.amount(1)});
    return out;
}

bool ratioModeShown()
{
    return GetSysInfo(u"czyhfs"_s) != u"0"_s;
}

void saveRechargeRules(const QList<Band> &list, const QList<std::pair<QString, Amount>> &ratios,
                       bool byRatio)
{
    Transaction tx;
    Sql(u"DELETE FROM czgz"_s).exec();
    for (const Band &b : list)
        Sql(u"INSERT INTO czgz (shangxian, xiaxian, je) VALUES (?, ?, ?)"_s)
            .bind(b.shangxian)
            .bind(b.xiaxian)
            .bind(b.je)
            .exec();
    for (const auto &[name, ratio] : ratios)
        Sql(u"UPDATE lv SET czbl = ? WHERE name = ?"_s).bind(ratio).bind(name).exec();
    SetSysInfo(u"czyhfs"_s, byRatio ? u"1"_s : u"0"_s);
    tx.commit();
}

} // namespace lanting::stored_value

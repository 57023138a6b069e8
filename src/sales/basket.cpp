#include "basket.h"

#include "amounts.h"
#include "database.h"
#include "discounts.h"
#include "sysinfo.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

QStringList BasketLine::texts() const
{
    return {spid,      name,      FmtJe(sj) + u"元"_s, FmtJe(rate) + u"%"_s, FmtJe(zhdj) + u"元"_s,
            FmtJe(sl), FmtJe(jf), FmtJe(je) + u"元"_s};
}

BasketLine makeLine(const Goods &g, Amount rate, Amount quantity)
{
    BasketLine l;
    l.spid = g.spid;
    l.name = g.name;
    l.sj = g.sj;
    l.rate = rate;
    l.zhdj = RoundJe(g.sj, rate, 100);
    l.sl = quantity;
    l.jf = g.jf;
    l.je = RoundJe(l.zhdj, quantity, 1);
    return l;
}

void setQuantity(BasketLine &line, Amount quantity)
{
    line.sl = quantity;
    line.je = line.zhdj * RoundJe(quantity);
}

Amount quantityOf(const QList<BasketLine> &lines, const QString &spid, int except)
{
    Amount q;
    for (int i = 0; i < lines.size(); ++i)
        if (i != except && lines[i].spid == spid)
            q += lines[i].sl;
    return q;
}

Amount basketTotal(const QList<BasketLine> &lines)
{
    Amount total;
    for (const BasketLine &l : lines)
        total += l.je;
    return total;
}

bool oversellAllowed()
{
    return GetSysInfo(u"kc"_s) == u"yes"_s;
}

Amount memberRate(const QString &spid, const QString &level)
{
    return level.isEmpty() ? 100 : effectiveRate(spid, level);
}

QList<Goods> saleSearch(const QString &text)
{
    return searchGoods(text, true, kMaxSaleHits);
}

} // namespace lanting::sales

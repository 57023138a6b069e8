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
    return {spid,
            name,
            FmtJe(sj) + u"元"_s,
            FmtJe(rate) + u"%"_s,
            FmtJe(zhdj) + u"元"_s,
            FmtJe(sl),
            QString::number(jf),
            FmtJe(je) + u"元"_s};
}

BasketLine makeLine(const Goods &g, double rate, double quantity)
{
    BasketLine l;
    l.spid = g.spid;
    l.name = g.name;
    l.sj = g.sj;
    l.rate = rate;
    l.zhdj = RoundJe(g.sj * rate / 100);
    l.sl = quantity;
    l.jf = g.jf;
    l.je = RoundJe(l.zhdj * quantity);
    return l;
}

void setQuantity(BasketLine &line, double quantity)
{
    line.sl = quantity;
    line.je = NumVal(FmtJe(line.zhdj * RoundJe(quantity)));
}

double quantityOf(const QList<BasketLine> &lines, const QString &spid, int except)
{
    double q = 0;
    for (int i = 0; i < lines.size(); ++i)
        if (i != except && lines[i].spid == spid)
            q += lines[i].sl;
    return q;
}

double basketTotal(const QList<BasketLine> &lines)
{
    double total = 0;
    for (const BasketLine &l : lines)
        total += l.je;
    // The sum of the amounts shown, as a decimal value.
    return NumVal(FmtJe(total));
}

bool oversellAllowed()
{
    return GetSysInfo(u"kc"_s) == u"yes"_s;
}

double memberRate(const QString &spid, const QString &level)
{
    return level.isEmpty() ? 100 : effectiveRate(spid, level);
}

QList<Goods> saleSearch(const QString &text)
{
    return searchGoods(text, true, kMaxSaleHits);
}

} // namespace lanting::sales

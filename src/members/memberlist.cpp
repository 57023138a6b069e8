#include "memberlist.h"

#include "database.h"
#include "memberlookup.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{

struct Where {
    QString text;
    QVariantList values;
};

Where whereOf(const MemberFilter &f)
{
    Where w;
    switch (f.kind) {
    case MemberFilter::Search: {
        // Every card number holds the empty text: no condition then.
        w.text = u"1 = 1"_s;
        if (!f.text.isEmpty()) {
            const TextCondition c = containsText(f.text);
            w.text = u"("_s + c.sql + u")"_s;
            w.values << c.values;
        }
        if (!f.level.isEmpty()) {
            w.text += u" AND lv = ?"_s;
            w.values << f.level;
        }
        w.text += u" AND st = 0"_s;
        break;
    }
    case MemberFilter::Disabled:
        w.text = u"st = 2"_s;
        break;
    case MemberFilter::Advanced: {
        w.text = u"st = 0"_s;
        const std::pair<const char *, const std::optional<QString> *> exact[] = {
            {"id", &f.id}, {"name", &f.name}, {"tel", &f.tel}, {"zjhm", &f.zjhm}};
        for (const auto &[column, value] : exact)
            if (*value && !(*value)->isEmpty()) {
                w.text += u" AND "_s + QLatin1String(column) + u" = ?"_s;
                w.values << **value;
            }
        if (f.sex) {
            w.text += u" AND sex = ?"_s;
            w.values << *f.sex;
        }
        if (f.zjlx && !f.zjlx->isEmpty()) {
            w.text += u" AND zjlx = ?"_s;
            w.values << *f.zjlx;
        }
        break;
    }
    }
    return w;
}

} // namespace

MemberFilter MemberFilter::search(const QString &text, const QString &level)
{
    MemberFilter f;
    f.kind = Search;
    f.text = text;
    f.level = level;
    return f;
}

MemberFilter MemberFilter::disabled()
{
    MemberFilter f;
    f.kind = Disabled;
    return f;
}

ListPage memberListPage(const MemberFilter &filter, int page, const QString &after)
{
    ListPage out;
    if (page < 1)
        return out;
    const Where w = whereOf(filter);
    // One row more than a page tells whether there is a next one, without
    // counting the whole result.
    Sql q(u"SELECT id, name, sex, lv, ljxfje, ljxfcs, ye, jf, ljczje, tel, ps FROM mber WHERE "_s +
          w.text + (after.isNull() ? QString() : u" AND id > ?"_s) + u" ORDER BY id LIMIT ?"_s +
          (after.isNull() ? u" OFFSET ?"_s : QString()));
    for (const QVariant &v : w.values)
        q.bind(v);
    if (!after.isNull())
        q.bind(after);
    q.bind(kListPageSize + 1);
    if (after.isNull())
        q.bind((page - 1) * kListPageSize);
    q.exec();
    while (q.next()) {
        if (out.rows.size() == kListPageSize) {
            out.pageDown = true;
            break;
        }
        out.rows << ListRow{q.text(0),   q.text(1),    q.integer(2), q.text(3),
                            q.amount(4), q.integer(5), q.amount(6),  q.maybeAmount(7),
                            q.amount(8), q.text(9),    q.text(10)};
    }
    out.pageUp = page > 1 && !out.rows.isEmpty();
    return out;
}

} // namespace lanting::members

#include "memberlist.h"

#include "database.h"

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
        const QString like = likeContains(f.text);
        w.text = u"(lower(id) LIKE ? ESCAPE '\\' OR lower(name) LIKE ? ESCAPE '\\')"_s;
        w.values << like << like;
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

ListPage memberListPage(const MemberFilter &filter, int page)
{
    const Where w = whereOf(filter);
    ListPage out;
    const int total = scalar(u"SELECT count(*) FROM mber WHERE "_s + w.text, w.values).toInt();
    out.pages = (total + kListPageSize - 1) / kListPageSize;
    if (page < 1 || page > out.pages)
        return out; // nothing shown, both page buttons off
    out.pageDown = page < out.pages;
    out.pageUp = out.pages > 1 && page > 1;

    Sql q(u"SELECT id, name, sex, lv, ljxfje, ljxfcs, ye, jf, ljczje, tel, ps FROM mber WHERE "_s +
          w.text + u" ORDER BY id LIMIT ? OFFSET ?"_s);
    for (const QVariant &v : w.values)
        q.bind(v);
    q.bind(kListPageSize).bind((page - 1) * kListPageSize).exec();
    while (q.next())
        out.rows << ListRow{q.text(0),   q.text(1),    q.integer(2), q.text(3),
                            q.amount(4), q.integer(5), q.amount(6),  q.maybeAmount(7),
                            q.amount(8), q.text(9),    q.text(10)};
    return out;
}

} // namespace lanting::members

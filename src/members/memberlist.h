#pragma once

#include "amounts.h"
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

namespace lanting::members
{

// Which members the member list shows.
struct MemberFilter {
    enum Kind { Search, Disabled, Advanced };
    Kind kind = Search;
    // Search: part of the card number or name, and a level (empty: any).
    QString text;
    QString level;
    // Advanced: exact matches on the conditions given.
    std::optional<QString> id, name, tel, zjhm, zjlx;
    std::optional<int> sex;

    static MemberFilter search(const QString &text, const QString &level);
    static MemberFilter disabled();
};

struct ListRow {
    QString id, name;
    int sex = 0;
    QString lv;
    Amount ljxfje;
    int ljxfcs = 0;
    Amount ye;
    std::optional<Amount> jf;
    Amount ljczje;
    QString tel, ps;
};

struct ListPage {
    QList<ListRow> rows;
    bool pageUp = false, pageDown = false;
};

constexpr int kListPageSize = 32;

// Page `page` (from 1) of the members the filter selects, by card number.
// A page past the last is empty with both buttons off. `after`, when given,
// is the last card number of the page before, which the page then starts
// after instead of counting its way there.
ListPage memberListPage(const MemberFilter &filter, int page, const QString &after = QString());

} // namespace lanting::members

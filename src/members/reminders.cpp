#include "reminders.h"

#include "appstate.h"
#include "database.h"
#include "memberlookup.h"

#include <QSet>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

QList<Birthday> birthdaysWithin(int days, const QDate &today)
{
    QList<Birthday> list;
    if (days < 1)
        return list;
    // The month-and-day pairs of the window; a year holds them all.
    QSet<int> wanted;
    for (int k = 0; k < std::min(days, 366); ++k) {
        const QDate d = today.addDays(k);
        wanted.insert(d.month() * 100 + d.day());
        if (d.month() == 2 && d.day() == 28 && !QDate::isLeapYear(d.year()))
            wanted.insert(229);
    }
    // Only the members born on those days, found by the birthday index, and
    // put in card order here: sorted by the database, tens of thousands of
    // them (a chain's week) would go through a temporary file.
    Sql q(u"SELECT id, name, sex, lv, csny FROM mber WHERE "_s +
          Database::monthDayOf(u"csny"_s, Database::backend()) + u" IN ("_s +
          placeholders(wanted.size()) + u")"_s);
    for (int md : wanted)
        q.bind(md);
    q.exec();
    while (q.next()) {
        const QDate born = Database::toDate(q.value(4));
        if (!born.isValid() || !wanted.contains(born.month() * 100 + born.day()))
            continue;
        list << Birthday{q.text(0), q.text(1), sexText(q.integer(2)), q.text(3), born};
    }
    std::sort(list.begin(), list.end(),
              [](const Birthday &a, const Birthday &b) { return a.id < b.id; });
    return list;
}

namespace
{
const QString kEventColumns =
    u"SELECT e.id, e.mberid, m.name, e.txsj, e.lx, e.ps, e.czy FROM sjtx e LEFT JOIN mber m ON m.id = e.mberid "_s;

QList<Event> events(Sql &q)
{
    QList<Event> list;
    while (q.next())
        list << Event{q.integer(0), q.text(1), q.text(2), Database::toDt(q.value(3)),
                      q.text(4),    q.text(5), q.text(6)};
    return list;
}
} // namespace

QList<Event> eventsOn(const QDate &day)
{
    Sql q(kEventColumns + u"WHERE e.txsj BETWEEN ? AND ? ORDER BY e.id"_s);
    q.bind(Database::dt(QDateTime(day, QTime(0, 0, 0))))
        .bind(Database::dt(QDateTime(day, QTime(23, 59, 59))))
        .exec();
    return events(q);
}

std::optional<Event> readEvent(int id)
{
    Sql q(kEventColumns + u"WHERE e.id = ?"_s);
    q.bind(id).exec();
    const QList<Event> list = events(q);
    if (list.isEmpty())
        return std::nullopt;
    return list.first();
}

bool saveEvent(int id, const QString &card, const QDateTime &when, const QString &type,
               const QString &description)
{
    if (id == 0) {
        Sql(u"INSERT INTO sjtx (mberid, txsj, lx, ps, czy) VALUES (?, ?, ?, ?, ?)"_s)
            .bind(card)
            .bind(Database::dt(when))
            .bind(type)
            .bind(description)
            .bind(state().operatorName)
            .exec();
        return true;
    }
    Sql q(u"UPDATE sjtx SET txsj = ?, lx = ?, ps = ?, czy = ? WHERE id = ?"_s);
    q.bind(Database::dt(when))
        .bind(type)
        .bind(description)
        .bind(state().operatorName)
        .bind(id)
        .exec();
    return q.rowsAffected() > 0;
}

} // namespace lanting::members

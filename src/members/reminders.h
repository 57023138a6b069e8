#pragma once

// Birthdays coming up and the events noted for members.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace lanting::members
{

struct Birthday {
    QString id, name, sex, lv;
    QDate csny;
};
// Members whose birthday (month and day) falls on one of the `days` days
// from `today` on, across the year end too; none when days is below 1. A
// birthday on 29 February is kept on 28 February in other years.
QList<Birthday> birthdaysWithin(int days, const QDate &today);

struct Event {
    int id = 0;
    QString card, name; // the name is empty when the member is gone
    QDateTime txsj;
    QString lx, ps, czy;
};
// The events of a day.
QList<Event> eventsOn(const QDate &day);
std::optional<Event> readEvent(int id);
// Adds an event for a member (id 0) or rewrites one; the operator is the
// logged-in one. False when the event to rewrite is gone.
bool saveEvent(int id, const QString &card, const QDateTime &when, const QString &type,
               const QString &description);

} // namespace lanting::members

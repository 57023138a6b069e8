#pragma once

#include "amounts.h"
#include "memberlookup.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

namespace lanting::members
{

// The personal data the member form writes, in add and in edit mode.
struct MemberForm {
    QString id, name, lv, tel, zjlx, zjhm, pwd;
    int sex = 0;
    QDate csny;
    bool booljzrq = false;
    QDateTime jzrq;
    QString jsr, addr, qq, fx, photo, ps;
    // In edit mode: the stored card password stays as it is (nothing typed).
    bool keepPwd = false;
};

// The opening balance and points a new member of the level receives
// (0 and 0 when there is no such level).
std::pair<Amount, Amount> levelOpening(const QString &level);

bool cardExists(const QString &id);

// A new member with the level's opening balance and points, totals 0,
// state 0 and the enrolment time now. Throws DbError; a card number taken
// meanwhile gives "此卡号已存在！", a level deleted meanwhile says so.
void enrolMember(const MemberForm &form);

// Rewrites the personal data and the state read when the form was loaded;
// money, points, totals and the enrolment time are never touched.
void updateMemberData(const MemberForm &form, int state);

// Candidates for the referrer: card number or name containing the text, any
// state, at most 50.
struct Referrer {
    QString id, name, lv;
    QDateTime createtime;
};
QList<Referrer> findReferrers(const QString &text);
constexpr int kMaxReferrers = 50;

// The folder for member photos, ending with a separator: the setting ppath,
// whose delivered value "defpath" stands for the photo folder in the program
// folder and is replaced by that folder's path on first use.
QString photoFolder();
void setPhotoFolder(const QString &folder);

} // namespace lanting::members

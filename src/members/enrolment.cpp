#include "enrolment.h"

#include "appstate.h"
#include "database.h"
#include "secrets.h"
#include "sysinfo.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{

// The card password as stored: its hash, or null to keep the stored one.
QVariant storedPassword(const MemberForm &f)
{
    if (f.keepPwd)
        return QVariant(QMetaType::fromType<QString>());
    return hashSecret(f.pwd, SecretUse::Card);
}

void bindPersonal(Sql &q, const MemberForm &f, const QVariant &pwd)
{
    q.bind(f.name)
        .bind(f.lv)
        .bind(f.tel)
        .bind(f.zjlx)
        .bind(f.zjhm)
        .bind(pwd)
        .bind(f.sex)
        .bind(Database::dt(QDateTime(f.csny, QTime(0, 0))))
        .bind(f.booljzrq)
        .bind(Database::dt(f.jzrq))
        .bind(f.jsr)
        .bind(f.addr)
        .bind(f.qq)
        .bind(f.fx)
        .bind(f.photo)
        .bind(f.ps);
}

} // namespace

std::pair<Amount, Amount> levelOpening(const QString &level)
{
    Sql q(u"SELECT csje, csjf FROM lv WHERE name = ?"_s);
    q.bind(level).exec();
    if (!q.next())
        return {0, 0};
    return {q.amount(0), q.amount(1).truncated()};
}

bool cardExists(const QString &id)
{
    return scalar(u"SELECT count(*) FROM mber WHERE id = ?"_s, {id}).toInt() > 0;
}

static void enrolOnce(const MemberForm &f, const QVariant &pwd)
{
    Transaction tx;
    if (cardExists(f.id))
        throw DbError(u"此卡号已存在！"_s);
    // The level is held shared until the member is stored, so that it
    // cannot be deleted at another till in between.
    if (!f.lv.isEmpty()) {
        Sql lv(u"SELECT name FROM lv WHERE name = ?"_s + forShare());
        lv.bind(f.lv).exec();
        if (!lv.next())
            throw DbError(u"会员等级[%1]已被删除，请重新选择会员等级。"_s.arg(f.lv));
    }
    const auto [csje, csjf] = levelOpening(f.lv);
    if (!inRange(csje) || !inRange(csjf) || csjf.wholePart() > 2147483647)
        throw DbError(outOfRangeText());
    Sql q(u"INSERT INTO mber (name, lv, tel, zjlx, zjhm, pwd, sex, csny, booljzrq, jzrq, jsr, "
          u"addr, qq, fx, photo, ps, id, ye, csje, csjf, jf, st, ljxfje, ljxfcs, ljczje, "
          u"createtime) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, "
          u"0, 0, 0, ?)"_s);
    bindPersonal(q, f, pwd);
    q.bind(f.id).bind(csje).bind(csje).bind(csjf.wholePart()).bind(csjf);
    try {
        q.bind(Database::dt(QDateTime::currentDateTime())).exec();
    } catch (const DbError &e) {
        if (e.duplicate()) // enrolled at another till meanwhile
            throw DbError(u"此卡号已存在！"_s);
        throw;
    }
    tx.commit();
}

void enrolMember(const MemberForm &f)
{
    const QVariant pwd = hashSecret(f.pwd, SecretUse::Card);
    retrying([&] { enrolOnce(f, pwd); });
}

void updateMemberData(const MemberForm &f, int state)
{
    const QVariant pwd = storedPassword(f);
    retrying([&] {
        Transaction tx;
        Sql m(u"SELECT lv FROM mber WHERE id = ?"_s + forUpdate());
        m.bind(f.id).exec();
        if (!m.next())
            throw DbError(u"此会员不存在！"_s);
        // A level newly given is held shared until the member is stored, as
        // at enrolment; a member kept on a level deleted long ago stays on it.
        if (m.text(0) != f.lv && !f.lv.isEmpty()) {
            Sql lv(u"SELECT name FROM lv WHERE name = ?"_s + forShare());
            lv.bind(f.lv).exec();
            if (!lv.next())
                throw DbError(u"会员等级[%1]已被删除，请重新选择会员等级。"_s.arg(f.lv));
        }
        Sql q(u"UPDATE mber SET name = ?, lv = ?, tel = ?, zjlx = ?, zjhm = ?, pwd = COALESCE(?, "
              u"pwd), "
              u"sex = ?, "
              u"csny = ?, booljzrq = ?, jzrq = ?, jsr = ?, addr = ?, qq = ?, fx = ?, photo = ?, "
              u"ps = ?, st = ? WHERE id = ?"_s);
        bindPersonal(q, f, pwd);
        q.bind(state).bind(f.id).exec();
        tx.commit();
    });
}

QList<Referrer> findReferrers(const QString &text)
{
    const QString like = likeContains(text);
    Sql q(u"SELECT id, name, lv, createtime FROM mber WHERE lower(id) LIKE ? ESCAPE '\\' "
          u"OR lower(name) LIKE ? ESCAPE '\\' ORDER BY id LIMIT ?"_s);
    q.bind(like).bind(like).bind(kMaxReferrers).exec();
    QList<Referrer> out;
    while (q.next())
        out << Referrer{q.text(0), q.text(1), q.text(2), Database::toDt(q.value(3))};
    return out;
}

QString photoFolder()
{
    QString folder = GetSysInfo(u"ppath"_s);
    if (folder == u"defpath"_s) {
        folder = QDir::toNativeSeparators(state().programFolder + u"/photo/"_s);
        SetSysInfo(u"ppath"_s, folder);
    }
    return folder;
}

void setPhotoFolder(const QString &folder)
{
    QString f = QDir::toNativeSeparators(folder);
    if (!f.endsWith(QDir::separator()))
        f += QDir::separator();
    SetSysInfo(u"ppath"_s, f);
}

} // namespace lanting::members

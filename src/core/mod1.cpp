#include "mod1.h"

#include "appstate.h"
#include "database.h"
#include "messages.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

const QStringList &permissionTexts()
{
    static const QStringList texts{
        u"增加会员"_s,      u"会员消费"_s,      u"退货"_s,         u"修改系统设置"_s,
        u"充值"_s,          u"转账"_s,          u"积分兑换"_s,     u"打印数据/导出Excel"_s,
        u"会员挂失/禁用"_s, u"修改/删除会员"_s, u"查看统计信息"_s, u"增加/删除/修改操作员"_s,
    };
    return texts;
}

bool HasPer(int n)
{
    const QString &per = state().permissions;
    if (n < 1 || n > per.size())
        return true;
    return per.at(n - 1) != u'0';
}

void NoPerMsg()
{
    msgNotice(u"您没有权限执行此操作！"_s);
}

bool CheckPer(int n)
{
    if (HasPer(n))
        return true;
    NoPerMsg();
    return false;
}

Amount GetLvZk(const QString &levelName)
{
    Sql q(u"SELECT zk FROM lv WHERE lower(name) = lower(?)"_s);
    q.bind(levelName).exec();
    if (!q.next() || q.value(0).isNull())
        return 100;
    return q.amount(0);
}

void DelCon(int conId)
{
    Transaction tx;
    Sql(u"DELETE FROM con WHERE id = ?"_s).bind(conId).exec();
    Sql(u"DELETE FROM xiangxi WHERE conid = ?"_s).bind(conId).exec();
    tx.commit();
}

void WriteLog(const QString &type, const QString &content)
{
    Sql(u"INSERT INTO syslog (czy, czlx, cznr, createtime) VALUES (?, ?, ?, ?)"_s)
        .bind(state().operatorName)
        .bind(type)
        .bind(content)
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
}

} // namespace lanting

namespace lanting
{

QStringList levelNames()
{
    return firstColumn(u"SELECT name FROM lv ORDER BY id"_s);
}

} // namespace lanting

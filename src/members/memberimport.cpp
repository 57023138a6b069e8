#include "memberimport.h"

#include "database.h"
#include "mod1.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{

QList<ImportField> fields()
{
    return {
        {u"id"_s,
         u"卡号"_s,
         {u"卡号"_s, u"会员卡号"_s, u"会员编号"_s, u"编号"_s, u"会员号"_s, u"卡号码"_s},
         FieldKind::Text,
         true,
         true},
        {u"name"_s,
         u"姓名"_s,
         {u"姓名"_s, u"会员姓名"_s, u"名字"_s, u"会员名称"_s, u"客户姓名"_s},
         FieldKind::Text,
         true},
        {u"tel"_s,
         u"电话"_s,
         {u"电话"_s, u"手机"_s, u"联系电话"_s, u"手机号"_s, u"手机号码"_s, u"电话号码"_s},
         FieldKind::Text},
        {u"lv"_s,
         u"等级"_s,
         {u"等级"_s, u"级别"_s, u"会员等级"_s, u"会员级别"_s, u"会员类型"_s, u"会员类别"_s},
         FieldKind::Reference},
        {u"ye"_s,
         u"余额"_s,
         {u"余额"_s, u"储值"_s, u"卡内余额"_s, u"储值余额"_s, u"账户余额"_s},
         FieldKind::Amount},
        {u"jf"_s,
         u"积分"_s,
         {u"积分"_s, u"当前积分"_s, u"可用积分"_s, u"剩余积分"_s},
         FieldKind::Whole},
        {u"csny"_s,
         u"生日"_s,
         {u"生日"_s, u"出生日期"_s, u"出生年月"_s, u"出生年月日"_s},
         FieldKind::Date},
        {u"zjhm"_s,
         u"证件号码"_s,
         {u"证件号码"_s, u"证件号"_s, u"身份证号"_s, u"身份证号码"_s, u"身份证"_s},
         FieldKind::Text},
        {u"jzrq"_s,
         u"到期时间"_s,
         {u"到期时间"_s, u"到期日期"_s, u"截止日期"_s, u"有效期"_s, u"有效期至"_s, u"过期时间"_s},
         FieldKind::Date},
        {u"sex"_s, u"性别"_s, {u"性别"_s}, FieldKind::Sex},
        {u"addr"_s, u"地址"_s, {u"地址"_s, u"住址"_s, u"联系地址"_s}, FieldKind::Text},
        {u"ps"_s, u"备注"_s, {u"备注"_s, u"说明"_s}, FieldKind::Text},
    };
}

// A card is valid through its expiry day, as the member form stores it.
QDateTime expiryOf(const QDateTime &read)
{
    return read.time() == QTime(0, 0) ? QDateTime(read.date(), QTime(23, 59, 59)) : read;
}

} // namespace

ImportPlan memberImportPlan(Sheet sheet)
{
    return ImportPlan(fields(), std::move(sheet), keysIn(u"mber"_s, u"id"_s), levelNames());
}

QList<ImportField> memberImportFields()
{
    return fields();
}

ImportResult importMembers(const ImportPlan &plan, const QString &fileName,
                           const SheetProgress &progress)
{
    const auto field = [&plan](const char16_t *key) {
        return plan.fieldIndex(QString::fromUtf16(key));
    };
    const int fId = field(u"id"), fName = field(u"name"), fTel = field(u"tel"), fLv = field(u"lv"),
              fYe = field(u"ye"), fJf = field(u"jf"), fCsny = field(u"csny"),
              fZjhm = field(u"zjhm"), fJzrq = field(u"jzrq"), fSex = field(u"sex"),
              fAddr = field(u"addr"), fPs = field(u"ps");

    ImportResult result;
    return retrying([&] {
        result = ImportResult();
        Transaction tx;
        // The levels the written rows name that do not exist yet.
        const CreatedReferences levels = createReferences(plan, u"lv"_s, [](const QString &name) {
            Sql(u"INSERT INTO lv (name, csje, csjf, zk, czbl, jf) VALUES (?, 0, 0, ?, 0, 0)"_s)
                .bind(name)
                .bind(Amount(100)) // no discount
                .exec();
        });
        result.newReferences = levels.made;

        const QVariant now = Database::dt(QDateTime::currentDateTime());
        const QVariant noExpiry =
            Database::dt(QDateTime(QDate::currentDate().addDays(730), QTime(23, 59, 59)));
        Sql insert(
            u"INSERT INTO mber (id, name, tel, lv, ye, csje, jf, csjf, csny, zjlx, zjhm,"
            u" booljzrq, jzrq, sex, addr, ps, pwd, st, ljxfje, ljxfcs, ljczje, createtime)"
            u" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '', 0, 0, 0, 0, ?)"_s);
        // A card enrolled at another till since the file was checked.
        result.rows = writeRows(
            plan, progress, u"卡号[%1]已被其他收银台登记（第%2行），没有导入任何数据。"_s,
            [&](const ImportRow &row) {
                const QVariantList &v = row.values;
                const Amount ye = cellAmount(v[fYe]), jf = cellAmount(v[fJf]);
                const QString zjhm = cellText(v[fZjhm]);
                insert.bind(v[fId].toString())
                    .bind(v[fName].toString())
                    .bind(cellText(v[fTel]))
                    .bind(v[fLv].isValid() ? levels.spelling(plan, v[fLv].toString()) : QString())
                    .bind(ye)
                    .bind(ye)
                    .bind(jf)
                    .bind(std::min<qint64>(jf.wholePart(), 2147483647))
                    .bind(v[fCsny].isValid()
                              ? Database::dt(QDateTime(v[fCsny].toDateTime().date(), QTime(0, 0)))
                              : QVariant())
                    .bind(zjhm.isEmpty() ? QString() : u"身份证"_s)
                    .bind(zjhm)
                    .bind(v[fJzrq].isValid())
                    .bind(v[fJzrq].isValid() ? Database::dt(expiryOf(v[fJzrq].toDateTime()))
                                             : noExpiry)
                    .bind(v[fSex].isValid() ? v[fSex].toInt() : 0)
                    .bind(cellText(v[fAddr]))
                    .bind(cellText(v[fPs]))
                    .bind(now)
                    .exec();
                result.amount += ye;
                result.points += jf;
            });
        if (result.rows == 0)
            throw DbError(u"没有可以导入的会员。"_s);
        WriteLog(u"导入会员"_s,
                 u"从文件[%1]导入会员%2名，余额合计%3元，积分合计%4%5。"_s.arg(fileName)
                     .arg(result.rows)
                     .arg(FmtJe(result.amount), FmtJe(result.points),
                          levels.made == 0 ? QString() : u"，新建会员等级%1个"_s.arg(levels.made)));
        tx.commit();
        return result;
    });
}

} // namespace lanting::members

#include "goodsimport.h"

#include "database.h"
#include "goods.h"
#include "mod1.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

namespace
{

QList<ImportField> goodsFields()
{
    return {
        {u"spid"_s,
         u"编码"_s,
         {u"编码"_s, u"条码"_s, u"商品编码"_s, u"商品条码"_s, u"商品编号"_s, u"条形码"_s, u"货号"_s,
          u"编号"_s},
         FieldKind::Text,
         true,
         true},
        {u"name"_s,
         u"名称"_s,
         {u"名称"_s, u"商品名称"_s, u"品名"_s, u"商品名"_s},
         FieldKind::Text,
         true},
        {u"lb"_s,
         u"类别"_s,
         {u"类别"_s, u"分类"_s, u"商品类别"_s, u"商品分类"_s, u"类别名称"_s},
         FieldKind::Reference},
        {u"dw"_s, u"单位"_s, {u"单位"_s, u"计量单位"_s}, FieldKind::Text},
        {u"jj"_s, u"进价"_s, {u"进价"_s, u"进货价"_s, u"成本价"_s, u"采购价"_s}, FieldKind::Amount},
        {u"sj"_s,
         u"售价"_s,
         {u"售价"_s, u"零售价"_s, u"销售价"_s, u"单价"_s, u"价格"_s},
         FieldKind::Amount,
         true}, // goods without a price cannot be sold
        {u"kc"_s, u"库存"_s, {u"库存"_s, u"库存数量"_s, u"库存量"_s, u"数量"_s}, FieldKind::Amount},
        {u"jf"_s, u"积分"_s, {u"积分"_s, u"单品积分"_s}, FieldKind::Whole},
    };
}

} // namespace

ImportPlan goodsImportPlan(Sheet sheet)
{
    return ImportPlan(goodsFields(), std::move(sheet), keysIn(u"sp"_s, u"spid"_s), categories());
}

ImportResult importGoods(const ImportPlan &plan, const QString &fileName,
                         const SheetProgress &progress)
{
    const auto field = [&plan](const char16_t *key) {
        return plan.fieldIndex(QString::fromUtf16(key));
    };
    const int fSpid = field(u"spid"), fName = field(u"name"), fLb = field(u"lb"),
              fDw = field(u"dw"), fJj = field(u"jj"), fSj = field(u"sj"), fKc = field(u"kc"),
              fJf = field(u"jf");
    return retrying([&] {
        ImportResult result;
        Transaction tx;
        const CreatedReferences categories =
            createReferences(plan, u"splb"_s, [](const QString &name) {
                Sql(u"INSERT INTO splb (name) VALUES (?)"_s).bind(name).exec();
            });
        result.newReferences = categories.made;

        Sql insert(u"INSERT INTO sp (spid, name, lb, dw, jj, sj, kc, jf, zt)"
                   u" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
        // A code added at another till since the file was checked.
        result.rows = writeRows(
            plan, progress, u"商品编码[%1]已被其他收银台添加（第%2行），没有导入任何数据。"_s,
            [&](const ImportRow &row) {
                const QVariantList &v = row.values;
                const Amount jj = cellAmount(v[fJj]), kc = cellAmount(v[fKc]);
                insert.bind(v[fSpid].toString())
                    .bind(v[fName].toString())
                    .bind(v[fLb].isValid() ? categories.spelling(plan, v[fLb].toString())
                                           : QString())
                    .bind(cellText(v[fDw]))
                    .bind(jj)
                    .bind(cellAmount(v[fSj]))
                    .bind(kc)
                    .bind(cellAmount(v[fJf]))
                    .bind(true)
                    .exec();
                result.amount += kc * jj;
            });
        if (result.rows == 0)
            throw DbError(u"没有可以导入的商品。"_s);
        WriteLog(u"导入商品"_s,
                 u"从文件[%1]导入商品%2种，库存进价合计%3元%4。"_s.arg(fileName)
                     .arg(result.rows)
                     .arg(FmtJe(RoundJe(result.amount)),
                          categories.made == 0 ? QString()
                                               : u"，新建商品类别%1个"_s.arg(categories.made)));
        tx.commit();
        return result;
    });
}

} // namespace lanting::sales

// The member lookup of the member panel gives exactly the members the plain
// substring search gives (part of the card number or name, or the whole
// telephone number; the first 14 by card number), whichever road it takes:
// the trigram index for what few members hold, the walk in card order for
// what many hold. The index follows every change of a member.

#include "cardloss.h"
#include "enrolment.h"
#include "harness.h"
#include "memberactions.h"
#include "memberlist.h"
#include "memberlookup.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::members;
using test::Harness;

namespace
{

// 3 000 members: every card holds "000", every name "会员"; a few odd ones.
void fixture()
{
    Transaction tx;
    Sql q(u"INSERT INTO mber (id, name, lv, tel) VALUES (?, ?, '金卡', ?)"_s);
    for (int i = 1; i <= 3000; ++i) {
        q.bind(u"1000000%1"_s.arg(i, 5, 10, QChar(u'0')))
            .bind(u"会员%1"_s.arg(i))
            .bind(u"1390000%1"_s.arg(i, 4, 10, QChar(u'0')))
            .exec();
    }
    const QList<std::pair<QString, QString>> odd{
        {u"200000000001"_s, u"Tom O'Hara"_s},  {u"200000000002"_s, u"百分之100%好"_s},
        {u"200000000003"_s, u"a_b 先生"_s},     {u"200000000004"_s, u"ABC公司"_s},
        {u"200000000005"_s, u"abc小店"_s},      {u"200000000006"_s, u"有\"引号\"的名字"_s},
        {u"200000000007"_s, u"二十三号"_s},     {u"ABX000000008"_s, u"字母卡"_s},
    };
    for (const auto &[id, name] : odd)
        q.bind(id).bind(name).bind(u"13800138000"_s).exec();
    tx.commit();
}

// The answer of the plain substring search, written independently.
QStringList reference(const QString &text)
{
    const QString contains = Database::backend() == Backend::Sqlite
                                 ? u"instr(lower(%1), lower(?)) > 0"_s
                                 : u"strpos(lower(%1), lower(?)) > 0"_s;
    QStringList ids;
    Sql q(u"SELECT id FROM mber WHERE "_s + contains.arg(u"id"_s) + u" OR "_s +
          contains.arg(u"name"_s) + u" OR tel = ? ORDER BY id LIMIT 14"_s);
    q.bind(text).bind(text).bind(text).exec();
    while (q.next())
        ids << q.text(0);
    return ids;
}

QStringList found(const QString &text)
{
    QStringList ids;
    for (const MemberHit &h : findMembers(text, false))
        ids << h.id;
    return ids;
}

} // namespace

class TstMemberLookup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameAnswers_data();
    void sameAnswers();
    void indexFollowsChanges_data() { Harness::addBackendRows(); }
    void indexFollowsChanges();
    void listPagesSameAnswers_data() { Harness::addBackendRows(); }
    void listPagesSameAnswers();
};

void TstMemberLookup::sameAnswers_data()
{
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<QStringList>("texts");
    const QStringList texts{
        u"100000000042"_s, // a whole card, swiped
        u"0004"_s,         // part of many cards
        u"000"_s,          // part of every card: walked in card order
        u"00"_s,           // too short for the trigram index
        u"会员299"_s,      // part of a few names
        u"会员"_s,         // part of every name
        u"13900001234"_s,  // a whole telephone number
        u"13800138000"_s,  // a telephone number shared by several
        u"o'hara"_s,       // quotes and another case
        u"100%"_s,         // the wildcards of LIKE are plain characters
        u"a_b"_s,
        u"_"_s,
        u"abc"_s,          // both cases
        u"\"引号\""_s,     // the quote of the trigram query language
        u"abx0"_s,
        u"二十三"_s,
        u"nobody here"_s,
        u"2999"_s,
    };
    QTest::newRow("sqlite") << int(Backend::Sqlite) << texts;
    QTest::newRow("postgres") << int(Backend::Postgres) << texts;
}

void TstMemberLookup::sameAnswers()
{
    LT_USE_BACKEND();
    QFETCH(QStringList, texts);
    Harness h(backend);
    QVERIFY(h.openDatabase());
    fixture();
    for (const QString &t : texts)
        QVERIFY2(found(t) == reference(t), qPrintable(t + u": "_s + found(t).join(u' ') + u" | "_s +
                                                    reference(t).join(u' ')));
    QCOMPARE(found(u"100000000042"_s), QStringList{u"100000000042"_s});
    QCOMPARE(found(u"0004"_s).size(), 14);
}

void TstMemberLookup::indexFollowsChanges()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    fixture();
    // A new member, a renamed one, a replaced card, a deleted member.
    MemberForm f;
    f.id = u"300000000001"_s;
    f.name = u"新来的张三丰"_s;
    enrolMember(f);
    QCOMPARE(found(u"张三丰"_s), QStringList{u"300000000001"_s});
    f.name = u"改名的李四光"_s;
    updateMemberData(f, 0);
    QCOMPARE(found(u"张三丰"_s), QStringList());
    QCOMPARE(found(u"李四光"_s), QStringList{u"300000000001"_s});
    QCOMPARE(replaceCard(u"300000000001"_s, u"399999999999"_s, QString()), CardLoss::Done);
    QCOMPARE(found(u"300000000001"_s), QStringList());
    QCOMPARE(found(u"99999999"_s), QStringList{u"399999999999"_s});
    deleteMember(u"399999999999"_s);
    QCOMPARE(found(u"李四光"_s), QStringList());
    QCOMPARE(found(u"99999999"_s), QStringList());
}

void TstMemberLookup::listPagesSameAnswers()
{
    // The member list's search gives the substring search's members, page
    // by page; paging down after the last member shown gives the same pages
    // as counting.
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    fixture();
    Sql(u"UPDATE mber SET st = 2 WHERE id LIKE '%7'"_s).exec(); // not listed
    Sql(u"UPDATE mber SET lv = '银卡' WHERE id LIKE '%3'"_s).exec();
    const QString contains = backend == Backend::Sqlite ? u"instr(lower(%1), lower(?)) > 0"_s
                                                         : u"strpos(lower(%1), lower(?)) > 0"_s;
    for (const QString &t : {QString(), u"0004"_s, u"000"_s, u"会员29"_s, u"a_b"_s, u"100%"_s}) {
        for (const QString &level : {QString(), u"银卡"_s}) {
            QStringList expected;
            Sql q(u"SELECT id FROM mber WHERE ("_s +
                  (t.isEmpty() ? u"1 = 1"_s
                               : contains.arg(u"id"_s) + u" OR "_s + contains.arg(u"name"_s)) +
                  u") AND st = 0"_s + (level.isEmpty() ? QString() : u" AND lv = ?"_s) +
                  u" ORDER BY id"_s);
            if (!t.isEmpty())
                q.bind(t).bind(t);
            if (!level.isEmpty())
                q.bind(level);
            q.exec();
            while (q.next())
                expected << q.text(0);
            QStringList counted, walked;
            QString after;
            const MemberFilter f = MemberFilter::search(t, level);
            for (int page = 1;; ++page) {
                const ListPage byCount = memberListPage(f, page);
                const ListPage byAfter = memberListPage(f, page, after);
                QCOMPARE(byAfter.pageDown, byCount.pageDown);
                QCOMPARE(byAfter.pageUp, byCount.pageUp);
                for (const ListRow &r : byCount.rows)
                    counted << r.id;
                for (const ListRow &r : byAfter.rows)
                    walked << r.id;
                if (!byCount.rows.isEmpty())
                    after = byCount.rows.last().id;
                QCOMPARE(byCount.pageUp, page > 1 && !byCount.rows.isEmpty());
                if (!byCount.pageDown)
                    break;
                QCOMPARE(byCount.rows.size(), kListPageSize);
            }
            QVERIFY2(counted == expected,
                     qPrintable(t + u'/' + level + u" %1 %2"_s.arg(counted.size()).arg(expected.size())));
            QCOMPARE(walked, expected);
        }
    }
    // A page past the last: nothing, both buttons off.
    const ListPage past = memberListPage(MemberFilter::search(u"会员2999"_s, QString()), 2);
    QVERIFY(past.rows.isEmpty() && !past.pageUp && !past.pageDown);
}

QTEST_MAIN(TstMemberLookup)
#include "tst_memberlookup.moc"

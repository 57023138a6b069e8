// The member import at a shop's size: 100 000 members from a CSV file and
// from an .xlsx workbook, read, checked and written into a new embedded
// database (or, with LANTING_BENCH_PG=postgresql://..., into that server's
// database, emptied of members first). The files are generated once into the
// cache ($LANTING_BENCH_CACHE, else ~/.cache/lanting-bench).
//
//   build-release/bench/bench_import [members]

#include "appstate.h"
#include "database.h"
#include "memberimport.h"
#include "peakmemory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <xlsxwriter.h>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using lanting::bench::peakKiB;

namespace
{

QString cardOf(int i)
{
    return u"8%1"_s.arg(i, 11, 10, QChar(u'0'));
}

QStringList rowOf(int i)
{
    return {cardOf(i),
            u"会员%1"_s.arg(i),
            u"139%1"_s.arg(i, 8, 10, QChar(u'0')),
            i % 10 == 0 ? u"金卡"_s : u"普通会员"_s,
            u"%1.%2"_s.arg(i % 5000).arg(i % 100, 2, 10, QChar(u'0')),
            QString::number(i % 3000),
            u"19%1-%2-%3"_s.arg(60 + i % 40)
                .arg(1 + i % 12, 2, 10, QChar(u'0'))
                .arg(1 + i % 28, 2, 10, QChar(u'0')),
            i % 3 == 0 ? u"备注%1"_s.arg(i) : QString()};
}

const QStringList kHeadings{u"会员卡号"_s, u"姓名"_s, u"手机号码"_s, u"会员等级"_s,
                            u"余额"_s,     u"积分"_s, u"出生日期"_s, u"备注"_s};

void writeCsv(const QString &path, int members)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&f);
    out << kHeadings.join(u',') << "\r\n";
    for (int i = 1; i <= members; ++i)
        out << rowOf(i).join(u',') << "\r\n";
}

void writeXlsx(const QString &path, int members)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(path.toUtf8().constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    for (int c = 0; c < kHeadings.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), kHeadings[c].toUtf8().constData(), nullptr);
    for (int i = 1; i <= members; ++i) {
        const QStringList r = rowOf(i);
        for (int c = 0; c < r.size(); ++c) {
            if (r[c].isEmpty())
                continue;
            if (c == 4 || c == 5)
                worksheet_write_number(sheet, lxw_row_t(i), lxw_col_t(c), r[c].toDouble(), nullptr);
            else
                worksheet_write_string(sheet, lxw_row_t(i), lxw_col_t(c), r[c].toUtf8().constData(),
                                       nullptr);
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int members = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const QString cacheDir =
        qEnvironmentVariable("LANTING_BENCH_CACHE", QDir::homePath() + u"/.cache/lanting-bench"_s);
    QDir().mkpath(cacheDir);
    const QString csv = u"%1/import-%2.csv"_s.arg(cacheDir).arg(members);
    const QString xlsx = u"%1/import-%2.xlsx"_s.arg(cacheDir).arg(members);
    if (!QFileInfo::exists(csv))
        writeCsv(csv, members);
    if (!QFileInfo::exists(xlsx))
        writeXlsx(xlsx, members);

    QTemporaryDir dir;
    const QString server = qEnvironmentVariable("LANTING_BENCH_PG");
    QTextStream out(stdout);
    out << "| file | members | read | check | write | total | peak memory |\n"
        << "|---|---:|---:|---:|---:|---:|---:|\n";
    for (const QString &file : {csv, xlsx}) {
        QString error;
        DbConfig c;
        c.sqlitePath = dir.filePath(QFileInfo(file).suffix() + u".qdb"_s);
        if (!server.isEmpty())
            c = *DbConfig::fromUrl(server, &error);
        if (!Database::open(c, &error))
            qFatal("%s", qPrintable(error));
        Sql(u"DELETE FROM mber WHERE id <> '000000000000'"_s).exec();
        Sql(u"DELETE FROM lv WHERE name <> '金卡'"_s).exec();
        state().operatorName = u"admin"_s;
        QElapsedTimer t;
        t.start();
        Sheet sheet = readSheet(file);
        const double read = t.nsecsElapsed() / 1e9;
        t.restart();
        ImportPlan plan = members::memberImportPlan(std::move(sheet));
        plan.check();
        const double check = t.nsecsElapsed() / 1e9;
        t.restart();
        const ImportResult r = members::importMembers(plan, QFileInfo(file).fileName());
        const double write = t.nsecsElapsed() / 1e9;
        if (r.rows != members || plan.problemRows() != 0)
            qFatal("imported %d of %d members", r.rows, members);
        out << "| ." << QFileInfo(file).suffix()
            << (server.isEmpty() ? " (SQLite)" : " (PostgreSQL)") << " | " << members << " | "
            << QString::number(read, 'f', 2) << " s | " << QString::number(check, 'f', 2) << " s | "
            << QString::number(write, 'f', 2) << " s | "
            << QString::number(read + check + write, 'f', 2) << " s | " << peakKiB() / 1024
            << " MB |\n"
            << Qt::flush;
        Database::close();
    }
    return 0;
}

#include "xlsbook.h"

#include "csvexport.h"
#include "database.h"
#include "xlsxexport.h"

#include <QHash>
#include <QSet>

#include <QtEndian>
#include <algorithm>
#include <array>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

// --- compound file -------------------------------------------------------

constexpr quint32 kFree = 0xFFFFFFFF;
constexpr quint32 kEnd = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kSector = 512;
constexpr quint32 kMiniCutoff = 4096;
const QByteArray kSignature = QByteArray::fromHex("D0CF11E0A1B11AE1");

quint16 u16(const QByteArray &b, qsizetype at)
{
    return at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.constData() + at) : 0;
}
quint32 u32(const QByteArray &b, qsizetype at)
{
    return at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.constData() + at) : 0;
}
void put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

// Follows a sector chain; empty when the chain is broken or loops.
QList<quint32> chain(const QList<quint32> &fat, quint32 start)
{
    QList<quint32> sectors;
    for (quint32 s = start; s != kEnd; s = fat.value(qsizetype(s), kEnd)) {
        if (s >= quint32(fat.size()) || sectors.size() > fat.size())
            return {};
        sectors << s;
    }
    return sectors;
}

} // namespace

std::optional<QByteArray> readWorkbookStream(const QByteArray &file)
{
    if (file.size() < kSector || !file.startsWith(kSignature))
        return std::nullopt;
    const int shift = u16(file, 30);
    if (shift < 9 || shift > 12)
        return std::nullopt;
    const qsizetype size = qsizetype(1) << shift;
    const int miniShift = u16(file, 32);
    auto sector = [&](quint32 s) { return file.mid(qsizetype(s + 1) * size, size); };

    // The FAT sectors: 109 listed in the header, the rest in the DIFAT chain.
    QList<quint32> fatSectors;
    for (int i = 0; i < 109; ++i)
        if (const quint32 s = u32(file, 76 + 4 * i); s < kFatSect)
            fatSectors << s;
    for (quint32 d = u32(file, 68), guard = 0; d < kFatSect && guard < 1000; ++guard) {
        const QByteArray block = sector(d);
        for (qsizetype i = 0; i + 4 < block.size(); i += 4)
            if (const quint32 s = u32(block, i); s < kFatSect)
                fatSectors << s;
        d = u32(block, block.size() - 4);
    }
    QList<quint32> fat;
    for (quint32 s : fatSectors) {
        const QByteArray block = sector(s);
        for (qsizetype i = 0; i + 4 <= block.size(); i += 4)
            fat << u32(block, i);
    }
    auto readChain = [&](quint32 start, qsizetype length) {
        QByteArray data;
        for (quint32 s : chain(fat, start))
            data += sector(s);
        return data.left(length);
    };

    QByteArray dir;
    for (quint32 s : chain(fat, u32(file, 48)))
        dir += sector(s);
    QByteArray miniStream;
    std::optional<std::pair<quint32, quint32>> found;
    for (qsizetype e = 0; e + 128 <= dir.size(); e += 128) {
        const int nameBytes = u16(dir, e + 64);
        const QString name =
            QString::fromUtf16(reinterpret_cast<const char16_t *>(dir.constData() + e),
                               std::max(0, nameBytes / 2 - 1));
        const int type = quint8(dir.at(e + 66));
        const quint32 start = u32(dir, e + 116), length = u32(dir, e + 120);
        if (type == 5)
            miniStream = readChain(start, length);
        else if (type == 2 && (name == u"Workbook"_s || name == u"Book"_s) && !found)
            found = std::pair{start, length};
    }
    if (!found)
        return std::nullopt;
    if (found->second >= u32(file, 56))
        return readChain(found->first, found->second);
    // A small stream lives in the mini stream, in 64-byte sectors.
    QList<quint32> miniFat;
    for (quint32 s : chain(fat, u32(file, 60))) {
        const QByteArray block = sector(s);
        for (qsizetype i = 0; i + 4 <= block.size(); i += 4)
            miniFat << u32(block, i);
    }
    const qsizetype mini = qsizetype(1) << miniShift;
    QByteArray data;
    for (quint32 s : chain(miniFat, found->first))
        data += miniStream.mid(qsizetype(s) * mini, mini);
    return data.left(found->second);
}

QByteArray writeCompoundFile(const QByteArray &workbookIn)
{
    QByteArray workbook = workbookIn;
    // Streams below the cut-off would belong in the mini stream.
    if (workbook.size() < qsizetype(kMiniCutoff))
        workbook.append(QByteArray(kMiniCutoff - workbook.size(), '\0'));
    const quint32 streamSectors = quint32((workbook.size() + kSector - 1) / kSector);
    // The FAT describes every sector, itself included; the header lists its
    // first 109 sectors, DIFAT sectors the rest, 127 each (beyond about 6 MB
    // of workbook).
    quint32 fatSectors = 1, difatSectors = 0;
    while (fatSectors * 128 < streamSectors + fatSectors + difatSectors + 1) {
        ++fatSectors;
        difatSectors = fatSectors > 109 ? (fatSectors - 109 + 126) / 127 : 0;
    }
    const quint32 firstFat = streamSectors;
    const quint32 firstDifat = firstFat + fatSectors;
    const quint32 dirSector = firstDifat + difatSectors;

    QByteArray out;
    out += kSignature;
    out += QByteArray(16, '\0');
    put16(out, 0x003E);
    put16(out, 0x0003);
    put16(out, 0xFFFE);
    put16(out, 9);
    put16(out, 6);
    out += QByteArray(6, '\0');
    put32(out, 0); // directory sectors (version 3)
    put32(out, fatSectors);
    put32(out, dirSector);
    put32(out, 0);
    put32(out, kMiniCutoff);
    put32(out, kEnd); // no mini FAT
    put32(out, 0);
    put32(out, difatSectors > 0 ? firstDifat : kEnd);
    put32(out, difatSectors);
    for (quint32 i = 0; i < 109; ++i)
        put32(out, i < fatSectors ? firstFat + i : kFree);

    QByteArray body = workbook;
    body.append(QByteArray(qsizetype(streamSectors) * kSector - workbook.size(), '\0'));
    QByteArray fat;
    for (quint32 i = 0; i < streamSectors; ++i)
        put32(fat, i + 1 < streamSectors ? i + 1 : kEnd);
    for (quint32 i = 0; i < fatSectors; ++i)
        put32(fat, kFatSect);
    for (quint32 i = 0; i < difatSectors; ++i)
        put32(fat, kDifSect);
    put32(fat, kEnd); // the directory
    while (fat.size() < qsizetype(fatSectors) * kSector)
        put32(fat, kFree);
    body += fat;
    for (quint32 d = 0; d < difatSectors; ++d) {
        QByteArray difat;
        for (quint32 i = 0; i < 127; ++i) {
            const quint32 listed = 109 + d * 127 + i;
            put32(difat, listed < fatSectors ? firstFat + listed : kFree);
        }
        put32(difat, d + 1 < difatSectors ? firstDifat + d + 1 : kEnd);
        body += difat;
    }

    auto entry = [](const QString &name, int type, quint32 child, quint32 start, quint32 size) {
        QByteArray e;
        QByteArray n(reinterpret_cast<const char *>(name.utf16()), name.size() * 2);
        n.append(QByteArray(64 - n.size(), '\0'));
        e += n;
        put16(e, quint16(name.isEmpty() ? 0 : (name.size() + 1) * 2));
        e.append(char(type));
        e.append(char(1)); // black
        put32(e, kNoStream);
        put32(e, kNoStream);
        put32(e, child);
        e += QByteArray(16 + 4 + 16, '\0');
        put32(e, start);
        put32(e, size);
        put32(e, 0);
        return e;
    };
    QByteArray dir;
    dir += entry(u"Root Entry"_s, 5, 1, kEnd, 0);
    dir += entry(u"Workbook"_s, 2, kNoStream, 0, quint32(workbook.size()));
    dir += entry(QString(), 0, kNoStream, 0, 0);
    dir += entry(QString(), 0, kNoStream, 0, 0);
    body += dir;
    return out + body;
}

namespace
{

// --- records ---------------------------------------------------------------

enum : quint16 {
    rBOF = 0x0809,
    rEOF = 0x000A,
    rFONT = 0x0031,
    rXF = 0x00E0,
    rBOUNDSHEET = 0x0085,
    rDIMENSIONS = 0x0200,
    rLABEL = 0x0204,
    rLABELSST = 0x00FD,
    rNUMBER = 0x0203,
    rRK = 0x027E,
    rBLANK = 0x0201,
    rBOOLERR = 0x0205,
    rFORMULA = 0x0006,
    rWINDOW2 = 0x023E,
    rSST = 0x00FC,
    rEXTSST = 0x00FF,
    rCONTINUE = 0x003C,
    rFORMAT = 0x041E,
};

// A record's data holds at most this many bytes; more goes on in CONTINUE
// records.
constexpr int kRecordData = 8224;

struct Record {
    quint16 type;
    QByteArray data;
};

std::optional<QList<Record>> parse(const QByteArray &stream, QList<qsizetype> *offsets = nullptr)
{
    QList<Record> list;
    qsizetype at = 0;
    while (at + 4 <= stream.size()) {
        const quint16 type = u16(stream, at), length = u16(stream, at + 2);
        if (at + 4 + length > stream.size())
            return std::nullopt;
        if (offsets)
            *offsets << at;
        list << Record{type, stream.mid(at + 4, length)};
        at += 4 + length;
        // Padding after the last end of a substream.
        if (type == rEOF && stream.mid(at).count('\0') == stream.size() - at)
            break;
    }
    return list;
}

QByteArray record(quint16 type, const QByteArray &data)
{
    QByteArray r;
    put16(r, type);
    put16(r, quint16(data.size()));
    return r + data;
}

QByteArray utf16(const QString &s)
{
    return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
}

// The strings of a shared-string table, read across its CONTINUE records
// (`parts`: the SST record's data and theirs). Formatting runs are passed
// over. Empty when the table is damaged.
std::optional<QStringList> sharedStrings(const QList<QByteArray> &parts, quint32 *total = nullptr)
{
    QStringList out;
    qsizetype part = 0, at = 8;
    auto have = [&](qsizetype n) {
        // Moves to the next part when this one is used up (not inside a value).
        while (part < parts.size() && at >= parts[part].size()) {
            ++part;
            at = 0;
        }
        return part < parts.size() && at + n <= parts[part].size();
    };
    auto skip = [&](qint64 n) { // raw bytes, which may run over parts
        while (n > 0 && part < parts.size()) {
            const qint64 step = std::min<qint64>(n, parts[part].size() - at);
            at += step;
            n -= step;
            if (n > 0) {
                ++part;
                at = 0;
            }
        }
        return n == 0;
    };
    if (parts.isEmpty() || parts[0].size() < 8)
        return std::nullopt;
    const quint32 count = u32(parts[0], 4);
    if (total)
        *total = u32(parts[0], 0);
    for (quint32 n = 0; n < count; ++n) {
        if (!have(3))
            return std::nullopt;
        const QByteArray &p0 = parts[part];
        int chars = u16(p0, at);
        quint8 flags = quint8(p0.at(at + 2));
        at += 3;
        int runs = 0;
        qint64 ext = 0;
        if (flags & 8) {
            if (!have(2))
                return std::nullopt;
            runs = u16(parts[part], at);
            at += 2;
        }
        if (flags & 4) {
            if (!have(4))
                return std::nullopt;
            ext = qint64(u32(parts[part], at));
            at += 4;
        }
        QString text;
        while (chars > 0) {
            if (at >= parts[part].size()) {
                // The characters go on in the next record after a flag byte.
                ++part;
                at = 0;
                if (part >= parts.size() || parts[part].isEmpty())
                    return std::nullopt;
                flags = quint8(parts[part].at(0));
                at = 1;
            }
            const QByteArray &p = parts[part];
            const bool wide = flags & 1;
            const int fit = int(std::min<qsizetype>(chars, (p.size() - at) / (wide ? 2 : 1)));
            if (fit <= 0)
                return std::nullopt;
            text += wide ? QString::fromUtf16(
                               reinterpret_cast<const char16_t *>(p.constData() + at), fit)
                         : QString::fromLatin1(p.constData() + at, fit);
            at += fit * (wide ? 2 : 1);
            chars -= fit;
        }
        if (!skip(4 * qint64(runs) + ext))
            return std::nullopt;
        out << text;
    }
    return out;
}

// A shared-string table as records: the SST and as many CONTINUE records as
// it takes, each string's characters split only between code units and
// after a flag byte, as the format wants. `buckets` receives, for every
// `perBucket`-th string, where its record starts in the bytes and where the
// string starts in that record (the EXTSST index).
QByteArray sharedStringRecords(const QStringList &strings, quint32 total, int perBucket,
                               QList<std::pair<qsizetype, int>> *buckets)
{
    QByteArray out;
    QByteArray cur;
    quint16 type = rSST;
    qsizetype recordStart = 0;
    auto flush = [&] {
        out += record(type, cur);
        recordStart = out.size(); // where the next record starts
        cur.clear();
        type = rCONTINUE;
    };
    put32(cur, total);
    put32(cur, quint32(strings.size()));
    for (qsizetype i = 0; i < strings.size(); ++i) {
        const QString &s = strings[i];
        if (cur.size() + 3 + 2 > kRecordData)
            flush();
        if (i % perBucket == 0)
            buckets->append({recordStart, int(4 + cur.size())});
        put16(cur, quint16(s.size()));
        cur.append(char(1));
        qsizetype done = 0;
        while (done < s.size()) {
            qsizetype fit = std::min<qsizetype>(s.size() - done, (kRecordData - cur.size()) / 2);
            // A character of two code units stays in one record: readers
            // decode each record's part on its own.
            if (fit > 0 && done + fit < s.size() && s[done + fit - 1].isHighSurrogate())
                --fit;
            if (fit <= 0) {
                flush();
                cur.append(char(1)); // the rest, UTF-16 as before
                continue;
            }
            cur += utf16(s.mid(done, fit));
            done += fit;
        }
    }
    flush();
    return out;
}

QByteArray cellHead(int row, int column, int xfIndex)
{
    QByteArray c;
    put16(c, quint16(row));
    put16(c, quint16(column));
    put16(c, quint16(xfIndex));
    return c;
}

QByteArray labelSst(int row, int column, int xfIndex, quint32 string)
{
    QByteArray l = cellHead(row, column, xfIndex);
    put32(l, string);
    return record(rLABELSST, l);
}

QByteArray numberCell(int row, int column, int xfIndex, double value)
{
    QByteArray n = cellHead(row, column, xfIndex);
    char c[8];
    qToLittleEndian(value, c);
    n.append(c, 8);
    return record(rNUMBER, n);
}

// A number format: its index and its pattern.
QByteArray numberFormat(int index, const QString &pattern)
{
    QByteArray f;
    put16(f, quint16(index));
    put16(f, quint16(pattern.size()));
    f.append(char(1));
    return record(rFORMAT, f + utf16(pattern));
}

QByteArray shortString(const QString &text)
{
    const QString s = text.left(255);
    QByteArray b;
    b.append(char(s.size()));
    b.append(char(1));
    return b + utf16(s);
}

QByteArray font(int twentieths, bool bold, const QString &name)
{
    QByteArray f;
    put16(f, quint16(twentieths));
    put16(f, bold ? 0x0001 : 0); // the bold flag older readers look at
    put16(f, 0x7FFF);
    put16(f, bold ? 700 : 400);
    put16(f, 0);
    f.append(char(0));
    f.append(char(0));
    f.append(char(0x86)); // GB2312
    f.append(char(0));
    return f + shortString(name);
}

QByteArray xf(int fontIndex, bool style, int horizontal, int format = 0)
{
    QByteArray x;
    put16(x, quint16(fontIndex));
    put16(x, quint16(format));
    put16(x, style ? 0xFFF5 : 0x0001);
    x.append(char(horizontal | 0x20)); // vertically at the bottom
    x.append(char(0));
    x.append(char(0));
    x.append(char(style ? 0 : format ? 0xFC : 0xF8)); // what differs from the style
    put32(x, 0);
    put32(x, 0);
    put16(x, 0x20C0);
    return x;
}

QByteArray bof(quint16 kind)
{
    QByteArray b;
    put16(b, 0x0600);
    put16(b, kind);
    put16(b, 0x0DBB);
    put16(b, 0x07CC);
    put32(b, 0);
    put32(b, 0x06);
    return record(rBOF, b);
}

bool isCell(quint16 type)
{
    return type == rLABEL || type == rLABELSST || type == rNUMBER || type == rRK ||
           type == rBLANK || type == rBOOLERR || type == rFORMULA;
}

} // namespace

QByteArray defaultTemplate()
{
    QByteArray globals = bof(0x0005);
    globals += record(0x0042, QByteArray::fromHex("B004")); // code page: UTF-16
    QByteArray window;
    for (quint16 v : {0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 0x0258})
        put16(window, v);
    globals += record(0x003D, window);
    for (int i = 0; i < 4; ++i)
        globals += record(rFONT, font(220, false, u"宋体"_s));
    globals += record(rFONT, font(220, false, u"宋体"_s)); // index 5
    for (int i = 0; i < 15; ++i)
        globals += record(rXF, xf(0, true, 0));
    globals += record(rXF, xf(0, false, 0));                    // 15: the plain cell
    globals += record(0x0293, QByteArray::fromHex("008000FF")); // style Normal
    const qsizetype boundSheetAt = globals.size();
    QByteArray sheetEntry;
    put32(sheetEntry, 0);
    sheetEntry.append(char(0));
    sheetEntry.append(char(0));
    globals += record(rBOUNDSHEET, sheetEntry + shortString(u"Sheet1"_s));
    globals += record(rEOF, {});

    QByteArray sheet = bof(0x0010);
    QByteArray dim;
    put32(dim, 0);
    put32(dim, 0);
    put16(dim, 0);
    put16(dim, 0);
    put16(dim, 0);
    sheet += record(rDIMENSIONS, dim);
    QByteArray col;
    put16(col, 0);
    put16(col, 15);
    put16(col, 16 * 256); // sixteen characters wide
    put16(col, 15);
    put16(col, 0);
    put16(col, 0);
    sheet += record(0x007D, col);
    sheet +=
        record(rWINDOW2, QByteArray::fromHex("B606000000004000000000000000000000000000").left(18));
    sheet += record(rEOF, {});

    // The sheet starts after the globals.
    const quint32 sheetAt = quint32(globals.size());
    char c[4];
    qToLittleEndian(sheetAt, c);
    globals.replace(boundSheetAt + 4, 4, QByteArray(c, 4));
    return writeCompoundFile(globals + sheet);
}

bool Report::hasTotals() const
{
    return std::any_of(columns.begin(), columns.end(),
                       [](const Column &c) { return c.kind == Kind::Money; });
}

namespace
{

// Days since the sheet's day 0 (30 December 1899), with the time of day.
double serialDate(const QDateTime &t)
{
    return double(QDate(1899, 12, 30).daysTo(t.date())) +
           t.time().msecsSinceStartOfDay() / 86400000.0;
}

} // namespace

std::optional<QByteArray> fillTemplate(const QByteArray &templateFile, const Report &report)
{
    if (report.rowCount() + (report.hasTotals() ? 1 : 0) > kMaxReportRows)
        return std::nullopt; // row numbers past the sheet would wrap onto the top

    const std::optional<QByteArray> stream = readWorkbookStream(templateFile);
    if (!stream)
        return std::nullopt;
    QList<qsizetype> offsets;
    const std::optional<QList<Record>> parsed = parse(*stream, &offsets);
    if (!parsed || parsed->isEmpty() || parsed->first().type != rBOF ||
        u16(parsed->first().data, 0) != 0x0600)
        return std::nullopt;
    QList<Record> records = *parsed;

    // The globals end at the first end-of-substream; the first sheet starts
    // at the offset its sheet entry gives.
    const qsizetype globalsEnd = std::distance(
        records.begin(), std::find_if(records.begin(), records.end(),
                                      [](const Record &r) { return r.type == rEOF; }));
    qsizetype firstSheet = -1;
    for (qsizetype i = 0; i < globalsEnd; ++i)
        if (records[i].type == rBOUNDSHEET) {
            firstSheet = offsets.indexOf(qsizetype(u32(records[i].data, 0)));
            break;
        }
    if (firstSheet <= globalsEnd)
        return std::nullopt;
    qsizetype sheetEnd = firstSheet;
    while (sheetEnd < records.size() && records[sheetEnd].type != rEOF)
        ++sheetEnd;
    if (sheetEnd == records.size())
        return std::nullopt;

    // Which record each sheet entry points at, before anything moves.
    QList<std::pair<qsizetype, qsizetype>> sheetEntries; // (entry, sheet BOF)
    for (qsizetype i = 0; i < globalsEnd; ++i)
        if (records[i].type == rBOUNDSHEET)
            sheetEntries.append({i, offsets.indexOf(qsizetype(u32(records[i].data, 0)))});

    // The title font, the number formats and the cell styles follow the
    // template's own; the template's shared strings are kept and ours are
    // added after them, in one table as the format wants.
    qsizetype lastFont = -1, lastFormat = -1, lastXf = -1, sstAt = -1;
    int fonts = 0, xfs = 0, customFormat = 163;
    QList<qsizetype> dropped; // the template's string table and its index
    QStringList strings;
    quint32 stringUses = 0;
    for (qsizetype i = 0; i < globalsEnd; ++i) {
        const quint16 type = records[i].type;
        if (type == rFONT) {
            lastFont = i;
            ++fonts;
        } else if (type == rFORMAT) {
            lastFormat = i;
            customFormat = std::max<int>(customFormat, u16(records[i].data, 0));
        } else if (type == rXF) {
            lastXf = i;
            ++xfs;
        } else if (type == rSST && sstAt < 0) {
            sstAt = i;
            QList<QByteArray> parts{records[i].data};
            dropped << i;
            for (qsizetype j = i + 1; j < globalsEnd && records[j].type == rCONTINUE; ++j) {
                parts << records[j].data;
                dropped << j;
            }
            const std::optional<QStringList> kept = sharedStrings(parts, &stringUses);
            if (!kept)
                return std::nullopt;
            strings = *kept;
        } else if (type == rEXTSST) {
            dropped << i;
        }
    }
    if (lastFont < 0 || lastXf < 0)
        return std::nullopt;
    const int titleFont = fonts >= 4 ? fonts + 1 : fonts; // index 4 is never used
    const int titleXf = xfs, numberXf = xfs + 1, wholeXf = xfs + 2, timeXf = xfs + 3;
    const int cellXf = xfs > 15 ? 15 : 0;
    const int numberFmt = customFormat + 1, timeFmt = customFormat + 2;
    const QString numberPattern =
        report.decimals > 0 ? u"0."_s + QString(report.decimals, u'0') : u"0"_s;

    QHash<QString, quint32> stringIndex;
    for (qsizetype i = strings.size() - 1; i >= 0; --i)
        stringIndex.insert(strings[i], quint32(i));

    // The cells, replacing any template cell at the same place.
    QSet<quint32> places;
    QByteArray cells;
    int lastRow = 0, lastCol = 2;
    auto at = [&](int row, int column) {
        places.insert(quint32(row) << 8 | quint32(column));
        lastRow = std::max(lastRow, row);
        lastCol = std::max(lastCol, column);
    };
    auto text = [&](int row, int column, int style, const QString &value) {
        at(row, column);
        const QString whole = cutText(value, kXlsxCellChars);
        auto found = stringIndex.constFind(whole);
        if (found == stringIndex.cend()) {
            found = stringIndex.insert(whole, quint32(strings.size()));
            strings << whole;
        }
        ++stringUses;
        cells += labelSst(row, column, style, *found);
    };
    auto number = [&](int row, int column, int style, double value) {
        at(row, column);
        cells += numberCell(row, column, style, value);
    };
    auto typedCell = [&](int row, int column, Kind kind, const QVariant &stored) {
        if (stored.isNull())
            return;
        switch (kind) {
        case Kind::Money:
        case Kind::Balance:
        case Kind::Number:
        case Kind::Percent:
            return number(row, column, numberXf, spreadsheetNumber(stored));
        case Kind::Whole:
            return number(row, column, wholeXf, spreadsheetNumber(stored));
        case Kind::DateTime: {
            const QDateTime t = Database::toDt(stored);
            if (t.isValid())
                number(row, column, timeXf, serialDate(t));
            return;
        }
        case Kind::Text:
            if (!stored.toString().isEmpty())
                text(row, column, cellXf, stored.toString());
            return;
        }
    };
    if (report.typed() && !report.values.isEmpty()) {
        const qsizetype columns = report.columns.size();
        for (qsizetype c = 0; c < columns; ++c)
            text(2, int(c), cellXf, exportHeading(report.columns[c]));
        QList<Amount> sums(columns);
        for (qsizetype k = 0; k < report.values.size(); ++k)
            for (qsizetype c = 0; c < columns; ++c) {
                const Kind kind = report.columns[c].kind;
                const QVariant &v = report.values[k].value(c);
                typedCell(3 + int(k), int(c), kind, v);
                if (kind == Kind::Money && !v.isNull())
                    sums[c] = sums[c] + Database::toAmount(v);
            }
        if (report.hasTotals()) {
            const int row = 3 + int(report.values.size());
            text(row, 0, cellXf, u"合计"_s);
            for (qsizetype c = 0; c < columns; ++c)
                if (report.columns[c].kind == Kind::Money)
                    number(row, int(c), numberXf, spreadsheetNumber(Database::stored(sums[c])));
        }
    } else if (!report.typed() && !report.rows.isEmpty()) {
        for (int c = 0; c < report.headings.size(); ++c)
            text(2, c, cellXf, report.headings[c]);
        for (int k = 0; k < report.rows.size(); ++k)
            for (int c = 0; c < report.rows[k].size(); ++c)
                text(3 + k, c, cellXf, report.rows[k][c]);
    }
    text(0, 2, titleXf, report.title);

    // The string table and its index (EXTSST: where every few strings start).
    const int perBucket = std::max<int>(8, int((strings.size() + 127) / 128));
    QList<std::pair<qsizetype, int>> buckets;
    const QByteArray sst = sharedStringRecords(strings, stringUses, perBucket, &buckets);

    QList<QByteArray> out;  // one entry per record, in order
    QList<qsizetype> bofAt; // record index (old) of each entry in `out`
    qsizetype sstOut = -1, extOut = -1;
    auto emitRecord = [&](qsizetype old, const QByteArray &bytes) {
        out << bytes;
        bofAt << old;
    };
    auto emitStrings = [&] {
        sstOut = out.size();
        emitRecord(-1, sst);
        extOut = out.size();
        emitRecord(-1, QByteArray()); // filled in once the offsets are known
    };
    for (qsizetype i = 0; i < records.size(); ++i) {
        const Record &r = records[i];
        const bool inSheet = i > firstSheet && i < sheetEnd;
        if (i == (sstAt >= 0 ? sstAt : globalsEnd))
            emitStrings();
        if (dropped.contains(i))
            continue;
        if (inSheet && isCell(r.type) &&
            places.contains(quint32(u16(r.data, 0)) << 8 | quint32(u16(r.data, 2))))
            continue;
        if (inSheet && r.type == rDIMENSIONS && r.data.size() >= 14) {
            QByteArray d;
            put32(d, 0);
            put32(d, quint32(std::max<quint32>(u32(r.data, 4), quint32(lastRow + 1))));
            put16(d, 0);
            put16(d, quint16(std::max<int>(u16(r.data, 10), lastCol + 1)));
            put16(d, 0);
            emitRecord(i, record(rDIMENSIONS, d));
            continue;
        }
        if (i == sheetEnd || (inSheet && r.type == rWINDOW2 && !cells.isEmpty())) {
            emitRecord(-1, cells);
            cells.clear();
        }
        emitRecord(i, record(r.type, r.data));
        if (i == lastFont)
            emitRecord(-1, record(rFONT, font(400, true, u"宋体"_s)));
        if (i == (lastFormat >= 0 ? lastFormat : lastFont)) {
            emitRecord(-1, numberFormat(numberFmt, numberPattern));
            emitRecord(-1, numberFormat(timeFmt, u"yyyy-mm-dd hh:mm:ss"_s));
        }
        if (i == lastXf) {
            emitRecord(-1, record(rXF, xf(titleFont, false, 2)));
            emitRecord(-1, record(rXF, xf(0, false, 0, numberFmt)));
            emitRecord(-1, record(rXF, xf(0, false, 0, 1))); // "0"
            emitRecord(-1, record(rXF, xf(0, false, 0, timeFmt)));
        }
    }

    // Sheet entries point at the new places of their sheets; the string
    // index at the strings.
    QList<qsizetype> newOffset(records.size(), -1);
    qsizetype position = 0, sstStart = 0;
    for (qsizetype j = 0; j < out.size(); ++j) {
        if (bofAt[j] >= 0)
            newOffset[bofAt[j]] = position;
        if (j == sstOut)
            sstStart = position;
        if (j == extOut) {
            QByteArray ext;
            put16(ext, quint16(perBucket));
            for (const auto &[recordStart, inRecord] : buckets) {
                put32(ext, quint32(sstStart + recordStart + inRecord));
                put16(ext, quint16(inRecord));
                put16(ext, 0);
            }
            out[j] = record(rEXTSST, ext);
        }
        position += out[j].size();
    }
    for (const auto &[entry, sheetBof] : sheetEntries) {
        if (sheetBof < 0)
            continue;
        const qsizetype j = bofAt.indexOf(entry);
        char c[4];
        qToLittleEndian(quint32(newOffset[sheetBof]), c);
        out[j].replace(4, 4, QByteArray(c, 4));
    }
    QByteArray result;
    result.reserve(position);
    for (const QByteArray &b : out)
        result += b;
    return writeCompoundFile(result);
}

QList<Cell> readCells(const QByteArray &file)
{
    QList<Cell> cells;
    const std::optional<QByteArray> stream = readWorkbookStream(file);
    if (!stream)
        return cells;
    QList<qsizetype> offsets;
    const std::optional<QList<Record>> records = parse(*stream, &offsets);
    if (!records)
        return cells;
    QStringList shared;
    qsizetype sheet = -1;
    for (qsizetype i = 0; i < records->size(); ++i) {
        const Record &r = (*records)[i];
        if (r.type == rBOUNDSHEET && sheet < 0)
            sheet = offsets.indexOf(qsizetype(u32(r.data, 0)));
        if (r.type == rSST) {
            QList<QByteArray> parts{r.data};
            for (qsizetype j = i + 1; j < records->size() && (*records)[j].type == rCONTINUE; ++j)
                parts << (*records)[j].data;
            shared = sharedStrings(parts).value_or(QStringList());
        }
    }
    if (sheet < 0)
        return cells;
    for (qsizetype i = sheet + 1; i < records->size() && (*records)[i].type != rEOF; ++i) {
        const Record &r = (*records)[i];
        const int row = u16(r.data, 0), column = u16(r.data, 2);
        if (r.type == rLABEL) {
            const int count = u16(r.data, 6);
            const bool wide = r.data.size() > 8 && (r.data.at(8) & 1);
            const QString text =
                wide ? QString::fromUtf16(
                           reinterpret_cast<const char16_t *>(r.data.constData() + 9), count)
                     : QString::fromLatin1(r.data.constData() + 9, count);
            cells << Cell{row, column, text};
        } else if (r.type == rLABELSST) {
            cells << Cell{row, column, shared.value(qsizetype(u32(r.data, 6)))};
        } else if (r.type == rNUMBER && r.data.size() >= 14) {
            const double v = qFromLittleEndian<double>(r.data.constData() + 6);
            cells << Cell{row, column, QString::number(v, 'g', 15), true, v};
        }
    }
    return cells;
}

} // namespace lanting::reports

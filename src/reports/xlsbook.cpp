#include "xlsbook.h"

#include "xlsxexport.h"

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
    rCONTINUE = 0x003C,
};

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

// A cell text as the format stores it: at most 32767 characters, UTF-16.
QByteArray unicodeString(const QString &text)
{
    // One record holds 8224 bytes; never cut inside a character, which
    // would make the whole workbook unreadable.
    const QString s = cutText(text, 8000);
    QByteArray b;
    put16(b, quint16(s.size()));
    b.append(char(1));
    return b + utf16(s);
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

QByteArray xf(int fontIndex, bool style, int horizontal)
{
    QByteArray x;
    put16(x, quint16(fontIndex));
    put16(x, 0);
    put16(x, style ? 0xFFF5 : 0x0001);
    x.append(char(horizontal | 0x20)); // vertically at the bottom
    x.append(char(0));
    x.append(char(0));
    x.append(char(style ? 0 : 0xF8));
    put32(x, 0);
    put32(x, 0);
    put16(x, 0x20C0);
    return x;
}

QByteArray label(int row, int column, int xfIndex, const QString &text)
{
    QByteArray l;
    put16(l, quint16(row));
    put16(l, quint16(column));
    put16(l, quint16(xfIndex));
    return record(rLABEL, l + unicodeString(text));
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

std::optional<QByteArray> fillTemplate(const QByteArray &templateFile, const Report &report)
{
    if (report.rows.size() > kMaxReportRows)
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

    // The title font and its cell style follow the template's own.
    qsizetype lastFont = -1, lastXf = -1;
    int fonts = 0, xfs = 0;
    for (qsizetype i = 0; i < globalsEnd; ++i) {
        if (records[i].type == rFONT) {
            lastFont = i;
            ++fonts;
        } else if (records[i].type == rXF) {
            lastXf = i;
            ++xfs;
        }
    }
    if (lastFont < 0 || lastXf < 0)
        return std::nullopt;
    const int titleFont = fonts >= 4 ? fonts + 1 : fonts; // index 4 is never used
    const int titleXf = xfs;
    const int cellXf = xfs > 15 ? 15 : 0;

    // The cells, replacing any template cell at the same place.
    QList<std::pair<int, int>> places;
    QByteArray cells;
    int lastRow = 0, lastCol = 2;
    auto add = [&](int row, int column, int style, const QString &text) {
        places.append({row, column});
        cells += label(row, column, style, text);
        lastRow = std::max(lastRow, row);
        lastCol = std::max(lastCol, column);
    };
    if (!report.rows.isEmpty()) {
        for (int c = 0; c < report.headings.size(); ++c)
            add(2, c, cellXf, report.headings[c]);
        for (int k = 0; k < report.rows.size(); ++k)
            for (int c = 0; c < report.rows[k].size(); ++c)
                add(3 + k, c, cellXf, report.rows[k][c]);
    }
    add(0, 2, titleXf, report.title);

    QList<QByteArray> out;  // one entry per record, in order
    QList<qsizetype> bofAt; // record index (old) of each entry in `out`
    auto emitRecord = [&](qsizetype old, const QByteArray &bytes) {
        out << bytes;
        bofAt << old;
    };
    for (qsizetype i = 0; i < records.size(); ++i) {
        const Record &r = records[i];
        const bool inSheet = i > firstSheet && i < sheetEnd;
        if (inSheet && isCell(r.type) &&
            places.contains(std::pair{int(u16(r.data, 0)), int(u16(r.data, 2))}))
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
        if (i == lastXf)
            emitRecord(-1, record(rXF, xf(titleFont, false, 2)));
    }

    // Sheet entries point at the new places of their sheets.
    QList<qsizetype> newOffset(records.size(), -1);
    qsizetype at = 0;
    for (qsizetype j = 0; j < out.size(); ++j) {
        if (bofAt[j] >= 0)
            newOffset[bofAt[j]] = at;
        at += out[j].size();
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
            // Only strings that fit their record; enough for reading back.
            qsizetype at = 8;
            for (quint32 n = 0; n < u32(r.data, 4) && at + 3 <= r.data.size(); ++n) {
                const int count = u16(r.data, at);
                const quint8 flags = quint8(r.data.at(at + 2));
                at += 3;
                const bool wide = flags & 1;
                int runs = 0;
                qint32 ext = 0;
                if (flags & 8) {
                    runs = u16(r.data, at);
                    at += 2;
                }
                if (flags & 4) {
                    ext = qint32(u32(r.data, at));
                    at += 4;
                }
                if (wide) {
                    shared << QString::fromUtf16(
                        reinterpret_cast<const char16_t *>(r.data.constData() + at), count);
                    at += 2 * count;
                } else {
                    shared << QString::fromLatin1(r.data.constData() + at, count);
                    at += count;
                }
                at += 4 * runs + ext;
            }
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
        }
    }
    return cells;
}

} // namespace lanting::reports

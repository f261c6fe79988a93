// The workbook writer and the SQL dialect, without ODBC: files are read
// back with xlrd, and the container and record layout are checked here
// byte by byte where xlrd is lenient.

#include "xlsbook.h"
#include "xlssql.h"
#include "xlsreader.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace xls;

namespace {

std::u16string u16(const QString &s)
{
    return s.toStdU16String();
}

uint16_t rd16(const std::string &b, size_t at)
{
    return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8));
}
uint32_t rd32(const std::string &b, size_t at)
{
    return rd16(b, at) | (uint32_t(rd16(b, at + 2)) << 16);
}

// Follows the compound document's structures the way a strict reader does
// and returns the "Workbook" stream, or an empty string with *why set.
std::string extractWorkbook(const std::string &f, QString *why)
{
    auto fail = [&](const QString &m) {
        *why = m;
        return std::string();
    };
    if (f.size() < 512 || f.compare(0, 8, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) != 0)
        return fail(QStringLiteral("no signature"));
    if ((f.size() - 512) % 512 != 0)
        return fail(QStringLiteral("size not a whole number of sectors"));
    const uint32_t sectors = uint32_t((f.size() - 512) / 512);
    auto sector = [&](uint32_t n) { return size_t(512) + size_t(n) * 512; };
    if (rd16(f, 0x1E) != 9 || rd32(f, 0x3C) != 0xFFFFFFFEu || rd32(f, 0x38) != 4096)
        return fail(QStringLiteral("unexpected header fields"));
    const uint32_t fatCount = rd32(f, 0x2C);
    std::vector<uint32_t> fatSectors;
    for (uint32_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(rd32(f, 0x4C + 4 * i));
    uint32_t difat = rd32(f, 0x44);
    uint32_t difatCount = rd32(f, 0x48);
    while (fatSectors.size() < fatCount) {
        if (difat >= sectors || difatCount-- == 0)
            return fail(QStringLiteral("DIFAT chain broken"));
        for (uint32_t i = 0; i < 127 && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(rd32(f, sector(difat) + 4 * i));
        difat = rd32(f, sector(difat) + 508);
    }
    std::vector<uint32_t> fat;
    for (uint32_t s : fatSectors) {
        if (s >= sectors)
            return fail(QStringLiteral("FAT sector out of range"));
        for (int i = 0; i < 128; ++i)
            fat.push_back(rd32(f, sector(s) + 4 * i));
    }
    for (uint32_t s : fatSectors)
        if (fat.at(s) != 0xFFFFFFFDu)
            return fail(QStringLiteral("FAT sector not marked as such"));
    if (fat.size() < sectors)
        return fail(QStringLiteral("FAT does not cover the file"));
    auto chain = [&](uint32_t start, QString *err) {
        std::string data;
        uint32_t s = start, guard = 0;
        while (s != 0xFFFFFFFEu) {
            if (s >= sectors || ++guard > sectors) {
                *err = QStringLiteral("chain leaves the file");
                return std::string();
            }
            data.append(f, sector(s), 512);
            s = fat[s];
        }
        return data;
    };
    QString err;
    const std::string dir = chain(rd32(f, 0x30), &err);
    if (!err.isEmpty())
        return fail(err);
    for (size_t e = 0; e + 128 <= dir.size(); e += 128) {
        const uint16_t nameLen = rd16(dir, e + 64);
        std::u16string name;
        for (size_t i = 0; i + 2 < nameLen; i += 2)
            name.push_back(char16_t(rd16(dir, e + i)));
        if (name == u"Workbook" && uint8_t(dir[e + 66]) == 2) {
            const uint32_t size = rd32(dir, e + 120);
            if (size < 4096)
                return fail(QStringLiteral("stream would live in the mini stream"));
            std::string data = chain(rd32(dir, e + 116), &err);
            if (!err.isEmpty())
                return fail(err);
            if (data.size() < size)
                return fail(QStringLiteral("stream chain too short"));
            data.resize(size);
            return data;
        }
    }
    return fail(QStringLiteral("no Workbook stream"));
}

struct Record {
    uint16_t id;
    size_t offset; // of the record header in the stream
    std::string data;
};

std::vector<Record> records(const std::string &s)
{
    std::vector<Record> out;
    size_t at = 0;
    while (at + 4 <= s.size()) {
        const uint16_t id = rd16(s, at), len = rd16(s, at + 2);
        if (id == 0 && len == 0)
            break; // padding
        out.push_back({id, at, s.substr(at + 4, len)});
        at += 4 + len;
    }
    return out;
}

} // namespace

class TestXlsBook : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;

    QString save(const Workbook &book, const QString &name)
    {
        const QString path = tmp.filePath(name);
        PendingFile f;
        std::string error;
        if (!f.open(path.toStdString(), &error) || !f.commit(book.fileImage(), &error))
            qWarning() << "save failed:" << QString::fromStdString(error);
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void roundTripThroughXlrd()
    {
        Workbook book;
        const int s = book.addSheet(u"设备列表", 4);
        const std::u16string h1 = u"IP", h2 = u"设备名称", h3 = u"MAC", h4 = u"备注";
        QVERIFY(book.appendRow(s, {&h1, &h2, &h3, &h4}));
        const std::u16string a = u"192.168.1.64", b = u"前门摄像机", c = u"", d = u"😀 emoji", e = u"Ünïcödé";
        QVERIFY(book.appendRow(s, {&a, &b, &c, &d}));
        QVERIFY(book.appendRow(s, {&e, nullptr, &a}));
        QVERIFY(book.appendRow(s, {&a, &b, &a, &b})); // repeated strings share SST entries

        const XlsReadResult r = readXls(save(book, QStringLiteral("basic.xls")));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.log(), QString());
        QCOMPARE(r.json.value("codepage").toInt(), 1200);
        QCOMPARE(r.json.value("biff").toInt(), 80);
        QCOMPARE(r.sheets().size(), 1);
        QCOMPARE(r.sheet(0).value("name").toString(), QStringLiteral("设备列表"));
        QVERIFY(r.sheet(0).value("textOnly").toBool());
        const QList<QStringList> rows = xlsRows(r.sheet(0));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], (QStringList{"IP", "设备名称", "MAC", "备注"}));
        QCOMPARE(rows[1], (QStringList{"192.168.1.64", "前门摄像机", "", "😀 emoji"}));
        QCOMPARE(rows[2], (QStringList{"Ünïcödé", QString(), "192.168.1.64"}));
        QVERIFY(rows[2][1].isNull());  // no cell written for a null value
        QVERIFY(!rows[1][2].isNull()); // an empty text is a cell
        QCOMPARE(rows[3], (QStringList{"192.168.1.64", "前门摄像机", "192.168.1.64", "前门摄像机"}));
    }

    void sheetsAndHeaderOnly()
    {
        Workbook book;
        const int a = book.addSheet(u"First", 2);
        const int b = book.addSheet(u"Second", 1);
        const std::u16string x = u"x", y = u"y";
        QVERIFY(book.appendRow(a, {&x, &y}));
        QVERIFY(book.appendRow(b, {&y}));
        book.addSheet(u"Empty", 3);
        const XlsReadResult r = readXls(save(book, QStringLiteral("sheets.xls")));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.log(), QString());
        QCOMPARE(r.sheets().size(), 3);
        QCOMPARE(r.sheet(0).value("name").toString(), QStringLiteral("First"));
        QCOMPARE(r.sheet(1).value("name").toString(), QStringLiteral("Second"));
        QCOMPARE(r.sheet(2).value("name").toString(), QStringLiteral("Empty"));
        QCOMPARE(xlsRows(r.sheet(0)), (QList<QStringList>{{"x", "y"}}));
        QCOMPARE(xlsRows(r.sheet(1)), (QList<QStringList>{{"y"}}));
        QCOMPARE(r.sheet(2).value("nrows").toInt(), 0);
    }

    // Enough strings to need CONTINUE records, with strings split across
    // record boundaries in both 8-bit and UTF-16 form.
    void sharedStringsContinue()
    {
        Workbook book;
        const int s = book.addSheet(u"Strings", 3);
        std::vector<std::u16string> expected;
        QString longWide, longNarrow;
        for (int i = 0; i < 20000; ++i)
            longWide += QChar(0x4E00 + (i % 5000));
        for (int i = 0; i < 9000; ++i)
            longNarrow += QChar('a' + i % 26);
        for (int i = 0; i < 3000; ++i) {
            std::vector<std::u16string> row{u16(QStringLiteral("row %1 text").arg(i)),
                                            u16(QStringLiteral("行 %1 设备").arg(i)),
                                            i == 1500   ? u16(longWide)
                                            : i == 2000 ? u16(longNarrow)
                                                        : u"same"};
            QVERIFY(book.appendRow(s, {&row[0], &row[1], &row[2]}));
            for (auto &c : row)
                expected.push_back(c);
        }

        // Layout: no record longer than 8224 bytes, SST followed by its
        // CONTINUEs, and EXTSST buckets that point at real string starts.
        const std::string stream = book.biffStream();
        const std::vector<Record> recs = records(stream);
        size_t sstIndex = 0, continues = 0;
        for (size_t i = 0; i < recs.size(); ++i) {
            QVERIFY(recs[i].data.size() <= 8224);
            if (recs[i].id == 0x00FC)
                sstIndex = i;
        }
        QVERIFY(sstIndex > 0);
        while (recs[sstIndex + 1 + continues].id == 0x003C)
            ++continues;
        QVERIFY2(continues >= 5, "expected the table to spill over into CONTINUE records");
        const Record &ext = recs[sstIndex + 1 + continues];
        QCOMPARE(ext.id, uint16_t(0x00FF));
        const uint16_t dsst = rd16(ext.data, 0);
        const uint32_t unique = rd32(recs[sstIndex].data, 4);
        QVERIFY(dsst >= 8);
        QCOMPARE((ext.data.size() - 2) / 8, size_t((unique + dsst - 1) / dsst));
        for (size_t bucket = 0; bucket * 8 + 2 < ext.data.size(); ++bucket) {
            const uint32_t ib = rd32(ext.data, 2 + bucket * 8);
            const uint16_t cb = rd16(ext.data, 6 + bucket * 8);
            // The record holding the string starts cb bytes before it.
            const size_t recordStart = ib - cb;
            const auto it = std::find_if(recs.begin(), recs.end(),
                                         [&](const Record &r) { return r.offset == recordStart; });
            QVERIFY2(it != recs.end(), "EXTSST offset does not land on a record");
            QVERIFY(it->id == 0x00FC || it->id == 0x003C);
        }

        const XlsReadResult r = readXls(save(book, QStringLiteral("sst.xls")));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.log(), QString());
        const QList<QStringList> rows = xlsRows(r.sheet(0));
        QCOMPARE(rows.size(), 3000);
        size_t k = 0;
        for (const QStringList &row : rows)
            for (const QString &cell : row)
                QCOMPARE(cell, QString::fromStdU16String(expected[k++]));
    }

    // A container with more FAT sectors than the header lists (DIFAT),
    // also the largest sheet a workbook holds.
    void fullSheetNeedsDifat()
    {
        Workbook book;
        const int s = book.addSheet(u"Full", 4);
        std::u16string cells[4];
        const std::vector<const std::u16string *> row{&cells[0], &cells[1], &cells[2], &cells[3]};
        for (int i = 0; i < kMaxRows; ++i) {
            for (int c = 0; c < 4; ++c)
                cells[c] = u16(QStringLiteral("r%1c%2-abcdefghijklmnopqrstu").arg(i).arg(c));
            QVERIFY(book.appendRow(s, row));
        }
        QVERIFY(!book.appendRow(s, row)); // 65537th row
        QCOMPARE(book.rowCount(s), kMaxRows);

        const std::string image = book.fileImage();
        QVERIFY(image.size() > 109u * 128 * 512); // beyond the header's FAT list
        QVERIFY(rd32(image, 0x48) > 0);
        QString why;
        const std::string stream = extractWorkbook(image, &why);
        QVERIFY2(!stream.empty(), qPrintable(why));
        QVERIFY(stream.compare(0, std::string::npos, book.biffStream()) == 0);

        const QString path = tmp.filePath(QStringLiteral("full.xls"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(image.data(), qint64(image.size()));
        f.close();
        const XlsReadResult r = readXls(path, true);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.log(), QString());
        QCOMPARE(r.sheet(0).value("nrows").toInt(), kMaxRows);
        QCOMPARE(r.sheet(0).value("last").toArray().at(3).toString(), QStringLiteral("r65535c3-abcdefghijklmnopqrstu"));
    }

    // What spreadsheet programs look for in a worksheet besides the cells:
    // INDEX after BOF (rows in use, DEFCOLWIDTH and every DBCELL), and row
    // blocks of at most 32 rows, each ROW records, then cells, then a
    // DBCELL pointing back at the first ROW record and every row's first
    // cell.
    void sheetIndexAndRowBlocks()
    {
        Workbook book;
        const int s = book.addSheet(u"Rows", 3);
        const std::u16string a = u"a", b = u"b";
        for (int r = 0; r < 70; ++r) {
            if (r == 5)
                QVERIFY(book.appendRow(s, {nullptr, nullptr, nullptr})); // no cell at all
            else if (r == 40)
                QVERIFY(book.appendRow(s, {nullptr, nullptr, &b}));
            else
                QVERIFY(book.appendRow(s, {&a, &b}));
        }
        book.addSheet(u"Empty", 2);
        const std::string stream = book.biffStream();
        const std::vector<Record> recs = records(stream);
        auto at = [&](size_t offset) {
            return std::find_if(recs.begin(), recs.end(), [&](const Record &r) { return r.offset == offset; });
        };
        std::vector<size_t> sheetBofs;
        for (size_t i = 1; i < recs.size(); ++i)
            if (recs[i].id == 0x0809)
                sheetBofs.push_back(i);
        QCOMPARE(sheetBofs.size(), size_t(2));

        // The sheet with rows.
        const Record &index = recs[sheetBofs[0] + 1];
        QCOMPARE(index.id, uint16_t(0x020B));
        QCOMPARE(rd32(index.data, 4), 0u);  // first row in use
        QCOMPARE(rd32(index.data, 8), 70u); // last row in use + 1
        QCOMPARE(at(rd32(index.data, 12))->id, uint16_t(0x0055));
        const size_t blocks = (index.data.size() - 16) / 4;
        QCOMPARE(blocks, size_t(3)); // rows 0-31, 32-63, 64-69
        QList<int> rowsSeen;
        for (size_t k = 0; k < blocks; ++k) {
            const auto dbcell = at(rd32(index.data, 16 + 4 * k));
            QVERIFY(dbcell != recs.end());
            QCOMPARE(dbcell->id, uint16_t(0x00D7));
            auto row = at(dbcell->offset - rd32(dbcell->data, 0));
            QVERIFY(row != recs.end());
            const size_t rowCount = (dbcell->data.size() - 4) / 2;
            QVERIFY(rowCount >= 1 && rowCount <= 32);
            size_t cellBase = row->offset + 20; // where the second ROW record starts
            for (size_t i = 0; i < rowCount; ++i, ++row) {
                QCOMPARE(row->id, uint16_t(0x0208));
                const int r = rd16(row->data, 0);
                QCOMPARE(r / 32, int(k));
                rowsSeen << r;
                const bool onlyThird = r == 40;
                QCOMPARE(int(rd16(row->data, 2)), onlyThird ? 2 : 0); // first column
                QCOMPARE(int(rd16(row->data, 4)), onlyThird ? 3 : 2); // last column + 1
                // The row's first cell.
                cellBase += rd16(dbcell->data, 4 + 2 * i);
                const auto cell = at(cellBase);
                QVERIFY(cell != recs.end());
                QCOMPARE(cell->id, uint16_t(0x00FD));
                QCOMPARE(int(rd16(cell->data, 0)), r);
                QCOMPARE(int(rd16(cell->data, 2)), onlyThird ? 2 : 0);
            }
            QVERIFY(row->id == 0x00FD); // the cells follow the block's ROW records
        }
        QList<int> expected;
        for (int r = 0; r < 70; ++r)
            if (r != 5)
                expected << r;
        QCOMPARE(rowsSeen, expected);

        // The empty sheet: an INDEX without blocks.
        const Record &emptyIndex = recs[sheetBofs[1] + 1];
        QCOMPARE(emptyIndex.id, uint16_t(0x020B));
        QCOMPARE(emptyIndex.data.size(), size_t(16));
        QCOMPARE(rd32(emptyIndex.data, 8), 0u);

        // xlrd still reads it all.
        const XlsReadResult x = readXls(save(book, QStringLiteral("rowblocks.xls")));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(x.log(), QString());
        const QList<QStringList> rows = xlsRows(x.sheet(0));
        QCOMPARE(rows.size(), 70);
        QCOMPARE(rows[40], (QStringList{QString(), QString(), "b"}));
        QCOMPARE(rows[69], (QStringList{"a", "b"}));
    }

    void smallStreamIsPaddedOutOfTheMiniStream()
    {
        Workbook book;
        book.addSheet(u"S", 1);
        const std::string image = book.fileImage();
        QString why;
        const std::string stream = extractWorkbook(image, &why);
        QVERIFY2(!stream.empty(), qPrintable(why));
        QCOMPARE(stream.size(), size_t(4096));
        QCOMPARE(stream.substr(0, book.biffStream().size()), book.biffStream());
    }

    void rowChecks()
    {
        Workbook book;
        const int s = book.addSheet(u"S", 2);
        const std::u16string a = u"a";
        QVERIFY(!book.appendRow(s, {&a, &a, &a})); // wider than the sheet
        const std::u16string tooLong(kMaxCellChars + 1, u'x');
        const std::u16string longest(kMaxCellChars, u'x');
        QVERIFY(!book.appendRow(s, {&tooLong}));
        QVERIFY(book.appendRow(s, {&longest}));
        QVERIFY(!book.appendRow(5, {&a}));
        QCOMPARE(book.rowCount(s), 1);
    }

    void sheetNames_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("plain") << "设备 list"
                               << "设备 list";
        QTest::newRow("forbidden") << "a[b]c:d*e?f/g\\h"
                                   << "a_b_c_d_e_f_g_h";
        QTest::newRow("long") << QString(40, 'x') << QString(31, 'x');
        QTest::newRow("empty") << ""
                               << "Sheet1";
        // 30 letters then an emoji: the pair would be cut, so it goes.
        QTest::newRow("surrogate") << QString(30, 'x') + QStringLiteral("😀") << QString(30, 'x');
        QTest::newRow("apostrophes around") << "'quoted'"
                                            << "_quoted_";
        QTest::newRow("apostrophe inside") << "O'Brien's"
                                           << "O'Brien's";
        QTest::newRow("apostrophe only") << "'"
                                         << "_";
        QTest::newRow("apostrophe at the cut") << QString(30, 'x') + QStringLiteral("'tail") << QString(30, 'x') + "_";
    }
    void sheetNames()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(QString::fromStdU16String(sanitizeSheetName(u16(in))), out);
    }

    void pendingFile()
    {
        const QString path = tmp.filePath(QStringLiteral("pending.xls"));
        {
            PendingFile f;
            std::string error;
            QVERIFY(f.open(path.toStdString(), &error));
            QVERIFY(!QFile::exists(path)); // nothing visible before commit
        }
        QCOMPARE(QDir(tmp.path()).entryList(QStringList{"*pending*"}, QDir::Files | QDir::Hidden), QStringList());
        {
            PendingFile f;
            std::string error;
            QVERIFY(f.open(path.toStdString(), &error));
            QVERIFY(f.commit("content", &error));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("content"));
        QCOMPARE(QDir(tmp.path()).entryList(QStringList{".pending*"}, QDir::Files | QDir::Hidden), QStringList());

        PendingFile bad;
        std::string error;
        QVERIFY(!bad.open(tmp.filePath(QStringLiteral("no/such/dir/x.xls")).toStdString(), &error));
        QVERIFY(!error.empty());
    }

    // The temporary file is created for the owner only; the saved workbook
    // gets the usual permissions, as the umask shapes them.
    void savedFileFollowsTheUmask_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("mode");
        QTest::newRow("022") << 022 << 0644;
        QTest::newRow("002") << 002 << 0664;
        QTest::newRow("077") << 077 << 0600;
    }
    void savedFileFollowsTheUmask()
    {
        QFETCH(int, mask);
        QFETCH(int, mode);
        const mode_t saved = ::umask(mode_t(mask));
        const auto restore = qScopeGuard([saved] { ::umask(saved); });
        const QString path = tmp.filePath(QStringLiteral("mode-%1.xls").arg(mask, 3, 8, QLatin1Char('0')));
        PendingFile f;
        std::string error;
        QVERIFY(f.open(path.toStdString(), &error));
        QVERIFY(f.commit("content", &error));
        struct stat st {};
        QCOMPARE(::stat(path.toLocal8Bit().constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), mode);
    }

    void parseCreateTable()
    {
        SqlStatement st;
        std::string error;
        QVERIFY2(
            parseStatement(u"CREATE TABLE [ 设备] ([IP] char(64),[设备名称] char(64),[a]]b] char(64))", &st, &error),
            error.c_str());
        QCOMPARE(st.kind, SqlStatement::CreateTable);
        QCOMPARE(QString::fromStdU16String(st.table), QStringLiteral(" 设备"));
        QCOMPARE(st.columns.size(), size_t(3));
        QCOMPARE(QString::fromStdU16String(st.columns[1]), QStringLiteral("设备名称"));
        QCOMPARE(QString::fromStdU16String(st.columns[2]), QStringLiteral("a]b"));

        QVERIFY(parseStatement(u"create table t (a varchar(10, 2) not null, \"b c\" text, `d` int);", &st, &error));
        QCOMPARE(st.columns.size(), size_t(3));
        QCOMPARE(QString::fromStdU16String(st.columns[1]), QStringLiteral("b c"));
    }

    void parseInsert()
    {
        SqlStatement st;
        std::string error;
        QVERIFY2(parseStatement(u"INSERT INTO [ 设备] (\"IP\",\"设备名称\")VALUES(?,?)", &st, &error), error.c_str());
        QCOMPARE(st.kind, SqlStatement::Insert);
        QCOMPARE(QString::fromStdU16String(st.table), QStringLiteral(" 设备"));
        QCOMPARE(st.columns.size(), size_t(2));
        QCOMPARE(st.parameterCount, 2);
        QCOMPARE(st.values[0].kind, SqlValue::Parameter);

        QVERIFY(parseStatement(u"insert into t values ('it''s', NULL, -1.5, ?)", &st, &error));
        QVERIFY(st.columns.empty());
        QCOMPARE(st.values.size(), size_t(4));
        QCOMPARE(QString::fromStdU16String(st.values[0].text), QStringLiteral("it's"));
        QCOMPARE(st.values[1].kind, SqlValue::Null);
        QCOMPARE(QString::fromStdU16String(st.values[2].text), QStringLiteral("-1.5"));
        QCOMPARE(st.parameterCount, 1);
    }

    void parseRejects_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("select") << "SELECT * FROM [t]";
        QTest::newRow("drop") << "DROP TABLE t";
        QTest::newRow("empty") << "   ";
        QTest::newRow("unterminated name") << "CREATE TABLE [t (a char(1))";
        QTest::newRow("unterminated text") << "INSERT INTO t VALUES('abc)";
        QTest::newRow("no columns") << "CREATE TABLE t ()";
        QTest::newRow("no paren") << "CREATE TABLE t a char(1)";
        QTest::newRow("no values") << "INSERT INTO t (a)";
        QTest::newRow("expression") << "INSERT INTO t VALUES(1+1)";
        QTest::newRow("trailing") << "INSERT INTO t VALUES(?) garbage";
        QTest::newRow("create view") << "CREATE VIEW v AS SELECT 1";
        QTest::newRow("open column list") << "CREATE TABLE t (a char(1)";
    }
    void parseRejects()
    {
        QFETCH(QString, sql);
        SqlStatement st;
        std::string error;
        QVERIFY(!parseStatement(u16(sql), &st, &error));
        QVERIFY(!error.empty());
    }

    void connectionString()
    {
        const QString s = QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};DSN='';FIRSTROWHASNAMES=1;"
                                         "READONLY=FALSE;CREATE_DB=\"a;b.xls\";DBQ=/tmp/x;y/a;b.xls");
        const auto attrs = parseConnectionString(u16(s));
        QCOMPARE(attrs.size(), size_t(6));
        QCOMPARE(attrs[0].first, std::string("DRIVER"));
        QCOMPARE(QString::fromStdU16String(attrs[0].second), QStringLiteral("Microsoft Excel Driver (*.xls)"));
        QCOMPARE(QString::fromStdU16String(attrs[1].second), QStringLiteral("''"));
        QCOMPARE(attrs[4].first, std::string("CREATE_DB"));
        QCOMPARE(QString::fromStdU16String(attrs[4].second), QStringLiteral("a;b.xls"));
        QCOMPARE(attrs[5].first, std::string("DBQ"));
        QCOMPARE(QString::fromStdU16String(attrs[5].second), QStringLiteral("/tmp/x;y/a;b.xls"));

        const auto braces = parseConnectionString(u"dbq={/a/b}}c.xls} ; readonly = 1");
        QCOMPARE(braces.size(), size_t(2));
        QCOMPARE(QString::fromStdU16String(braces[0].second), QStringLiteral("/a/b}c.xls"));
        QCOMPARE(braces[1].first, std::string("READONLY"));
        // Bare values keep their spaces: a file name may start with one.
        QCOMPARE(QString::fromStdU16String(braces[1].second), QStringLiteral(" 1"));
        const auto spaced = parseConnectionString(u"CREATE_DB=\" a.xls\";DBQ= a.xls");
        QCOMPARE(QString::fromStdU16String(spaced[0].second), QStringLiteral(" a.xls"));
        QCOMPARE(QString::fromStdU16String(spaced[1].second), QStringLiteral(" a.xls"));
    }

    void utf8()
    {
        const std::u16string s = u"a设😀";
        QCOMPARE(QString::fromStdString(toUtf8(s)), QString::fromStdU16String(s));
        QVERIFY(fromUtf8(toUtf8(s)) == s);
        // Broken input becomes replacement characters, never a crash.
        QVERIFY(fromUtf8("\xE8\xAE") == u"\uFFFD\uFFFD");
        QVERIFY(fromUtf8("\xC0\x80x") == u"\uFFFD\uFFFDx");
        QVERIFY(sameName(u"Ip", u"iP"));
        QVERIFY(!sameName(u"设", u"设备"));
    }
};

QTEST_GUILESS_MAIN(TestXlsBook)
#include "tst_xlsbook.moc"

#include "xlsbook.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xls {

namespace {

// Largest payload of one BIFF8 record; longer data goes on in CONTINUE.
constexpr size_t kMaxRecordData = 8224;

enum : uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kCodepage = 0x0042,
    kDateMode = 0x0022,
    kWindow1 = 0x003D,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kExtSst = 0x00FF,
    kDimensions = 0x0200,
    kIndex = 0x020B,
    kDefColWidth = 0x0055,
    kRow = 0x0208,
    kDbCell = 0x00D7,
    kWindow2 = 0x023E,
    kLabelSst = 0x00FD,
};

// Cell format index: the first cell XF after the 15 style XFs.
constexpr uint16_t kCellXf = 15;

void put8(std::string &b, uint8_t v)
{
    b.push_back(char(v));
}
void put16(std::string &b, uint16_t v)
{
    b.push_back(char(v & 0xFF));
    b.push_back(char(v >> 8));
}
void put32(std::string &b, uint32_t v)
{
    put16(b, uint16_t(v & 0xFFFF));
    put16(b, uint16_t(v >> 16));
}
void set32(std::string &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

void record(std::string &out, uint16_t id, const std::string &body)
{
    put16(out, id);
    put16(out, uint16_t(body.size()));
    out += body;
}

bool needsWide(const std::u16string &s)
{
    return std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
}

void putChars(std::string &b, const std::u16string &s, size_t from, size_t n, bool wide)
{
    for (size_t i = from; i < from + n; ++i) {
        if (wide)
            put16(b, uint16_t(s[i]));
        else
            put8(b, uint8_t(s[i]));
    }
}

std::string bof(uint16_t type)
{
    std::string b;
    put16(b, 0x0600); // BIFF8
    put16(b, type);
    put16(b, 0x0DBB); // build
    put16(b, 0x07CC); // year
    put32(b, 0x00000000);
    put32(b, 0x00000006); // lowest version that saved the file
    return b;
}

// Sheet names in BOUNDSHEET: 8-bit length, always stored as UTF-16.
std::string shortUnicode(const std::u16string &s)
{
    std::string b;
    put8(b, uint8_t(s.size()));
    put8(b, 1);
    putChars(b, s, 0, s.size(), true);
    return b;
}

std::string font()
{
    std::string b;
    put16(b, 200); // 10 pt in twips
    put16(b, 0);
    put16(b, 0x7FFF); // automatic colour
    put16(b, 400);    // normal weight
    put16(b, 0);
    put8(b, 0);
    put8(b, 0);
    put8(b, 0);
    put8(b, 0);
    const std::u16string name = u"Arial";
    put8(b, uint8_t(name.size()));
    put8(b, 0);
    putChars(b, name, 0, name.size(), false);
    return b;
}

std::string xf(bool style)
{
    std::string b;
    put16(b, 0);                       // font
    put16(b, 0);                       // number format: General
    put16(b, style ? 0xFFF5 : 0x0001); // locked; style XFs have no parent
    put8(b, 0x20);                     // bottom aligned
    put8(b, 0);
    put8(b, 0);
    put8(b, style ? 0xF4 : 0x00);
    put32(b, 0);
    put32(b, 0);
    put16(b, 0x20C0); // default pattern colours
    return b;
}

// Writes SST and its CONTINUE records, recording where every dsst-th
// string starts for EXTSST.
struct SstWriter {
    std::string &out;
    size_t recordStart = 0;

    void begin(uint16_t id)
    {
        recordStart = out.size();
        put16(out, id);
        put16(out, 0);
    }
    size_t used() const { return out.size() - recordStart - 4; }
    void end()
    {
        const size_t len = used();
        out[recordStart + 2] = char(len & 0xFF);
        out[recordStart + 3] = char(len >> 8);
    }
};

// Reads the umask without changing it (umask() itself would, for a moment,
// in the whole process).
mode_t currentUmask()
{
    mode_t mask = 022;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned v = 0;
            if (std::sscanf(line, "Umask: %o", &v) == 1) {
                mask = mode_t(v);
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}

} // namespace

std::u16string sanitizeSheetName(const std::u16string &name)
{
    std::u16string s;
    for (char16_t c : name) {
        switch (c) {
        case u'[':
        case u']':
        case u':':
        case u'*':
        case u'?':
        case u'/':
        case u'\\': s.push_back(u'_'); break;
        default: s.push_back(c < 0x20 ? u'_' : c);
        }
    }
    if (s.size() > kMaxSheetNameChars) {
        s.resize(kMaxSheetNameChars);
        // Never cut a surrogate pair in half.
        if (!s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF)
            s.pop_back();
    }
    // Spreadsheet programs refuse a name that begins or ends with an
    // apostrophe (it quotes sheet names in formulas).
    if (!s.empty() && s.front() == u'\'')
        s.front() = u'_';
    if (!s.empty() && s.back() == u'\'')
        s.back() = u'_';
    if (s.empty())
        s = u"Sheet1";
    return s;
}

int Workbook::addSheet(const std::u16string &name, int columns)
{
    Sheet sh;
    sh.name = sanitizeSheetName(name);
    sh.columns = std::clamp(columns, 0, kMaxColumns);
    sheets_.push_back(std::move(sh));
    return int(sheets_.size()) - 1;
}

int Workbook::rowCount(int sheet) const
{
    return sheets_.at(sheet).rows;
}
int Workbook::columnCount(int sheet) const
{
    return sheets_.at(sheet).columns;
}
const std::u16string &Workbook::sheetName(int sheet) const
{
    return sheets_.at(sheet).name;
}

uint32_t Workbook::intern(const std::u16string &s)
{
    auto [it, inserted] = stringIndex_.try_emplace(s, uint32_t(strings_.size()));
    if (inserted)
        strings_.push_back(s);
    return it->second;
}

bool Workbook::appendRow(int sheet, const std::vector<const std::u16string *> &cells)
{
    if (sheet < 0 || sheet >= int(sheets_.size()))
        return false;
    Sheet &sh = sheets_[sheet];
    if (sh.rows >= kMaxRows || int(cells.size()) > sh.columns)
        return false;
    for (const std::u16string *c : cells)
        if (c && c->size() > kMaxCellChars)
            return false;
    for (int col = 0; col < sh.columns; ++col) {
        const std::u16string *c = col < int(cells.size()) ? cells[col] : nullptr;
        if (c) {
            sh.cells.push_back(intern(*c));
            ++cellCount_;
        } else {
            sh.cells.push_back(kEmpty);
        }
    }
    ++sh.rows;
    return true;
}

std::string Workbook::biffStream() const
{
    std::string g;
    record(g, kBof, bof(0x0005));
    {
        std::string b;
        put16(b, 1200); // UTF-16
        record(g, kCodepage, b);
    }
    {
        std::string b;
        put16(b, 0);
        put16(b, 0);
        put16(b, 0x3A5C);
        put16(b, 0x23BE);
        put16(b, 0x0038);
        put16(b, 0); // active sheet
        put16(b, 0); // first visible tab
        put16(b, 1); // selected tabs
        put16(b, 0x0258);
        record(g, kWindow1, b);
    }
    {
        std::string b;
        put16(b, 0);
        record(g, kDateMode, b);
    }
    // Font index 4 does not exist in BIFF, so four fonts are the usual set.
    for (int i = 0; i < 4; ++i)
        record(g, kFont, font());
    for (int i = 0; i < 15; ++i)
        record(g, kXf, xf(true));
    record(g, kXf, xf(false));
    {
        std::string b;
        put16(b, 0x8000); // built-in style on XF 0
        put8(b, 0);       // "Normal"
        put8(b, 0xFF);
        record(g, kStyle, b);
    }
    std::vector<size_t> sheetPosFields;
    for (const Sheet &sh : sheets_) {
        std::string b;
        sheetPosFields.push_back(g.size() + 4);
        put32(b, 0); // patched below
        put8(b, 0);  // visible
        put8(b, 0);  // worksheet
        b += shortUnicode(sh.name);
        record(g, kBoundSheet, b);
    }

    // Shared string table.
    const size_t unique = strings_.size();
    const size_t dsst = std::max<size_t>(8, (unique + 127) / 128);
    std::vector<std::pair<uint32_t, uint16_t>> buckets;
    {
        SstWriter w{g};
        w.begin(kSst);
        put32(g, uint32_t(std::min<uint64_t>(cellCount_, 0xFFFFFFFFu)));
        put32(g, uint32_t(unique));
        for (size_t i = 0; i < unique; ++i) {
            const std::u16string &s = strings_[i];
            const bool wide = needsWide(s);
            const size_t charBytes = wide ? 2 : 1;
            // The string header and its first character stay together.
            if (w.used() + 3 + (s.empty() ? 0 : charBytes) > kMaxRecordData) {
                w.end();
                w.begin(kContinue);
            }
            if (i % dsst == 0)
                buckets.emplace_back(uint32_t(g.size()), uint16_t(g.size() - w.recordStart));
            put16(g, uint16_t(s.size()));
            put8(g, wide ? 1 : 0);
            size_t pos = 0;
            while (pos < s.size()) {
                size_t room = (kMaxRecordData - w.used()) / charBytes;
                if (room == 0) {
                    // The rest of the characters go on in a CONTINUE record
                    // that starts with the option byte again.
                    w.end();
                    w.begin(kContinue);
                    put8(g, wide ? 1 : 0);
                    room = (kMaxRecordData - w.used()) / charBytes;
                }
                const size_t n = std::min(room, s.size() - pos);
                putChars(g, s, pos, n, wide);
                pos += n;
            }
        }
        w.end();
    }
    {
        std::string b;
        put16(b, uint16_t(dsst));
        for (const auto &[ib, cb] : buckets) {
            put32(b, ib);
            put16(b, cb);
            put16(b, 0);
        }
        record(g, kExtSst, b);
    }
    record(g, kEof, {});

    std::string out = g;
    for (size_t si = 0; si < sheets_.size(); ++si) {
        const Sheet &sh = sheets_[si];
        set32(out, sheetPosFields[si], uint32_t(out.size()));
        record(out, kBof, bof(0x0010));
        writeSheetBody(out, sh, si == 0);
        record(out, kEof, {});
    }
    return out;
}

void Workbook::writeSheetBody(std::string &out, const Sheet &sh, bool first)
{
    // Rows holding at least one cell, with their first and last column.
    struct RowSpan {
        int row, colMic, colMac;
    };
    std::vector<RowSpan> used;
    for (int r = 0; r < sh.rows; ++r) {
        int mic = -1, mac = 0;
        for (int c = 0; c < sh.columns; ++c) {
            if (sh.cells[size_t(r) * sh.columns + c] == kEmpty)
                continue;
            if (mic < 0)
                mic = c;
            mac = c + 1;
        }
        if (mic >= 0)
            used.push_back({r, mic, mac});
    }
    // Row blocks of 32 rows each, as readers expect them: the ROW records
    // of a block, then its cells, then a DBCELL pointing back at both.
    constexpr int kBlockRows = 32;
    std::vector<std::pair<size_t, size_t>> blocks; // [first, last) into used
    for (size_t i = 0; i < used.size();) {
        size_t j = i;
        while (j < used.size() && used[j].row / kBlockRows == used[i].row / kBlockRows)
            ++j;
        blocks.emplace_back(i, j);
        i = j;
    }

    // INDEX: the rows in use and where DEFCOLWIDTH and every DBCELL are.
    const size_t indexAt = out.size();
    {
        std::string b;
        put32(b, 0);
        put32(b, used.empty() ? 0 : uint32_t(used.front().row));
        put32(b, used.empty() ? 0 : uint32_t(used.back().row + 1));
        put32(b, 0); // DEFCOLWIDTH, patched below
        for (size_t k = 0; k < blocks.size(); ++k)
            put32(b, 0); // DBCELLs, patched below
        record(out, kIndex, b);
    }
    set32(out, indexAt + 4 + 12, uint32_t(out.size()));
    {
        std::string b;
        put16(b, 8); // characters
        record(out, kDefColWidth, b);
    }
    {
        std::string b;
        put32(b, 0);
        put32(b, uint32_t(sh.rows));
        put16(b, 0);
        put16(b, uint16_t(sh.rows ? sh.columns : 0));
        put16(b, 0);
        record(out, kDimensions, b);
    }

    std::string body;
    for (size_t k = 0; k < blocks.size(); ++k) {
        const auto [from, to] = blocks[k];
        const size_t firstRowAt = out.size();
        for (size_t i = from; i < to; ++i) {
            body.clear();
            put16(body, uint16_t(used[i].row));
            put16(body, uint16_t(used[i].colMic));
            put16(body, uint16_t(used[i].colMac));
            put16(body, 0x00FF); // default height
            put16(body, 0);
            put16(body, 0);
            put16(body, 0x0100); // the flag bit that is always set
            put16(body, kCellXf);
            record(out, kRow, body);
        }
        // Offsets to each row's first cell: the first from the second ROW
        // record (where the first one ends), the others from the previous
        // row's first cell.
        std::vector<uint16_t> cellOffsets;
        size_t previous = firstRowAt + 20;
        for (size_t i = from; i < to; ++i) {
            const size_t rowStart = out.size();
            cellOffsets.push_back(uint16_t(rowStart - previous));
            previous = rowStart;
            const int r = used[i].row;
            for (int c = used[i].colMic; c < used[i].colMac; ++c) {
                const uint32_t idx = sh.cells[size_t(r) * sh.columns + c];
                if (idx == kEmpty)
                    continue;
                body.clear();
                put16(body, uint16_t(r));
                put16(body, uint16_t(c));
                put16(body, kCellXf);
                put32(body, idx);
                record(out, kLabelSst, body);
            }
        }
        set32(out, indexAt + 4 + 16 + 4 * k, uint32_t(out.size()));
        body.clear();
        put32(body, uint32_t(out.size() - firstRowAt));
        for (uint16_t o : cellOffsets)
            put16(body, o);
        record(out, kDbCell, body);
    }

    {
        std::string b;
        put16(b, first ? 0x06B6 : 0x00B6); // first sheet selected and shown
        put16(b, 0);
        put16(b, 0);
        put16(b, 0x40);
        put16(b, 0);
        put16(b, 0);
        put16(b, 0);
        put32(b, 0);
        record(out, kWindow2, b);
    }
}

std::string Workbook::fileImage() const
{
    return compoundFile(biffStream());
}

std::string compoundFile(std::string stream)
{
    constexpr uint32_t kSector = 512;
    constexpr uint32_t kFree = 0xFFFFFFFFu, kEndOfChain = 0xFFFFFFFEu, kFatSect = 0xFFFFFFFDu, kDifSect = 0xFFFFFFFCu,
                       kNoStream = 0xFFFFFFFFu;
    constexpr uint32_t kHeaderDifat = 109, kPerSector = kSector / 4;

    if (stream.size() < 4096)
        stream.resize(4096, '\0');
    const uint32_t streamSize = uint32_t(stream.size());
    const uint32_t dataSectors = (streamSize + kSector - 1) / kSector;
    stream.resize(size_t(dataSectors) * kSector, '\0');
    const uint32_t dirSectors = 1;

    // FAT sectors cover every sector, themselves and the DIFAT included.
    uint32_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        const uint32_t total = dataSectors + dirSectors + fatSectors + difatSectors;
        const uint32_t needFat = (total + kPerSector - 1) / kPerSector;
        const uint32_t needDifat = needFat > kHeaderDifat ? (needFat - kHeaderDifat + kPerSector - 2) / (kPerSector - 1)
                                                          : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const uint32_t firstFat = dataSectors;
    const uint32_t firstDir = firstFat + fatSectors;
    const uint32_t firstDifat = firstDir + dirSectors;
    const uint32_t totalSectors = firstDifat + difatSectors;

    std::string header;
    header.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header.append(16, '\0'); // class id
    put16(header, 0x003E);
    put16(header, 0x0003);
    put16(header, 0xFFFE); // little-endian
    put16(header, 9);      // 512-byte sectors
    put16(header, 6);      // 64-byte mini sectors
    header.append(6, '\0');
    put32(header, 0); // directory sectors (always 0 in version 3)
    put32(header, fatSectors);
    put32(header, firstDir);
    put32(header, 0);
    put32(header, 4096);        // mini stream cut-off
    put32(header, kEndOfChain); // no mini FAT
    put32(header, 0);
    put32(header, difatSectors ? firstDifat : kEndOfChain);
    put32(header, difatSectors);
    for (uint32_t i = 0; i < kHeaderDifat; ++i)
        put32(header, i < fatSectors ? firstFat + i : kFree);

    std::vector<uint32_t> fat(size_t(fatSectors) * kPerSector, kFree);
    for (uint32_t i = 0; i < dataSectors; ++i)
        fat[i] = i + 1 < dataSectors ? i + 1 : kEndOfChain;
    for (uint32_t i = 0; i < fatSectors; ++i)
        fat[firstFat + i] = kFatSect;
    fat[firstDir] = kEndOfChain;
    for (uint32_t i = 0; i < difatSectors; ++i)
        fat[firstDifat + i] = kDifSect;

    std::string out;
    out.reserve(size_t(totalSectors + 1) * kSector);
    out += header;
    out += stream;
    for (uint32_t v : fat)
        put32(out, v);

    auto dirEntry = [&](const std::u16string &name, uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
        std::string e;
        for (char16_t c : name)
            put16(e, uint16_t(c));
        e.resize(64, '\0');
        put16(e, uint16_t(name.empty() ? 0 : (name.size() + 1) * 2));
        put8(e, type);
        put8(e, 1); // black
        put32(e, kNoStream);
        put32(e, kNoStream);
        put32(e, child);
        e.append(16, '\0');
        put32(e, 0);
        e.append(16, '\0'); // times
        put32(e, start);
        put32(e, size);
        put32(e, 0);
        return e;
    };
    out += dirEntry(u"Root Entry", 5, 1, kEndOfChain, 0);
    out += dirEntry(u"Workbook", 2, kNoStream, 0, streamSize);
    out += dirEntry(u"", 0, kNoStream, 0, 0);
    out += dirEntry(u"", 0, kNoStream, 0, 0);

    // FAT sectors beyond the header's 109 entries, 127 per DIFAT sector
    // plus the link to the next one.
    for (uint32_t d = 0; d < difatSectors; ++d) {
        for (uint32_t i = 0; i < kPerSector - 1; ++i) {
            const uint32_t n = kHeaderDifat + d * (kPerSector - 1) + i;
            put32(out, n < fatSectors ? firstFat + n : kFree);
        }
        put32(out, d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain);
    }
    return out;
}

bool PendingFile::open(const std::string &path, std::string *error)
{
    discard();
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) {
        if (error)
            *error = "the file name is empty";
        return false;
    }
    std::string tmpl = dir + "." + base + ".XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    fd_ = fd;
    target_ = path;
    temp_ = tmpl;
    return true;
}

bool PendingFile::commit(const std::string &data, std::string *error)
{
    if (fd_ < 0) {
        if (error)
            *error = "no file open";
        return false;
    }
    const char *p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (error)
                *error = std::strerror(n < 0 ? errno : EIO);
            discard();
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    // mkstemp creates the file for the owner only; a saved workbook gets
    // the usual permissions.
    fchmod(fd_, 0666 & ~currentUmask());
    if (fsync(fd_) != 0 || ::close(fd_) != 0) {
        fd_ = -1;
        if (error)
            *error = std::strerror(errno);
        discard();
        return false;
    }
    fd_ = -1;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        if (error)
            *error = std::strerror(errno);
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void PendingFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

} // namespace xls

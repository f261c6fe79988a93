// Excel 97-2003 workbook writer: BIFF8 records inside a compound document.
// Independent of ODBC so the file format can be tested on its own.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace xls {

// A BIFF8 worksheet holds rows 0..65535 and columns 0..255.
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
// Longest text a cell can hold.
constexpr size_t kMaxCellChars = 32767;
// Longest sheet name the spreadsheet applications accept.
constexpr size_t kMaxSheetNameChars = 31;

// Sheet names may not contain []:*?/\, may not begin or end with an
// apostrophe and may not be longer than 31 characters; anything else is
// kept as it is.
std::u16string sanitizeSheetName(const std::u16string &name);

class Workbook
{
public:
    // Adds an empty sheet and returns its index. The name is sanitised.
    int addSheet(const std::u16string &name, int columns);
    int sheetCount() const { return int(sheets_.size()); }
    int rowCount(int sheet) const;
    int columnCount(int sheet) const;
    const std::u16string &sheetName(int sheet) const;

    // Appends one row of text cells; a null pointer leaves the cell empty.
    // Fails (returns false) when the sheet is full, the row is wider than
    // the sheet or a text is longer than a cell holds.
    bool appendRow(int sheet, const std::vector<const std::u16string *> &cells);

    // The "Workbook" stream (BIFF8 records, globals then sheets).
    std::string biffStream() const;
    // The complete file: the stream wrapped in a compound document.
    std::string fileImage() const;

private:
    struct Sheet {
        std::u16string name;
        int columns = 0;
        int rows = 0;
        std::vector<uint32_t> cells; // row-major SST indexes, kEmpty for none
    };
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

    uint32_t intern(const std::u16string &s);
    // A worksheet's records after its BOF: INDEX, DEFCOLWIDTH, DIMENSIONS,
    // the row blocks (ROW records, cells, DBCELL) and WINDOW2.
    static void writeSheetBody(std::string &out, const Sheet &sh, bool first);

    std::vector<Sheet> sheets_;
    std::vector<std::u16string> strings_;
    std::unordered_map<std::u16string, uint32_t> stringIndex_;
    uint64_t cellCount_ = 0;
};

// Wraps one stream named "Workbook" in a compound document (version 3,
// 512-byte sectors). The stream is padded to 4096 bytes so that it never
// lives in the mini stream.
std::string compoundFile(std::string workbookStream);

// A file written through a temporary file in the same folder and a rename,
// so the target either holds a complete workbook or is left untouched.
// Opening early tells whether the folder can take the file at all.
class PendingFile
{
public:
    PendingFile() = default;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile() { discard(); }

    // Creates the temporary file next to path; false with the reason.
    bool open(const std::string &path, std::string *error);
    bool isOpen() const { return fd_ >= 0; }
    // Writes data, then renames the temporary file to the target.
    bool commit(const std::string &data, std::string *error);
    // Removes the temporary file; the target is left as it is.
    void discard();

private:
    int fd_ = -1;
    std::string target_;
    std::string temp_;
};

} // namespace xls

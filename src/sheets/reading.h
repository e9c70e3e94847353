#pragma once

// The pieces the workbook readers share: where the bytes come from, what reading may cost,
// the cells kept, the number formats, and the zip packages of .xlsx and .ods.

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/workbook.h"
#include "sheets/spreadsheet.h"
#include "sheets/xmlpull.h"

struct zip;
struct zip_file;

#include "core/format/positionedfile.h"

namespace tallyra::sheets {

// Where a workbook's bytes are: a file read piece by piece (a large one is never held
// whole), or bytes already in memory.
class Source {
public:
    virtual ~Source() = default;
    virtual qint64 size() const = 0;
    // Up to `n` bytes from `position` (0-based); fewer at the end, -1 when unreadable.
    virtual qint64 read(qint64 position, char* out, qint64 n) const = 0;
    bool readExactly(qint64 position, char* out, qint64 n) const {
        return n >= 0 && read(position, out, n) == n;
    }
};
std::unique_ptr<Source> MemorySource(QByteArray bytes);
// Takes an open regular file, read through PositionedFile's positioned reads.
std::unique_ptr<Source> FileSource(PositionedFile file, qint64 size);

// What reading one workbook may cost, shared by all its parts: the first limit passed ends
// the reading of the whole workbook.
class Budget {
public:
    bool ok() const { return failure_.isEmpty(); }
    const QString& failure() const { return failure_; }
    bool cancelled() const { return cancelled_; }
    // Only the first failure is kept, so a part may report damage whatever came before it.
    bool fail(const QString& why) {
        if (failure_.isEmpty()) failure_ = why;
        return false;
    }
    bool damaged() { return fail(DamagedText()); }
    // Bytes read on; `unpacked` ones count against the limit on inflated bytes.
    bool read(qint64 bytes, bool unpacked);
    bool cells(qint64 n = 1);
    bool sharedString();
    bool text(qint64 chars);
    void setProgress(Progress p) { progress_ = std::move(p); }

    static QString DamagedText() { return QStringLiteral("电子表格已损坏"); }
    static QString OverLimitText(const QString& what) {
        return QStringLiteral("电子表格超出读取上限（%1）").arg(what);
    }

private:
    QString failure_;
    bool cancelled_ = false;
    qint64 inflated_ = 0, done_ = 0, lastTick_ = 0, cells_ = 0, shared_ = 0, text_ = 0;
    Progress progress_;
};

// How a number cell is shown, from its number format.
enum class Shape : quint8 { General, Date, Time, DateTime };
Shape ShapeOfBuiltinFormat(int id);
Shape ShapeOfFormatCode(std::string_view code);
// The text of a number as its format shows it: dates "YYYY-MM-DD", times "HH:MM", both
// "YYYY-MM-DD HH:MM" (serial days since 1899-12-30, or 1904-01-01 in the 1904 system);
// a serial that is no date is shown as a number.
QString NumberText(double value, Shape shape, bool date1904 = false);
// An ISO 8601 date or date-time ("2010-05-01", "2025-09-01T07:30:00.000") as a serial.
std::optional<double> IsoDateSerial(std::string_view text);

struct TextRef {
    quint32 offset, length;  // plain, so that it can share a union with a number
};

// A workbook's cells as far as they have been read: those the import can use (columns up
// to `kReadColumns`), packed small, texts in one shared buffer.
class CellStore {
public:
    void number(int row, int column, double value, Shape shape);
    void text(int row, int column, TextRef text);
    struct Cell {
        quint32 row;
        quint16 column;
        Shape shape;
        bool isText;
        union {
            double number;
            TextRef text;
        };
    };
    // The last cell read at that place.
    const Cell* find(int row, int column);

private:
    std::vector<Cell> cells_;
    size_t sorted_ = 0;
};

// A workbook read on demand: a sheet is read only when one of its cells is asked for, and
// only as far as the row asked for.
class StreamedWorkbook : public Workbook {
public:
    int sheetCount() const override;
    std::optional<QString> cell(int sheet, int row, int column) const override;
    QString failure() const override { return budget_.failure(); }
    bool cancelled() const override { return budget_.cancelled(); }
    void setProgress(Progress p) override { budget_.setProgress(std::move(p)); }

    Budget& budget() { return budget_; }
    // A text kept for the cells; an empty ref when the workbook's text limit is passed.
    TextRef keep(QStringView text);
    TextRef keepUtf8(std::string_view text);
    CellStore& store(int sheet);
    // Keeps a cell if the import can use it, counting it against the limit either way.
    bool storeNumber(int sheet, int row, int column, double value, Shape shape);
    bool storeText(int sheet, int row, int column, TextRef text);

protected:
    // Whether the sheet exists, reading on as far as it takes to know.
    virtual bool sheetExists(int sheet) = 0;
    virtual int countSheets() = 0;
    // Reads on until row `row` of `sheet` is complete, the sheet ends or reading fails.
    virtual void readThrough(int sheet, int row) = 0;

    bool date1904_ = false;

private:
    Budget budget_;
    QString texts_;
    std::vector<CellStore> stores_;
};

// A zip package read through libzip, entry by entry, never unpacked whole.
class ZipPackage {
public:
    // Null (with the reason) when the bytes are no zip archive it is safe to read.
    static std::unique_ptr<ZipPackage> Open(const Source& source, QString* why);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    std::optional<qint64> find(const std::string& name) const;
    qint64 count() const;
    std::string name(qint64 index) const;
    struct Stat {
        quint64 size = 0, compressedSize = 0;
        quint32 crc = 0;
        quint16 method = 0;
        bool encrypted = false;
    };
    std::optional<Stat> stat(qint64 index) const;

    // One entry's bytes, unpacked (or as stored, `raw`), piece by piece.
    class Stream {
    public:
        ~Stream();
        // Up to n bytes; 0 at the end, -1 when damaged or over the budget.
        qint64 read(char* out, qint64 n);

    private:
        friend class ZipPackage;
        zip_file* file_ = nullptr;
        Budget* budget_ = nullptr;
    };
    std::unique_ptr<Stream> open(qint64 index, Budget* budget, bool raw = false) const;
    // A whole small entry, unpacked; nothing when it is missing, damaged or larger.
    std::optional<QByteArray> readAll(qint64 index, qint64 maxBytes) const;

    struct SourceState;  // what libzip's callbacks read from

private:
    ZipPackage() = default;
    zip* archive_ = nullptr;
    std::unique_ptr<SourceState> state_;
};

// Resolves a package relationship's target against the folder of the part that names it.
std::string ResolvePartName(const std::string& fromPart, const std::string& target);
// The part that holds a part's relationships: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelsPartOf(const std::string& part);

std::unique_ptr<Workbook> OpenXlsx(std::unique_ptr<Source> source, std::unique_ptr<ZipPackage> zip,
                                   QString* why);
std::unique_ptr<Workbook> OpenOds(std::unique_ptr<Source> source, std::unique_ptr<ZipPackage> zip,
                                  QString* why);
std::unique_ptr<Workbook> OpenXls(std::unique_ptr<Source> source, QString* why);
std::unique_ptr<Workbook> OpenCsv(std::unique_ptr<Source> source, QString* why);

}  // namespace tallyra::sheets

// Legacy .xls: the BIFF8 records (and BIFF5's, as Excel 95 wrote them) inside a compound
// file. Formula cells give the result the spreadsheet stored with them (FORMULA, and the
// STRING record after it for a text result), number cells are shown by their format.
// The workbook stream is read through its sector chain piece by piece, a sheet's records
// only when a cell of it is asked for.
#include <cmath>
#include <cstring>
#include <map>

#include "common/gbk.h"
#include "core/format/positionedfile.h"
#include "sheets/reading.h"

namespace tallyra::sheets {

namespace {

quint16 U16(const char* p) { return PositionedFile::FromLittle<quint16>(p); }
quint32 U32(const char* p) { return PositionedFile::FromLittle<quint32>(p); }
double F64(const char* p) { return PositionedFile::FromLittle<double>(p); }

constexpr quint32 kLastSector = 0xFFFFFFFA;  // and above: free, end of chain, FAT ...

// One stream of the compound file, by its sectors.
class CfbStream {
public:
    qint64 size = 0;
    // Up to n bytes from position; -1 when unreadable.
    qint64 read(qint64 position, char* out, qint64 n) const {
        if (position < 0 || n < 0) return -1;
        if (position >= size) return 0;
        n = std::min(n, size - position);
        if (!small.empty() || sectors.empty()) {
            if (position + n > qint64(small.size())) return -1;
            std::memcpy(out, small.data() + position, size_t(n));
            return n;
        }
        qint64 done = 0;
        const qint64 mask = (qint64(1) << shift) - 1;
        while (done < n) {
            const qint64 at = position + done;
            const size_t index = size_t(at >> shift);
            if (index >= sectors.size()) return -1;
            const qint64 within = at & mask;
            const qint64 remaining = n - done;
            // Sectors that follow each other in the file are read in one go.
            size_t run = 1;
            while (index + run < sectors.size() && sectors[index + run] == sectors[index] + run &&
                   (qint64(run) << shift) < within + remaining)
                ++run;
            const qint64 take = std::min<qint64>((qint64(run) << shift) - within, remaining);
            const qint64 offset = ((qint64(sectors[index]) + 1) << shift) + within;
            if (!source->readExactly(offset, out + done, take)) return -1;
            done += take;
        }
        return done;
    }

    const Source* source = nullptr;
    int shift = 9;
    std::vector<quint32> sectors;
    std::string small;  // a stream kept in the mini stream, read whole
};

class Cfb {
public:
    explicit Cfb(const Source& source) : source_(source) {}

    // The workbook stream ("Workbook", or "Book" for BIFF5); false when the file is no
    // compound file or holds none.
    bool workbookStream(CfbStream& out, Budget& budget) {
        char h[512];
        if (!source_.readExactly(0, h, 512) ||
            std::memcmp(h, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0)
            return false;
        shift_ = U16(h + 30);
        const int miniShift = U16(h + 32);
        if ((shift_ != 9 && shift_ != 12) || miniShift != 6) return false;
        const qint64 sectorSize = qint64(1) << shift_;
        const qint64 maxSectors = source_.size() / sectorSize + 1;
        const quint32 fatCount = U32(h + 44);
        const quint32 firstDirectory = U32(h + 48);
        miniCutoff_ = U32(h + 56);
        const quint32 firstMiniFat = U32(h + 60);
        quint32 difat = U32(h + 68);
        if (fatCount > maxSectors) return false;
        std::vector<quint32> fatSectors;
        for (int i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(U32(h + 76 + 4 * i));
        std::string sector(size_t(sectorSize), '\0');
        for (qint64 guard = 0; fatSectors.size() < fatCount && difat < kLastSector; ++guard) {
            if (guard > maxSectors || !readSector(difat, sector.data())) return false;
            for (qint64 i = 0; i < sectorSize / 4 - 1 && fatSectors.size() < fatCount; ++i)
                fatSectors.push_back(U32(sector.data() + 4 * i));
            difat = U32(sector.data() + sectorSize - 4);
        }
        fat_.reserve(size_t(fatSectors.size() * size_t(sectorSize / 4)));
        for (quint32 s : fatSectors) {
            if (!readSector(s, sector.data())) return false;
            for (qint64 i = 0; i < sectorSize / 4; ++i) fat_.push_back(U32(sector.data() + 4 * i));
            if (!budget.read(sectorSize, false)) return false;
        }
        // The directory: the root entry (whose stream holds the small streams) and the
        // workbook stream's entry.
        std::vector<quint32> dir;
        if (!chain(firstDirectory, dir)) return false;
        quint32 rootStart = 0, bookStart = 0;
        qint64 rootSize = 0, bookSize = -1;
        int bookRank = 0;
        for (size_t d = 0; d < dir.size(); ++d) {
            if (!readSector(dir[d], sector.data())) return false;
            for (qint64 e = 0; e < sectorSize / 128; ++e) {
                const char* entry = sector.data() + 128 * e;
                const int type = quint8(entry[66]);
                const quint32 start = U32(entry + 116);
                const qint64 size = shift_ == 9 ? qint64(U32(entry + 120))
                                                : qint64(U32(entry + 120)) |
                                                      qint64(U32(entry + 124) & 0x7FFFFFFF) << 32;
                if (type == 5 && d == 0 && e == 0) {
                    rootStart = start;
                    rootSize = size;
                }
                if (type != 2) continue;
                const int length = std::min<int>(U16(entry + 64), 64);
                QString name;
                for (int k = 0; k + 1 < length; k += 2) {
                    const QChar ch(U16(entry + k));
                    if (ch.isNull()) break;
                    name += ch;
                }
                const int rank = name.compare(u"Workbook", Qt::CaseInsensitive) == 0 ? 2
                                 : name.compare(u"Book", Qt::CaseInsensitive) == 0   ? 1
                                                                                     : 0;
                if (rank > bookRank) {
                    bookRank = rank;
                    bookStart = start;
                    bookSize = size;
                }
            }
        }
        if (bookRank == 0 || bookSize < 0) return false;
        out.source = &source_;
        out.shift = shift_;
        out.size = bookSize;
        if (bookSize >= qint64(miniCutoff_)) {
            if (!chain(bookStart, out.sectors)) return false;
            // A chain too short for the size it claims is cut to what it holds.
            out.size = std::min<qint64>(bookSize, qint64(out.sectors.size()) << shift_);
            return true;
        }
        // A small stream lives in 64-byte pieces inside the root entry's stream.
        std::vector<quint32> miniFat, miniFatSectors, root, pieces;
        if (!chain(firstMiniFat, miniFatSectors) || !chain(rootStart, root)) return false;
        for (quint32 s : miniFatSectors) {
            if (!readSector(s, sector.data())) return false;
            for (qint64 i = 0; i < sectorSize / 4; ++i)
                miniFat.push_back(U32(sector.data() + 4 * i));
        }
        CfbStream rootStream;
        rootStream.source = &source_;
        rootStream.shift = shift_;
        rootStream.sectors = std::move(root);
        rootStream.size = std::min<qint64>(rootSize, qint64(rootStream.sectors.size()) << shift_);
        for (quint32 m = bookStart; m < kLastSector && qint64(out.small.size()) < bookSize;) {
            if (m >= miniFat.size() || pieces.size() > miniFat.size()) return false;
            pieces.push_back(m);
            char piece[64];
            if (rootStream.read(qint64(m) * 64, piece, 64) != 64) return false;
            out.small.append(piece, 64);
            m = miniFat[m];
        }
        out.small.resize(size_t(std::min<qint64>(bookSize, qint64(out.small.size()))));
        out.size = qint64(out.small.size());
        return true;
    }

private:
    bool readSector(quint32 s, char* out) const {
        if (s >= kLastSector) return false;
        return source_.readExactly((qint64(s) + 1) << shift_, out, qint64(1) << shift_);
    }
    bool chain(quint32 start, std::vector<quint32>& out) const {
        out.clear();
        for (quint32 s = start; s < kLastSector;) {
            // A chain that loops, or leaves the table, is damage.
            if (s >= fat_.size() || out.size() >= fat_.size()) return false;
            out.push_back(s);
            s = fat_[s];
        }
        return true;
    }

    const Source& source_;
    int shift_ = 9;
    quint32 miniCutoff_ = 4096;
    std::vector<quint32> fat_;
};

// BIFF records one after the other from a position of the workbook stream.
class Records {
public:
    Records(const CfbStream& stream, qint64 position, Budget& budget)
        : stream_(stream), position_(position), budget_(budget) {}

    bool next() {
        char head[4];
        if (!fetch(head, 4)) return false;
        type_ = U16(head);
        const quint16 length = U16(head + 2);
        body_.resize(length);
        if (!fetch(body_.data(), length)) return false;
        return true;
    }
    // The next record if it is a CONTINUE; it is left for next() otherwise.
    bool nextContinue() {
        char head[2];
        const qint64 at = position_;
        if (!fetch(head, 2)) return false;
        position_ = at;
        if (U16(head) != 0x003C) return false;
        return next();
    }
    quint16 type() const { return type_; }
    const std::string& body() const { return body_; }

private:
    bool fetch(char* out, qint64 n) {
        // Records are small: they are read from a buffer refilled in large pieces.
        while (n > 0) {
            if (position_ >= bufferStart_ && position_ < bufferStart_ + qint64(buffer_.size())) {
                const qint64 within = position_ - bufferStart_;
                const qint64 take = std::min<qint64>(n, qint64(buffer_.size()) - within);
                std::memcpy(out, buffer_.data() + within, size_t(take));
                out += take;
                n -= take;
                position_ += take;
                continue;
            }
            buffer_.resize(256 << 10);
            const qint64 got = stream_.read(position_, buffer_.data(), qint64(buffer_.size()));
            if (got <= 0) {
                buffer_.clear();
                if (got < 0) budget_.damaged();
                return false;
            }
            buffer_.resize(size_t(got));
            bufferStart_ = position_;
            if (!budget_.read(got, false)) return false;
        }
        return true;
    }

    const CfbStream& stream_;
    qint64 position_;
    Budget& budget_;
    std::string buffer_;
    qint64 bufferStart_ = 0;
    quint16 type_ = 0;
    std::string body_;
};

QString Latin1OrGbk(std::string_view bytes, int codepage) {
    if (codepage == 936) return DecodeGbk(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// BIFF8 text that may run on in CONTINUE records (the shared string table, long results),
// where each continuation of characters starts with its own flags byte.
class Pieces {
public:
    Pieces(Records& records, const std::string& first) : records_(records), piece_(first) {}
    bool byte(quint8& out) {
        if (at_ == piece_.size() && !advance()) return false;
        out = quint8(piece_[at_++]);
        return true;
    }
    bool u16(quint16& out) {
        quint8 a, b;
        if (!byte(a) || !byte(b)) return false;
        out = quint16(a | b << 8);
        return true;
    }
    bool u32(quint32& out) {
        quint16 a, b;
        if (!u16(a) || !u16(b)) return false;
        out = quint32(a) | quint32(b) << 16;
        return true;
    }
    bool skip(quint64 n) {
        while (n > 0) {
            if (at_ == piece_.size() && !advance()) return false;
            const quint64 take = std::min<quint64>(n, piece_.size() - at_);
            at_ += take;
            n -= take;
        }
        return true;
    }
    bool characters(quint32 count, bool wide, QString& out) {
        const quint32 keep = std::min<quint32>(count, WorkbookLimits::kMaxCellChars);
        out.clear();
        for (quint32 i = 0; i < count; ++i) {
            if (at_ == piece_.size()) {
                if (!advance()) return false;
                wide = !piece_.empty() && (piece_[at_++] & 1);
            }
            char16_t ch;
            if (wide) {
                quint8 lo, hi;
                if (!byte(lo) || !byte(hi)) return false;
                ch = char16_t(lo | hi << 8);
            } else {
                quint8 b;
                if (!byte(b)) return false;
                ch = b;
            }
            if (i < keep) out.append(QChar(ch));
        }
        return true;
    }

private:
    bool advance() {
        if (!records_.nextContinue()) return false;
        piece_ = records_.body();
        at_ = 0;
        return true;
    }
    Records& records_;
    std::string piece_;
    size_t at_ = 0;
};

// An XLUnicodeString: cch, flags, [runs], [extended], characters, run data, extended data.
bool UnicodeString(Pieces& p, bool shortLength, QString& out) {
    quint16 count = 0;
    if (shortLength) {
        quint8 c;
        if (!p.byte(c)) return false;
        count = c;
    } else if (!p.u16(count)) {
        return false;
    }
    quint8 flags;
    if (!p.byte(flags)) return false;
    quint16 runs = 0;
    quint32 extended = 0;
    if ((flags & 0x08) && !p.u16(runs)) return false;
    if ((flags & 0x04) && !p.u32(extended)) return false;
    if (!p.characters(count, flags & 1, out)) return false;
    return p.skip(quint64(runs) * 4) && p.skip(extended);
}

QString ErrorText(int code) {
    switch (code) {
        case 0x00:
            return QStringLiteral("#NULL!");
        case 0x07:
            return QStringLiteral("#DIV/0!");
        case 0x0F:
            return QStringLiteral("#VALUE!");
        case 0x17:
            return QStringLiteral("#REF!");
        case 0x1D:
            return QStringLiteral("#NAME?");
        case 0x24:
            return QStringLiteral("#NUM!");
        default:
            return QStringLiteral("#N/A");
    }
}

double RkValue(quint32 rk) {
    double v;
    if (rk & 2) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 1) ? v / 100.0 : v;
}

class XlsWorkbook final : public StreamedWorkbook {
public:
    explicit XlsWorkbook(std::unique_ptr<Source> source) : source_(std::move(source)) {}
    bool open(QString* why);

protected:
    bool sheetExists(int sheet) override { return sheet >= 1 && sheet <= int(sheets_.size()); }
    int countSheets() override { return int(sheets_.size()); }
    void readThrough(int sheet, int row) override;

private:
    struct SheetRecords {
        qint64 position = 0;
        std::unique_ptr<Records> records;
        int complete = 0;
        bool ended = false;
        int depth = 0;
        bool stringPending = false;
        int pendingRow = 0, pendingColumn = 0;
    };
    QString text8(std::string_view bytes) const { return Latin1OrGbk(bytes, codepage_); }
    // A text cell's string at `at` of the body: BIFF8's XLUnicodeString or BIFF5's bytes.
    QString cellString(const std::string& body, size_t at) const;
    Shape shapeOf(int xf) const {
        return xf >= 0 && size_t(xf) < xfShapes_.size() ? xfShapes_[size_t(xf)] : Shape::General;
    }
    bool number(int sheet, SheetRecords& s, const char* b, double v);

    std::unique_ptr<Source> source_;
    CfbStream stream_;
    bool biff8_ = true;
    int codepage_ = 1252;
    std::vector<SheetRecords> sheets_;
    std::vector<TextRef> shared_;
    std::vector<Shape> xfShapes_;
};

QString XlsWorkbook::cellString(const std::string& body, size_t at) const {
    if (body.size() < at + 2) return {};
    const quint16 count = U16(body.data() + at);
    if (!biff8_) return text8(std::string_view(body).substr(at + 2, count));
    if (body.size() < at + 3) return {};
    const quint8 flags = quint8(body[at + 2]);
    size_t p = at + 3;
    if (flags & 0x08) p += 2;
    if (flags & 0x04) p += 4;
    QString out;
    const size_t width = (flags & 1) ? 2 : 1;
    const size_t available = body.size() > p ? (body.size() - p) / width : 0;
    const size_t n = std::min<size_t>({count, available, size_t(WorkbookLimits::kMaxCellChars)});
    out.reserve(qsizetype(n));
    for (size_t i = 0; i < n; ++i)
        out.append(width == 2 ? QChar(U16(body.data() + p + 2 * i))
                              : QChar(char16_t(quint8(body[p + i]))));
    return out;
}

bool XlsWorkbook::open(QString* why) {
    Budget& b = budget();
    auto refuse = [&](const QString& text) {
        if (why) *why = b.ok() ? text : b.failure();
        return false;
    };
    Cfb cfb(*source_);
    if (!cfb.workbookStream(stream_, b)) return refuse(QStringLiteral("不是可读的.xls电子表格"));
    Records r(stream_, 0, b);
    if (!r.next() || r.type() != 0x0809 || r.body().size() < 4)
        return refuse(QStringLiteral("不是可读的.xls电子表格"));
    const quint16 version = U16(r.body().data());
    if (version != 0x0600 && version != 0x0500)
        return refuse(QStringLiteral("不是可读的.xls电子表格（版本过旧）"));
    biff8_ = version == 0x0600;
    if (!biff8_) codepage_ = 1252;
    std::map<int, Shape> formats;  // by format id, at most 65536 of them
    std::vector<int> xfFormats;
    std::vector<std::pair<qint64, int>> sheets;
    for (;;) {
        if (!r.next()) {
            // A stream that ends without the globals' EOF still gives what it had.
            if (!b.ok()) return refuse(b.failure());
            break;
        }
        const std::string& body = r.body();
        const char* d = body.data();
        const size_t n = body.size();
        const quint16 type = r.type();
        if (type == 0x000A) break;  // EOF of the globals
        if (type == 0x002F) return refuse(QStringLiteral("电子表格有密码保护"));
        if (type == 0x0042 && n >= 2) {
            codepage_ = U16(d);
        } else if (type == 0x0022 && n >= 2) {
            date1904_ = U16(d) == 1;
        } else if (type == 0x041E && n >= 3) {
            const int id = U16(d);
            if (biff8_) {
                Pieces p(r, body.substr(2));
                QString code;
                if (UnicodeString(p, false, code))
                    formats[id] = ShapeOfFormatCode(code.toStdString());
            } else {
                formats[id] = ShapeOfFormatCode(
                    text8(std::string_view(body).substr(3, quint8(d[2]))).toStdString());
            }
        } else if (type == 0x00E0 && n >= 4 && xfFormats.size() < 65536) {
            xfFormats.push_back(U16(d + 2));
        } else if (type == 0x0085 && n >= 6) {
            // Worksheets only: chart and macro sheets are not in Worksheets(n).
            if (quint8(d[5]) == 0) sheets.push_back({qint64(U32(d)), 0});
        } else if (type == 0x00FC && n >= 8 && biff8_) {
            const quint32 unique = U32(d + 4);
            Pieces p(r, body.substr(8));
            QString text;
            for (quint32 i = 0; i < unique; ++i) {
                if (!UnicodeString(p, false, text)) break;
                if (!b.sharedString()) return refuse(b.failure());
                shared_.push_back(keep(text));
                if (!b.ok()) return refuse(b.failure());
            }
        }
    }
    for (int id : xfFormats) {
        const auto f = formats.find(id);
        xfShapes_.push_back(f != formats.end() ? f->second : ShapeOfBuiltinFormat(id));
    }
    sheets_.resize(sheets.size());
    for (size_t i = 0; i < sheets.size(); ++i) sheets_[i].position = sheets[i].first;
    return true;
}

bool XlsWorkbook::number(int sheet, SheetRecords& s, const char* b, double v) {
    const int row = U16(b) + 1, column = U16(b + 2) + 1;
    s.complete = std::max(s.complete, row - 1);
    return storeNumber(sheet, row, column, v, shapeOf(U16(b + 4)));
}

void XlsWorkbook::readThrough(int sheet, int row) {
    SheetRecords& s = sheets_[size_t(sheet - 1)];
    Budget& b = budget();
    if (s.ended || s.complete >= row) return;
    auto end = [&] {
        s.ended = true;
        s.complete = WorkbookLimits::kMaxRow;
        s.records.reset();
    };
    if (!s.records) {
        s.records = std::make_unique<Records>(stream_, s.position, b);
        if (!s.records->next() || s.records->type() != 0x0809) return end();
        s.depth = 1;
    }
    Records& r = *s.records;
    while (r.next()) {
        const std::string& body = r.body();
        const char* d = body.data();
        const size_t n = body.size();
        const quint16 type = r.type();
        auto text = [&](int cellRow, int cellColumn, const QString& t) {
            s.complete = std::max(s.complete, cellRow - 1);
            if (cellColumn <= WorkbookLimits::kReadColumns)
                storeText(sheet, cellRow, cellColumn, keep(t));
            else if (!t.isEmpty())
                b.cells();
        };
        if (type == 0x0809) {
            ++s.depth;  // an embedded chart's records, up to its EOF
            continue;
        }
        if (type == 0x000A) {
            if (--s.depth <= 0) return end();
            continue;
        }
        if (s.depth != 1) continue;
        switch (type) {
            case 0x00FD:  // LABELSST
                if (n >= 10) {
                    const quint32 i = U32(d + 6);
                    const int cellRow = U16(d) + 1, cellColumn = U16(d + 2) + 1;
                    s.complete = std::max(s.complete, cellRow - 1);
                    if (i < shared_.size()) storeText(sheet, cellRow, cellColumn, shared_[i]);
                }
                break;
            case 0x0204:  // LABEL
            case 0x00D6:  // RSTRING
                if (n >= 8) text(U16(d) + 1, U16(d + 2) + 1, cellString(body, 6));
                break;
            case 0x0203:  // NUMBER
                if (n >= 14) number(sheet, s, d, F64(d + 6));
                break;
            case 0x027E:  // RK
                if (n >= 10) number(sheet, s, d, RkValue(U32(d + 6)));
                break;
            case 0x00BD:  // MULRK: one row, several columns
                if (n >= 12) {
                    const int cellRow = U16(d) + 1, first = U16(d + 2) + 1;
                    s.complete = std::max(s.complete, cellRow - 1);
                    for (size_t k = 0; 4 + 6 * k + 6 <= n - 2; ++k)
                        storeNumber(sheet, cellRow, first + int(k), RkValue(U32(d + 4 + 6 * k + 2)),
                                    shapeOf(U16(d + 4 + 6 * k)));
                }
                break;
            case 0x0205:  // BOOLERR
                if (n >= 8)
                    text(U16(d) + 1, U16(d + 2) + 1,
                         d[7] ? ErrorText(quint8(d[6]))
                              : (d[6] ? QStringLiteral("TRUE") : QStringLiteral("FALSE")));
                break;
            case 0x0006:  // FORMULA: its stored result
                if (n >= 14) {
                    s.stringPending = false;
                    const int cellRow = U16(d) + 1, cellColumn = U16(d + 2) + 1;
                    if (U16(d + 12) != 0xFFFF) {
                        number(sheet, s, d, F64(d + 6));
                    } else if (quint8(d[6]) == 0) {
                        s.stringPending = true;  // the text follows in a STRING record
                        s.pendingRow = cellRow;
                        s.pendingColumn = cellColumn;
                        s.complete = std::max(s.complete, cellRow - 1);
                    } else if (quint8(d[6]) == 1) {
                        text(cellRow, cellColumn,
                             d[8] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
                    } else if (quint8(d[6]) == 2) {
                        text(cellRow, cellColumn, ErrorText(quint8(d[8])));
                    }
                }
                break;
            case 0x0207:  // STRING, the text result of the formula before it
                if (s.stringPending) {
                    s.stringPending = false;
                    QString t;
                    if (biff8_) {
                        Pieces p(r, body);
                        UnicodeString(p, false, t);
                    } else {
                        t = cellString(body, 0);
                    }
                    text(s.pendingRow, s.pendingColumn, t);
                }
                break;
            default:
                break;
        }
        if (!b.ok()) return end();
        if (s.complete >= row) return;
    }
    end();
}

}  // namespace

std::unique_ptr<Workbook> OpenXls(std::unique_ptr<Source> source, QString* why) {
    auto book = std::make_unique<XlsWorkbook>(std::move(source));
    if (!book->open(why)) return nullptr;
    return book;
}

}  // namespace tallyra::sheets

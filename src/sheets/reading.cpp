#include "sheets/reading.h"

#include <zip.h>

#include <QDate>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/format/positionedfile.h"

namespace tallyra::sheets {

// ---- sources ---------------------------------------------------------------------------

namespace {

class Memory final : public Source {
public:
    explicit Memory(QByteArray bytes) : bytes_(std::move(bytes)) {}
    qint64 size() const override { return bytes_.size(); }
    qint64 read(qint64 position, char* out, qint64 n) const override {
        if (position < 0 || n < 0) return -1;
        if (position >= bytes_.size()) return 0;
        const qint64 count = std::min<qint64>(n, bytes_.size() - position);
        std::memcpy(out, bytes_.constData() + position, size_t(count));
        return count;
    }

private:
    QByteArray bytes_;
};

class File final : public Source {
public:
    File(PositionedFile file, qint64 size) : file_(std::move(file)), size_(size) {}
    qint64 size() const override { return size_; }
    qint64 read(qint64 position, char* out, qint64 n) const override {
        if (position < 0 || n < 0) return -1;
        // What the file does not have is zeros there, and not counted.
        return file_.readInto(position + 1, out,
                              std::min(n, std::max<qint64>(size_ - position, 0)));
    }

private:
    PositionedFile file_;
    qint64 size_;
};

}  // namespace

std::unique_ptr<Source> MemorySource(QByteArray bytes) {
    return std::make_unique<Memory>(std::move(bytes));
}

std::unique_ptr<Source> FileSource(PositionedFile file, qint64 size) {
    return std::make_unique<File>(std::move(file), size);
}

// ---- budget ----------------------------------------------------------------------------

bool Budget::read(qint64 bytes, bool unpacked) {
    if (!ok()) return false;
    done_ += bytes;
    if (unpacked) {
        inflated_ += bytes;
        if (inflated_ > WorkbookLimits::kMaxInflatedBytes)
            return fail(OverLimitText(QStringLiteral("解压后超过256MB")));
    }
    if (progress_ && done_ - lastTick_ >= (1 << 20)) {
        lastTick_ = done_;
        if (!progress_(done_, 0)) {
            cancelled_ = true;
            return fail(QStringLiteral("已取消"));
        }
    }
    return true;
}

bool Budget::cells(qint64 n) {
    cells_ += n;
    if (cells_ > WorkbookLimits::kMaxCells)
        return fail(OverLimitText(QStringLiteral("超过400万个单元格")));
    return ok();
}

bool Budget::sharedString() {
    if (++shared_ > WorkbookLimits::kMaxSharedStrings)
        return fail(OverLimitText(QStringLiteral("超过100万条共享文字")));
    return ok();
}

bool Budget::text(qint64 chars) {
    text_ += chars;
    if (text_ > WorkbookLimits::kMaxTextChars)
        return fail(OverLimitText(QStringLiteral("文字超过3200万字")));
    return ok();
}

// ---- number formats --------------------------------------------------------------------

Shape ShapeOfBuiltinFormat(int id) {
    // 14-22 and 45-47 everywhere; 27-36 and 50-58 are the dates and times a Chinese Excel
    // writes without spelling them out (yyyy"年"m"月"d"日", h"时"mm"分" ...).
    if (id >= 14 && id <= 17) return Shape::Date;
    if (id >= 18 && id <= 21) return Shape::Time;
    if (id == 22) return Shape::DateTime;
    if (id >= 45 && id <= 47) return Shape::Time;
    if ((id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) || id == 57 || id == 58)
        return Shape::Date;
    if ((id >= 32 && id <= 35) || id == 55 || id == 56) return Shape::Time;
    return Shape::General;
}

Shape ShapeOfFormatCode(std::string_view code) {
    bool date = false, time = false, month = false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    auto startsWith = [&](size_t at, std::string_view word) {
        if (code.size() - at < word.size()) return false;
        for (size_t k = 0; k < word.size(); ++k)
            if (lower(code[at + k]) != word[k]) return false;
        return true;
    };
    for (size_t i = 0; i < code.size();) {
        const char c = code[i];
        if (c == ';') break;  // the first section is the one for positive numbers
        if (c == '"') {
            const size_t close = code.find('"', i + 1);
            i = close == std::string_view::npos ? code.size() : close + 1;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            i += 2;
            continue;
        }
        if (c == '[') {
            const size_t close = code.find(']', i + 1);
            const std::string_view inside =
                code.substr(i + 1, close == std::string_view::npos ? 0 : close - i - 1);
            // [h]:mm elapsed time; colours, locales and conditions say nothing.
            if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos)
                time = true;
            i = close == std::string_view::npos ? code.size() : close + 1;
            continue;
        }
        if (startsWith(i, "general")) {
            i += 7;
            continue;
        }
        if (startsWith(i, "am/pm")) {
            time = true;
            i += 5;
            continue;
        }
        if (startsWith(i, "a/p")) {
            time = true;
            i += 3;
            continue;
        }
        switch (lower(c)) {
            case 'y':
            case 'd':
                date = true;
                break;
            case 'h':
            case 's':
                time = true;
                break;
            case 'm':
                month = true;
                break;
            default:
                break;
        }
        ++i;
    }
    // "m" is the month unless an hour or a second stands beside it.
    if (month && !time) date = true;
    if (date && time) return Shape::DateTime;
    if (date) return Shape::Date;
    if (time) return Shape::Time;
    return Shape::General;
}

QString NumberText(double value, Shape shape, bool date1904) {
    if (shape == Shape::General || !std::isfinite(value)) return GeneralNumberText(value);
    const double serial = value + (date1904 ? 1462.0 : 0.0);
    // Days of the years 100 to 9999, as the roster's dates are.
    if (serial < -657434.0 || serial >= 2958466.0) return GeneralNumberText(value);
    double day = std::floor(serial);
    qint64 seconds = std::llround((serial - day) * 86400.0);
    if (seconds >= 86400) {
        day += 1;
        seconds -= 86400;
    }
    const QString date = QDate(1899, 12, 30).addDays(qint64(day)).toString(u"yyyy-MM-dd");
    const QString time = QStringLiteral("%1:%2")
                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    switch (shape) {
        case Shape::Date:
            return date;
        case Shape::Time:
            return time;
        default:
            return date + u' ' + time;
    }
}

std::optional<double> IsoDateSerial(std::string_view t) {
    size_t i = 0;
    auto number = [&](int maxDigits, int& out) {
        int digits = 0;
        out = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && digits < maxDigits)
            out = out * 10 + (t[i++] - '0'), ++digits;
        return digits > 0;
    };
    const bool negative = i < t.size() && t[i] == '-';
    if (negative) ++i;
    int y, m, d;
    if (!number(5, y) || i >= t.size() || t[i++] != '-' || !number(2, m) || i >= t.size() ||
        t[i++] != '-' || !number(2, d))
        return std::nullopt;
    const QDate date(negative ? -y : y, m, d);
    if (!date.isValid()) return std::nullopt;
    double serial = double(date.toJulianDay() - QDate(1899, 12, 30).toJulianDay());
    if (i < t.size() && t[i] == 'T') {
        ++i;
        int h = 0, mi = 0, s = 0;
        if (!number(2, h) || i >= t.size() || t[i++] != ':' || !number(2, mi)) return std::nullopt;
        if (i < t.size() && t[i] == ':') {
            ++i;
            number(2, s);
        }
        double fraction = 0, scale = 0.1;
        if (i < t.size() && t[i] == '.')
            for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, scale /= 10)
                fraction += (t[i] - '0') * scale;
        serial += (h * 3600 + mi * 60 + s + fraction) / 86400.0;
    }
    return serial;
}

// ---- cells -----------------------------------------------------------------------------

void CellStore::number(int row, int column, double value, Shape shape) {
    Cell c;
    c.row = quint32(row);
    c.column = quint16(column);
    c.shape = shape;
    c.isText = false;
    c.number = value;
    cells_.push_back(c);
}

void CellStore::text(int row, int column, TextRef text) {
    Cell c;
    c.row = quint32(row);
    c.column = quint16(column);
    c.shape = Shape::General;
    c.isText = true;
    c.text = text;
    cells_.push_back(c);
}

const CellStore::Cell* CellStore::find(int row, int column) {
    auto key = [](const Cell& c) { return (quint64(c.row) << 16) | c.column; };
    auto less = [&](const Cell& a, const Cell& b) { return key(a) < key(b); };
    if (sorted_ < cells_.size()) {
        // Sheets come row after row, so what was read since the last look is nearly
        // always in order already and after the rest.
        bool inOrder = true;
        for (size_t i = std::max<size_t>(sorted_, 1); i < cells_.size() && inOrder; ++i)
            inOrder = !less(cells_[i], cells_[i - 1]);
        if (!inOrder) {
            const auto middle = cells_.begin() + qsizetype(sorted_);
            std::stable_sort(middle, cells_.end(), less);
            std::inplace_merge(cells_.begin(), middle, cells_.end(), less);
        }
        sorted_ = cells_.size();
    }
    Cell probe;
    probe.row = quint32(row);
    probe.column = quint16(column);
    const auto after = std::upper_bound(cells_.begin(), cells_.end(), probe, less);
    if (after == cells_.begin()) return nullptr;
    const Cell& c = *(after - 1);
    return key(c) == key(probe) ? &c : nullptr;
}

// ---- the workbook read on demand ------------------------------------------------------

int StreamedWorkbook::sheetCount() const {
    return const_cast<StreamedWorkbook*>(this)->countSheets();
}

std::optional<QString> StreamedWorkbook::cell(int sheet, int row, int column) const {
    // Reading on changes nothing a caller can see: what is asked for reads the same
    // whether it was read just now or earlier.
    auto* self = const_cast<StreamedWorkbook*>(this);
    if (sheet < 1 || !self->sheetExists(sheet)) return std::nullopt;
    if (row < 1 || column < 1 || row > WorkbookLimits::kMaxRow ||
        column > WorkbookLimits::kReadColumns || !budget_.ok())
        return QString();
    self->readThrough(sheet, row);
    if (!budget_.ok()) return QString();
    const CellStore::Cell* c = self->store(sheet).find(row, column);
    if (!c) return QString();
    if (c->isText) return texts_.mid(c->text.offset, c->text.length);
    return NumberText(c->number, c->shape, date1904_);
}

TextRef StreamedWorkbook::keep(QStringView text) {
    if (text.size() > WorkbookLimits::kMaxCellChars)
        text = text.first(WorkbookLimits::kMaxCellChars);
    if (text.isEmpty() || !budget_.text(text.size())) return TextRef{};
    const TextRef ref{quint32(texts_.size()), quint32(text.size())};
    texts_.append(text);
    return ref;
}

TextRef StreamedWorkbook::keepUtf8(std::string_view text) {
    // A cell holds at most 32767 characters, which take at most four bytes each.
    const size_t cut = std::min<size_t>(text.size(), size_t(WorkbookLimits::kMaxCellChars) * 4);
    return keep(QString::fromUtf8(text.data(), qsizetype(cut)));
}

CellStore& StreamedWorkbook::store(int sheet) {
    if (int(stores_.size()) < sheet) stores_.resize(size_t(sheet));
    return stores_[size_t(sheet - 1)];
}

bool StreamedWorkbook::storeNumber(int sheet, int row, int column, double value, Shape shape) {
    if (!budget_.cells()) return false;
    if (row >= 1 && row <= WorkbookLimits::kMaxRow && column >= 1 &&
        column <= WorkbookLimits::kReadColumns)
        store(sheet).number(row, column, value, shape);
    return true;
}

bool StreamedWorkbook::storeText(int sheet, int row, int column, TextRef text) {
    if (text.length == 0) return budget_.ok();
    if (!budget_.cells()) return false;
    if (row >= 1 && row <= WorkbookLimits::kMaxRow && column >= 1 &&
        column <= WorkbookLimits::kReadColumns)
        store(sheet).text(row, column, text);
    return true;
}

// ---- zip packages ----------------------------------------------------------------------

struct ZipPackage::SourceState {
    const Source* source = nullptr;
    qint64 offset = 0;
    zip_error_t error;
};

namespace {

zip_int64_t SourceCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<ZipPackage::SourceState*>(userdata);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            s->offset = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const qint64 n =
                s->source->read(s->offset, static_cast<char*>(data),
                                qint64(std::min<zip_uint64_t>(len, zip_uint64_t(1) << 30)));
            if (n < 0) {
                zip_error_set(&s->error, ZIP_ER_READ, EIO);
                return -1;
            }
            s->offset += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &s->error);
            if (!st) return -1;
            zip_stat_init(st);
            st->size = zip_uint64_t(s->source->size());
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(*st);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->error, data, len);
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t at = zip_source_seek_compute_offset(
                zip_uint64_t(s->offset), zip_uint64_t(s->source->size()), data, len, &s->error);
            if (at < 0) return -1;
            s->offset = at;
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return s->offset;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&s->error, ZIP_ER_INVAL, 0);
            return -1;
    }
}

// The number of entries the archive's directory claims, read before libzip builds its
// table of them: a directory of millions of tiny entries is refused unread.
std::optional<quint64> ClaimedEntries(const Source& source) {
    const qint64 size = source.size();
    const qint64 tail = std::min<qint64>(size, 65535 + 22);
    std::string bytes(size_t(tail), '\0');
    if (!source.readExactly(size - tail, bytes.data(), tail)) return std::nullopt;
    const size_t at = bytes.rfind("PK\x05\x06");
    if (at == std::string::npos || bytes.size() - at < 22) return std::nullopt;
    quint64 entries = PositionedFile::FromLittle<quint16>(bytes.data() + at + 10);
    if (entries == 0xFFFF && at >= 20 && bytes.compare(at - 20, 4, "PK\x06\x07") == 0) {
        const qint64 z64 = PositionedFile::FromLittle<qint64>(bytes.data() + at - 20 + 8);
        char record[56];
        if (z64 < 0 || !source.readExactly(z64, record, 56) ||
            std::memcmp(record, "PK\x06\x06", 4) != 0)
            return std::nullopt;
        entries = PositionedFile::FromLittle<quint64>(record + 32);
    }
    return entries;
}

}  // namespace

std::unique_ptr<ZipPackage> ZipPackage::Open(const Source& source, QString* why) {
    const std::optional<quint64> entries = ClaimedEntries(source);
    if (!entries) {
        if (why) *why = Budget::DamagedText();
        return nullptr;
    }
    if (*entries > quint64(WorkbookLimits::kMaxZipEntries)) {
        if (why) *why = Budget::OverLimitText(QStringLiteral("超过1万个部件"));
        return nullptr;
    }
    std::unique_ptr<ZipPackage> p(new ZipPackage);
    p->state_ = std::make_unique<SourceState>();
    p->state_->source = &source;
    zip_error_init(&p->state_->error);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_function_create(SourceCallback, p->state_.get(), &error);
    if (src) {
        p->archive_ = zip_open_from_source(src, ZIP_RDONLY, &error);
        if (!p->archive_) zip_source_free(src);
    }
    zip_error_fini(&error);
    if (!p->archive_) {
        if (why) *why = Budget::DamagedText();
        return nullptr;
    }
    return p;
}

ZipPackage::~ZipPackage() {
    if (archive_) zip_discard(archive_);
    if (state_) zip_error_fini(&state_->error);
}

std::optional<qint64> ZipPackage::find(const std::string& name) const {
    const zip_int64_t i = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
    if (i < 0) return std::nullopt;
    return i;
}

qint64 ZipPackage::count() const { return zip_get_num_entries(archive_, 0); }

std::string ZipPackage::name(qint64 index) const {
    const char* n = zip_get_name(archive_, zip_uint64_t(index), ZIP_FL_ENC_RAW);
    return n ? std::string(n) : std::string();
}

std::optional<ZipPackage::Stat> ZipPackage::stat(qint64 index) const {
    zip_stat_t st;
    if (zip_stat_index(archive_, zip_uint64_t(index), 0, &st) != 0) return std::nullopt;
    const zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                                ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    if ((st.valid & needed) != needed) return std::nullopt;
    return Stat{st.size, st.comp_size, st.crc, st.comp_method, st.encryption_method != ZIP_EM_NONE};
}

ZipPackage::Stream::~Stream() {
    if (file_) zip_fclose(file_);
}

qint64 ZipPackage::Stream::read(char* out, qint64 n) {
    const zip_int64_t got = zip_fread(file_, out, zip_uint64_t(n));
    if (got < 0) {
        if (budget_) budget_->damaged();
        return -1;
    }
    if (budget_ && !budget_->read(got, true)) return -1;
    return got;
}

std::unique_ptr<ZipPackage::Stream> ZipPackage::open(qint64 index, Budget* budget, bool raw) const {
    zip_file_t* f = zip_fopen_index(archive_, zip_uint64_t(index), raw ? ZIP_FL_COMPRESSED : 0);
    if (!f) return nullptr;
    auto s = std::unique_ptr<Stream>(new Stream);
    s->file_ = f;
    s->budget_ = budget;
    return s;
}

std::optional<QByteArray> ZipPackage::readAll(qint64 index, qint64 maxBytes) const {
    const std::optional<Stat> st = stat(index);
    if (!st || st->encrypted || st->size > quint64(maxBytes)) return std::nullopt;
    const std::unique_ptr<Stream> s = open(index, nullptr);
    if (!s) return std::nullopt;
    QByteArray out;
    char buffer[65536];
    for (;;) {
        const qint64 n = s->read(buffer, sizeof buffer);
        if (n < 0) return std::nullopt;
        if (n == 0) return out;
        if (out.size() + n > maxBytes) return std::nullopt;
        out.append(buffer, qsizetype(n));
    }
}

std::string ResolvePartName(const std::string& fromPart, const std::string& target) {
    std::string path;
    if (!target.empty() && target[0] == '/') {
        path = target.substr(1);
    } else {
        const size_t slash = fromPart.rfind('/');
        path =
            (slash == std::string::npos ? std::string() : fromPart.substr(0, slash + 1)) + target;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!segment.empty() && segment != ".") {
            parts.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& s : parts) out += (out.empty() ? "" : "/") + s;
    return out;
}

std::string RelsPartOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return dir + "_rels/" + file + ".rels";
}

}  // namespace tallyra::sheets

// .ods: all sheets are in content.xml, one after the other, so it is read as one stream as
// far as the sheet and row asked for. Repeated rows and columns are laid out as the
// spreadsheet shows them; empty repeats cost nothing.
#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "sheets/reading.h"

namespace tallyra::sheets {

namespace {

using Token = XmlPull::Token;

qint64 Count(const std::string& s, qint64 fallback) {
    if (s.empty()) return fallback;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    return end && *end == '\0' && v >= 1 ? qint64(v) : fallback;
}

// "PT07H30M00S" (and durations past a day) as the time of day it shows.
std::optional<double> DurationDays(const std::string& s) {
    if (s.size() < 3 || s[0] != 'P') return std::nullopt;
    double seconds = 0, part = 0;
    bool inTime = false, any = false;
    for (size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == 'T') {
            inTime = true;
            continue;
        }
        char* end = nullptr;
        part = std::strtod(s.c_str() + i, &end);
        if (end == s.c_str() + i || !*end) return std::nullopt;
        i = size_t(end - s.c_str());
        switch (s[i]) {
            case 'D':
                seconds += part * 86400;
                break;
            case 'H':
                seconds += part * 3600;
                break;
            case 'M':
                seconds += inTime ? part * 60 : part * 30 * 86400;
                break;
            case 'S':
                seconds += part;
                break;
            default:
                return std::nullopt;
        }
        any = true;
    }
    if (!any || !std::isfinite(seconds)) return std::nullopt;
    return seconds / 86400.0;
}

class OdsWorkbook final : public StreamedWorkbook {
public:
    OdsWorkbook(std::unique_ptr<Source> source, std::unique_ptr<ZipPackage> zip)
        : source_(std::move(source)), zip_(std::move(zip)) {}

    bool open(QString* why) {
        const std::optional<qint64> content = zip_->find("content.xml");
        if (!content) {
            if (why) *why = QStringLiteral("不是电子表格");
            return false;
        }
        stream_ = zip_->open(*content, &budget());
        if (!stream_) {
            if (why) *why = Budget::DamagedText();
            return false;
        }
        xml_ = std::make_unique<XmlPull>(
            [s = stream_.get()](char* out, qint64 n) { return s->read(out, n); });
        return true;
    }

protected:
    bool sheetExists(int sheet) override {
        while (!ended_ && sheets_ < sheet) step();
        return sheet >= 1 && sheet <= sheets_;
    }
    int countSheets() override {
        while (!ended_) step();
        return sheets_;
    }
    void readThrough(int sheet, int row) override {
        while (!ended_ && (sheets_ < sheet || (sheets_ == sheet && inTable_ && complete_ < row)))
            step();
    }

private:
    struct Pending {
        int column;
        bool isText;
        double number;
        TextRef text;
    };
    void step();
    void startCell();
    void endCell();
    void endRow();
    void end() {
        ended_ = true;
        inTable_ = false;
        xml_.reset();
        stream_.reset();
    }

    std::unique_ptr<Source> source_;
    std::unique_ptr<ZipPackage> zip_;
    std::unique_ptr<ZipPackage::Stream> stream_;
    std::unique_ptr<XmlPull> xml_;
    bool ended_ = false;
    int sheets_ = 0;  // tables begun
    bool inTable_ = false;
    int complete_ = 0;  // rows of the current table read whole
    int row_ = 0;       // last row of the current table laid out
    qint64 rowRepeat_ = 1;
    int column_ = 0;
    std::vector<Pending> rowCells_;
    qint64 rowCellsBeyond_ = 0;  // cells with a value right of what is kept

    // The cell being read.
    bool inCell_ = false;
    int cellDepth_ = 0;  // elements open inside the cell
    int paragraphDepth_ = 0;
    int paragraphs_ = 0;
    qint64 columnRepeat_ = 1;
    std::string valueType_, calcType_, value_, dateValue_, timeValue_, boolValue_, style_;
    std::string text_;

    // Data styles (number:date-style ...) and the cell styles that use them.
    std::unordered_map<std::string, Shape> dataShapes_;
    std::unordered_map<std::string, std::string> cellDataStyle_;
    std::string dataStyle_;
    bool styleHasDate_ = false, styleHasTime_ = false, styleIsTime_ = false;
};

void OdsWorkbook::startCell() {
    XmlPull& x = *xml_;
    inCell_ = true;
    cellDepth_ = 0;
    paragraphDepth_ = 0;
    paragraphs_ = 0;
    text_.clear();
    valueType_.clear();
    calcType_.clear();
    value_.clear();
    dateValue_.clear();
    timeValue_.clear();
    boolValue_.clear();
    style_.clear();
    columnRepeat_ = 1;
    x.forEachAttribute([&](std::string_view name, std::string_view raw) {
        const size_t colon = name.find(':');
        const std::string_view prefix =
            colon == std::string_view::npos ? "" : name.substr(0, colon);
        const std::string_view local =
            colon == std::string_view::npos ? name : name.substr(colon + 1);
        std::string* into = nullptr;
        if (local == "value-type")
            into = prefix == "calcext" ? &calcType_ : &valueType_;
        else if (local == "value")
            into = &value_;
        else if (local == "date-value")
            into = &dateValue_;
        else if (local == "time-value")
            into = &timeValue_;
        else if (local == "boolean-value")
            into = &boolValue_;
        else if (local == "style-name")
            into = &style_;
        else if (local == "number-columns-repeated") {
            std::string v;
            XmlPull::DecodeEntities(raw, v);
            columnRepeat_ = std::min<qint64>(Count(v, 1), WorkbookLimits::kMaxColumn);
        }
        if (into && raw.size() < 4096) {
            into->clear();
            XmlPull::DecodeEntities(raw, *into);
        }
    });
}

void OdsWorkbook::endCell() {
    inCell_ = false;
    const int first = column_ + 1;
    column_ = int(std::min<qint64>(column_ + columnRepeat_, WorkbookLimits::kMaxColumn + 1));
    // What the cell shows: its value by its type, or its paragraphs.
    bool isText = true;
    double number = 0;
    QString shown;
    const std::string& type = valueType_;
    if (calcType_ == "error") {
        shown = QString::fromUtf8(text_);
    } else if (type == "float" || type == "percentage" || type == "currency") {
        char* end = nullptr;
        number = std::strtod(value_.c_str(), &end);
        if (end && *end == '\0' && !value_.empty())
            isText = false;
        else
            shown = QString::fromUtf8(text_);
    } else if (type == "date") {
        if (const std::optional<double> serial = IsoDateSerial(dateValue_)) {
            Shape shape = *serial != std::floor(*serial) ? Shape::DateTime : Shape::Date;
            if (const auto ds = cellDataStyle_.find(style_); ds != cellDataStyle_.end())
                if (const auto sh = dataShapes_.find(ds->second); sh != dataShapes_.end())
                    shape = sh->second;
            shown = NumberText(*serial, shape);
        } else {
            shown = QString::fromUtf8(text_);
        }
    } else if (type == "time") {
        if (const std::optional<double> days = DurationDays(timeValue_))
            shown = NumberText(*days, Shape::Time);
        else
            shown = QString::fromUtf8(text_);
    } else if (type == "boolean") {
        shown = boolValue_ == "true" || boolValue_ == "1" ? QStringLiteral("TRUE")
                                                          : QStringLiteral("FALSE");
    } else {
        shown = QString::fromUtf8(text_);
    }
    if (isText && shown.isEmpty()) return;
    const int last = column_;
    const int keptLast = std::min(last, WorkbookLimits::kReadColumns);
    if (last > keptLast) rowCellsBeyond_ += last - std::max(keptLast, first - 1);
    if (first > keptLast) return;
    const TextRef ref = isText ? keep(shown) : TextRef{};
    for (int c = first; c <= keptLast; ++c) rowCells_.push_back({c, isText, number, ref});
}

void OdsWorkbook::endRow() {
    Budget& b = budget();
    const int first = row_ + 1;
    const qint64 last = std::min<qint64>(row_ + rowRepeat_, WorkbookLimits::kMaxRow);
    if (!rowCells_.empty() || rowCellsBeyond_ > 0) {
        // A repeated row with values is that many rows with those values.
        for (qint64 r = first; r <= last && b.ok(); ++r) {
            if (!b.cells(rowCellsBeyond_)) break;
            for (const Pending& c : rowCells_) {
                if (c.isText)
                    storeText(sheets_, int(r), c.column, c.text);
                else
                    storeNumber(sheets_, int(r), c.column, c.number, Shape::General);
            }
        }
    }
    row_ = int(std::min<qint64>(row_ + rowRepeat_, WorkbookLimits::kMaxRow + 1));
    complete_ = row_;
    rowCells_.clear();
    rowCellsBeyond_ = 0;
}

void OdsWorkbook::step() {
    XmlPull& x = *xml_;
    Budget& b = budget();
    const Token t = x.next();
    if (t == Token::Done) return end();
    if (t == Token::Failed) {
        b.damaged();
        return end();
    }
    if (inCell_) {
        if (t == Token::Text) {
            if (paragraphDepth_ > 0 && text_.size() < size_t(WorkbookLimits::kMaxCellChars) * 4)
                text_.append(x.text());
            return;
        }
        const bool start = t == Token::Start;
        if (!start && cellDepth_ == 0) {
            endCell();  // the cell's own end
            if (!b.ok()) end();
            return;
        }
        if (start) {
            ++cellDepth_;
            // Only the cell's own paragraphs: a comment (office:annotation) has its own.
            if (cellDepth_ == 1 && (x.is("p") || x.is("h"))) {
                if (paragraphs_++ > 0) text_.push_back('\n');
                paragraphDepth_ = 1;
            } else if (paragraphDepth_ > 0) {
                ++paragraphDepth_;
                if (x.is("s")) {
                    const qint64 n = std::min<qint64>(Count(x.attribute("c"), 1), 1024);
                    text_.append(size_t(n), ' ');
                } else if (x.is("tab")) {
                    text_.push_back('\t');
                } else if (x.is("line-break")) {
                    text_.push_back('\n');
                }
            }
        } else {
            --cellDepth_;
            if (paragraphDepth_ > 0) --paragraphDepth_;
        }
        return;
    }
    if (t == Token::Text) return;
    const bool start = t == Token::Start;
    const std::string_view name = x.name();
    if (!inTable_) {
        // The data styles come before the body.
        if (name == "date-style" || name == "time-style") {
            if (start) {
                dataStyle_ = x.attribute("name");
                styleHasDate_ = styleHasTime_ = false;
                styleIsTime_ = name == "time-style";
            } else if (!dataStyle_.empty() && dataShapes_.size() < 100'000) {
                dataShapes_[dataStyle_] = styleIsTime_    ? Shape::Time
                                          : styleHasTime_ ? Shape::DateTime
                                                          : Shape::Date;
                dataStyle_.clear();
            }
        } else if (start && !dataStyle_.empty()) {
            if (name == "year" || name == "month" || name == "day" || name == "day-of-week")
                styleHasDate_ = true;
            if (name == "hours" || name == "minutes" || name == "seconds") styleHasTime_ = true;
        } else if (start && name == "style" && cellDataStyle_.size() < 100'000) {
            std::string data;
            if (x.attribute("data-style-name", &data)) cellDataStyle_[x.attribute("name")] = data;
        } else if (start && name == "table") {
            ++sheets_;
            inTable_ = true;
            row_ = complete_ = 0;
        }
        return;
    }
    if (name == "table" && !start) {
        inTable_ = false;
        complete_ = WorkbookLimits::kMaxRow;
    } else if (name == "table-row") {
        if (start) {
            rowRepeat_ = Count(x.attribute("number-rows-repeated"), 1);
            column_ = 0;
            rowCells_.clear();
            rowCellsBeyond_ = 0;
        } else {
            endRow();
        }
    } else if (start && (name == "table-cell" || name == "covered-table-cell")) {
        startCell();
    }
}

}  // namespace

std::unique_ptr<Workbook> OpenOds(std::unique_ptr<Source> source, std::unique_ptr<ZipPackage> zip,
                                  QString* why) {
    auto book = std::make_unique<OdsWorkbook>(std::move(source), std::move(zip));
    if (!book->open(why)) return nullptr;
    return book;
}

}  // namespace tallyra::sheets

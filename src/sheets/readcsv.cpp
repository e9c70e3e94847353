// CSV (or tab-separated) text in UTF-8 or code page 936, read a piece at a time as far as
// the row asked for: a file of any size costs the same memory, a cell at most what a
// spreadsheet's cell holds.
#include <QStringDecoder>
#include <cstring>

#include "common/gbk.h"
#include "sheets/reading.h"

namespace tallyra::sheets {

namespace {

constexpr qint64 kSample = 4 << 20;  // what decides the encoding and the separator
constexpr qint64 kPiece = 1 << 20;

class CsvWorkbook final : public StreamedWorkbook {
public:
    explicit CsvWorkbook(std::unique_ptr<Source> source) : source_(std::move(source)) {}

    bool open(QString* why) {
        std::string sample(size_t(std::min(kSample, source_->size())), '\0');
        if (source_->read(0, sample.data(), qint64(sample.size())) != qint64(sample.size())) {
            if (why) *why = QStringLiteral("无法读取");
            return false;
        }
        if (sample.find('\0') != std::string::npos) {
            if (why) *why = QStringLiteral("不是电子表格");
            return false;
        }
        if (sample.compare(0, 3, "\xEF\xBB\xBF") == 0) position_ = 3;
        // UTF-8 unless the text is not; a sequence cut at the sample's end is no error.
        QStringDecoder check(QStringDecoder::Utf8);
        const QString head = check.decode(QByteArrayView(sample).sliced(position_));
        gbk_ = check.hasError();
        const QString text = gbk_ ? DecodeGbk(QByteArrayView(sample).first(
                                        std::min<qsizetype>(qsizetype(sample.size()), 65536)))
                                  : head;
        const qsizetype firstLine = text.indexOf(u'\n');
        const QStringView line = QStringView(text).left(firstLine < 0 ? text.size() : firstLine);
        separator_ = !line.contains(u',') && line.contains(u'\t') ? u'\t' : u',';
        return true;
    }

protected:
    bool sheetExists(int sheet) override { return sheet == 1; }
    int countSheets() override { return 1; }
    void readThrough(int, int row) override {
        while (!ended_ && complete_ < row) {
            if (at_ == chunk_.size() && !refill()) {
                put();
                ended_ = true;
                complete_ = WorkbookLimits::kMaxRow;
                return;
            }
            parse(row);
            if (!budget().ok()) {
                ended_ = true;
                return;
            }
        }
    }

private:
    bool refill() {
        std::string raw(size_t(kPiece), '\0');
        const qint64 got = source_->read(position_, raw.data(), kPiece);
        if (got < 0) {
            budget().damaged();
            return false;
        }
        if (got == 0) return false;
        if (!budget().read(got, false)) return false;
        raw.resize(size_t(got));
        qint64 take = got;
        if (gbk_) {
            // Cut after a whole character: a lead byte's trail may be any byte from 0x40.
            qint64 i = 0;
            while (i < got) {
                if (quint8(raw[size_t(i)]) >= 0x81) {
                    if (i + 1 >= got) break;
                    i += 2;
                } else {
                    ++i;
                }
            }
            // A lead byte at the very end of the file is decoded as the damage it is.
            take = got < kPiece ? got : i;
            chunk_ = DecodeGbk(QByteArrayView(raw.data(), qsizetype(take)));
        } else {
            chunk_ = utf8_.decode(QByteArrayView(raw.data(), qsizetype(take)));
        }
        position_ += take;
        at_ = 0;
        return true;
    }

    void put() {
        if (!cell_.isEmpty() && row_ <= WorkbookLimits::kMaxRow &&
            column_ <= WorkbookLimits::kMaxColumn) {
            if (column_ <= WorkbookLimits::kReadColumns)
                storeText(1, row_, column_, keep(cell_));
            else
                budget().cells();
        }
        cell_.clear();
    }

    void append(QChar ch) {
        if (cell_.size() < WorkbookLimits::kMaxCellChars) cell_.append(ch);
    }

    void parse(int wanted) {
        const QChar* text = chunk_.constData();
        const qsizetype size = chunk_.size();
        while (at_ < size) {
            const QChar ch = text[at_++];
            if (skipLineFeed_) {
                skipLineFeed_ = false;
                if (ch == u'\n') continue;
            }
            if (quoted_) {
                if (quotePending_) {
                    quotePending_ = false;
                    if (ch == u'"') {
                        append(ch);  // "" inside quotes is one quote
                        continue;
                    }
                    quoted_ = false;  // the quote closed the quoted part; ch is read below
                } else if (ch == u'"') {
                    quotePending_ = true;
                    continue;
                } else {
                    append(ch);
                    continue;
                }
            }
            if (ch == u'"') {
                quoted_ = true;
            } else if (ch == separator_) {
                put();
                if (column_ <= WorkbookLimits::kMaxColumn) ++column_;
            } else if (ch == u'\n' || ch == u'\r') {
                put();
                if (ch == u'\r') skipLineFeed_ = true;
                complete_ = row_;
                if (row_ <= WorkbookLimits::kMaxRow) ++row_;
                column_ = 1;
                if (complete_ >= wanted) return;
            } else {
                append(ch);
            }
        }
    }

    std::unique_ptr<Source> source_;
    qint64 position_ = 0;
    bool gbk_ = false;
    QStringDecoder utf8_{QStringDecoder::Utf8};
    QChar separator_ = u',';
    QString chunk_;
    qsizetype at_ = 0;
    QString cell_;
    int row_ = 1, column_ = 1, complete_ = 0;
    bool quoted_ = false, quotePending_ = false, skipLineFeed_ = false, ended_ = false;
};

}  // namespace

std::unique_ptr<Workbook> OpenCsv(std::unique_ptr<Source> source, QString* why) {
    auto book = std::make_unique<CsvWorkbook>(std::move(source));
    if (!book->open(why)) return nullptr;
    return book;
}

}  // namespace tallyra::sheets

#include "sheets/zipwriter.h"

#include <zlib.h>

#include <QDateTime>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "common/nativefile.h"

namespace tallyra::sheets {

namespace {

constexpr size_t kBufferBytes = 1u << 20;
constexpr quint64 kZip32Limit = 0xFFFFFFFFull;

void Le16(std::string& out, quint16 v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}
void Le32(std::string& out, quint32 v) {
    Le16(out, quint16(v & 0xFFFF));
    Le16(out, quint16(v >> 16));
}

}  // namespace

struct ZipWriter::Deflater {
    z_stream z{};
    bool ready = false;
    std::string out = std::string(256u << 10, '\0');
    ~Deflater() {
        if (ready) deflateEnd(&z);
    }
};

// The pieces of the open entry, deflated and written by a thread of their own.
struct ZipWriter::Worker {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> queue;
    bool closing = false;
    static constexpr size_t kQueued = 8;
};

ZipWriter::ZipWriter(int fd)
    : fd_(fd), z_(std::make_unique<Deflater>()), worker_(std::make_unique<Worker>()) {
    buffer_.reserve(kBufferBytes);
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    date_ = quint16(((std::max(d.year(), 1980) - 1980) << 9) | (d.month() << 5) | d.day());
    time_ = quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
}

ZipWriter::~ZipWriter() { stopWorker(); }

void ZipWriter::stopWorker() {
    if (!worker_->thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(worker_->mutex);
        worker_->closing = true;
    }
    worker_->changed.notify_all();
    worker_->thread.join();
    worker_->closing = false;
    worker_->queue.clear();
}

bool ZipWriter::flush() {
    const qint64 n = qint64(buffer_.size());
    if (WriteAt(fd_, written_, buffer_.data(), n) != n) return fail();
    written_ += n;
    buffer_.clear();
    return true;
}

bool ZipWriter::put(const char* data, size_t n) {
    if (failed_) return false;
    offset_ += n;
    if (offset_ > kZip32Limit) return fail();
    if (buffer_.size() + n > kBufferBytes && !flush()) return false;
    if (n >= kBufferBytes) {
        buffer_.assign(data, n);
        return flush();
    }
    buffer_.append(data, n);
    return true;
}

bool ZipWriter::header(const Entry& e) {
    std::string h;
    Le32(h, 0x04034b50);
    Le16(h, 20);
    Le16(h, 0x0800);  // names in UTF-8
    Le16(h, e.method);
    Le16(h, time_);
    Le16(h, date_);
    Le32(h, e.crc);
    Le32(h, quint32(e.packed));
    Le32(h, quint32(e.size));
    Le16(h, quint16(e.name.size()));
    Le16(h, 0);
    h += e.name;
    return put(h.data(), h.size());
}

bool ZipWriter::copy(const std::string& name, quint16 method, quint32 crc, quint64 size,
                     std::string_view packed) {
    if (open_ || failed_) return false;
    Entry e{name, method, crc, quint64(packed.size()), size, offset_};
    if (size > kZip32Limit) return fail();
    entries_.push_back(e);
    return header(e) && put(packed.data(), packed.size());
}

bool ZipWriter::begin(const std::string& name) {
    if (open_ || failed_) return false;
    Entry e{name, 8, 0, 0, 0, offset_};
    entries_.push_back(e);
    if (!header(e)) return false;
    if (z_->ready) deflateEnd(&z_->z);
    z_->z = z_stream{};
    z_->ready = deflateInit2(&z_->z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!z_->ready) return fail();
    open_ = true;
    Worker& w = *worker_;
    w.thread = std::thread([this, &w] {
        for (;;) {
            std::string piece;
            {
                std::unique_lock<std::mutex> lock(w.mutex);
                w.changed.wait(lock, [&] { return !w.queue.empty() || w.closing; });
                if (w.queue.empty()) return;
                piece = std::move(w.queue.front());
                w.queue.pop_front();
            }
            w.changed.notify_all();
            // After a failure the rest is dropped, so that the writer never waits.
            if (!failed_) deflate(piece.data(), piece.size(), false);
        }
    });
    return true;
}

bool ZipWriter::deflate(const char* data, size_t n, bool last) {
    Entry& e = entries_.back();
    // crc32 of no bytes would restart the checksum.
    if (n > 0) e.crc = quint32(crc32_z(e.crc, reinterpret_cast<const Bytef*>(data), n));
    e.size += n;
    z_stream& z = z_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = uInt(n);
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(z_->out.data());
        z.avail_out = uInt(z_->out.size());
        const int rc = ::deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR) return fail();
        const size_t produced = z_->out.size() - z.avail_out;
        e.packed += produced;
        if (!put(z_->out.data(), produced)) return false;
        if (last ? rc == Z_STREAM_END : (z.avail_in == 0 && z.avail_out != 0)) return true;
    }
}

bool ZipWriter::write(std::string_view bytes) {
    if (!open_ || failed_) return false;
    Worker& w = *worker_;
    // zlib counts in 32 bits: large pieces go in slices.
    while (!bytes.empty()) {
        const size_t n = std::min<size_t>(bytes.size(), 1u << 30);
        {
            std::unique_lock<std::mutex> lock(w.mutex);
            w.changed.wait(lock, [&] { return w.queue.size() < Worker::kQueued || failed_; });
            if (failed_) return false;
            w.queue.emplace_back(bytes.data(), n);
        }
        w.changed.notify_all();
        bytes.remove_prefix(n);
    }
    return true;
}

bool ZipWriter::end() {
    if (!open_) return false;
    open_ = false;
    stopWorker();
    if (failed_ || !deflate(nullptr, 0, true)) return false;
    const Entry& e = entries_.back();
    if (e.size > kZip32Limit) return fail();
    // The sizes and checksum go into the local header written before the data.
    if (!flush()) return false;
    std::string fix;
    Le32(fix, e.crc);
    Le32(fix, quint32(e.packed));
    Le32(fix, quint32(e.size));
    if (WriteAt(fd_, qint64(e.offset + 14), fix.data(), qint64(fix.size())) != qint64(fix.size()))
        return fail();
    return true;
}

bool ZipWriter::add(const std::string& name, std::string_view bytes) {
    return begin(name) && write(bytes) && end();
}

bool ZipWriter::finish() {
    if (open_ || failed_) return false;
    const quint64 start = offset_;
    std::string d;
    for (const Entry& e : entries_) {
        Le32(d, 0x02014b50);
        Le16(d, 20);
        Le16(d, 20);
        Le16(d, 0x0800);
        Le16(d, e.method);
        Le16(d, time_);
        Le16(d, date_);
        Le32(d, e.crc);
        Le32(d, quint32(e.packed));
        Le32(d, quint32(e.size));
        Le16(d, quint16(e.name.size()));
        Le16(d, 0);
        Le16(d, 0);
        Le16(d, 0);
        Le16(d, 0);
        Le32(d, 0);
        Le32(d, quint32(e.offset));
        d += e.name;
    }
    const quint64 size = d.size();
    Le32(d, 0x06054b50);
    Le16(d, 0);
    Le16(d, 0);
    Le16(d, quint16(entries_.size()));
    Le16(d, quint16(entries_.size()));
    Le32(d, quint32(size));
    Le32(d, quint32(start));
    Le16(d, 0);
    if (entries_.size() > 0xFFFF) return fail();
    return put(d.data(), d.size()) && flush();
}

}  // namespace tallyra::sheets

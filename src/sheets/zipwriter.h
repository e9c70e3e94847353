#pragma once

#include <QtGlobal>
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tallyra::sheets {

// Writes a zip archive to an open file, entry after entry: copies of entries packed
// elsewhere, as they are, and entries deflated as they are written (at the fastest level,
// on a thread of their own while the caller makes the next pieces: an export of a million
// rows is mostly deflating). No zip64: an archive or entry past 4 GB fails instead.
class ZipWriter {
public:
    explicit ZipWriter(int fd);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // An entry whose packed bytes are given, with what its directory record says of them.
    bool copy(const std::string& name, quint16 method, quint32 crc, quint64 size,
              std::string_view packed);
    // A whole entry, deflated.
    bool add(const std::string& name, std::string_view bytes);
    // An entry written in pieces; between begin() and end() only write() may be called.
    bool begin(const std::string& name);
    bool write(std::string_view bytes);
    bool end();
    // The central directory; the archive is complete when it returns true.
    bool finish();
    bool failed() const { return failed_.load(); }

private:
    struct Entry {
        std::string name;
        quint16 method = 8;
        quint32 crc = 0;
        quint64 packed = 0, size = 0, offset = 0;
    };
    bool put(const char* data, size_t n);
    bool flush();
    bool header(const Entry& e);
    bool deflate(const char* data, size_t n, bool last);
    bool fail() {
        failed_ = true;
        return false;
    }
    void stopWorker();

    int fd_;
    std::atomic<bool> failed_ = false;
    quint64 offset_ = 0;  // of the next byte, buffered ones included
    qint64 written_ = 0;  // bytes in the file: where the buffer goes
    std::string buffer_;
    std::vector<Entry> entries_;
    bool open_ = false;
    struct Deflater;
    std::unique_ptr<Deflater> z_;
    struct Worker;
    std::unique_ptr<Worker> worker_;
    quint16 time_ = 0, date_ = 0;
};

}  // namespace tallyra::sheets

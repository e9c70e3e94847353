#pragma once

#include <QtGlobal>
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace tallyra {

// One listed event, kept as small as the record it came from: the grid formats its cells
// only when they are shown. Trivial, so that room for a run of them costs no more than
// clearing it (StatsRow{} is all zeros).
struct StatsRow {
    qint32 day;    // OLE date, whole days
    qint16 index;  // roster index
    qint16 minute;
    qint16 late;
    // An absence the calendar or the leave excuses: n > 0 the leave whose kind is label n,
    // n < 0 the closed day of label -n; 0 none.
    qint16 why;
    bool operator==(const StatsRow&) const = default;
};
static_assert(sizeof(StatsRow) <= 12 && std::is_trivial_v<StatsRow>);

// The result rows of a query, in chunks of a fixed size. A stable sort moves them chunk by
// chunk, handing back each chunk it has read for the rows it writes, so it needs a few
// hundred spare chunks rather than a second copy of ten million rows.
class StatsRowStore {
public:
    static constexpr size_t kChunkRows = 4096;

    StatsRowStore() = default;
    StatsRowStore(const StatsRowStore&) = delete;
    StatsRowStore& operator=(const StatsRowStore&) = delete;
    ~StatsRowStore() { clear(); }

    size_t size() const { return size_; }
    const StatsRow& operator[](size_t k) const { return chunks_[k / kChunkRows][k % kChunkRows]; }
    // Drops the rows and gives their memory back.
    void clear();
    // Drops the rows but keeps their memory for the next ones: memory the process already
    // has is filled at the speed of the scan, new memory must first be cleared by the
    // system. trim() gives back what the new rows did not take.
    void recycle();
    void trim();
    // Takes the rows over where they are, without a copy.
    void adopt(std::vector<StatsRow> rows);
    // Room for at least one more row at the end, up to `limit`; commit() then tells how far
    // it was filled.
    StatsRow* room(StatsRow*& limit) {
        if (size_ == chunks_.size() * kChunkRows) chunks_.push_back(take());
        limit = chunks_.back() + kChunkRows;
        return chunks_.back() + (size_ - (chunks_.size() - 1) * kChunkRows);
    }
    void commit(const StatsRow* end) {
        size_ = (chunks_.size() - 1) * kChunkRows + size_t(end - chunks_.back());
        if (end == chunks_.back()) {  // no row in the last chunk after all
            give(chunks_.back());
            chunks_.pop_back();
        }
    }

    // Orders the rows by key(row), an integer from 0 to maxKey; equal keys keep their order.
    // A least-significant-digit radix sort, a byte of the key per pass.
    template <typename Key>
    void stableSort(Key key, quint32 maxKey);

private:
    static constexpr size_t kChunksPerSlab = 128;  // 6 MiB, three large pages

    StatsRow* take();
    void give(StatsRow* chunk) {
        if (chunk != shortTail_) spare_.push_back(chunk);
    }
    template <typename Key>
    void distribute(Key key, int shift, const std::array<size_t, 256>& counts);

    std::vector<StatsRow*> chunks_;  // the rows in order, kChunkRows to a chunk
    size_t size_ = 0;
    std::vector<StatsRow*> spare_;
    struct SlabFree {
        void operator()(StatsRow* p) const;
    };
    std::vector<std::unique_ptr<StatsRow, SlabFree>> slabs_;
    // Adopted rows are used in place; the last chunk of them may be too short to reuse.
    std::vector<StatsRow> adopted_;
    const StatsRow* shortTail_ = nullptr;
};

template <typename Key>
void StatsRowStore::stableSort(Key key, quint32 maxKey) {
    if (size_ < 2) return;
    const int passes = std::max(1, (int(std::bit_width(maxKey)) + 7) / 8);
    std::vector<std::array<size_t, 256>> counts(size_t(passes), std::array<size_t, 256>{});
    for (size_t c = 0; c < chunks_.size(); ++c) {
        const StatsRow* chunk = chunks_[c];
        const size_t n = c + 1 == chunks_.size() ? size_ - c * kChunkRows : kChunkRows;
        for (size_t i = 0; i < n; ++i) {
            const quint32 k = key(chunk[i]);
            for (int p = 0; p < passes; ++p) ++counts[size_t(p)][(k >> (8 * p)) & 0xff];
        }
    }
    for (int p = 0; p < passes; ++p) {
        const std::array<size_t, 256>& c = counts[size_t(p)];
        // A byte all rows share leaves their order as it is.
        if (std::find(c.begin(), c.end(), size_) == c.end()) distribute(key, 8 * p, c);
    }
}

template <typename Key>
void StatsRowStore::distribute(Key key, int shift, const std::array<size_t, 256>& counts) {
    std::array<size_t, 256> next;
    size_t at = 0;
    for (size_t b = 0; b < 256; ++b) {
        next[b] = at;
        at += counts[b];
    }
    // Every row's place is known from the counts, so each chunk of the new order is taken
    // when its first row arrives, and each chunk read is free for reuse at once.
    std::vector<StatsRow*> sorted(chunks_.size(), nullptr);
    for (size_t c = 0; c < chunks_.size(); ++c) {
        StatsRow* chunk = chunks_[c];
        const size_t n = c + 1 == chunks_.size() ? size_ - c * kChunkRows : kChunkRows;
        for (size_t i = 0; i < n; ++i) {
            const StatsRow row = chunk[i];
            const size_t to = next[(key(row) >> shift) & 0xff]++;
            StatsRow*& target = sorted[to / kChunkRows];
            if (!target) target = take();
            target[to % kChunkRows] = row;
        }
        give(chunk);
    }
    chunks_ = std::move(sorted);
}

}  // namespace tallyra

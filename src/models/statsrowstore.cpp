#include "models/statsrowstore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "common/largepages.h"

namespace tallyra {

namespace {
constexpr size_t kLargePage = size_t(2) << 20;
constexpr size_t kSlabBytes = 3 * kLargePage;
}  // namespace

// Aligned operator new rather than aligned_alloc, which the Windows C runtime lacks.
void StatsRowStore::SlabFree::operator()(StatsRow* p) const {
    ::operator delete(p, std::align_val_t(kLargePage));
}

StatsRow* StatsRowStore::take() {
    static_assert(kChunkRows * sizeof(StatsRow) * kChunksPerSlab == kSlabBytes);
    if (spare_.empty()) {
        void* raw = ::operator new(kSlabBytes, std::align_val_t(kLargePage));
        AdviseLargePages(raw, kSlabBytes);
        auto* slab = static_cast<StatsRow*>(raw);
        slabs_.emplace_back(slab);
        for (size_t c = kChunksPerSlab; c-- > 1;) spare_.push_back(slab + c * kChunkRows);
        return slab;
    }
    StatsRow* chunk = spare_.back();
    spare_.pop_back();
    return chunk;
}

void StatsRowStore::clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    spare_.clear();
    spare_.shrink_to_fit();
    slabs_.clear();
    adopted_ = {};
    shortTail_ = nullptr;
    size_ = 0;
}

void StatsRowStore::recycle() {
    chunks_.clear();
    adopted_ = {};
    shortTail_ = nullptr;
    size_ = 0;
    // Taken slab by slab, in order, so trim() finds whole slabs left over.
    spare_.clear();
    for (auto s = slabs_.rbegin(); s != slabs_.rend(); ++s)
        for (size_t c = kChunksPerSlab; c-- > 0;) spare_.push_back(s->get() + c * kChunkRows);
}

void StatsRowStore::trim() {
    std::vector<std::uintptr_t> bases;
    for (const auto& slab : slabs_) bases.push_back(reinterpret_cast<std::uintptr_t>(slab.get()));
    std::sort(bases.begin(), bases.end());
    // The slab a chunk was cut from, or bases.size() for adopted rows.
    const auto slabOf = [&](const StatsRow* chunk) {
        const auto p = reinterpret_cast<std::uintptr_t>(chunk);
        const auto after = std::upper_bound(bases.begin(), bases.end(), p);
        if (after == bases.begin() || p >= *(after - 1) + kSlabBytes) return bases.size();
        return size_t(after - bases.begin() - 1);
    };
    std::vector<char> used(bases.size() + 1, 0);
    used.back() = 1;
    for (const StatsRow* c : chunks_) used[slabOf(c)] = 1;
    std::erase_if(spare_, [&](const StatsRow* c) { return !used[slabOf(c)]; });
    std::erase_if(slabs_, [&](const auto& slab) { return !used[slabOf(slab.get())]; });
}

void StatsRowStore::adopt(std::vector<StatsRow> rows) {
    clear();
    if (rows.empty()) return;
    adopted_ = std::move(rows);
    size_ = adopted_.size();
    for (size_t at = 0; at < size_; at += kChunkRows) chunks_.push_back(adopted_.data() + at);
    // Rows past the end of the vector are not ours to write, so a short last chunk is
    // never reused.
    if (size_ % kChunkRows != 0) shortTail_ = chunks_.back();
}

}  // namespace tallyra

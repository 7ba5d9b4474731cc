#include "basearray.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#include "hugeheap.h"

BaseArray::BaseArray(std::size_t elementSize, int initial, int delta, void*)
    : elementSize_(elementSize ? elementSize : 1),
      initial_(initial > 0 ? initial : 1),
      delta_(delta > 0 ? delta : 1) {}

BaseArray::~BaseArray() {
    Release();
}

void BaseArray::DeleteAll() {
    DeleteAllRaw();
}
void BaseArray::DeleteNum(int index) {
    DeleteNumRaw(index);
}

namespace {

constexpr std::size_t kHugePage = host::kHugePageSize;

// Large arrays (the samples of an hour file, the items of a report) live in a
// mapping of their own, whole huge pages that the system is asked to back with
// huge pages: a fresh process then takes one page fault per 2 MB instead of one
// per 4 kB, which on a virtual machine costs more than filling the memory. The
// mapping grows by remapping, without a copy. Null when there is no memory.
std::byte* MapHuge(std::size_t bytes) {
    // Mapped one huge page longer and trimmed to a huge-page boundary.
    void* wide = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (wide == MAP_FAILED) return nullptr;
    const auto at = reinterpret_cast<std::uintptr_t>(wide);
    const std::uintptr_t begin = (at + kHugePage - 1) & ~(kHugePage - 1);
    if (begin > at) munmap(wide, begin - at);
    if (at + kHugePage > begin)
        munmap(reinterpret_cast<void*>(begin + bytes), at + kHugePage - begin);
    auto* block = reinterpret_cast<std::byte*>(begin);
    host::AdviseHugePages(block, bytes);
    return block;
}

std::byte* RemapHuge(std::byte* block, std::size_t from, std::size_t to) {
    void* moved = mremap(block, from, to, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) return nullptr;
    host::AdviseHugePages(moved, to);
    return static_cast<std::byte*>(moved);
}

// The mappings of large arrays let go, kept for the next large array when the
// process asks for it (BaseArray::KeepLargeBlocks): a run repeated day after
// day (a backfill) finds its samples' and its report's pages in place instead
// of having them faulted in and zeroed afresh. At most kSpareBlocks of
// `budget` bytes in all; the smallest that fits is taken.
class SpareMappings {
  public:
    static constexpr std::size_t kSpareBlocks = 4;

    // A kept mapping of at least `bytes`, its length in `mapped`; null when
    // none fits.
    std::byte* Take(std::size_t bytes, std::size_t& mapped) {
        const std::lock_guard lock(mutex_);
        auto best = blocks_.end();
        for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
            if (it->second >= bytes && (best == blocks_.end() || it->second < best->second))
                best = it;
        if (best == blocks_.end()) return nullptr;
        std::byte* block = best->first;
        mapped = best->second;
        held_ -= mapped;
        blocks_.erase(best);
        return block;
    }
    // Keeps the mapping; false when there is no room (the caller unmaps it).
    bool Keep(std::byte* block, std::size_t mapped) {
        const std::lock_guard lock(mutex_);
        if (blocks_.size() >= kSpareBlocks || held_ + mapped > budget_) return false;
        blocks_.emplace_back(block, mapped);
        held_ += mapped;
        return true;
    }

    // Keeps up to `bytes` from now on; 0 keeps none and lets the kept go.
    void SetBudget(std::size_t bytes) {
        const std::lock_guard lock(mutex_);
        budget_ = bytes;
        while (held_ > budget_ && !blocks_.empty()) {
            munmap(blocks_.back().first, blocks_.back().second);
            held_ -= blocks_.back().second;
            blocks_.pop_back();
        }
    }

  private:
    std::mutex mutex_;
    std::size_t budget_ = 0;
    std::vector<std::pair<std::byte*, std::size_t>> blocks_;
    std::size_t held_ = 0;
};

// Never destroyed: arrays of static objects are let go after it would be.
SpareMappings& Spares() {
    static auto* spares = new SpareMappings;
    return *spares;
}

}  // namespace

void BaseArray::KeepLargeBlocks(std::size_t bytes) {
    Spares().SetBudget(bytes);
}

void BaseArray::Release() {
    if (mapped_) {
        if (!Spares().Keep(data_, mapped_)) munmap(data_, mapped_);
    } else {
        std::free(data_);
    }
    data_ = nullptr;
    mapped_ = 0;
}

void BaseArray::Reserve(int count) {
    if (count <= capacity_) return;
    const std::size_t bytes = std::size_t(count) * elementSize_;
    if (bytes < kHugePage / 2 && !mapped_) {
        void* grown = std::realloc(data_, bytes);
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<std::byte*>(grown);
        capacity_ = count;
        return;
    }
    // Whole huge pages; the rounding is capacity too.
    std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    std::byte* block = nullptr;
    if (mapped_) {
        block = RemapHuge(data_, mapped_, rounded);
        if (!block) throw std::bad_alloc();
    } else {
        std::size_t kept = 0;
        block = Spares().Take(rounded, kept);
        if (block)
            rounded = kept;
        else
            block = MapHuge(rounded);
        if (!block) throw std::bad_alloc();
        if (count_) std::memcpy(block, data_, std::size_t(count_) * elementSize_);
        std::free(data_);
    }
    data_ = block;
    mapped_ = rounded;
    capacity_ = int(std::min<std::size_t>(rounded / elementSize_, std::numeric_limits<int>::max()));
}

void* BaseArray::AddRaw(const void* source) {
    if (count_ == capacity_) {
        const long long grown =
            capacity_ == 0 ? initial_ : (long long)capacity_ + std::max(delta_, capacity_ / 2);
        if (count_ == std::numeric_limits<int>::max()) throw std::bad_alloc();
        Reserve(int(std::min<long long>(grown, std::numeric_limits<int>::max())));
    }
    std::byte* item = data_ + std::size_t(count_) * elementSize_;
    if (source)
        std::memcpy(item, source, elementSize_);
    else
        std::memset(item, 0, elementSize_);
    ++count_;
    return item;
}

void* BaseArray::AddRawMany(const void* source, int count) {
    if (count <= 0) return nullptr;
    if (count > std::numeric_limits<int>::max() - count_) throw std::bad_alloc();
    if (count_ + count > capacity_) {
        const long long grown =
            capacity_ == 0 ? initial_ : (long long)capacity_ + std::max(delta_, capacity_ / 2);
        Reserve(int(std::min<long long>(std::max<long long>(grown, count_ + count),
                                        std::numeric_limits<int>::max())));
    }
    std::byte* first = data_ + std::size_t(count_) * elementSize_;
    std::memcpy(first, source, std::size_t(count) * elementSize_);
    count_ += count;
    return first;
}

void BaseArray::DeleteAllRaw() {
    Release();
    count_ = 0;
    capacity_ = 0;
}

void BaseArray::DeleteNumRaw(int index) {
    if (index < 0 || index >= count_) return;
    std::byte* item = data_ + std::size_t(index) * elementSize_;
    std::memmove(item, item + elementSize_, std::size_t(count_ - index - 1) * elementSize_);
    --count_;
}

bool BaseArray::Swap(int a, int b) {
    if (a < 0 || b < 0 || a >= count_ || b >= count_) return false;
    if (a == b) return true;
    std::byte* pa = data_ + std::size_t(a) * elementSize_;
    std::byte* pb = data_ + std::size_t(b) * elementSize_;
    for (std::size_t i = 0; i < elementSize_; ++i)
        std::swap(pa[i], pb[i]);
    return true;
}

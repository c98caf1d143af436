#include "localtable/RowOrder.h"

#include "toolkit/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zen {

namespace {

// Rows live in sorted blocks of at most 2 * kBlock entries: an insert moves pointers
// within one block only, and a block that grows too long is split in two. A Fenwick tree
// over the block sizes turns positions into blocks and back in logarithmic time.
constexpr size_t kBlock = 512;

// A row and its sort key, the key's bytes right behind the entry: a comparison during a
// search then touches one place in memory, not two.
struct TEntry {
    TLocalRow Row;
    size_t KeySize;
    std::string_view Key() const { return {reinterpret_cast<const char*>(this + 1), KeySize}; }
};

struct TEntryFree {
    void operator()(TEntry* e) const {
        e->~TEntry();
        ::operator delete(e);
    }
};
using TEntryPtr = std::unique_ptr<TEntry, TEntryFree>;

TEntryPtr MakeEntry(const TSqliteTable& table, TLocalRow row) {
    std::string key = table.SortKey(row);
    void* memory = ::operator new(sizeof(TEntry) + key.size());
    TEntryPtr e(new (memory) TEntry{std::move(row), key.size()});
    std::memcpy(reinterpret_cast<char*>(e.get() + 1), key.data(), key.size());
    return e;
}

bool KeyBefore(const TEntry* a, std::string_view key) {
    return a->Key() < key;
}

} // namespace

struct TRowOrder::Impl {
    explicit Impl(const TSqliteTable& t) : table(t) {}

    const TSqliteTable& table;
    std::vector<std::vector<TEntry*>> blocks;    // each sorted and not empty
    std::vector<const TEntry*> lasts;            // the last entry of each block
    std::vector<size_t> fenwick;                 // 1-based, over the block sizes
    std::unordered_map<int64_t, TEntryPtr> byId; // owns the entries
    size_t size = 0;

    // After blocks came or went.
    void Rebuild() {
        lasts.clear();
        for (const auto& block : blocks) {
            lasts.push_back(block.back());
        }
        fenwick.assign(blocks.size() + 1, 0);
        for (size_t b = 0; b < blocks.size(); ++b) {
            for (size_t i = b + 1; i < fenwick.size(); i += i & (~i + 1)) {
                fenwick[i] += blocks[b].size();
            }
        }
    }
    void Add(size_t block, long delta) {
        for (size_t i = block + 1; i < fenwick.size(); i += i & (~i + 1)) {
            fenwick[i] += static_cast<size_t>(delta);
        }
    }
    // Rows in the blocks before this one.
    size_t Before(size_t block) const {
        size_t n = 0;
        for (size_t i = block; i > 0; i -= i & (~i + 1)) {
            n += fenwick[i];
        }
        return n;
    }
    // The block that holds a position, and the position within it.
    size_t BlockOf(size_t& position) const {
        size_t at = 0, step = 1;
        while (step * 2 < fenwick.size()) {
            step *= 2;
        }
        for (; step > 0; step /= 2) {
            if (at + step < fenwick.size() && fenwick[at + step] <= position) {
                at += step;
                position -= fenwick[at];
            }
        }
        return at;
    }
    // The first block whose last key is not before `key` (the last block when none is).
    size_t BlockFor(std::string_view key) const {
        auto it = std::lower_bound(lasts.begin(), lasts.end(), key, KeyBefore);
        return it == lasts.end() ? lasts.size() - 1 : size_t(it - lasts.begin());
    }
};

TRowOrder::TRowOrder(const TSqliteTable& table) : impl_(std::make_unique<Impl>(table)) {}

TRowOrder::~TRowOrder() = default;

size_t TRowOrder::Size() const {
    return impl_->size;
}

void TRowOrder::Assign(std::vector<TLocalRow> rows) {
    Impl& m = *impl_;
    m.blocks.clear();
    m.byId.clear();
    m.size = 0;
    std::vector<TEntry*> sorted;
    sorted.reserve(rows.size());
    m.byId.reserve(rows.size());
    for (TLocalRow& row : rows) {
        int64_t id = row.RowId;
        TEntryPtr entry = MakeEntry(m.table, std::move(row));
        sorted.push_back(entry.get());
        if (!m.byId.emplace(id, std::move(entry)).second) {
            throw EDatabaseError("Row " + std::to_string(id) + " is held twice");
        }
    }
    // Rows read from the file come in order already; anything else is sorted here.
    auto less = [](const TEntry* a, const TEntry* b) { return a->Key() < b->Key(); };
    if (!std::is_sorted(sorted.begin(), sorted.end(), less)) {
        std::sort(sorted.begin(), sorted.end(), less);
    }
    for (size_t at = 0; at < sorted.size(); at += kBlock) {
        size_t end = std::min(sorted.size(), at + kBlock);
        m.blocks.emplace_back(sorted.begin() + long(at), sorted.begin() + long(end));
    }
    m.size = sorted.size();
    m.Rebuild();
}

size_t TRowOrder::Insert(TLocalRow row) {
    Impl& m = *impl_;
    int64_t id = row.RowId;
    if (m.byId.count(id)) {
        throw EDatabaseError("Row " + std::to_string(id) + " is held twice");
    }
    TEntryPtr entry = MakeEntry(m.table, std::move(row));
    TEntry* e = entry.get();
    m.byId.emplace(id, std::move(entry));
    ++m.size;
    if (m.blocks.empty()) {
        m.blocks.push_back({e});
        m.Rebuild();
        return 0;
    }
    size_t b = m.BlockFor(e->Key());
    std::vector<TEntry*>& block = m.blocks[b];
    auto at = std::lower_bound(block.begin(), block.end(), e->Key(), KeyBefore);
    size_t index = size_t(at - block.begin());
    block.insert(at, e);
    size_t position = m.Before(b) + index;
    if (block.size() > 2 * kBlock) {
        std::vector<TEntry*> upper(block.begin() + long(kBlock), block.end());
        block.resize(kBlock);
        m.blocks.insert(m.blocks.begin() + long(b) + 1, std::move(upper));
        m.Rebuild();
    } else {
        m.lasts[b] = block.back();
        m.Add(b, 1);
    }
    return position;
}

void TRowOrder::Erase(int64_t rowId) {
    Impl& m = *impl_;
    auto found = m.byId.find(rowId);
    if (found == m.byId.end()) {
        return;
    }
    std::string_view key = found->second->Key();
    size_t b = m.BlockFor(key);
    std::vector<TEntry*>& block = m.blocks[b];
    block.erase(std::lower_bound(block.begin(), block.end(), key, KeyBefore));
    if (block.empty()) {
        m.blocks.erase(m.blocks.begin() + long(b));
        m.Rebuild();
    } else {
        m.lasts[b] = block.back();
        m.Add(b, -1);
    }
    m.byId.erase(found);
    --m.size;
}

const TLocalRow& TRowOrder::At(size_t position) const {
    if (position >= impl_->size) {
        throw EListError("Row position " + std::to_string(position) + " out of range");
    }
    size_t b = impl_->BlockOf(position);
    return impl_->blocks[b][position]->Row;
}

const TLocalRow* TRowOrder::Find(int64_t rowId) const {
    auto found = impl_->byId.find(rowId);
    return found == impl_->byId.end() ? nullptr : &found->second->Row;
}

long TRowOrder::Position(int64_t rowId) const {
    const Impl& m = *impl_;
    auto found = m.byId.find(rowId);
    if (found == m.byId.end()) {
        return -1;
    }
    std::string_view key = found->second->Key();
    size_t b = m.BlockFor(key);
    const std::vector<TEntry*>& block = m.blocks[b];
    auto at = std::lower_bound(block.begin(), block.end(), key, KeyBefore);
    return static_cast<long>(m.Before(b) + size_t(at - block.begin()));
}

} // namespace zen

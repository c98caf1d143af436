#include "localtable/RowOrder.h"

#include "toolkit/Exceptions.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace zen {

namespace {

// A held row: its RowId, and the first bytes of its sort key, which decide most
// comparisons without reading the row (zero bytes after a short key are decided by the
// whole key).
struct TSlot {
    int64_t id;
    uint64_t prefix;
};

uint64_t Prefix(std::string_view key) {
    uint64_t p = 0;
    for (size_t i = 0; i < 8; ++i) {
        p = (p << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    }
    return p;
}

// Slots live in sorted blocks of at most 2 * kBlock: an insert moves ids within one
// block only, and a block that grows too long is split in two. A Fenwick tree over the
// block sizes turns positions into blocks and back in logarithmic time.
constexpr size_t kBlock = 64;

// Rows read from the file and kept for the next reads: enough for moving to and fro
// around the cursor.
constexpr size_t kKeptRows = 256;
// Sort keys kept for the searches: every search within a block compares with the same few
// rows first, and keeping theirs for all blocks spares most reads (a few MiB at most).
constexpr size_t kKeptKeys = 16384;

} // namespace

struct TRowOrder::Impl {
    explicit Impl(const TSqliteTable& t) : table(t) {}

    const TSqliteTable& table;
    std::vector<std::vector<TSlot>> blocks; // each sorted and not empty
    std::vector<std::string> lasts;         // the sort key of each block's last row
    std::vector<size_t> fenwick;            // 1-based, over the block sizes
    size_t size = 0;
    mutable std::unordered_map<int64_t, TLocalRow> kept;
    mutable std::unordered_map<int64_t, std::string> keys;
    // A row being removed, as it was placed: its key must not change during the search.
    std::optional<std::pair<int64_t, std::string>> pinned;

    void Clear() {
        blocks.clear();
        lasts.clear();
        fenwick.clear();
        kept.clear();
        keys.clear();
        size = 0;
    }
    // The row as this order last saw it: kept, or read from the file.
    const TLocalRow* Row(int64_t id) const {
        if (auto found = kept.find(id); found != kept.end()) {
            return &found->second;
        }
        TLocalRow row;
        if (!table.ReadRow(id, row)) {
            return nullptr;
        }
        return &Keep(std::move(row));
    }
    const TLocalRow& Keep(TLocalRow row) const {
        if (kept.size() >= kKeptRows) {
            kept.clear();
        }
        int64_t id = row.RowId;
        return kept.insert_or_assign(id, std::move(row)).first->second;
    }
    const std::string& Key(int64_t id) const {
        if (pinned && pinned->first == id) {
            return pinned->second;
        }
        if (auto found = keys.find(id); found != keys.end()) {
            return found->second;
        }
        const TLocalRow* row = Row(id);
        if (!row) {
            Gone(id);
        }
        return KeepKey(id, table.SortKey(*row));
    }
    [[noreturn]] void Gone(int64_t id) const {
        throw EDatabaseError("Table '" + table.Name() + "': row " + std::to_string(id) +
                             " was removed from the file by another writer");
    }
    const std::string& KeepKey(int64_t id, std::string key) const {
        if (keys.size() >= kKeptKeys) {
            keys.clear();
        }
        return keys.insert_or_assign(id, std::move(key)).first->second;
    }
    void Forget(int64_t id) {
        kept.erase(id);
        keys.erase(id);
    }
    // The first place in a block whose row's key is not before `key`.
    size_t LowerBound(const std::vector<TSlot>& block, std::string_view key) const {
        const uint64_t prefix = Prefix(key);
        size_t low = 0, high = block.size();
        while (low < high) {
            size_t mid = low + (high - low) / 2;
            const TSlot& slot = block[mid];
            if (slot.prefix != prefix ? slot.prefix < prefix : Key(slot.id) < key) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        return low;
    }

    // After blocks came or went.
    void RebuildSizes() {
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
        auto it = std::lower_bound(lasts.begin(), lasts.end(), key,
                                   [](const std::string& a, std::string_view k) { return a < k; });
        return it == lasts.end() ? lasts.size() - 1 : size_t(it - lasts.begin());
    }
    // The block and place of a held row with this key, or false.
    bool Locate(std::string_view key, int64_t id, size_t& block, size_t& index) const {
        if (blocks.empty()) {
            return false;
        }
        block = BlockFor(key);
        index = LowerBound(blocks[block], key);
        return index < blocks[block].size() && blocks[block][index].id == id;
    }
};

TRowOrder::TRowOrder(const TSqliteTable& table) : impl_(std::make_unique<Impl>(table)) {}

TRowOrder::~TRowOrder() = default;

size_t TRowOrder::Size() const {
    return impl_->size;
}

void TRowOrder::Load() {
    Impl& m = *impl_;
    m.Clear();
    // The file gives the rows in their order already, but for the odd text that SQL and
    // the keys order differently; only then are all the keys held together and sorted.
    std::vector<TSlot> ids;
    std::vector<std::string> lasts;
    std::string previous, key;
    bool ordered = true;
    m.table.ForEachRow([&](TLocalRow&& row) {
        key = m.table.SortKey(row);
        ordered = ordered && (ids.empty() || previous < key);
        ids.push_back({row.RowId, Prefix(key)});
        if (ids.size() % kBlock == 0) {
            lasts.push_back(key);
        }
        previous.swap(key);
    });
    if (!ordered) {
        std::vector<std::pair<std::string, int64_t>> keyed;
        keyed.reserve(ids.size());
        m.table.ForEachRow(
            [&](TLocalRow&& row) { keyed.emplace_back(m.table.SortKey(row), row.RowId); });
        std::sort(keyed.begin(), keyed.end());
        ids.clear();
        lasts.clear();
        for (auto& [k, id] : keyed) {
            ids.push_back({id, Prefix(k)});
            if (ids.size() % kBlock == 0) {
                lasts.push_back(k);
            }
            previous = std::move(k);
        }
    }
    if (ids.size() % kBlock != 0) {
        lasts.push_back(previous);
    }
    for (size_t at = 0; at < ids.size(); at += kBlock) {
        m.blocks.emplace_back(ids.begin() + long(at),
                              ids.begin() + long(std::min(ids.size(), at + kBlock)));
    }
    m.lasts = std::move(lasts);
    m.size = ids.size();
    m.RebuildSizes();
}

size_t TRowOrder::Insert(const TLocalRow& row) {
    Impl& m = *impl_;
    std::string key = m.table.SortKey(row);
    m.Keep(row);
    m.KeepKey(row.RowId, key);
    if (m.blocks.empty()) {
        m.blocks.push_back({{row.RowId, Prefix(key)}});
        m.lasts.push_back(std::move(key));
        m.RebuildSizes();
        ++m.size;
        return 0;
    }
    size_t b = m.BlockFor(key);
    std::vector<TSlot>& block = m.blocks[b];
    // A row that sorts after every other, as rows written in order do, needs no search.
    size_t index = key > m.lasts[b] ? block.size() : m.LowerBound(block, key);
    if (index < block.size() && block[index].id == row.RowId) {
        throw EDatabaseError("Row " + std::to_string(row.RowId) + " is held twice");
    }
    block.insert(block.begin() + long(index), TSlot{row.RowId, Prefix(key)});
    if (index + 1 == block.size()) {
        m.lasts[b] = std::move(key);
    }
    ++m.size;
    size_t position = m.Before(b) + index;
    if (block.size() > 2 * kBlock) {
        std::vector<TSlot> upper(block.begin() + long(kBlock), block.end());
        block.resize(kBlock);
        m.lasts.insert(m.lasts.begin() + long(b), m.Key(block.back().id));
        m.blocks.insert(m.blocks.begin() + long(b) + 1, std::move(upper));
        m.RebuildSizes();
    } else {
        m.Add(b, 1);
    }
    return position;
}

void TRowOrder::Erase(const TLocalRow& row) {
    Impl& m = *impl_;
    // The search compares with the row as it was placed, whatever the file holds now.
    m.Forget(row.RowId);
    m.pinned.emplace(row.RowId, m.table.SortKey(row));
    size_t b = 0, index = 0;
    bool held = false;
    try {
        held = m.Locate(m.pinned->second, row.RowId, b, index);
    } catch (...) {
        m.pinned.reset();
        throw;
    }
    m.pinned.reset();
    if (!held) {
        return;
    }
    std::vector<TSlot>& block = m.blocks[b];
    block.erase(block.begin() + long(index));
    --m.size;
    if (block.empty()) {
        m.blocks.erase(m.blocks.begin() + long(b));
        m.lasts.erase(m.lasts.begin() + long(b));
        m.RebuildSizes();
        return;
    }
    if (index == block.size()) {
        m.lasts[b] = m.Key(block.back().id);
    }
    m.Add(b, -1);
}

const TLocalRow& TRowOrder::At(size_t position) const {
    const Impl& m = *impl_;
    if (position >= m.size) {
        throw EListError("Row position " + std::to_string(position) + " out of range");
    }
    size_t b = m.BlockOf(position);
    int64_t id = m.blocks[b][position].id;
    const TLocalRow* row = m.Row(id);
    if (!row) {
        m.Gone(id);
    }
    return *row;
}

const TLocalRow* TRowOrder::Find(int64_t rowId) const {
    return Position(rowId) >= 0 ? impl_->Row(rowId) : nullptr;
}

long TRowOrder::Position(int64_t rowId) const {
    const Impl& m = *impl_;
    const TLocalRow* row = m.Row(rowId);
    size_t b = 0, index = 0;
    if (!row || !m.Locate(m.table.SortKey(*row), rowId, b, index)) {
        return -1;
    }
    return static_cast<long>(m.Before(b) + index);
}

} // namespace zen

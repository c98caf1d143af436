#include "localtable/RowOrder.h"

#include "toolkit/Exceptions.h"

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>
#include <unordered_map>

namespace zen {

namespace {

struct TBefore {
    const TSqliteTable* table;
    bool operator()(const TLocalRow& a, const TLocalRow& b) const { return table->Before(a, b); }
};

// A red-black tree whose nodes also count their subtrees: position to row and row to
// position both take logarithmic time. Its iterators stay valid until their row is erased.
using TTree = __gnu_pbds::tree<TLocalRow, __gnu_pbds::null_type, TBefore, __gnu_pbds::rb_tree_tag,
                               __gnu_pbds::tree_order_statistics_node_update>;

} // namespace

struct TRowOrder::Impl {
    explicit Impl(const TSqliteTable& table) : tree(TBefore{&table}) {}
    TTree tree;
    std::unordered_map<int64_t, TTree::iterator> byId;
};

TRowOrder::TRowOrder(const TSqliteTable& table) : impl_(std::make_unique<Impl>(table)) {}

TRowOrder::~TRowOrder() = default;

size_t TRowOrder::Size() const {
    return impl_->tree.size();
}

void TRowOrder::Assign(std::vector<TLocalRow> rows) {
    impl_->tree.clear();
    impl_->byId.clear();
    impl_->byId.reserve(rows.size());
    for (TLocalRow& row : rows) {
        Insert(std::move(row));
    }
}

size_t TRowOrder::Insert(TLocalRow row) {
    int64_t id = row.RowId;
    if (impl_->byId.count(id)) {
        throw EDatabaseError("Row " + std::to_string(id) + " is held twice");
    }
    auto [it, inserted] = impl_->tree.insert(row);
    if (!inserted) {
        throw EDatabaseError("Row " + std::to_string(id) + " is held twice");
    }
    impl_->byId.emplace(id, it);
    return impl_->tree.order_of_key(*it);
}

void TRowOrder::Erase(int64_t rowId) {
    auto found = impl_->byId.find(rowId);
    if (found == impl_->byId.end()) {
        return;
    }
    impl_->tree.erase(found->second);
    impl_->byId.erase(found);
}

const TLocalRow& TRowOrder::At(size_t position) const {
    if (position >= impl_->tree.size()) {
        throw EListError("Row position " + std::to_string(position) + " out of range");
    }
    return *impl_->tree.find_by_order(position);
}

const TLocalRow* TRowOrder::Find(int64_t rowId) const {
    auto found = impl_->byId.find(rowId);
    return found == impl_->byId.end() ? nullptr : &*found->second;
}

long TRowOrder::Position(int64_t rowId) const {
    auto found = impl_->byId.find(rowId);
    if (found == impl_->byId.end()) {
        return -1;
    }
    return static_cast<long>(impl_->tree.order_of_key(*found->second));
}

} // namespace zen

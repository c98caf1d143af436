#include "odbc/Hbase.h"

#include "odbc/Henv.h"

namespace zen {

THbase::THbase(TComponent* owner) : TComponent(owner), live_(std::make_shared<TLiveRef>()) {
    live_->component = this;
}

THbase::~THbase() {
    live_->component = nullptr;
}

void THbase::DoAfterInit() {
    FireEvent(AfterInit, this);
}

void THbase::DoBeforeTerminate() {
    FireEvent(BeforeTerminate, this);
}

bool THbase::Checked(SQLRETURN rc, THbase* source) {
    retCode_ = rc;
    THenv::Instance().Error().Check(source ? source : this, rc);
    return SQL_SUCCEEDED(rc);
}

void TChildren::Add(THbase* child) {
    if (!child || Contains(child)) {
        return;
    }
    head_ = new Node{child, head_};
}

void TChildren::Remove(THbase* child) noexcept {
    for (Node** link = &head_; *link; link = &(*link)->next) {
        if ((*link)->item == child) {
            Node* gone = *link;
            *link = gone->next;
            delete gone;
            return;
        }
    }
}

void TChildren::TerminateAll() {
    while (head_) {
        THbase* child = head_->item;
        try {
            child->Terminate();
        } catch (...) {
            Remove(child);
            throw;
        }
        if (head_ && head_->item == child) {
            Remove(child);
        }
    }
}

void TChildren::Clear() noexcept {
    while (head_) {
        Node* gone = head_;
        head_ = gone->next;
        delete gone;
    }
}

int TChildren::Count() const noexcept {
    int n = 0;
    for (Node* p = head_; p; p = p->next) {
        ++n;
    }
    return n;
}

bool TChildren::Contains(const THbase* child) const noexcept {
    for (Node* p = head_; p; p = p->next) {
        if (p->item == child) {
            return true;
        }
    }
    return false;
}

} // namespace zen

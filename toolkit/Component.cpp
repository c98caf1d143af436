#include "toolkit/Component.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cctype>

namespace zen {

TComponent::TComponent(TComponent* owner) {
    if (owner) {
        owner_ = owner;
        owner->components_.push_back(this);
        owner->unannounced_.push_back(this);
    }
}

TComponent::~TComponent() {
    state_ |= csDestroying;
    // Those who asked to hear of our going drop their references first.
    auto notifies = freeNotifies_;
    for (TComponent* c : notifies) {
        c->RemoveFreeNotification(this);
        c->Notification(this, TOperation::opRemove);
    }
    if (owner_) {
        owner_->RemoveComponent(this);
    }
    // Children go in reverse order of creation, each told by the owner before it is freed.
    unannounced_.clear();
    while (!components_.empty()) {
        TComponent* child = components_.back();
        components_.pop_back();
        child->owner_ = nullptr;
        Notification(child, TOperation::opRemove);
        delete child;
    }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) {
        return nullptr;
    }
    for (TComponent* c : components_) {
        if (SameName(c->name_, name)) {
            return c;
        }
    }
    return nullptr;
}

void TComponent::InsertComponent(TComponent* child) {
    if (!child || child->owner_ == this) {
        return;
    }
    if (child->owner_) {
        child->owner_->RemoveComponent(child);
    }
    AnnounceComponents();
    child->owner_ = this;
    components_.push_back(child);
    NotifyTree(child, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* child) {
    auto it = std::find(components_.begin(), components_.end(), child);
    if (it == components_.end()) {
        return;
    }
    // One that is going before it was announced is not announced now (it may be half
    // destroyed); its going is told all the same, since others may have found it.
    std::erase(unannounced_, child);
    AnnounceComponents();
    NotifyTree(child, TOperation::opRemove);
    components_.erase(std::find(components_.begin(), components_.end(), child));
    child->owner_ = nullptr;
}

void TComponent::AnnounceComponents() {
    // One at a time: a notification may make, move or free components.
    while (!unannounced_.empty()) {
        TComponent* c = unannounced_.front();
        unannounced_.erase(unannounced_.begin());
        if (c->owner_ == this) {
            NotifyTree(c, TOperation::opInsert);
        }
    }
}

void TComponent::NotifyTree(TComponent* component, TOperation operation) {
    Notification(component, operation);
    // Copy: a notification may free or re-parent siblings.
    auto children = components_;
    for (TComponent* c : children) {
        if (c != component) {
            c->Notification(component, operation);
        }
    }
}

void TComponent::SetDesigning(bool on) {
    if (on) {
        state_ |= csDesigning;
    } else {
        state_ &= ~csDesigning;
    }
    for (TComponent* c : components_) {
        c->SetDesigning(on);
    }
}

void TComponent::BeginLoading() {
    state_ |= csLoading | csReading;
    for (TComponent* c : components_) {
        c->BeginLoading();
    }
}

void TComponent::EndLoading() {
    AnnounceComponents();
    for (TComponent* c : std::vector<TComponent*>(components_)) {
        c->EndLoading();
    }
    state_ &= ~(csLoading | csReading);
    Loaded();
}

void TComponent::FreeNotification(TComponent* other) {
    if (other && other != this &&
        std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
        freeNotifies_.push_back(other);
        other->freeNotifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    std::erase(freeNotifies_, other);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::Loaded() {}

TApplication& Application() {
    static TApplication app;
    return app;
}

} // namespace zen

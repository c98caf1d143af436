#pragma once
// Component base: named objects that own children, hear of each other's insertion and
// removal, and pass through a loading state that ends in Loaded().

#include <string>
#include <vector>

namespace zen {

class TObject {
public:
    virtual ~TObject() = default;
    virtual const char* ClassName() const noexcept { return "TObject"; }
};

class TPersistent : public TObject {
public:
    const char* ClassName() const noexcept override { return "TPersistent"; }
};

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csDesigning = 1u << 2,
    csDestroying = 1u << 3,
};

class TComponent : public TPersistent {
public:
    // With an owner, the component is among the owner's components at once, but the
    // owner's tree hears of it (opInsert) only once its construction has ended (a
    // notification from the base constructor would show the others a component that is
    // not yet what it will be): see AnnounceComponents.
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const char* ClassName() const noexcept override { return "TComponent"; }

    const std::string& Name() const noexcept { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    TComponent* Owner() const noexcept { return owner_; }

    int ComponentCount() const noexcept { return static_cast<int>(components_.size()); }
    TComponent* Components(int i) const { return components_.at(static_cast<size_t>(i)); }
    TComponent* FindComponent(const std::string& name) const;

    // Takes ownership of a component made without owner; the owner frees it.
    void InsertComponent(TComponent* child);
    // Gives up ownership without freeing.
    void RemoveComponent(TComponent* child);
    // Tells the owner's tree of the components made with this owner that it has not heard
    // of yet, in the order they were made. Runs before every other insertion or removal
    // and at the end of loading; a component that follows its siblings (a statement its
    // connection) calls it on its owner before it looks at what it follows. Never from a
    // constructor: the component being made would be announced unfinished.
    void AnnounceComponents();

    unsigned ComponentState() const noexcept { return state_; }
    bool IsLoading() const noexcept { return (state_ & csLoading) != 0; }
    bool IsDesigning() const noexcept { return (state_ & csDesigning) != 0; }
    bool IsDestroying() const noexcept { return (state_ & csDestroying) != 0; }
    void SetDesigning(bool on);

    // Stored-form reading: BeginLoading() marks this component and its children as
    // loading, EndLoading() clears the mark and calls Loaded() on each, children first.
    void BeginLoading();
    void EndLoading();

    // Tells every component of this owner's tree (and the owner itself) that a component
    // arrived or is going away, so that references to it can be taken or dropped.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    virtual void Notification(TComponent* component, TOperation operation);
    virtual void Loaded();

private:
    void NotifyTree(TComponent* component, TOperation operation);

    std::string name_;
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> unannounced_; // made with this owner, not yet announced
    std::vector<TComponent*> freeNotifies_;
    unsigned state_ = 0;
};

// The application object: the failing object of the standard procedures' log rows.
class TApplication : public TComponent {
public:
    TApplication() = default;
    const char* ClassName() const noexcept override { return "TApplication"; }
    const std::string& Title() const noexcept { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

private:
    std::string title_ = "Zendrato";
};

// The process's one application object.
TApplication& Application();

} // namespace zen

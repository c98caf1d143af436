#pragma once
// The common base of the three ODBC handle components (environment, connection,
// statement) and the list in which a handle keeps the handles that depend on it.

#include "toolkit/Component.h"

#include <functional>
#include <memory>

#include <sql.h>
#include <sqlext.h>

namespace zen {

class THdbc;

using TNotifyEvent = std::function<void(TObject* sender)>;

// Calls an optional event.
inline void FireEvent(const TNotifyEvent& event, TObject* sender) {
    if (event) {
        event(sender);
    }
}

// Lets an object outlive a component without dangling: the component clears the pointer
// when it is destroyed, and whoever holds the token sees nullptr from then on.
struct TLiveRef {
    class THbase* component = nullptr;
};

class THbase : public TComponent {
public:
    explicit THbase(TComponent* owner = nullptr);
    ~THbase() override;
    const char* ClassName() const noexcept override { return "THbase"; }

    // Allocates the ODBC handle when it is not yet allocated; true when it is allocated.
    virtual bool Init() = 0;
    // Releases the handle and everything that depends on it; true when released.
    virtual bool Terminate() = 0;

    bool Allocated() const noexcept { return allocated_; }
    SQLRETURN RetCode() const noexcept { return retCode_; }

    // For the diagnostics: which kind of handle this is, and the handle as it stands
    // (never allocating one: a fresh handle has no diagnostic records to read).
    virtual SQLSMALLINT HandleType() const noexcept = 0;
    virtual SQLHANDLE CurrentHandle() const noexcept = 0;
    // The connection a link loss on this handle tears down (nullptr for the environment).
    virtual THdbc* LinkConnection() noexcept { return nullptr; }
    // Called just before an exception about this handle is raised; a statement running
    // asynchronously switches back to synchronous mode here. Must not throw.
    virtual void BeforeRaise() noexcept {}

    const std::shared_ptr<TLiveRef>& LiveRef() const noexcept { return live_; }

    // Fired at the end of every successful Init and at the start of every Terminate.
    TNotifyEvent AfterInit;
    TNotifyEvent BeforeTerminate;

protected:
    void DoAfterInit();
    void DoBeforeTerminate();
    void SetAllocated(bool on) noexcept { allocated_ = on; }
    // The one way a handle component checks an ODBC return code: remembers it, raises
    // EODBC through the environment's error object when it fails, and says whether the
    // call succeeded. A failure can come back as false without an exception (OnError
    // dropped it, or a lost link is being torn down quietly): the caller then stops and
    // leaves its state as it was. A failed allocation reports the diagnostics of the
    // parent handle, `source`.
    [[nodiscard]] bool Checked(SQLRETURN rc, THbase* source = nullptr);
    void SetRetCode(SQLRETURN rc) noexcept { retCode_ = rc; }

private:
    bool allocated_ = false;
    SQLRETURN retCode_ = SQL_SUCCESS;
    std::shared_ptr<TLiveRef> live_;
};

// The handles that depend on one handle: the environment's connections, a connection's
// statements. Newest first.
class TChildren {
public:
    TChildren() = default;
    TChildren(const TChildren&) = delete;
    TChildren& operator=(const TChildren&) = delete;
    ~TChildren() { Clear(); }

    void Add(THbase* child);
    // Removing an absent entry does nothing.
    void Remove(THbase* child) noexcept;
    // Terminates the head entry until the list is empty. Each dependent removes itself
    // during its Terminate; one that does not (it raised, or was never allocated) is
    // dropped all the same, so the loop always ends.
    void TerminateAll();
    // Forgets the entries without touching the dependents.
    void Clear() noexcept;

    bool Empty() const noexcept { return head_ == nullptr; }
    int Count() const noexcept;
    bool Contains(const THbase* child) const noexcept;
    THbase* First() const noexcept { return head_ ? head_->item : nullptr; }
    template <class F> void ForEach(F f) const {
        for (Node* p = head_; p; p = p->next) {
            f(p->item);
        }
    }

private:
    struct Node {
        THbase* item;
        Node* next;
    };
    Node* head_ = nullptr;
};

} // namespace zen

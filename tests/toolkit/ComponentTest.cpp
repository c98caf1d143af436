#include "toolkit/Component.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <vector>

using namespace zen;

namespace {

struct Recorder : TComponent {
    using TComponent::TComponent;
    std::vector<std::pair<TComponent*, TOperation>> seen;
    bool loaded = false;
    int* destroyed = nullptr;
    ~Recorder() override {
        if (destroyed) {
            ++*destroyed;
        }
    }
    void Notification(TComponent* c, TOperation op) override { seen.emplace_back(c, op); }
    void Loaded() override { loaded = IsLoading() == false; }
};

} // namespace

TEST(Component, OwnerFreesChildrenAndTellsSiblings) {
    int destroyed = 0;
    auto* owner = new Recorder();
    auto* a = new Recorder(owner);
    a->destroyed = &destroyed;
    a->SetName("Database");
    auto* b = new Recorder(owner);
    b->destroyed = &destroyed;
    ASSERT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("database"), a);
    // a hears of b's arrival once b is made, the owner of both
    EXPECT_TRUE(a->seen.empty());
    owner->AnnounceComponents();
    ASSERT_EQ(a->seen.size(), 1u);
    EXPECT_EQ(a->seen[0].first, b);
    EXPECT_EQ(a->seen[0].second, TOperation::opInsert);
    delete b;
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(a->seen.back().first, b);
    EXPECT_EQ(a->seen.back().second, TOperation::opRemove);
    delete owner;
    EXPECT_EQ(destroyed, 2);
}

namespace {
struct Whole : Recorder {
    using Recorder::Recorder;
};
// Notes, for every component it hears of, whether it was whole (a Whole) then.
struct Watcher : Recorder {
    using Recorder::Recorder;
    std::vector<bool> whole;
    void Notification(TComponent* c, TOperation op) override {
        Recorder::Notification(c, op);
        whole.push_back(dynamic_cast<Whole*>(c) != nullptr);
    }
};
} // namespace

TEST(Component, AComponentIsAnnouncedOnceItIsWholeAndInOrder) {
    Recorder owner;
    auto* w = new Watcher(&owner);
    auto* first = new Whole(&owner);
    auto* second = new Whole(&owner);
    EXPECT_TRUE(w->seen.empty());
    owner.AnnounceComponents();
    ASSERT_EQ(w->seen.size(), 2u);
    EXPECT_EQ(w->seen[0].first, first);
    EXPECT_EQ(w->seen[1].first, second);
    EXPECT_EQ(w->whole, (std::vector<bool>{true, true}));
    owner.AnnounceComponents(); // nothing twice
    EXPECT_EQ(w->seen.size(), 2u);

    // Any later insertion or removal, and the end of loading, announce the waiting first.
    auto* third = new Whole(&owner);
    auto* moved = new Whole();
    owner.InsertComponent(moved);
    ASSERT_EQ(w->seen.size(), 4u);
    EXPECT_EQ(w->seen[2].first, third);
    EXPECT_EQ(w->seen[3].first, moved);
    auto* fourth = new Whole(&owner);
    owner.BeginLoading();
    owner.EndLoading();
    ASSERT_EQ(w->seen.size(), 5u);
    EXPECT_EQ(w->seen[4].first, fourth);
    EXPECT_EQ(w->whole, std::vector<bool>(5, true));

    // One freed before it was announced is never announced, but its going is told.
    auto* shortLived = new Whole(&owner);
    delete shortLived;
    ASSERT_EQ(w->seen.size(), 6u);
    EXPECT_EQ(w->seen[5].second, TOperation::opRemove);
    owner.AnnounceComponents();
    EXPECT_EQ(w->seen.size(), 6u);
}

TEST(Component, LoadingEndsInLoadedForEveryChild) {
    Recorder owner;
    auto* child = new Recorder(&owner);
    owner.BeginLoading();
    EXPECT_TRUE(child->IsLoading());
    owner.EndLoading();
    EXPECT_TRUE(child->loaded);
    EXPECT_TRUE(owner.loaded);
    EXPECT_FALSE(child->IsLoading());
}

TEST(Home, AMissingHomeDirectoryIsCreatedWithItsAliasAndDrive) {
    test::TempHome temp;
    auto nested = temp.Path() / "not" / "yet";
    setenv("ZENDRATO_HOME", nested.c_str(), 1);
    // Only looking creates nothing.
    EXPECT_EQ(AliasLocation("TevrinTemp"), nested / "TevrinTemp");
    EXPECT_EQ(WindowsPathLocation("c:\\x\\y.dbf"), nested / "c" / "x" / "y.dbf");
    EXPECT_EQ(WindowsPathLocation("rel/y.dbf"), std::filesystem::path("rel/y.dbf"));
    EXPECT_THROW(AliasLocation("Other"), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "not"));
    EXPECT_EQ(ZendratoHome(), nested);
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_EQ(AliasDirectory("tevrintemp"), nested / "TevrinTemp");
    EXPECT_EQ(MapWindowsPath("C:\\TevrinError"), nested / "c" / "TevrinError");
    EXPECT_TRUE(std::filesystem::is_directory(nested / "c"));
    EXPECT_EQ(MapWindowsPath("/srv/Prenos.DBF"), std::filesystem::path("/srv/Prenos.DBF"));
    EXPECT_THROW(AliasDirectory("Other"), EDatabaseError);
}

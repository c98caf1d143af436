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
    // a heard of b's arrival, the owner of both
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

#pragma once
// Runs a test suite once under the C locale and once under sl_SI.UTF-8, whose decimal
// separator is a comma: formula texts must come out the same under both.

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace zen::test {

class LocaleTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        locale_ = std::make_unique<ScopedLocale>(GetParam());
        if (!locale_->Available()) {
            GTEST_SKIP() << "locale " << GetParam() << " is not installed";
        }
    }
    void TearDown() override { locale_.reset(); }

private:
    std::unique_ptr<ScopedLocale> locale_;
};

inline std::string LocaleName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    return name == "C" ? name : name.substr(0, name.find('.'));
}

} // namespace zen::test

#define ZEN_LOCALE_SUITE(Suite)                                                                    \
    INSTANTIATE_TEST_SUITE_P(Locales, Suite, ::testing::Values("C", "sl_SI.UTF-8"),                \
                             ::zen::test::LocaleName)

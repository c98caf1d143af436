#pragma once
// The tests' ODBC environment (private data sources over SQLite and a PostgreSQL cluster of
// its own) for the ODBC benchmarks: set up before their body and torn down after it, also
// when the body throws, so that no server is left running.

#include "support/OdbcTestEnv.h"

#include <functional>

namespace zen::bench {

inline void WithOdbcTestEnv(const std::function<void(test::OdbcTestEnv&)>& body) {
    test::OdbcTestEnv env;
    env.SetUp();
    struct TTearDown {
        test::OdbcTestEnv& env;
        ~TTearDown() { env.TearDown(); }
    } tearDown{env};
    body(env);
}

} // namespace zen::bench

#pragma once
// Helpers shared by every test program.
#include <gtest/gtest.h>

#include <string>

namespace qeltest {

// Folder of the shared test data (PngSuite, Wycheproof, TLS vectors).
std::string SharedDataPath(const std::string& relative);
// Folder of the committed samples, tests/data/<relative>.
std::string LocalDataPath(const std::string& relative);
// True when the environment says this is a CI run (CI=true).
bool IsCiRun();
// True when `path` exists.
bool PathExists(const std::string& path);
// True when `tool` is found on PATH.
bool HaveTool(const std::string& tool);

} // namespace qeltest

// Missing test data or peer tools: a skip outside CI, a failure in CI, so that CI can
// never pass a test that did not run.
#define QEL_REQUIRE(condition, what)                                                  \
    do {                                                                              \
        if (!(condition)) {                                                           \
            if (::qeltest::IsCiRun()) {                                               \
                FAIL() << "missing in CI: " << (what);                                \
            } else {                                                                  \
                GTEST_SKIP() << "missing: " << (what);                                \
            }                                                                         \
        }                                                                             \
    } while (0)

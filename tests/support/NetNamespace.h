// Runs a test body inside a fresh network namespace, for code whose shipped destinations are
// broadcast addresses. The body runs in a forked child that has entered its own namespace
// (unshare(CLONE_NEWNET)), brought lo up and routed 255.255.255.255 to lo: the namespace has
// no other interface, so nothing the body sends can leave the machine.
//
//   TEST(Discovery, ShippedDefaults) {
//       QV_RUN_IN_NET_NAMESPACE([] {
//           ... EXPECT_* as usual; failures are printed by the child and fail the test ...
//       });
//   }
//
// When no namespace can be made (not root, no user namespaces, no `ip`), the test is skipped
// with the reason. Fork before the test starts threads of its own: the child starts with the
// calling thread only.
#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace qvtest {

struct NetNamespaceResult {
    enum class Outcome { Passed, Failed, Skipped };
    Outcome outcome = Outcome::Failed;
    std::string message;  // the skip reason, or what went wrong
};

// Waits at most timeout_ms for the child; a child still running then is killed and fails.
NetNamespaceResult RunInNetNamespace(const std::function<void()> &body, int timeout_ms = 30000);

}  // namespace qvtest

#define QV_RUN_IN_NET_NAMESPACE(...)                                                     \
    do {                                                                                 \
        const ::qvtest::NetNamespaceResult qv_ns_result_ =                               \
            ::qvtest::RunInNetNamespace(__VA_ARGS__);                                    \
        if (qv_ns_result_.outcome == ::qvtest::NetNamespaceResult::Outcome::Skipped)     \
            GTEST_SKIP() << qv_ns_result_.message;                                       \
        EXPECT_EQ(qv_ns_result_.outcome, ::qvtest::NetNamespaceResult::Outcome::Passed) \
            << qv_ns_result_.message;                                                    \
    } while (0)

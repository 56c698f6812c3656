// Library threads that are still at work while the process exits.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>

#include "ports/RAZIThread.h"
#include "quorvantelmise.h"
#include "support/FakeTransport.h"

namespace {

std::atomic<bool> g_closed_entered{false};
std::atomic<bool> g_release_closed{false};
std::atomic<bool> g_transport_destroyed{false};

class WatchedTransport : public qvtest::FakeTransport {
public:
    WatchedTransport() : FakeTransport(Mode::Unthreaded) {}
    ~WatchedTransport() override { g_transport_destroyed = true; }
};

void holdClosed(void*, void*) {
    g_closed_entered = true;
    for (int i = 0; i < 2000 && !g_release_closed; ++i) RAZISleep::SleepMs(1);
}

// Built before the port machinery is first used, so exit destroys it after anything the
// library would destroy at exit. It lets the closed-event thread finish and ends the process
// with 0 only when that thread got as far as freeing the handle.
struct ExitCheck {
    ~ExitCheck() {
        g_release_closed = true;
        for (int i = 0; i < 2000 && !g_transport_destroyed; ++i) RAZISleep::SleepMs(1);
        std::_Exit(g_transport_destroyed ? 0 : 3);
    }
};

}  // namespace

TEST(ProcessExit, ClosedEventThreadFinishesWhileTheProcessExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static ExitCheck check;
            auto transport = std::make_shared<WatchedTransport>();
            transport->Open();
            void* handle = qvtest::OpenFakeHandle(transport);
            transport.reset();
            CP_Port_AddOnPortClosedEvent(&holdClosed, nullptr);
            CP_Port_Close(handle);
            while (!g_closed_entered) RAZISleep::SleepMs(1);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

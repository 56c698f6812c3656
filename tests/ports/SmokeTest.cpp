#include <gtest/gtest.h>

#include <chrono>

#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/FakeTransport.h"
#include "support/ScopedPortTiming.h"

using namespace std::chrono_literals;

TEST(PortSmoke, MemoryAndFakePortsThroughExportedCalls) {
    qvtest::ScopedPortTiming timing;
    void* memory = CP_Port_OpenMemoryBuffer(16);
    ASSERT_NE(memory, nullptr);
    const unsigned char bytes[] = {1, 2, 3};
    EXPECT_EQ(CP_Port_Write(memory, bytes, 3, 100), 3);
    EXPECT_EQ(CP_Port_GetMemoryBufferDataLength(memory), 3u);
    EXPECT_TRUE(CP_Port_Close(memory));

    qvtest::CallbackRecorder events;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(events.WaitForHandle(qvtest::EventKind::Opened, handle, 1, 2s));
    fake->PushRead({0x41, 0x42});
    unsigned char in[2] = {};
    EXPECT_EQ(CP_Port_Read(handle, in, 2, 2000), 2);
    EXPECT_EQ(CP_Port_Write(handle, bytes, 3, 100), 3);
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_TRUE(events.WaitForHandle(qvtest::EventKind::Closed, handle, 1, 2s));
}

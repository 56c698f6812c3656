#pragma once

#include <climits>
#include <cstddef>

// What the four Bluetooth LE transports share: each forwards its device operations to the
// bridge of its profile, which holds the open connection.
template <typename Neutral, typename Bridge>
class NZBleBridgedIO : public Neutral {
public:
    // Finds the printer with that address text and opens the profile; starts the reader.
    bool Open(const char* address) override {
        this->ClearFlags();
        bridge_.OpenAddress(address);
        return finishOpen();
    }
    bool OpenPeripheral(void* peripheral) override {
        this->ClearFlags();
        bridge_.OpenPeripheral(peripheral);
        return finishOpen();
    }
    void BaseClose() override {
        this->SetCancelRead(true);
        this->StopReadThread();
        bridge_.Close();
    }
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override {
        if (!this->IsOpened()) return -1;
        return bridge_.Write(data, clampInt(length), clampInt(timeout_ms));
    }
    // A negative read means the link is gone: the reader then closes the port.
    int BaseReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms) override {
        const int read = bridge_.Read(buffer, clampInt(length), clampInt(timeout_ms));
        if (read < 0) this->SetInvalid(true);
        return read;
    }

protected:
    static int clampInt(size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }
    bool finishOpen() {
        if (bridge_.IsOpened()) this->SetOpened(true);
        if (this->IsOpened() && !this->StartReadThread()) {
            bridge_.Close();
            this->SetOpened(false);
        }
        return this->IsOpened();
    }

    Bridge bridge_;
};

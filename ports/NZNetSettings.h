// Destinations of discovery and provisioning (their waits are in PortTiming).
//
// The defaults are the shipped values. Tests replace them (NZNetSettingsOverride) to aim the
// broadcasting calls at 127.0.0.1 and ephemeral ports; each call takes a copy when it starts,
// so a change applies from the next call on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NZNetDestinations {
    // Discovery queries.
    std::string discoveryAddress = "255.255.255.255";
    uint16_t discoveryPortA = 3289;   // "EPSONQ" query
    uint16_t discoveryPortB = 22222;  // "STR_BCAST" query
    // Local addresses to query from; empty means every non-loopback IPv4 address of the host.
    std::vector<std::string> discoveryLocalAddresses;

    // AirKiss datagrams and their echoes.
    std::string airkissLocalAddress = "0.0.0.0";
    uint16_t airkissLocalPort = 10000;
    std::string airkissAddress = "255.255.255.255";
    uint16_t airkissPort = 10000;
};

struct NZNetSettings {
    NZNetDestinations destinations;

    static NZNetSettings Get();
    static void Set(const NZNetSettings &settings);
};

// Test seam: replaces the settings for its lifetime and restores the previous ones.
class NZNetSettingsOverride {
public:
    explicit NZNetSettingsOverride(const NZNetSettings &settings) : saved_(NZNetSettings::Get()) {
        NZNetSettings::Set(settings);
    }
    ~NZNetSettingsOverride() { NZNetSettings::Set(saved_); }
    NZNetSettingsOverride(const NZNetSettingsOverride &) = delete;
    NZNetSettingsOverride &operator=(const NZNetSettingsOverride &) = delete;

private:
    NZNetSettings saved_;
};


// AirKiss encoding: the SSID and password travel as the lengths of broadcast datagrams.
//
// Fill functions write `cap` entries at most: when `cap` is smaller than what they need they
// write nothing and return 0, else they return the number of entries written; `required`
// (when not null) receives the number needed either way. Every value lies in 1..511.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// CRC-8/MAXIM: reflected polynomial 0x8C, initial value 0, no final XOR.
uint8_t NZAirKissEncoder_CRC8(const uint8_t *bytes, size_t length);

size_t NZAirKissEncoder_FillLeadingPart(uint64_t *out, size_t cap, size_t reps, size_t *required);
size_t NZAirKissEncoder_FillMagicCode(uint64_t *out, size_t cap, size_t reps, const char *ssid,
                                      const char *password, size_t *required);
size_t NZAirKissEncoder_FillPrefixCode(uint64_t *out, size_t cap, const char *password,
                                       size_t *required);
size_t NZAirKissEncoder_FillSequenceData(uint64_t *out, size_t cap, uint8_t index,
                                         const uint8_t *bytes, size_t length, size_t *required);
size_t NZAirKissEncoder_FillContentData(uint64_t *out, size_t cap, size_t reps, const char *ssid,
                                        const char *password, uint8_t random, size_t *required);

// Leading part, magic code and content data, in that order; empty for null texts and when
// the array cannot be allocated.
std::vector<uint64_t> NZAirKissEncoder_EncodeDataToLengthArray(const char *ssid,
                                                               const char *password,
                                                               uint8_t random, size_t leading_reps,
                                                               size_t magic_reps,
                                                               size_t content_reps);

// SPDX-License-Identifier: GPL-3.0-or-later
// Seeds of the random tests: a fixed few and a fresh one per run, and the trace that replays one.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

// fixed, plus one fresh seed; just the seed in KESTRUNE_TEST_SEED when it is set, to replay it.
inline std::vector<uint32_t> TestSeeds(std::vector<uint32_t> fixed)
{
    if (const char* replay = std::getenv("KESTRUNE_TEST_SEED"))
        return {static_cast<uint32_t>(std::strtoul(replay, nullptr, 10))};
    fixed.push_back(static_cast<uint32_t>(std::random_device{}()));
    return fixed;
}

// For SCOPED_TRACE: the seed and how to run the test again with it.
inline std::string SeedTrace(uint32_t nSeed)
{
    return "seed " + std::to_string(nSeed) + " (replay with KESTRUNE_TEST_SEED=" + std::to_string(nSeed) + ")";
}

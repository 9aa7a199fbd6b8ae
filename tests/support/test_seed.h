// The seed of a random test: a fresh one on every run, so that repeated runs cover more cases,
// or the one VELMORA_TEST_SEED names, so that a failing run can be replayed. The seed is printed
// and recorded in the test's XML report either way.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

namespace velmora::test_support {

// What a failure message says about the seed.
inline std::string SeedNote(unsigned seed) {
    const std::string n = std::to_string(seed);
    return "seed " + n + " (replay with VELMORA_TEST_SEED=" + n + ")";
}

inline unsigned TestSeed() {
    unsigned seed = 0;
    const char* fixed = std::getenv("VELMORA_TEST_SEED");
    if (fixed != nullptr && *fixed != '\0') {
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(fixed, &end, 10);
        if (*end != '\0' || errno != 0 || value > std::mt19937::max() || *fixed == '-') {
            // A mistyped seed must not quietly run some other case.
            ADD_FAILURE() << "VELMORA_TEST_SEED is not a seed: " << fixed;
        }
        seed = static_cast<unsigned>(value);
    } else {
        seed = std::random_device{}();
    }
    std::cout << SeedNote(seed) << std::endl;
    ::testing::Test::RecordProperty("seed", std::to_string(seed));
    return seed;
}

}  // namespace velmora::test_support

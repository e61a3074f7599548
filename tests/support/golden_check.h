// GoogleTest side of the golden cases.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/golden.h"

namespace golden {

// Runs every case of `exported` through its registered runner and expects the
// case's hash; each mismatch is reported by id.
inline void check_all(const std::string &exported) {
    const Runner run = runner_for(exported);
    ASSERT_NE(run, nullptr) << "no golden runner registered for " << exported;
    const auto cases = cases_for(exported);
    ASSERT_FALSE(cases.empty()) << "no golden case for " << exported;
    for (const auto &c : cases) {
        const uint64_t got = run(c);
        EXPECT_EQ(got, c.hash) << c.id << " (" << exported << ") hash mismatch: got " << std::hex
                               << got << ", want " << c.hash;
    }
}

}  // namespace golden

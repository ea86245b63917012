#pragma once

#include "NetLab.h"

#include <gtest/gtest.h>

#include <optional>

// A fixture that gives each test a network lab of its own, or skips the test with the reason where
// none can be made (without root). A fixture that does more in SetUp calls this one first and
// returns when the test is skipped.
template <typename Base = ::testing::Test>
class NetLabTest : public Base {
protected:
    void SetUp() override
    {
        const std::string why = NetLab::unavailableReason();
        if (!why.empty())
            GTEST_SKIP() << why;
        m_lab.emplace();
    }

    std::optional<NetLab> m_lab;
};

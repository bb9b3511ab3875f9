#pragma once

#include <gtest/gtest.h>

#include <string>

// Names each case of a test table after its `name` field.
struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& test) const {
        return test.param.name;
    }
};

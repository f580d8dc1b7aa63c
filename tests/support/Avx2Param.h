// Suites run twice, with the AVX2 forms and with SSE2 alone: their fixture, which skips the
// AVX2 run where the processor has none and puts the forms back after each test, and names.
#ifndef CELLSIFT_TESTS_SUPPORT_AVX2PARAM_H
#define CELLSIFT_TESTS_SUPPORT_AVX2PARAM_H

#include <gtest/gtest.h>

#include <string>

#include "unicode/Utf8Blocks.h"

class Avx2OrSse2 : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (UseAvx2Blocks(GetParam()) != GetParam()) {
            GTEST_SKIP() << "this processor has no AVX2";
        }
    }
    void TearDown() override { UseAvx2Blocks(true); }
};

inline std::string Avx2OrSse2Name(const testing::TestParamInfo<bool> &param)
{
    return param.param ? "Avx2" : "Sse2";
}

#endif

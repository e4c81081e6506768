#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Every text the program shows and the tests expect is code page 932.
    const UINT codePage = GetACP();
    if (codePage != 932) {
        std::fprintf(stderr, "ANSI code page is %u, not 932: run under LANG=ja_JP.UTF-8\n", codePage);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

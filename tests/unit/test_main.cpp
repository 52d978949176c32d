#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QUORVANE_ASAN)
// Exhausted storage must reach the program's own report instead of the sanitizer's.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

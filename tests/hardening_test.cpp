// The Linux build is hardened as Debian builds its own packages (cmake/hardening.cmake): a libc call that
// would write past the end of a buffer of known size stops the program instead.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

// Read when the program runs, so that the check is left to glibc rather than done by the compiler.
volatile std::size_t lengthAtRunTime = 8;

int copyPastTheEnd()
{
    char small[4];
    const char source[16] = "ABCDEFGHIJKLMNO";
    std::memcpy(small, source, lengthAtRunTime);
    return small[0];
}

TEST(Hardening, AFortifiedCallStopsAnOverflowBeforeItWrites)
{
#ifndef __OPTIMIZE__
    GTEST_SKIP() << "glibc fortifies its calls in optimised builds only";
#else
    // Without fortified calls, the stack protector would stop it later, with another message.
    EXPECT_DEATH(copyPastTheEnd(), "buffer overflow detected");
#endif
}

}  // namespace

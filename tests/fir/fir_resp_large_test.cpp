// FIR response with more than 2^30 points, where 2 * npoints no longer fits
// an int. This program compiles the response's source itself, optimised and
// with the signed-overflow check of UBSan: an int index that overflows stops
// it even where an optimised library build happens to store correctly.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <limits>

#include "kwsig.h"

namespace {

// The 16 GiB array is address space whose 64 MiB chunks all map one shared
// 64 MiB buffer, so the call costs 64 MiB of memory and one pass of stores.
// Inaccessible address space as wide as the array lies on either side: an
// index that wrapped to a negative int would fault there.
TEST(FirResp, MoreThan2To30Points) {
    if (sizeof(void *) < 8) GTEST_SKIP() << "needs a 64-bit address space";
    const std::size_t npoints = (std::size_t(1) << 30) + 1;
    const std::size_t bytes = 2 * npoints * sizeof(double);
    const std::size_t chunk = std::size_t(64) << 20;
    const std::size_t chunks = (bytes + chunk - 1) / chunk;
    const std::size_t mapped = chunks * chunk;
    const std::size_t span = 3 * mapped;  // guard, chunks, guard
    const int fd = memfd_create("fir_resp_test", 0);
    if (fd < 0 || ftruncate(fd, off_t(chunk)) != 0) GTEST_SKIP() << "no shared memory object";
    void *reserved = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                          -1, 0);
    if (reserved == MAP_FAILED) {
        close(fd);
        GTEST_SKIP() << "cannot reserve " << span << " bytes of address space";
    }
    char *const first = static_cast<char *>(reserved) + mapped;
    for (std::size_t k = 0; k < chunks; ++k)
        ASSERT_NE(mmap(first + k * chunk, chunk, PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_FIXED | MAP_POPULATE, fd, 0),
                  MAP_FAILED);
    double *const buffer = reinterpret_cast<double *>(first);
    std::fill(buffer, buffer + chunk / sizeof(double), std::numeric_limits<double>::quiet_NaN());

    // The array ends where the last chunk does; it starts 16 bytes before the
    // end of the first, so its stores reach every offset of the buffer.
    double *const response = reinterpret_cast<double *>(first + mapped - bytes);
    const double one = 1.0;
    kwsig_fir_resp(response, int(npoints), 0.0, 0.5, &one, 1);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < chunk / sizeof(double); i += 2)
        wrong += buffer[i] != 1.0 || buffer[i + 1] != 0.0;
    EXPECT_EQ(wrong, 0u);
    munmap(reserved, span);
    close(fd);
}

}  // namespace

#include "failing_alloc.h"

#include <cstddef>

extern "C" void *__real_malloc(std::size_t size);

namespace {
thread_local int depth = 0;
thread_local long refused_count = 0;
}  // namespace

extern "C" void *__wrap_malloc(std::size_t size) {
    if (depth > 0) {
        ++refused_count;
        return nullptr;
    }
    return __real_malloc(size);
}

namespace failing_alloc {
Scope::Scope() { ++depth; }
Scope::~Scope() { --depth; }
long refused() { return refused_count; }
}  // namespace failing_alloc

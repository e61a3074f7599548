// Makes the library's scratch allocations fail on demand. Only for test
// programs made with kwsig_add_alloc_test, which link the static library with
// malloc wrapped, so that the library's own calls come through here.
#pragma once

namespace failing_alloc {

// While an instance lives, every malloc on this thread returns NULL.
class Scope {
public:
    Scope();
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;
};

// Number of allocations refused on this thread so far.
long refused();

}  // namespace failing_alloc

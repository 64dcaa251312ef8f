#pragma once
// Counts heap allocations of the calling thread between Begin() and End(), and makes chosen
// ones fail. This test program replaces malloc and its family and the global operator new and
// delete; the plug-in, loaded with dlopen, binds to these first, so its allocations pass
// through here too. Sanitizer builds bring their own allocator: there the hooks are left out
// and Available() is false.

#include <cstddef>

namespace quenta_test::alloc_hooks {

struct Counts {
  long mallocs = 0;  // malloc, calloc, realloc, posix_memalign, aligned_alloc, memalign, valloc
  long frees = 0;    // free of a non-null pointer
  long news = 0;     // operator new and new[], every form
  long deletes = 0;  // operator delete and delete[] of a non-null pointer
  long total() const { return mallocs + frees + news + deletes; }
};

bool Available();
// Starts counting on this thread from zero.
void Begin();
// Stops counting on this thread and returns what was counted since Begin().
Counts End();

// From now on malloc, calloc and realloc of exactly `bytes` bytes on this thread fail (return
// null) once `allowed` of them have succeeded, until Succeed() is called.
void FailAfter(size_t bytes, int allowed);
void Succeed();

}  // namespace quenta_test::alloc_hooks

#include "alloc_hooks.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUENTA_ALLOC_HOOKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define QUENTA_ALLOC_HOOKS 0
#endif
#endif
#ifndef QUENTA_ALLOC_HOOKS
#define QUENTA_ALLOC_HOOKS 1
#endif

namespace quenta_test::alloc_hooks {
namespace {

// Plain static TLS in the executable: reading it never allocates.
thread_local bool tCounting = false;
thread_local size_t tFailBytes = 0;  // 0: nothing fails
thread_local int tFailAllowed = 0;
std::atomic<long> gMallocs{0}, gFrees{0}, gNews{0}, gDeletes{0};

}  // namespace

bool Available() { return QUENTA_ALLOC_HOOKS != 0; }

void Begin() {
  gMallocs = gFrees = gNews = gDeletes = 0;
  tCounting = true;
}

Counts End() {
  tCounting = false;
  return Counts{gMallocs, gFrees, gNews, gDeletes};
}

void FailAfter(size_t bytes, int allowed) {
  tFailBytes = bytes;
  tFailAllowed = allowed;
}

void Succeed() { tFailBytes = 0; }

#if QUENTA_ALLOC_HOOKS
namespace {

// Counts a malloc-family call; true when one of this size is to fail.
bool CountMalloc(size_t bytes) {
  if (tCounting) ++gMallocs;
  if (tFailBytes == 0 || bytes != tFailBytes) return false;
  return tFailAllowed-- <= 0;
}

}  // namespace
#endif

}  // namespace quenta_test::alloc_hooks

#if QUENTA_ALLOC_HOOKS

using namespace quenta_test::alloc_hooks;

// glibc's own allocator entry points: forwarding to them (not to a next malloc found with
// dlsym, which may itself allocate) keeps one allocator underneath everything.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

void* malloc(size_t size) { return CountMalloc(size) ? nullptr : __libc_malloc(size); }
void* calloc(size_t n, size_t size) {
  return CountMalloc(n * size) ? nullptr : __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
  return CountMalloc(size) ? nullptr : __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
  CountMalloc(0);
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
void* valloc(size_t size) { return memalign(4096, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22;  // EINVAL
  void* p = memalign(alignment, size);
  if (!p) return 12;  // ENOMEM
  *out = p;
  return 0;
}
void free(void* p) {
  if (p && tCounting) ++gFrees;
  __libc_free(p);
}
}  // extern "C"

namespace {

void* CountedNew(size_t size) noexcept {
  if (tCounting) ++gNews;
  return __libc_malloc(size ? size : 1);
}
void* ThrowingNew(size_t size) {
  void* p = CountedNew(size);
  if (!p) throw std::bad_alloc();
  return p;
}
void CountedDelete(void* p) noexcept {
  if (p && tCounting) ++gDeletes;
  __libc_free(p);
}

}  // namespace

void* operator new(size_t size) { return ThrowingNew(size); }
void* operator new[](size_t size) { return ThrowingNew(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void operator delete(void* p) noexcept { CountedDelete(p); }
void operator delete[](void* p) noexcept { CountedDelete(p); }
void operator delete(void* p, size_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, size_t) noexcept { CountedDelete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedDelete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedDelete(p); }

#endif  // QUENTA_ALLOC_HOOKS

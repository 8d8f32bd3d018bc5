// Large allocations on transparent huge pages.
//
// A large run keeps tables of tens of megabytes (the protein nodes, the
// name and pair indexes, the pair lists) and looks them up at random. On
// 4 KB pages nearly every such look-up misses the TLB as well as the cache;
// on 2 MB pages the page walks all but vanish. Where the kernel hands out
// huge pages only on request (transparent_hugepage "madvise", the common
// default), the request is made here for every allocation of at least 2 MB.
// Smaller ones go to malloc as usual.
//
// Linked into the program only: sanitizer builds keep their own operator new.
#if !defined(__SANITIZE_ADDRESS__)

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

void* allocate(std::size_t n) {
  if (n >= kHugePage) {
    std::size_t rounded = (n + kHugePage - 1) & ~(kHugePage - 1);
    if (void* p = std::aligned_alloc(kHugePage, rounded)) {
      // Only a hint: without huge pages the memory is used as it is.
      ::madvise(p, rounded, MADV_HUGEPAGE);
      return p;
    }
  }
  return std::malloc(n ? n : 1);
}

}  // namespace

void* operator new(std::size_t n) {
  if (void* p = allocate(n)) return p;
  throw std::bad_alloc();
}

void* operator new[](std::size_t n) {
  if (void* p = allocate(n)) return p;
  throw std::bad_alloc();
}

void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return allocate(n);
}

void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return allocate(n);
}

void operator delete(void* p) noexcept {
  std::free(p);
}

void operator delete[](void* p) noexcept {
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

#endif

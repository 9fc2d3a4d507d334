// A preloaded library that counts the heap allocations of a process:
//
//   VELT_ALLOC_COUNT=FILE LD_PRELOAD=libvelt_alloc_counter.so veltconv convert ...
//
// At exit it writes the number of malloc, calloc, realloc and aligned
// allocations (operator new goes through malloc) to FILE. The benchmark runs
// two archives of different sizes and divides the difference by the
// difference in calls: the allocations per call in steady state.
#include <cstdio>
#include <cstdlib>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

unsigned long long g_allocations = 0;

struct Report {
  ~Report() {
    const char* path = std::getenv("VELT_ALLOC_COUNT");
    if (path == nullptr) return;
    if (FILE* f = std::fopen(path, "w")) {
      std::fprintf(f, "%llu\n", g_allocations);
      std::fclose(f);
    }
  }
} g_report;

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
  ++g_allocations;
  return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
  ++g_allocations;
  return __libc_calloc(count, size);
}

void* realloc(void* p, std::size_t size) {
  ++g_allocations;
  return __libc_realloc(p, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
  ++g_allocations;
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
  ++g_allocations;
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  ++g_allocations;
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return 12;  // ENOMEM
  *out = p;
  return 0;
}

}  // extern "C"

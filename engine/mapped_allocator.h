// An allocator for large working lists that come and go during a parse
// (the tag index's positions): blocks of kMappedFrom bytes or more get a
// memory mapping of their own, so that freeing one gives its memory back
// to the system at once.
//
// The heap would keep such a block as free room once the list moved on
// (grew into a larger block, or was moved down to forget its start), and a
// parse that meanwhile fills other, larger blocks (its records) cannot
// reuse it: a page's resident size would carry every freed list to its
// end. Smaller blocks come from the heap as usual, so small pages pay no
// system calls. Stateless; any two instances are interchangeable.

#ifndef QUARRY_ENGINE_MAPPED_ALLOCATOR_H_
#define QUARRY_ENGINE_MAPPED_ALLOCATOR_H_

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace quarry::internal {

// Under AddressSanitizer every block comes from the heap, whose blocks it
// guards: overflows of a mapping of our own would go unseen.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr size_t kMappedFrom = SIZE_MAX;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr size_t kMappedFrom = SIZE_MAX;
#else
inline constexpr size_t kMappedFrom = size_t{256} << 10;
#endif
#else
inline constexpr size_t kMappedFrom = size_t{256} << 10;
#endif

template <typename T>
class MappedAllocator {
 public:
  using value_type = T;

  MappedAllocator() = default;
  template <typename U>
  MappedAllocator(const MappedAllocator<U>&) noexcept {}  // NOLINT: rebinding

  T* allocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    const size_t bytes = count * sizeof(T);
    if (bytes < kMappedFrom) return static_cast<T*>(::operator new(bytes));
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    return static_cast<T*>(block);
  }

  void deallocate(T* block, size_t count) noexcept {
    const size_t bytes = count * sizeof(T);
    if (bytes < kMappedFrom) {
      ::operator delete(block);
    } else {
      munmap(block, bytes);
    }
  }

  template <typename U>
  bool operator==(const MappedAllocator<U>&) const noexcept {
    return true;
  }
};

// The tag index's list of positions of one kind.
using PositionList = std::vector<uint32_t, MappedAllocator<uint32_t>>;

}  // namespace quarry::internal

#endif  // QUARRY_ENGINE_MAPPED_ALLOCATOR_H_

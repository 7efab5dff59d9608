#include "asn1/Allocator.h"

#include <new>

namespace ASN1 {
namespace detail {

Pool pool;

void* Pool::fromHeap(std::size_t size) {
  std::size_t cls = sizeClass(size);
  return ::operator new(enabled&& cls < classCount ? (cls + 1) * granule : size);
}

}  // namespace detail
}  // namespace ASN1

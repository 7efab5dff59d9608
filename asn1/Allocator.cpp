#include "asn1/Allocator.h"

#include <new>

namespace ASN1 {
namespace detail {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool poolEnabled = false;
#else
constexpr bool poolEnabled = true;
#endif

constexpr std::size_t granule = 16;
constexpr std::size_t classCount = 32; // blocks up to 512 bytes
// A list never keeps more than this many blocks, so one huge message does
// not pin its peak memory for ever.
constexpr unsigned maxFreeBlocks = 4096;

struct FreeBlock {
    FreeBlock* next;
};

// Never destroyed: values in static objects are freed after every other
// destructor ran, and the blocks go back to the system with the process.
class Pool {
public:
    void* take(std::size_t cls)
    {
        List& list = lists_[cls];
        if (FreeBlock* block = list.head) {
            list.head = block->next;
            --list.count;
            return block;
        }
        return ::operator new((cls + 1) * granule);
    }

    void give(void* p, std::size_t cls) noexcept
    {
        List& list = lists_[cls];
        if (list.count >= maxFreeBlocks) {
            ::operator delete(p);
            return;
        }
        auto* block = static_cast<FreeBlock*>(p);
        block->next = list.head;
        list.head = block;
        ++list.count;
    }

private:
    struct List {
        FreeBlock* head = nullptr;
        unsigned count = 0;
    };
    List lists_[classCount];
};

Pool pool; // the daemon has one thread

std::size_t sizeClass(std::size_t size) { return size == 0 ? 0 : (size - 1) / granule; }

} // namespace

void* poolAllocate(std::size_t size)
{
    std::size_t cls = sizeClass(size);
    if (!poolEnabled || cls >= classCount)
        return ::operator new(size);
    return pool.take(cls);
}

void poolRelease(void* block, std::size_t size) noexcept
{
    if (!block)
        return;
    std::size_t cls = sizeClass(size);
    if (!poolEnabled || cls >= classCount) {
        ::operator delete(block);
        return;
    }
    pool.give(block, cls);
}

} // namespace detail
} // namespace ASN1

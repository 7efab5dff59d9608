#pragma once
// A fixed pool of N objects in static storage with one free list. Blocks are
// handed out from the head of the list and returned to its tail, so they are
// reused in the order they were freed. The pool never grows and never frees
// memory to the system: allocation and release are constant-time.

#include <cstddef>
#include <new>
#include <type_traits>

// The daemon runs on one thread; the pool's lock does nothing.
struct Dummy_critical_section {
  void enter() {}
  void leave() {}
};

template <class T, unsigned N, class CriticalSection>
class List_allocator {
public:
  List_allocator() {
    for (unsigned i = 0; i < N; ++i) link_tail(&blocks_[i]);
  }
  List_allocator(const List_allocator&) = delete;
  List_allocator& operator=(const List_allocator&) = delete;

  // A block's raw storage for one T, or null when every block is in use.
  void* allocate() {
    lock_.enter();
    List_storage* block = head_;
    if (block) unlink_head();
    lock_.leave();
    return block ? static_cast<void*>(block->object) : nullptr;
  }

  void deallocate(T* object) {
    object->~T();
    lock_.enter();
    link_tail(storage_of(object));
    lock_.leave();
  }

  unsigned count() const { return count_; }
  static constexpr unsigned size() { return N; }

private:
  struct List_storage {
    alignas(T) unsigned char object[sizeof(T)];
    List_storage* next;
    List_storage* prev;
  };
  static_assert(std::is_standard_layout<List_storage>::value, "block must be standard layout");

  static List_storage* storage_of(T* object) {
    // The object sits at offset 0 of its block.
    return reinterpret_cast<List_storage*>(reinterpret_cast<unsigned char*>(object));
  }

  void link_tail(List_storage* block) {
    block->next = nullptr;
    block->prev = tail_;
    if (tail_)
      tail_->next = block;
    else
      head_ = block;
    tail_ = block;
    ++count_;
  }

  void unlink_head() {
    List_storage* block = head_;
    head_ = block->next;
    if (head_)
      head_->prev = nullptr;
    else
      tail_ = nullptr;
    block->next = block->prev = nullptr;
    --count_;
  }

  List_storage blocks_[N];
  List_storage* head_ = nullptr;
  List_storage* tail_ = nullptr;
  unsigned count_ = 0;
  CriticalSection lock_;
};

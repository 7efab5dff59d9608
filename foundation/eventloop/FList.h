#pragma once
// Intrusive doubly linked lists: an item carries its own links, so putting it
// on a list never allocates. An item knows which list holds it, which makes
// membership tests and safe unlinking O(1). A class that must sit on two lists
// at once derives from two items distinguished by a tag type.

#include <cstddef>
#include <utility>

template <class T, class Tag = T>
class F_dual_list;

template <class T, class Tag = T>
class F_dual_list_item {
public:
  constexpr F_dual_list_item() = default;
  // Membership belongs to the object in place: a copy starts unlisted.
  F_dual_list_item(const F_dual_list_item&) {}
  F_dual_list_item& operator=(const F_dual_list_item&) { return *this; }

private:
  friend class F_dual_list<T, Tag>;
  T* next_ = nullptr;
  T* prev_ = nullptr;
  F_dual_list<T, Tag>* list_ = nullptr;
};

template <class T, class Tag>
class F_dual_list {
public:
  using Item = F_dual_list_item<T, Tag>;

  constexpr F_dual_list() = default;
  F_dual_list(const F_dual_list&) = delete;
  F_dual_list& operator=(const F_dual_list&) = delete;
  ~F_dual_list() { clear(); }

  T* head() const { return head_; }
  T* tail() const { return tail_; }
  std::size_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool contains(const T* item) const { return link(item).list_ == this; }

  static T* next(const T* item) { return link(item).next_; }
  static T* prev(const T* item) { return link(item).prev_; }

  void push_back(T* item) { insert_after(tail_, item); }
  void push_front(T* item) { insert_after(nullptr, item); }

  // Links the item right after pos; a null pos means at the head. An item
  // is on one list at a time: one listed elsewhere is moved.
  void insert_after(T* pos, T* item) {
    Item& it = link(item);
    if (it.list_) it.list_->remove(item);
    it.list_ = this;
    it.prev_ = pos;
    it.next_ = pos ? link(pos).next_ : head_;
    if (it.next_)
      link(it.next_).prev_ = item;
    else
      tail_ = item;
    if (pos)
      link(pos).next_ = item;
    else
      head_ = item;
    ++count_;
  }

  // Unlinks the item when this list holds it; false otherwise.
  bool remove(T* item) {
    if (!item || !contains(item)) return false;
    Item& it = link(item);
    if (it.prev_)
      link(it.prev_).next_ = it.next_;
    else
      head_ = it.next_;
    if (it.next_)
      link(it.next_).prev_ = it.prev_;
    else
      tail_ = it.prev_;
    it.next_ = it.prev_ = nullptr;
    it.list_ = nullptr;
    --count_;
    return true;
  }

  T* remove_from_head() {
    T* item = head_;
    remove(item);
    return item;
  }

  // Exchanges the whole contents of the two lists.
  void merge(F_dual_list& other) {
    std::swap(head_, other.head_);
    std::swap(tail_, other.tail_);
    std::swap(count_, other.count_);
    restamp();
    other.restamp();
  }

  // Moves every item of the other list, in order, to this list's tail.
  void splice_back(F_dual_list& other) {
    while (T* item = other.remove_from_head()) push_back(item);
  }

  void clear() {
    while (remove_from_head()) {
    }
  }

private:
  static Item& link(T* item) { return *static_cast<Item*>(item); }
  static const Item& link(const T* item) { return *static_cast<const Item*>(item); }
  void restamp() {
    for (T* p = head_; p; p = link(p).next_) link(p).list_ = this;
  }

  T* head_ = nullptr;
  T* tail_ = nullptr;
  std::size_t count_ = 0;
};

// Kept in ascending order of T::compare; an item equal to listed ones goes
// after them, so equal keys keep their insertion order.
template <class T>
class F_sorted_list : public F_dual_list<T> {
public:
  void insert(T* item) {
    for (T* p = this->tail(); p; p = F_dual_list<T>::prev(p)) {
      if (p->compare(item) <= 0) {
        this->insert_after(p, item);
        return;
      }
    }
    this->push_front(item);
  }
};

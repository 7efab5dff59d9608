#pragma once
// An intrusive circular doubly-linked list. Each member embeds a Node that
// knows its owner; the list itself is a head node linked to itself when
// empty. A node unlinks itself when it is destroyed, so a member may die
// without telling the list. Nothing is allocated.

namespace Containers {

template <class T>
class CyclicList {
public:
  class Node {
  public:
    explicit Node(T* owner) : owner_(owner) {}
    ~Node() { unlink(); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    bool linked() const { return next_ != this; }
    void unlink() {
      prev_->next_ = next_;
      next_->prev_ = prev_;
      next_ = prev_ = this;
    }
    T* owner() const { return owner_; }

  private:
    friend class CyclicList;
    Node* next_ = this;
    Node* prev_ = this;
    T* owner_;
  };

  class iterator {
  public:
    explicit iterator(Node* node) : node_(node) {}
    T& operator*() const { return *node_->owner_; }
    T* operator->() const { return node_->owner_; }
    iterator& operator++() {
      node_ = node_->next_;
      return *this;
    }
    bool operator==(const iterator& other) const { return node_ == other.node_; }
    bool operator!=(const iterator& other) const { return node_ != other.node_; }

  private:
    Node* node_;
  };

  CyclicList() : head_(nullptr) {}
  CyclicList(const CyclicList&) = delete;
  CyclicList& operator=(const CyclicList&) = delete;
  // Members outliving the list are left unlinked, not dangling.
  ~CyclicList() {
    while (head_.linked()) head_.next_->unlink();
  }

  bool empty() const { return !head_.linked(); }
  // Appends at the tail; a node already in a list moves here.
  void push_back(Node& node) {
    node.unlink();
    node.prev_ = head_.prev_;
    node.next_ = &head_;
    head_.prev_->next_ = &node;
    head_.prev_ = &node;
  }

  // From the oldest member to the newest.
  iterator begin() { return iterator(head_.next_); }
  iterator end() { return iterator(&head_); }

private:
  Node head_;
};

}  // namespace Containers

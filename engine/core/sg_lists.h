#pragma once
// The engine's linked lists:
// - SgPtrList: singly linked plain pointers (no counts), first entry embedded in the list.
// - SgRefChain: singly linked counted references, first entry embedded in its owner.
// - SgPooledList: doubly linked with a count, nodes taken from the list's own blocks of n nodes
//   and kept on a free chain until the list goes; SgRefList is the counted-reference form.

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/core/sg_ref.h"

// Walks a chain whose first entry is embedded: `first` is null when the chain is empty.
template <class Node, class V>
class SgChainIterator {
public:
    explicit SgChainIterator(const Node* n) : node_(n) {}
    V operator*() const { return node_->Get(); }
    SgChainIterator& operator++() {
        node_ = node_->next;
        return *this;
    }
    bool operator!=(const SgChainIterator& o) const { return node_ != o.node_; }

private:
    const Node* node_;
};

// Shared walk and removal of an embedded-first chain. Item is a pointer or an SgRef; an empty
// chain has a null embedded item (a non-empty one never does).
template <class Item, class Value>
class SgEmbeddedChain {
public:
    struct Node {
        Item item{};
        Node* next = nullptr;
        Value Get() const { return ValueOf(item); }
    };
    using Iterator = SgChainIterator<Node, Value>;

    SgEmbeddedChain() = default;
    SgEmbeddedChain(const SgEmbeddedChain&) = delete;
    SgEmbeddedChain& operator=(const SgEmbeddedChain&) = delete;
    ~SgEmbeddedChain() { Clear(); }

    bool IsEmpty() const { return !head_.item; }
    // The first value, or null for an empty chain.
    Value First() const { return IsEmpty() ? Value{} : ValueOf(head_.item); }
    Iterator begin() const { return Iterator(IsEmpty() ? nullptr : &head_); }
    Iterator end() const { return Iterator(nullptr); }

    bool Contains(const Value value) const {
        for (Value v : *this)
            if (v == value)
                return true;
        return false;
    }

    uint32_t Count() const {
        uint32_t n = 0;
        for (Value v : *this) {
            (void)v;
            ++n;
        }
        return n;
    }

    // Removes the first entry holding value: the embedded entry takes its follower's item, any
    // other entry is bridged over. False when it is not there.
    bool Remove(const Value value) {
        if (IsEmpty())
            return false;
        if (ValueOf(head_.item) == value) {
            RemoveEmbedded();
            return true;
        }
        for (Node* prev = &head_; prev->next; prev = prev->next) {
            if (ValueOf(prev->next->item) == value) {
                Node* gone = prev->next;
                prev->next = gone->next;
                delete gone;
                return true;
            }
        }
        return false;
    }

    // Removes every entry for which drop(value) is true, in order; each follower is still
    // offered. drop must not change the chain.
    template <class Pred>
    void RemoveIf(Pred drop) {
        while (!IsEmpty() && drop(ValueOf(head_.item)))
            RemoveEmbedded();
        if (IsEmpty())
            return;
        Node* prev = &head_;
        while (prev->next) {
            if (drop(ValueOf(prev->next->item))) {
                Node* gone = prev->next;
                prev->next = gone->next;
                delete gone;
            } else {
                prev = prev->next;
            }
        }
    }

    // Calls visit(Item&) for every entry from the front, so an owner can exchange what an entry
    // holds (the display swaps an object's properties with its pending ones). visit must not
    // store an empty item nor change the chain.
    template <class Visit>
    void ForEachSlot(Visit visit) {
        if (IsEmpty())
            return;
        for (Node* n = &head_; n; n = n->next)
            visit(n->item);
    }

    void Clear() {
        Node* n = head_.next;
        head_.next = nullptr;
        while (n) {
            Node* next = n->next;
            delete n;
            n = next;
        }
        head_.item = Item{};
    }

protected:
    static Value ValueOf(const Item& item) {
        if constexpr (requires { item.Get(); })
            return item.Get();
        else
            return item;
    }

    // Puts value at the front: an empty chain takes it into the embedded entry, otherwise the old
    // first item moves into a new node right behind it. False when the node cannot be made.
    bool AddFront(Item item) {
        if (IsEmpty()) {
            head_.item = static_cast<Item&&>(item);
            return true;
        }
        Node* moved = new (std::nothrow) Node;
        if (!moved)
            return false;
        moved->item = static_cast<Item&&>(head_.item);
        moved->next = head_.next;
        head_.item = static_cast<Item&&>(item);
        head_.next = moved;
        return true;
    }

private:
    void RemoveEmbedded() {
        Node* second = head_.next;
        if (!second) {
            head_.item = Item{};
            return;
        }
        head_.item = static_cast<Item&&>(second->item);
        head_.next = second->next;
        delete second;
    }

    Node head_;
};

template <class T>
class SgPtrList : public SgEmbeddedChain<T*, T*> {
public:
    // Puts the value at the head; null is ignored, and so is a value that cannot get an entry.
    void AddHead(T* value) {
        if (value)
            this->AddFront(value);
    }
};

template <class T>
class SgRefChain : public SgEmbeddedChain<SgRef<T>, T*> {
public:
    SgRefChain() = default;
    // A chain holding the item (with a count) in its embedded entry.
    explicit SgRefChain(T* item) { Prepend(item); }

    // Puts the item at the front with one count; null is ignored.
    void Prepend(T* item) {
        if (item)
            this->AddFront(SgRef<T>(item));
    }
    // Puts the items at the front keeping their order: the first item ends up first.
    void PrependInOrder(T* const* items, size_t count) {
        for (size_t i = count; i-- > 0;)
            Prepend(items[i]);
    }
    // Holds the other chain's items, in its order, instead of its own.
    void AssignFrom(const SgRefChain& other) {
        if (&other == this)
            return;
        std::vector<T*> items;
        for (T* item : other)
            items.push_back(item);
        this->Clear();
        PrependInOrder(items.data(), items.size());
    }
};

// Whether two chains hold the same number of items and same(a, b) holds pairwise in order.
template <class ChainA, class ChainB, class Same>
bool SgChainsMatch(const ChainA& a, const ChainB& b, Same same) {
    auto x = a.begin(), y = b.begin();
    for (; x != a.end() && y != b.end(); ++x, ++y)
        if (!same(*x, *y))
            return false;
    return !(x != a.end()) && !(y != b.end());
}

// A doubly linked list whose nodes come from its own blocks of nodesPerBlock nodes.
template <class Item>
class SgPooledList {
public:
    struct Node {
        Item item{};
        Node* next = nullptr;
        Node* previous = nullptr;
    };

    explicit SgPooledList(uint32_t nodesPerBlock) : nodesPerBlock_(nodesPerBlock ? nodesPerBlock : 1) {}
    SgPooledList(const SgPooledList&) = delete;
    SgPooledList& operator=(const SgPooledList&) = delete;
    ~SgPooledList() {
        RemoveAll();
        while (blocks_) {
            Block* next = blocks_->next;
            delete[] blocks_->nodes;
            delete blocks_;
            blocks_ = next;
        }
    }

    uint32_t Count() const { return count_; }
    Node* Head() const { return head_; }
    Node* Tail() const { return tail_; }
    uint32_t BlockCount() const {
        uint32_t n = 0;
        for (Block* b = blocks_; b; b = b->next)
            ++n;
        return n;
    }

    Node* Append(Item item) {
        Node* node = Take();
        node->item = static_cast<Item&&>(item);
        node->next = nullptr;
        node->previous = tail_;
        if (tail_)
            tail_->next = node;
        else
            head_ = node;
        tail_ = node;
        ++count_;
        return node;
    }

    // Unlinks the node and gives it back to the free chain.
    void Remove(Node* node) {
        if (node->previous)
            node->previous->next = node->next;
        else
            head_ = node->next;
        if (node->next)
            node->next->previous = node->previous;
        else
            tail_ = node->previous;
        --count_;
        Give(node);
    }

    void RemoveAll() {
        while (head_)
            Remove(head_);
    }

private:
    struct Block {
        Block* next;
        Node* nodes;
    };

    Node* Take() {
        if (!free_) {
            Node* nodes = new Node[nodesPerBlock_];
            for (uint32_t i = 0; i + 1 < nodesPerBlock_; ++i)
                nodes[i].next = &nodes[i + 1];
            blocks_ = new Block{blocks_, nodes};
            free_ = nodes;
        }
        Node* node = free_;
        free_ = node->next;
        return node;
    }

    void Give(Node* node) {
        node->item = Item{};
        node->previous = nullptr;
        node->next = free_;
        free_ = node;
    }

    uint32_t count_ = 0;
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    Node* free_ = nullptr;
    Block* blocks_ = nullptr;
    uint32_t nodesPerBlock_;
};

template <class T>
class SgRefList : public SgPooledList<SgRef<T>> {
public:
    using Node = typename SgPooledList<SgRef<T>>::Node;

    explicit SgRefList(uint32_t nodesPerBlock) : SgPooledList<SgRef<T>>(nodesPerBlock) {}

    void Append(T* item) { SgPooledList<SgRef<T>>::Append(SgRef<T>(item)); }

    // The item at position as a counted reference, moving position to the next node; a null
    // position gives null.
    static SgRef<T> NextItem(Node*& position) {
        if (!position)
            return SgRef<T>();
        SgRef<T> item = position->item;
        position = position->next;
        return item;
    }

    // Removes the first node holding item; false when it is not there.
    bool Remove(const T* item) {
        for (Node* n = this->Head(); n; n = n->next) {
            if (n->item.Get() == item) {
                SgPooledList<SgRef<T>>::Remove(n);
                return true;
            }
        }
        return false;
    }
};

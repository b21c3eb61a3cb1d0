#pragma once
// Orders items by a pairwise comparator that may leave pairs unordered (0) and may even contradict
// itself in cycles: a topological placement from the last position to the first, breaking any
// cycle at the item with the fewest items still to be placed after it.

#include <cstdint>

class SgPartialOrder {
public:
    // comparator(a, b, context): negative when a goes before b, positive when after, 0 for no order.
    using Comparator = int (*)(void* a, void* b, void* context);

    explicit SgPartialOrder(uint32_t capacity);
    SgPartialOrder(const SgPartialOrder&) = delete;
    SgPartialOrder& operator=(const SgPartialOrder&) = delete;
    ~SgPartialOrder();

    // Reorders items[0..n) in place; true when a cycle had to be broken. The work arrays grow to
    // the largest n seen and stay.
    bool Sort(void** items, uint32_t n, Comparator comparator, void* context);

    uint32_t Capacity() const { return capacity_; }

private:
    void Reserve(uint32_t n);

    uint32_t capacity_ = 0;
    uint32_t cells_ = 0;                 // capacity squared
    uint8_t* grid_ = nullptr;            // grid[i][j] = 1: j goes before i
    int32_t* successors_ = nullptr;      // items still to be placed after each; -1 once placed
    int32_t* predecessors_ = nullptr;
    void** items_ = nullptr;
};

#include "engine/geometry/sg_partial_order.h"

#include <cstddef>

SgPartialOrder::SgPartialOrder(uint32_t capacity) { Reserve(capacity); }

SgPartialOrder::~SgPartialOrder() {
    delete[] grid_;
    delete[] successors_;
    delete[] predecessors_;
    delete[] items_;
}

void SgPartialOrder::Reserve(uint32_t n) {
    delete[] grid_;
    delete[] successors_;
    delete[] predecessors_;
    delete[] items_;
    capacity_ = n;
    cells_ = n * n;
    grid_ = new uint8_t[cells_]();
    successors_ = new int32_t[n]();
    predecessors_ = new int32_t[n]();
    items_ = new void*[n]();
}

bool SgPartialOrder::Sort(void** items, uint32_t n, Comparator comparator, void* context) {
    if (n > capacity_)
        Reserve(n);
    for (uint32_t k = 0; k < n; ++k) {
        successors_[k] = 0;
        predecessors_[k] = 0;
        items_[k] = items[k];
        grid_[k * capacity_ + k] = 0;
    }
    // Held in locals: the compiler cannot tell that the comparator leaves the members alone.
    uint8_t* const grid = grid_;
    const size_t cap = capacity_;
    int32_t* const successors = successors_;
    int32_t* const predecessors = predecessors_;
    void* const* const work = items_;
    for (uint32_t i = 0; i < n; ++i) {
        for (uint32_t j = i + 1; j < n; ++j) {
            int r = comparator(work[i], work[j], context);
            uint8_t& ij = grid[i * cap + j];
            uint8_t& ji = grid[j * cap + i];
            if (r < 0) {
                ji = 1;
                ij = 0;
                ++successors[i];
                ++predecessors[j];
            } else if (r > 0) {
                ij = 1;
                ji = 0;
                ++successors[j];
                ++predecessors[i];
            } else {
                ij = 0;
                ji = 0;
            }
        }
    }

    bool brokeCycle = false;
    for (uint32_t position = n; position-- > 0;) {
        int64_t picked = -1;
        for (uint32_t k = 0; k < n; ++k) {
            if (successors_[k] == 0) {
                picked = k;
                break;
            }
        }
        if (picked < 0) {
            // A cycle: the item with the fewest still to come after it, then the one with more
            // before it, then the lower index.
            for (uint32_t k = 0; k < n; ++k) {
                if (successors_[k] <= 0)
                    continue;
                if (picked < 0 || successors_[k] < successors_[picked] ||
                    (successors_[k] == successors_[picked] && predecessors_[k] > predecessors_[picked]))
                    picked = k;
            }
            brokeCycle = true;
        }
        if (picked < 0)
            break;
        uint32_t p = static_cast<uint32_t>(picked);
        items[position] = items_[p];
        // The row's cells are 0 or 1: subtracted whole, the loop runs without a branch and in vectors.
        const uint8_t* row = grid + p * cap;
        for (uint32_t x = 0; x < n; ++x)
            successors[x] -= row[x];
        successors_[p] = -1;
        predecessors_[p] = 0;
    }
    return brokeCycle;
}

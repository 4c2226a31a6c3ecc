// The in-place quicksort without recursion shared by the list and the curve.
#pragma once

#include <cstdint>

// Sorts items[0, count) ascending by `less`. The middle element is swapped to
// the front and used as pivot; both scanners stop on elements equal to it, so
// equal runs split evenly. The larger part is pushed on a fixed stack of 32
// ranges and the smaller part is sorted next, so the stack never overflows.
template <class T, class Less>
void QuickSort(T* items, uint32_t count, Less less) {
    struct Range {
        uint32_t lo, hi;   // [lo, hi)
    };
    Range stack[32];
    uint32_t depth = 0;
    uint32_t lo = 0, hi = count;
    for (;;) {
        while (hi - lo > 1) {
            const uint32_t mid = lo + (hi - lo) / 2;
            T pivot = items[mid];
            items[mid] = items[lo];
            items[lo] = pivot;
            uint32_t i = lo, j = hi;
            for (;;) {
                while (++i < hi && less(items[i], pivot)) {
                }
                while (less(pivot, items[--j])) {
                }
                if (i >= j) break;
                T t = items[i];
                items[i] = items[j];
                items[j] = t;
            }
            items[lo] = items[j];
            items[j] = pivot;
            // [lo, j) and [j + 1, hi): push the larger, go on with the smaller.
            if (j - lo > hi - (j + 1)) {
                stack[depth++] = Range{lo, j};
                lo = j + 1;
            } else {
                stack[depth++] = Range{j + 1, hi};
                hi = j;
            }
        }
        if (depth == 0) return;
        --depth;
        lo = stack[depth].lo;
        hi = stack[depth].hi;
    }
}

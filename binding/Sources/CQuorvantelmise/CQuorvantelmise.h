/* The library's exported interface, as the Swift module sees it. */
#ifndef CQUORVANTELMISE_H
#define CQUORVANTELMISE_H

#include <quorvantelmise.h>

/* A store the library's polling threads are sure to see: Swift has no atomic access to a
 * cell that C code reads through a plain pointer. */
static inline void CQuorvantelmise_StoreInt32Atomically(int32_t *cell, int32_t value) {
    __atomic_store_n(cell, value, __ATOMIC_SEQ_CST);
}

#endif

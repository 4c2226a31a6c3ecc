// Reference count of objects that the application and the control tree share.
#pragma once

#include <cstdint>

#include "../mem/ExeHeapSrv.h"

class CRefObject {
public:
    int32_t refCount;

    CRefObject() : refCount(0) {}
    CRefObject(const CRefObject&) = delete;
    CRefObject& operator=(const CRefObject&) = delete;

    // Deleting destructor: bit 0 of flags gives the whole object's memory
    // back to the thread heap, whichever base this is of it.
    virtual void Destroy(uint32_t flags) {
        void* block = dynamic_cast<void*>(this);
        this->~CRefObject();
        if (flags & 1) ThreadHeap->Free(block);
    }
    virtual ~CRefObject() {}

    int32_t AddRef() { return ++refCount; }

    // Lowers the count; the holder of the last reference deletes the object.
    // Answers the count left (0 once deleted).
    int32_t Release() {
        const int32_t was = refCount;
        refCount = was - 1;
        if (was == 1) {
            Destroy(1);
            return 0;
        }
        return was - 1;
    }
};

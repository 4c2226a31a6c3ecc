// Process-wide objects that each layer keeps and each program's composition
// root builds: the layer owns the storage (plain bytes, so nothing runs at
// load and no unit's initialisation order matters), the root constructs and
// destroys the objects in the one order it states as a table of steps.
#pragma once

#include <cstdint>
#include <new>
#include <utility>

template <class T>
struct TProcessObject {
    alignas(T) unsigned char storage[sizeof(T)];

    T& operator*() { return *reinterpret_cast<T*>(storage); }
    template <class... Args>
    void Construct(Args&&... args) {
        new (storage) T(std::forward<Args>(args)...);
    }
    void Destroy() { (**this).~T(); }
};

// One step of a start-up: what it builds, and what takes it down (null: it
// stays, or something else ends it).
struct ProcessStep {
    const char* name;
    void (*start)();
    void (*stop)();
};

// Runs the starts in table order when constructed and the stops in reverse
// when destroyed.
class CProcessSteps {
public:
    CProcessSteps(const ProcessStep* steps, uint32_t count) : steps_(steps), count_(count) {
        for (uint32_t i = 0; i < count_; ++i)
            if (steps_[i].start) steps_[i].start();
    }
    ~CProcessSteps() {
        for (uint32_t i = count_; i-- > 0;)
            if (steps_[i].stop) steps_[i].stop();
    }
    CProcessSteps(const CProcessSteps&) = delete;
    CProcessSteps& operator=(const CProcessSteps&) = delete;

private:
    const ProcessStep* steps_;
    uint32_t count_;
};

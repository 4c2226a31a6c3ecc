// Repeating window-system timers without a window that run a method of a
// control; the timer's id finds the control again.
#pragma once

#include <cstdint>

#include "../panel/Control.h"
#include "../panel/HashTable.h"

#define PANEL_TIMER_TAG ".\\PanelTimer.cpp"

// The method run on every tick: the control and the timer's id.
typedef void (*TimerTick)(CControl* owner, uint32_t timerId);

// Starts a timer of `period` milliseconds; its id, or 0 when the window
// system refuses one (nothing is registered then). Ticks arrive through the
// calling thread's message loop. A tick may stop its own timer.
uint32_t StartTimer(TimerTick tick, CControl* owner, uint32_t period);
// Kills the timer and forgets its record; an unknown id (or 0) does nothing.
void StopTimer(uint32_t timerId);
// Timers registered now (for tests).
uint32_t RunningTimerCount();

// The timer table: one record per running timer, keyed by the timer's id.
struct CTimerKey {
    uint32_t id;
    // The id's four bytes in memory order.
    uint32_t KeyHash() const { return HashKey4(&id); }
};

struct CTimerRecord {
    uint32_t TimerId;
    TimerTick TickMethod;
    CControl* Owner;
    uint32_t hash;
    TListLink registration;
    TListLink bucket;

    CTimerRecord(TimerTick tick, CControl* owner)
        : TimerId(0), TickMethod(tick), Owner(owner), hash(0) {}
    bool KeyEquals(const CTimerKey& key) const { return TimerId == key.id; }
};

typedef THashTable<CTimerRecord, CTimerKey> CTimerTable;

// A process-wide object of the timer unit, built by StartTimerTable and taken
// down by StopTimerTable (steps of a program's start-up); records still
// registered then are detached only.
extern CTimerTable& timerTable;
void StartTimerTable();
void StopTimerTable();

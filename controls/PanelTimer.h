// Repeating window-system timers without a window that run a method of a
// control; the timer's id finds the control again.
#pragma once

#include <cstdint>

#include "../panel/Control.h"

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

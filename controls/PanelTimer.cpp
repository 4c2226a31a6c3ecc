#include "PanelTimer.h"

#include <cstddef>
#include <new>

#include "../rtl/ProcessObject.h"

namespace {

TProcessObject<CTimerTable> timers;

CTimerRecord* FindTimer(uint32_t id) {
    const CTimerKey key = {id};
    return timerTable.Find(key);
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    if (id > UINT32_MAX) return;
    CTimerRecord* record = FindTimer(uint32_t(id));
    if (!record) return;   // already stopped
    // The tick may stop this very timer, so the record is not used after it.
    const TimerTick tick = record->TickMethod;
    CControl* owner = record->Owner;
    if (tick) tick(owner, uint32_t(id));
}

}  // namespace

CTimerTable& timerTable = *timers;

void StartTimerTable() {
    timers.Construct(uint32_t(offsetof(CTimerRecord, hash)), uint32_t(offsetof(CTimerRecord, registration)),
                     uint32_t(offsetof(CTimerRecord, bucket)));
}

void StopTimerTable() { timers.Destroy(); }

uint32_t StartTimer(TimerTick tick, CControl* owner, uint32_t period) {
    void* memory = ThreadHeap->Alloc(sizeof(CTimerRecord), 0, PANEL_TIMER_TAG, __LINE__);
    CTimerRecord* record = new (memory) CTimerRecord(tick, owner);
    const UINT_PTR id = SetTimer(nullptr, 0, period, TimerProc);
    if (id > UINT32_MAX) KillTimer(nullptr, id);   // no 32-bit key for it
    if (id == 0 || id > UINT32_MAX) {
        record->~CTimerRecord();
        ThreadHeap->Free(record);
        return 0;
    }
    record->TimerId = uint32_t(id);
    timerTable.Insert(record, CTimerKey{record->TimerId}.KeyHash());
    return record->TimerId;
}

void StopTimer(uint32_t timerId) {
    if (timerId == 0) return;
    CTimerRecord* record = FindTimer(timerId);
    if (!record) return;
    KillTimer(nullptr, record->TimerId);
    timerTable.Unlink(record);
    record->~CTimerRecord();
    ThreadHeap->Free(record);
}

uint32_t RunningTimerCount() { return timerTable.registration.Count(); }

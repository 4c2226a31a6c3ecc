// The timeline link: a control that owns a shared time axis (zoom, view
// offset, playhead) and publishes its changes to listening controls (curves).
//
// Events sent to listeners (the float passed):
//   1 playhead moved      Playhead
//   2 owner goes away     none (null); the listener forgets the owner
//   3 view offset changed ViewOffset
//   4 zoom changed        Zoom
#pragma once

#include <cstdint>

#include "../panel/Control.h"
#include "../rtl/Numbers.h"
#include "CtlScroll.h"

#define TIMELINE_CPP_TAG ".\\Timeline.cpp"

enum : int32_t {
    kTimelinePlayhead = 1,
    kTimelineGone = 2,
    kTimelineOffset = 3,
    kTimelineZoom = 4,
};

// The kind a timeline owner answers from GetKind; curves look for it among
// their ancestors.
const int kTimelineKind = 1;

// Receives (listener data, event, the event's float or null).
typedef void (*TimelineCallback)(void* data, int32_t event, const float* value);

struct TimelineListener {
    TimelineCallback Callback;
    uint32_t Enabled;   // only enabled records hear events
    void* ListenerData;
    TListLink link;
};

// A minimal owner of a time axis; its horizontal scroll bar (a child bound
// to ScrollPos) runs along the bottom edge.
class CTimelineOwner : public CControl {
public:
    CTimelineOwner();
    // Every enabled listener hears event 2 with its record already unlinked;
    // then the records are freed. The scroll bar goes with the children.
    ~CTimelineOwner() override;

    int GetKind() override;

    // Fields, in order.
    TList<TimelineListener> Listeners;
    int32_t HeaderWidth;   // pixels of the width not used for the time axis
    float Zoom;            // pixels per time unit
    CScrollBar* ScrollBar;
    int32_t ScrollPos;     // the scroll bar's bound value, pixels
    float Playhead;
    float ViewOffset;      // time at the left edge
    float Length;          // total time
};

// Allocates (tag ".\Timeline.cpp") and constructs an owner with its scroll bar.
CTimelineOwner* CreateTimelineOwner();

// Appends an enabled record {callback, data}, then sends events 1, 3 and 4,
// each to every enabled record before the next.
void AddTimelineListener(CTimelineOwner* owner, TimelineCallback callback, void* data);
// Unlinks and frees the first record with this callback and data; nothing
// happens when there is none.
void RemoveTimelineListener(CTimelineOwner* owner, TimelineCallback callback, void* data);

// ViewOffset := offset, the scroll bar updated, event 3, owner invalidated.
void SetViewOffset(CTimelineOwner* owner, float offset);
// Zoom and ViewOffset set, the scroll bar updated, event 4 then event 3,
// owner invalidated.
void SetZoomAndOffset(CTimelineOwner* owner, float zoom, float offset);
// ScrollPos, Page, Step and Total from the owner's state (nearest, halves to
// even, held to the 32-bit range; NaN gives 0), then the bar repaints and
// re-reads ScrollPos.
void UpdateTimelineScrollBar(CTimelineOwner* owner);

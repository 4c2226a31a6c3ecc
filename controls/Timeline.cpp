#include "Timeline.h"

#include <cstddef>
#include <new>

namespace {

const int16_t kTimelineBarHeight = 16;

void SendToAll(CTimelineOwner* owner, int32_t event, float value) {
    TList<TimelineListener>& list = owner->Listeners;
    for (TimelineListener* r = list.First(); r;) {
        TimelineListener* next = list.Next(r);   // a callback may drop its own record
        if (r->Enabled) r->Callback(r->ListenerData, event, &value);
        r = next;
    }
}

}  // namespace

CTimelineOwner::CTimelineOwner()
    : Listeners(uint32_t(offsetof(TimelineListener, link))), HeaderWidth(0), Zoom(16.0f),
      ScrollBar(nullptr), ScrollPos(0), Playhead(0.0f), ViewOffset(0.0f), Length(0.0f) {
    ScrollBar = CreateScrollBar(&ScrollPos);
    ScrollBar->Vertical = 0;
    AppendChild(ScrollBar);
    const ControlAnchor top = {int16_t(-kTimelineBarHeight), kAnchorFar};
    ScrollBar->SetAnchors(ControlAnchor{0, kAnchorNear}, top, ControlAnchor{0, kAnchorFar},
                          ControlAnchor{0, kAnchorFar});
    UpdateTimelineScrollBar(this);
}

CTimelineOwner::~CTimelineOwner() {
    while (TimelineListener* r = Listeners.First()) {
        r->link.Unlink();
        if (r->Enabled) r->Callback(r->ListenerData, kTimelineGone, nullptr);
        ThreadHeap->Free(r);
    }
}

int CTimelineOwner::GetKind() { return kTimelineKind; }

CTimelineOwner* CreateTimelineOwner() {
    return new (ThreadHeap->Alloc(sizeof(CTimelineOwner), 0, TIMELINE_CPP_TAG, __LINE__)) CTimelineOwner();
}

void AddTimelineListener(CTimelineOwner* owner, TimelineCallback callback, void* data) {
    if (!owner || !callback) return;
    void* block = ThreadHeap->Alloc(sizeof(TimelineListener), 0, TIMELINE_CPP_TAG, __LINE__);
    TimelineListener* r = new (block) TimelineListener;
    r->Callback = callback;
    r->Enabled = 1;
    r->ListenerData = data;
    owner->Listeners.Append(r);
    SendToAll(owner, kTimelinePlayhead, owner->Playhead);
    SendToAll(owner, kTimelineOffset, owner->ViewOffset);
    SendToAll(owner, kTimelineZoom, owner->Zoom);
}

void RemoveTimelineListener(CTimelineOwner* owner, TimelineCallback callback, void* data) {
    if (!owner) return;
    TList<TimelineListener>& list = owner->Listeners;
    for (TimelineListener* r = list.First(); r; r = list.Next(r)) {
        if (r->Callback == callback && r->ListenerData == data) {
            r->link.Unlink();
            ThreadHeap->Free(r);
            return;
        }
    }
}

void UpdateTimelineScrollBar(CTimelineOwner* owner) {
    CScrollBar* bar = owner->ScrollBar;
    const double zoom = owner->Zoom;
    owner->ScrollPos = NearestInt(double(owner->ViewOffset) * zoom, INT32_MAX);
    bar->Page = owner->width - owner->HeaderWidth;
    bar->Step = NearestInt(zoom, INT32_MAX);
    bar->Total = NearestInt(double(owner->Length) * zoom, INT32_MAX);
    bar->Invalidate();
    bar->Refresh();
}

void SetViewOffset(CTimelineOwner* owner, float offset) {
    if (!owner) return;
    owner->ViewOffset = offset;
    UpdateTimelineScrollBar(owner);
    SendToAll(owner, kTimelineOffset, owner->ViewOffset);
    owner->Invalidate();
}

void SetZoomAndOffset(CTimelineOwner* owner, float zoom, float offset) {
    if (!owner) return;
    owner->Zoom = zoom;
    owner->ViewOffset = offset;
    UpdateTimelineScrollBar(owner);
    SendToAll(owner, kTimelineZoom, owner->Zoom);
    SendToAll(owner, kTimelineOffset, owner->ViewOffset);
    owner->Invalidate();
}

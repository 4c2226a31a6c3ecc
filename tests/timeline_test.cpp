// The timeline owner: listener events, the scroll bar it keeps in step, and
// a curve that follows it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/Curve.h"
#include "controls/Timeline.h"
#include "heap_checks.h"

namespace {

std::vector<std::string> said;

void Listen(void* data, int32_t event, const float* value) {
    said.push_back(std::string(static_cast<const char*>(data)) + " " + std::to_string(event) + " " +
                   (value ? std::to_string(*value) : "-"));
}

}  // namespace

TEST(Timeline, ListenersHearPlayheadOffsetZoomInTurn) {
    const LiveBlocks live;
    CTimelineOwner* owner = CreateTimelineOwner();
    owner->Playhead = 1.5f;
    owner->ViewOffset = 2;
    owner->Zoom = 32;
    static char a[] = "a", b[] = "b";
    AddTimelineListener(owner, Listen, a);
    EXPECT_EQ((std::vector<std::string>{"a 1 1.500000", "a 3 2.000000", "a 4 32.000000"}), said);
    said.clear();
    AddTimelineListener(owner, Listen, b);
    EXPECT_EQ((std::vector<std::string>{"a 1 1.500000", "b 1 1.500000", "a 3 2.000000", "b 3 2.000000",
                                        "a 4 32.000000", "b 4 32.000000"}),
              said);
    owner->Listeners.Last()->Enabled = 0;   // b stops listening
    said.clear();
    SetZoomAndOffset(owner, 8, 0.5f);
    EXPECT_EQ((std::vector<std::string>{"a 4 8.000000", "a 3 0.500000"}), said);
    RemoveTimelineListener(owner, Listen, a);
    RemoveTimelineListener(owner, Listen, a);   // gone already: nothing
    said.clear();
    SetViewOffset(owner, 3);
    EXPECT_TRUE(said.empty());
    EXPECT_EQ(1u, owner->Listeners.Count());
    owner->Destroy(1);   // the disabled record is freed unheard
    EXPECT_TRUE(said.empty());
    EXPECT_EQ(0, live.Added());
}

TEST(Timeline, ScrollBarFollowsZoomAndOffsetRoundingHalvesToEven) {
    CTimelineOwner* owner = CreateTimelineOwner();
    owner->SetSize(SIZE{300, 100});
    owner->HeaderWidth = 40;
    owner->Length = 10.5f;
    const struct { float zoom, offset; int32_t pos, step, total; } rows[] = {
        {16.5f, 2.5f, 41, 16, 173},    // 41.25, 16.5, 173.25
        {17.5f, 0.5f, 9, 18, 184},     // 8.75, 17.5, 183.75
        {2, 0.25f, 0, 2, 21},          // 0.5 to even, 21
        {3, 0.5f, 2, 3, 32},           // 1.5 and 31.5 to even
        {NAN, 1, 0, 0, 0},             // no number: 0
        {1e30f, 1, INT32_MAX, INT32_MAX, INT32_MAX},
        {-1e30f, 1, -INT32_MAX, -INT32_MAX, -INT32_MAX},
    };
    for (const auto& r : rows) {
        SetZoomAndOffset(owner, r.zoom, r.offset);
        EXPECT_EQ(r.pos, owner->ScrollPos) << r.zoom;
        EXPECT_EQ(r.pos, owner->ScrollBar->Value) << r.zoom;
        EXPECT_EQ(r.step, owner->ScrollBar->Step) << r.zoom;
        EXPECT_EQ(r.total, owner->ScrollBar->Total) << r.zoom;
        EXPECT_EQ(260, owner->ScrollBar->Page);
    }
    EXPECT_EQ(0, owner->ScrollBar->Vertical);
    EXPECT_EQ(84, owner->ScrollBar->y);   // along the bottom edge
    owner->Destroy(1);
}

TEST(Timeline, CurveLinksOnResizeFollowsAndForgetsItsOwner) {
    const LiveBlocks live;
    CTimelineOwner* owner = CreateTimelineOwner();
    owner->Playhead = 0.5f;
    owner->ViewOffset = -1;
    owner->Zoom = 32;
    CCurve* c = CreateCurve(nullptr);
    c->AddRef();
    owner->AppendChild(c);
    owner->SetSize(SIZE{400, 216});   // the curve is laid out and links
    ASSERT_EQ(owner, c->Timeline);
    EXPECT_EQ(0.5f, c->CursorX);
    EXPECT_EQ(-1.0f, c->OriginX);
    EXPECT_EQ(32.0f, c->ZoomX);
    EXPECT_EQ(1u, owner->Listeners.Count());
    owner->SetSize(SIZE{400, 300});   // linked once only
    EXPECT_EQ(1u, owner->Listeners.Count());

    // The curve's wheel and pan go through the owner.
    c->OnMouseWheel(120, 0, POINT{64, 100});
    EXPECT_EQ(48.0f, owner->Zoom);
    EXPECT_EQ(48.0f, c->ZoomX);
    EXPECT_FLOAT_EQ(-1 + 64 / 32.0f - 64 / 48.0f, owner->ViewOffset);   // x at column 64 stays
    EXPECT_EQ(owner->ViewOffset, c->OriginX);
    const float before = owner->ViewOffset;
    c->OnMouseDown(kMouseMiddle, 0, POINT{100, 100});
    c->OnMouseMove(0, POINT{52, 100});
    c->OnMouseUp(kMouseMiddle, 0, POINT{52, 100});
    EXPECT_FLOAT_EQ(before + 1, owner->ViewOffset);
    EXPECT_EQ(owner->ViewOffset, c->OriginX);

    // Owner first: the curve hears event 2 and forgets it.
    owner->Destroy(1);
    EXPECT_EQ(nullptr, c->Timeline);
    EXPECT_EQ(nullptr, c->parent);
    static_cast<CRefObject*>(c)->Release();
    EXPECT_EQ(0, live.Added());

    // Curve first: it leaves the owner's list.
    owner = CreateTimelineOwner();
    c = CreateCurve(nullptr);
    c->AddRef();
    owner->AppendChild(c);
    owner->SetSize(SIZE{100, 100});
    static_cast<CRefObject*>(c)->Release();
    EXPECT_TRUE(owner->Listeners.IsEmpty());
    EXPECT_EQ(nullptr, owner->FirstChild()->NextSibling());   // only the scroll bar is left
    owner->Destroy(1);
    EXPECT_EQ(0, live.Added());
}

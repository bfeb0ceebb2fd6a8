#include "Platform/WebBanner/BannerLinkGate.h"

#include <gtest/gtest.h>

#include <vector>

// The banner's link rule: a link only in answer to the listener, one per gesture, within the
// window after the gesture's last input.

namespace {

struct Step {
    enum Kind { Began, GoesOn, Take } kind;
    qint64 at;
    bool allowed = false; // for Take
};

struct Case {
    const char *name;
    std::vector<Step> steps;
};

} // namespace

TEST(BannerLinkGate, OneLinkPerGestureWithinTheWindow)
{
    using S = Step;
    const std::vector<Case> cases = {
        {"no gesture, no link", {{S::Take, 0}, {S::Take, 5000}}},
        {"a press grants one link", {{S::Began, 100}, {S::Take, 150, true}, {S::Take, 160}, {S::Take, 170}}},
        {"a click's link may follow its release", {{S::Began, 100}, {S::GoesOn, 900}, {S::Take, 1850, true}}},
        {"too late after the gesture", {{S::Began, 100}, {S::Take, 1101}, {S::Take, 1102}}},
        {"exactly at the window's end", {{S::Began, 100}, {S::Take, 1100, true}}},
        {"a release after the link grants nothing", {{S::Began, 100}, {S::Take, 110, true}, {S::GoesOn, 120}, {S::Take, 130}}},
        {"a release without a press grants nothing", {{S::GoesOn, 100}, {S::Take, 110}}},
        {"each gesture its own link", {{S::Began, 100}, {S::Take, 200, true}, {S::Began, 300}, {S::Take, 310, true}, {S::Take, 320}}},
        {"two presses before a link still give one", {{S::Began, 100}, {S::Began, 110}, {S::Take, 120, true}, {S::Take, 130}}},
        {"a link refused late uses the grant up", {{S::Began, 100}, {S::Take, 2000}, {S::GoesOn, 2100}, {S::Take, 2200}}},
        {"a clock that went back grants nothing", {{S::Began, 100}, {S::Take, 50}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BannerLinkGate gate;
        for (const Step &step : c.steps) {
            switch (step.kind) {
            case S::Began:
                gate.gestureBegan(step.at);
                break;
            case S::GoesOn:
                gate.gestureGoesOn(step.at);
                break;
            case S::Take:
                EXPECT_EQ(gate.take(step.at), step.allowed) << "at " << step.at;
                break;
            }
        }
    }
}

TEST(BannerLinkGate, OnlyTheKeysThatFollowALinkAreGestures)
{
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Space)})
        EXPECT_TRUE(BannerLinkGate::activatesLinks(key)) << key;
    for (const int key : {int(Qt::Key_Tab), int(Qt::Key_Backtab), int(Qt::Key_Down), int(Qt::Key_A), int(Qt::Key_Escape)})
        EXPECT_FALSE(BannerLinkGate::activatesLinks(key)) << key;
}

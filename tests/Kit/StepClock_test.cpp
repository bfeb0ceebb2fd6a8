#include "Kit/StepClock.h"
#include <QTest>

#include <QObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

// The clock the playing indicators step by runs exactly while someone holds it, however its
// holders let go of it.
TEST(StepClock, RunsWhileHeldAndStopsWhenTheLastHolderLetsGoOrGoesAway)
{
    StepClock &clock = StepClock::shared();
    ASSERT_FALSE(clock.isRunning());
    auto first = std::make_unique<QObject>();
    QObject second;

    clock.hold(first.get(), true);
    clock.hold(first.get(), true); // twice is still one holder
    clock.hold(&second, true);
    EXPECT_TRUE(clock.isRunning());
    EXPECT_EQ(clock.holders(), 2);

    // Steps come, and move the clock on.
    QSignalSpy stepped(&clock, &StepClock::stepped);
    const double before = clock.now();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stepped.count() >= 2; }, 5000));
    EXPECT_GT(clock.now(), before);

    first.reset(); // goes away still holding it
    EXPECT_EQ(clock.holders(), 1);
    EXPECT_TRUE(clock.isRunning());
    clock.hold(&second, false);
    EXPECT_FALSE(clock.isRunning());
    clock.hold(&second, false); // letting go twice changes nothing
    clock.hold(nullptr, true);
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(clock.holders(), 0);
}

#include "Platform/AudioSession.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(AudioSession, RecordsCategoryAndActivationAndReportsRequestedFailures)
{
    AudioSession &session = AudioSession::sharedInstance();
    EXPECT_EQ(&session, &AudioSession::sharedInstance());

    QString error;
    EXPECT_TRUE(session.setCategory(AudioSession::Category::Playback, AudioSession::Mode::Default, {}, &error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(session.category(), AudioSession::Category::Playback);
    EXPECT_EQ(session.mode(), AudioSession::Mode::Default);
    EXPECT_EQ(session.categoryOptions(), AudioSession::CategoryOptions());
    const int activations = session.activationCount();
    EXPECT_TRUE(session.setActive(true));
    EXPECT_TRUE(session.isActive());
    EXPECT_EQ(session.activationCount(), activations + 1);

    session.failNextCall(QStringLiteral("device busy"));
    EXPECT_FALSE(session.setCategory(AudioSession::Category::Record, AudioSession::Mode::Measurement,
                                     AudioSession::DuckOthers, &error));
    EXPECT_EQ(error, QStringLiteral("device busy"));
    EXPECT_EQ(session.category(), AudioSession::Category::Playback); // unchanged by the failure
    EXPECT_TRUE(session.setCategory(AudioSession::Category::Record, AudioSession::Mode::Measurement,
                                    AudioSession::DuckOthers));
    EXPECT_EQ(session.categoryOptions(), AudioSession::CategoryOptions(AudioSession::DuckOthers));
}

TEST(AudioSession, InterruptionsAndRouteChangesReachListeners)
{
    AudioSession &session = AudioSession::sharedInstance();
    QSignalSpy interruptions(&session, &AudioSession::interruption);
    QSignalSpy routes(&session, &AudioSession::routeChange);

    session.postInterruption({{AudioSession::InterruptionTypeKey, unsigned(AudioSession::InterruptionBegan)}});
    session.postInterruption({{AudioSession::InterruptionTypeKey, unsigned(AudioSession::InterruptionEnded)},
                              {AudioSession::InterruptionOptionKey, unsigned(AudioSession::InterruptionShouldResume)}});
    session.postRouteChange({{AudioSession::RouteChangeReasonKey, unsigned(AudioSession::OldDeviceUnavailable)}});

    ASSERT_EQ(interruptions.count(), 2);
    const QVariantMap ended = interruptions.at(1).at(0).toMap();
    EXPECT_EQ(ended.value(AudioSession::InterruptionTypeKey).toUInt(), 0u);
    EXPECT_EQ(ended.value(AudioSession::InterruptionOptionKey).toUInt(), 1u);
    ASSERT_EQ(routes.count(), 1);
    EXPECT_EQ(routes.at(0).at(0).toMap().value(AudioSession::RouteChangeReasonKey).toUInt(), 2u);
}

#pragma once

#include "QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/RadioPlayer.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QUrl>

// A live window against the stand-in backend, signed in to its demo account with the shared
// stores; the backend's routes come from installRoutes(). The client, the sign-in and the full
// player are as found afterwards.
class SignedInQmlFixture : public QmlWindowFixture
{
protected:
    virtual void installRoutes() = 0;

    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        installRoutes();
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        ASSERT_TRUE(testing_support::runTask(
                        AuthStore::shared().login(QStringLiteral("demo"), QStringLiteral("demo1234")))
                        .ok());
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        RadioPlayer::shared()->setFullPlayerPresented(false);
        AuthStore::shared().logout();
        APIClient::shared().setBaseURL(previousBase);
    }

    standin::StandInServer server;
    QUrl previousBase;
};

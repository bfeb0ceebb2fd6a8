#pragma once

#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/Keychain.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/DemoCatalogue.h"
#include "support/QmlWindowFixture.h"
#include "support/StandInServer.h"

#include <QString>
#include <QQuickWindow>
#include <QTest>
#include <QUrl>

#include <memory>

// A screen of the module (`screen`, e.g. "HomeView") in a live window against the stand-in
// backend with its demo catalogue and accounts, signed out, the keychain in memory, with the
// shared stores. The client and the sign-in are as found afterwards.
//     class LibraryFocusQml : public SignedOutQmlFixture { LibraryFocusQml() : SignedOutQmlFixture("LibraryView") {} };
class SignedOutQmlFixture : public QmlWindowFixture
{
protected:
    explicit SignedOutQmlFixture(QString screen) : m_screen(std::move(screen)) {}

    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installDemoCatalogue(server);
        state = &standin::installAccountRoutes(server);
        state->printCodes = false;
        keychain = std::make_shared<InMemoryKeychainBackend>();
        Keychain::setBackend(keychain);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        AuthStore::shared().logout();
        QmlWindowFixture::SetUp();
        hosted = quickhost::HostedScreen::load(*engine, quickhost::moduleFile(m_screen));
        ASSERT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
    }
    // Types `text` (Latin letters and digits) into the focused control.
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(hosted.window(), c.toLatin1());
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        AuthStore::shared().logout();
        APIClient::shared().setBaseURL(previousBase);
        Keychain::setBackend(nullptr);
    }

    standin::StandInServer server;
    standin::AccountState *state = nullptr;
    std::shared_ptr<InMemoryKeychainBackend> keychain;
    QUrl previousBase;

private:
    QString m_screen;
};

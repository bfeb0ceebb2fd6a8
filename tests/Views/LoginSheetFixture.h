#pragma once

#include "LoginSheetModel.h"

#include "Platform/LaunchArguments.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/Keychain.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickWindow>
#include <gtest/gtest.h>

#include <memory>

// The stand-in backend with its account routes (codes not printed), a client pointed at it, a
// session store on an in-memory keychain, and sign-in sheet models made over them. Links the
// sheets open are recorded; whether something can open a tg: link is the test's to say.
class LoginSheetFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        state = &standin::installAccountRoutes(server);
        state->printCodes = false;
        APIClient::Options options;
        options.baseURL = server.baseUrl();
        client = std::make_unique<APIClient>(options);
        keychain = std::make_shared<InMemoryKeychainBackend>();
        auth = std::make_unique<AuthStore>(keychain, client.get());
    }

    std::unique_ptr<LoginSheetModel> makeSheet()
    {
        LoginSheetModel::LinkOpening links{[this](const QUrl &) { return handlerPresent; },
                                           [this](const QUrl &url) { opened.append(url); return true; }};
        return std::make_unique<LoginSheetModel>(auth.get(), client.get(), &arguments, links);
    }

    // Waits for the sheet's request to end.
    static bool settled(LoginSheetModel &sheet)
    {
        return quickhost::waitFor([&] { return !sheet.isSubmitting(); }, 10000);
    }

    QJsonObject lastBody(const QString &path) const
    {
        const auto requests = server.requestsTo(path);
        return requests.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(requests.last().body).object();
    }

    std::optional<QString> savedToken() const
    {
        const auto it = keychain->items().constFind(AuthStore::tokenKey);
        return it == keychain->items().cend() ? std::nullopt : std::optional<QString>(QString::fromUtf8(*it));
    }

    standin::StandInServer server;
    standin::AccountState *state = nullptr;
    std::unique_ptr<APIClient> client;
    std::shared_ptr<InMemoryKeychainBackend> keychain;
    std::unique_ptr<AuthStore> auth;
    LaunchArguments arguments;
    bool handlerPresent = true;
    QList<QUrl> opened;
};

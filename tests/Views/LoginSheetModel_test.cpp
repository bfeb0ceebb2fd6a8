#include "AccountSheetModel.h"
#include "LoginSheetFixture.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

// The sign-in sheet's and the account sheet's models against the stand-in backend (real HTTP)
// with a session store on an in-memory keychain.

using namespace standin;
using quickhost::waitFor;
using Step = LoginSheetModel::Step;

namespace {

using AccountScreens = LoginSheetFixture;

// ------------------------------------------------------------------ frame

TEST_F(AccountScreens, StepsHaveTheirHeroAndToolbar)
{
    struct Row { Step step; const char *title; const char *symbol; int size; bool back; };
    const Row rows[] = {
        {Step::Login, "خوش اومدی", "dot.radiowaves.left.and.right", 34, false},
        {Step::SignupForm, "ساخت حساب جدید", "dot.radiowaves.left.and.right", 34, false},
        {Step::SignupTelegram, "تایید با تلگرام", "dot.radiowaves.left.and.right", 34, true},
        {Step::ForgotIdentifier, "فراموشی رمز عبور", "dot.radiowaves.left.and.right", 34, true},
        {Step::ForgotReset, "تغییر رمز عبور", "dot.radiowaves.left.and.right", 34, true},
        {Step::ForgotDone, "انجام شد", "checkmark.circle.fill", 38, false},
    };
    // Walks the step graph forward through every step, checking each as it comes.
    auto sheet = makeSheet();
    auto check = [&](Step step) {
        ASSERT_EQ(sheet->step(), step);
        for (const Row &row : rows) {
            if (row.step != step)
                continue;
            EXPECT_EQ(sheet->heroTitle(), QString::fromUtf8(row.title));
            EXPECT_FALSE(sheet->heroSubtitle().isEmpty());
            EXPECT_EQ(sheet->heroSymbol(), QLatin1String(row.symbol));
            EXPECT_EQ(sheet->heroSymbolSize(), row.size);
            EXPECT_EQ(sheet->showsBackButton(), row.back);
        }
    };
    check(Step::Login);
    sheet->setMode(LoginSheetModel::Flow::SignUpFlow);
    check(Step::SignupForm);
    sheet->setUsername(QStringLiteral("newlistener"));
    sheet->setPassword(QStringLiteral("pass1234"));
    sheet->startSignup();
    ASSERT_TRUE(settled(*sheet));
    check(Step::SignupTelegram);
    sheet->goBack();
    check(Step::SignupForm);
    EXPECT_EQ(sheet->username(), QStringLiteral("newlistener")); // the typed values stay
    EXPECT_FALSE(sheet->hasSession());
    sheet->setMode(LoginSheetModel::Flow::SignInFlow);
    check(Step::Login);
    sheet->showForgotPassword();
    check(Step::ForgotIdentifier);
    sheet->setIdentifier(AccountState::demoUsername);
    sheet->startForgot();
    ASSERT_TRUE(settled(*sheet));
    check(Step::ForgotReset);
    sheet->setOtpCode(state->lastCode());
    sheet->setNewPassword(QStringLiteral("fresh-pass"));
    sheet->submitReset();
    ASSERT_TRUE(settled(*sheet));
    check(Step::ForgotDone);
    sheet->returnToLogin();
    check(Step::Login);
    EXPECT_EQ(sheet->mode(), LoginSheetModel::Flow::SignInFlow);
}

TEST_F(AccountScreens, BackClearsTheStepAndGoesWhereTheGraphSays)
{
    auto sheet = makeSheet();
    sheet->showForgotPassword();
    sheet->setIdentifier(QStringLiteral("demo"));
    sheet->startForgot();
    ASSERT_TRUE(settled(*sheet));
    ASSERT_EQ(sheet->step(), Step::ForgotReset);
    EXPECT_TRUE(sheet->isCountdownRunning());
    sheet->setOtpCode(QStringLiteral("12"));
    sheet->goBack();
    EXPECT_EQ(sheet->step(), Step::ForgotIdentifier);
    EXPECT_TRUE(sheet->identifier().isEmpty());
    EXPECT_TRUE(sheet->otpCode().isEmpty());
    EXPECT_FALSE(sheet->hasSession());
    EXPECT_EQ(sheet->secondsLeft(), 0);
    EXPECT_FALSE(sheet->isCountdownRunning());
    sheet->goBack();
    EXPECT_EQ(sheet->step(), Step::Login);
    sheet->goBack(); // nothing further back
    EXPECT_EQ(sheet->step(), Step::Login);
}

TEST_F(AccountScreens, DebugTelegramStartsOnTheCodeStepWithoutARequest)
{
    arguments.setArguments({LoginSheetModel::DebugTelegramArgument});
    auto sheet = makeSheet();
    EXPECT_EQ(sheet->mode(), LoginSheetModel::Flow::SignUpFlow);
    EXPECT_EQ(sheet->step(), Step::SignupTelegram);
    ASSERT_TRUE(sheet->hasSession());
    EXPECT_EQ(sheet->session()->sessionID, QStringLiteral("sid_sample4827315"));
    EXPECT_EQ(sheet->session()->botUsername, QStringLiteral("MelodriftBot"));
    EXPECT_EQ(sheet->session()->telegramUsername, QStringLiteral("demo"));
    EXPECT_EQ(sheet->secondsLeft(), 285);
    EXPECT_EQ(sheet->otpCode().size(), 3);
    EXPECT_FALSE(sheet->isCountdownRunning());
    EXPECT_TRUE(server.requests().isEmpty());
    // A development switch acts once per run.
    EXPECT_EQ(makeSheet()->step(), Step::Login);
}

// ------------------------------------------------------------------ sign-in

TEST_F(AccountScreens, SignInRuleCountsThePasswordAsTyped)
{
    struct Row { const char *username; const char *password; bool valid; };
    const Row rows[] = {
        {"", "demo1234", false},         {"   \t", "demo1234", false},
        {"d", "abc", false},             {"d", "abcd", true},
        {" Demo ", "    ", true},        {"demo", "ab ", false},
        {"دمو", "رمز۱", true},
    };
    auto sheet = makeSheet();
    for (const Row &row : rows) {
        sheet->setUsername(QString::fromUtf8(row.username));
        sheet->setPassword(QString::fromUtf8(row.password));
        EXPECT_EQ(sheet->loginValid(), row.valid) << row.username << "/" << row.password;
    }
}

TEST_F(AccountScreens, SignInSendsTrimmedValuesStoresTheTokenAndCloses)
{
    auto sheet = makeSheet();
    QSignalSpy closed(sheet.get(), &LoginSheetModel::dismissRequested);
    sheet->setUsername(QStringLiteral("  DeMo\t"));
    sheet->setPassword(QStringLiteral(" demo1234 "));
    sheet->submitLogin();
    EXPECT_TRUE(sheet->isSubmitting());
    ASSERT_TRUE(settled(*sheet));
    const QJsonObject body = lastBody(QStringLiteral("/api/auth/login"));
    EXPECT_EQ(body.value(QStringLiteral("username")).toString(), QStringLiteral("demo"));
    EXPECT_EQ(body.value(QStringLiteral("password")).toString(), QStringLiteral("demo1234"));
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(auth->isAuthed());
    EXPECT_EQ(auth->user()->username, QStringLiteral("demo"));
    EXPECT_EQ(savedToken(), auth->token());
    EXPECT_EQ(auth->playlists().size(), 2);
}

TEST_F(AccountScreens, RefusedSignInShowsTheServersMessage)
{
    auto sheet = makeSheet();
    QSignalSpy closed(sheet.get(), &LoginSheetModel::dismissRequested);
    sheet->setUsername(QStringLiteral("demo"));
    sheet->setPassword(QStringLiteral("wrong-one"));
    sheet->submitLogin();
    ASSERT_TRUE(settled(*sheet));
    EXPECT_EQ(sheet->errorMessage(), QStringLiteral("نام کاربری یا رمز عبور اشتباه است"));
    EXPECT_EQ(closed.count(), 0);
    EXPECT_FALSE(auth->isAuthed());
    EXPECT_EQ(sheet->password(), QStringLiteral("wrong-one"));
    // Switching the flow clears the banner.
    sheet->setMode(LoginSheetModel::Flow::SignUpFlow);
    EXPECT_FALSE(sheet->hasErrorMessage());
}

TEST_F(AccountScreens, SignInAnsweredAfterTheSheetClosedStillSignsIn)
{
    // The answer comes late, after the sheet is gone.
    Reply slow = Reply::json(R"({"data": {"token": "late-token", "user": {"id": 1, "username": "demo"}}})");
    slow.delayMs = 400;
    server.script("POST", QStringLiteral("/api/auth/login"), slow);
    auto sheet = makeSheet();
    sheet->setUsername(QStringLiteral("demo"));
    sheet->setPassword(QStringLiteral("demo1234"));
    sheet->submitLogin();
    sheet.reset(); // the sheet goes away while the request is out
    ASSERT_TRUE(waitFor([&] { return auth->isAuthed(); }, 10000));
    EXPECT_EQ(savedToken(), QStringLiteral("late-token"));
}

// No line the application writes while signing in holds the password: not the console, not a
// logging category at any level.
TEST_F(AccountScreens, ThePasswordIsNeverWritten)
{
    const QString secret = QStringLiteral("Zx9-unique-secret");
    static QStringList logged;
    logged.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { logged.append(text); });
    QTemporaryFile capture;
    ASSERT_TRUE(capture.open());
    std::fflush(stdout);
    const int savedOut = dup(fileno(stdout));
    dup2(capture.handle(), fileno(stdout));

    state->addUser(QStringLiteral("listener"), secret);
    for (const QString &password : {secret, QString(secret + QStringLiteral("!"))}) {
        auto sheet = makeSheet();
        sheet->setUsername(QStringLiteral("listener"));
        sheet->setPassword(password);
        sheet->submitLogin();
        ASSERT_TRUE(settled(*sheet));
        auth->logout();
    }

    std::fflush(stdout);
    dup2(savedOut, fileno(stdout));
    close(savedOut);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    capture.seek(0);
    const QByteArray console = capture.readAll();
    EXPECT_FALSE(console.contains(secret.toUtf8()));
    for (const QString &line : std::as_const(logged))
        EXPECT_FALSE(line.contains(secret)) << qPrintable(line);
}

// ------------------------------------------------------------------ account sheet

TEST_F(AccountScreens, AccountSheetDerivesItsTexts)
{
    struct Row {
        std::optional<QString> displayName, username, telegram;
        QString shown, handle, initial;
        bool chip;
    };
    const QString demo = QStringLiteral("demo");
    const Row rows[] = {
        {QStringLiteral("سارا"), demo, QStringLiteral("sara_t"), QStringLiteral("سارا"), QStringLiteral("@demo"), QStringLiteral("س"), true},
        {std::nullopt, demo, std::nullopt, demo, QStringLiteral("@demo"), QStringLiteral("d"), false},
        {QString(), demo, QString(), QString(), QStringLiteral("@demo"), QString(), false},
        {std::nullopt, std::nullopt, std::nullopt, QString(), QStringLiteral("@"), QStringLiteral("؟"), false},
        {QStringLiteral("👩🏽‍🎤 Mina"), demo, std::nullopt, QStringLiteral("👩🏽‍🎤 Mina"), QStringLiteral("@demo"), QStringLiteral("👩🏽‍🎤"), false},
    };
    AccountSheetModel account(auth.get());
    EXPECT_EQ(account.shownName(), QString()); // no user at all
    EXPECT_EQ(account.handle(), QStringLiteral("@"));
    EXPECT_EQ(account.initial(), QStringLiteral("؟"));
    EXPECT_FALSE(account.showsTelegram());
    for (const Row &row : rows) {
        // The store takes its user only from the backend: a scripted sign-in reply brings it.
        QJsonObject json;
        if (row.displayName) json.insert(QStringLiteral("display_name"), *row.displayName);
        if (row.username) json.insert(QStringLiteral("username"), *row.username);
        if (row.telegram) json.insert(QStringLiteral("telegram_username"), *row.telegram);
        json.insert(QStringLiteral("id"), 7);
        server.script("POST", QStringLiteral("/api/auth/login"),
                      Reply::json(QJsonDocument(QJsonObject{{QStringLiteral("data"),
                          QJsonObject{{QStringLiteral("token"), QStringLiteral("t")}, {QStringLiteral("user"), json}}}}).toJson()));
        QSignalSpy changed(&account, &AccountSheetModel::userChanged);
        auto sheet = makeSheet();
        sheet->setUsername(QStringLiteral("x"));
        sheet->setPassword(QStringLiteral("xxxx"));
        sheet->submitLogin();
        ASSERT_TRUE(settled(*sheet));
        EXPECT_GE(changed.count(), 1);
        EXPECT_EQ(account.shownName(), row.shown);
        EXPECT_EQ(account.handle(), row.handle);
        EXPECT_EQ(account.initial(), row.initial);
        EXPECT_EQ(account.showsTelegram(), row.chip);
        if (row.chip) {
            EXPECT_EQ(account.telegramHandle(), QStringLiteral("@") + *row.telegram);
        }
        auth->logout();
    }
    server.unscript("POST", QStringLiteral("/api/auth/login"));
}

TEST_F(AccountScreens, SignOutClearsEverythingBeforeTheSheetClosesThenTellsTheBackend)
{
    auto sheet = makeSheet();
    sheet->setUsername(QStringLiteral("demo"));
    sheet->setPassword(QStringLiteral("demo1234"));
    sheet->submitLogin();
    ASSERT_TRUE(settled(*sheet));
    ASSERT_TRUE(auth->isAuthed());
    const QString token = *auth->token();

    AccountSheetModel account(auth.get());
    EXPECT_EQ(account.playlistCount(), 2);
    EXPECT_EQ(account.favoriteCount(), 2);
    bool clearedWhenClosing = false;
    QObject::connect(&account, &AccountSheetModel::dismissRequested, [&] {
        clearedWhenClosing = !auth->isAuthed() && !auth->token() && auth->playlists().isEmpty()
            && auth->favorites().isEmpty() && auth->favoriteIDs().isEmpty() && !savedToken();
    });
    account.signOut();
    EXPECT_TRUE(clearedWhenClosing);
    EXPECT_EQ(account.playlistCount(), 0);
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/auth/logout")));
    EXPECT_EQ(server.requestsTo(QStringLiteral("/api/auth/logout")).last().header("Authorization"),
              "Bearer " + token.toUtf8());

    // Signed out already: the sheet still closes, and nothing is sent.
    server.clearRequests();
    QSignalSpy closed(&account, &AccountSheetModel::dismissRequested);
    account.signOut();
    EXPECT_EQ(closed.count(), 1);
    quickhost::settle(100);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/auth/logout")), 0);
}

} // namespace

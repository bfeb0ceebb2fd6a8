#include "LoginSheetFixture.h"
#include "TypedText.h"


#include <QSignalSpy>
#include <gtest/gtest.h>

// Sign-up, the Telegram code step and password reset of the sign-in sheet's model, against the
// stand-in backend.

using namespace standin;
using quickhost::waitFor;
using Step = LoginSheetModel::Step;

namespace {

class TelegramSteps : public LoginSheetFixture
{
protected:
    void SetUp() override
    {
        LoginSheetFixture::SetUp();
        sheet = makeSheet();
    }

    bool settled() { return LoginSheetFixture::settled(*sheet); }

    void signUp(const QString &username, const QString &password, const QString &displayName = {})
    {
        sheet->setMode(LoginSheetModel::Flow::SignUpFlow);
        sheet->setUsername(username);
        sheet->setPassword(password);
        sheet->setDisplayName(displayName);
        sheet->startSignup();
        ASSERT_TRUE(settled());
    }

    void openReset(const QString &identifier)
    {
        sheet->showForgotPassword();
        sheet->setIdentifier(identifier);
        sheet->startForgot();
        ASSERT_TRUE(settled());
        ASSERT_EQ(sheet->step(), Step::ForgotReset);
    }

    std::unique_ptr<LoginSheetModel> sheet;
};

TEST(CodeFilter, KeepsNumbersAsTypedAtMostSix)
{
    struct Row { const char *typed; const char *kept; };
    const Row rows[] = {
        {"", ""},
        {"123", "123"},
        {"1234567", "123456"},
        {"12-34 56", "123456"},
        {"a1b2c3", "123"},
        {"۱۲۳۴۵۶", "۱۲۳۴۵۶"},       // Persian digits stay Persian
        {"١٢٣", "١٢٣"},             // Arabic-Indic digits
        {"½Ⅻ3", "½Ⅻ3"},             // a fraction and a Roman numeral count as numbers
        {"1\xef\xb8\x8f\xe2\x83\xa3" "2", "1\xef\xb8\x8f\xe2\x83\xa3" "2"}, // a keycap is one character
        {"𝟙𝟚x𝟛", "𝟙𝟚𝟛"},          // digits outside the basic plane
        {" 12\t3\n", "123"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(typedtext::numericPrefix(QString::fromUtf8(row.typed), 6), QString::fromUtf8(row.kept)) << row.typed;
}

TEST_F(TelegramSteps, TheCodeIsFilteredWhoeverSetsIt)
{
    QSignalSpy changed(sheet.get(), &LoginSheetModel::formChanged);
    sheet->setOtpCode(QStringLiteral("12a"));
    EXPECT_EQ(sheet->otpCode(), QStringLiteral("12"));
    changed.clear();
    // A refused character changes nothing, yet the field is told to show the value again.
    sheet->setOtpCode(QStringLiteral("12x"));
    EXPECT_EQ(sheet->otpCode(), QStringLiteral("12"));
    EXPECT_EQ(changed.count(), 1);
    sheet->setOtpCode(QStringLiteral("123456789"));
    EXPECT_EQ(sheet->otpCode(), QStringLiteral("123456"));
}

TEST_F(TelegramSteps, DeepLinkMatrix)
{
    struct Row {
        std::optional<QString> bot;
        QString sessionID;
        std::optional<QString> webLink;
        bool handler;
        std::optional<QString> opened;
    };
    const QString web = QStringLiteral("https://t.me/MelodriftBot?start=s1");
    const Row rows[] = {
        {QStringLiteral("OtherBot"), QStringLiteral("s1"), web, true, QStringLiteral("tg://resolve?domain=OtherBot&start=s1")},
        {std::nullopt, QStringLiteral("s1"), web, true, QStringLiteral("tg://resolve?domain=MelodriftBot&start=s1")},
        {QString(), QStringLiteral("s1"), web, true, QStringLiteral("tg://resolve?domain=MelodriftBot&start=s1")},
        {QStringLiteral("Bot_1-x"), QStringLiteral("a-B_9"), web, true, QStringLiteral("tg://resolve?domain=Bot_1-x&start=a-B_9")},
        // Anything else in the session id or the bot name: the web link instead.
        {QStringLiteral("OtherBot"), QStringLiteral("s1&domain=evil"), web, true, web},
        {QStringLiteral("Other Bot"), QStringLiteral("s1"), web, true, web},
        {QStringLiteral("OtherBot"), QStringLiteral("s1#x"), web, true, web},
        // No handler for tg: the web link, when it is usable.
        {QStringLiteral("OtherBot"), QStringLiteral("s1"), web, false, web},
        {QStringLiteral("OtherBot"), QStringLiteral("s1"), QString(), false, std::nullopt},
        {QStringLiteral("OtherBot"), QStringLiteral("s1"), QStringLiteral("t.me/MelodriftBot"), false, std::nullopt},
        {QStringLiteral("OtherBot"), QStringLiteral("s1"), QStringLiteral("javascript:alert(1)"), false, std::nullopt},
        {QStringLiteral("OtherBot"), QStringLiteral("s1"), std::nullopt, false, std::nullopt},
    };
    for (const Row &row : rows) {
        AuthSessionInfo session;
        session.sessionID = row.sessionID;
        session.botUsername = row.bot;
        session.botLink = row.webLink;
        const auto target = LoginSheetModel::telegramTarget(session, [&](const QUrl &) { return row.handler; });
        EXPECT_EQ(target ? std::optional<QString>(target->toString(QUrl::FullyEncoded)) : std::nullopt, row.opened)
            << qPrintable(row.bot.value_or(QStringLiteral("-")) + QLatin1Char('/') + row.sessionID);
    }
}

TEST_F(TelegramSteps, OpenTelegramUsesTheSessionAndDoesNothingWithoutOne)
{
    sheet->openTelegram();
    EXPECT_TRUE(opened.isEmpty());
    signUp(QStringLiteral("newbie"), QStringLiteral("pass1234"));
    sheet->openTelegram();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toString(), QStringLiteral("tg://resolve?domain=MelodriftBot&start=") + sheet->session()->sessionID);
}

TEST_F(TelegramSteps, CountdownTextColourAndEnd)
{
    signUp(QStringLiteral("newbie"), QStringLiteral("pass1234"));
    ASSERT_EQ(sheet->step(), Step::SignupTelegram);
    EXPECT_EQ(sheet->secondsLeft(), 300);
    EXPECT_EQ(sheet->countdownText(), QStringLiteral("اعتبار نشست: 5:00"));
    EXPECT_TRUE(sheet->isCountdownRunning());
    sheet->tick();
    EXPECT_EQ(sheet->countdownText(), QStringLiteral("اعتبار نشست: 4:59"));
    while (sheet->secondsLeft() > 61)
        sheet->tick();
    EXPECT_EQ(sheet->countdownText(), QStringLiteral("اعتبار نشست: 1:01"));
    sheet->tick();
    EXPECT_FALSE(sheet->countdownWarning()); // 60: still white
    sheet->tick();
    EXPECT_EQ(sheet->countdownText(), QStringLiteral("اعتبار نشست: 0:59"));
    EXPECT_TRUE(sheet->countdownWarning());
    while (sheet->secondsLeft() > 0)
        sheet->tick();
    EXPECT_TRUE(sheet->isCountdownRunning());
    sheet->tick(); // the tick after 0 stops it
    EXPECT_FALSE(sheet->isCountdownRunning());
    EXPECT_TRUE(sheet->hasSession()); // nothing else changes
    // The sheet going away stops a running countdown too.
    sheet->goBack();
    signUp(QStringLiteral("newbie"), QStringLiteral("pass1234"));
    EXPECT_TRUE(sheet->isCountdownRunning());
    sheet->disappear();
    EXPECT_FALSE(sheet->isCountdownRunning());
}

TEST_F(TelegramSteps, MainButtonRules)
{
    struct Row { const char *username; const char *password; bool valid; };
    const Row signupRows[] = {
        {" ab ", "pass", false}, {" abc ", "pass", true}, {"abc", "pas", false},
        {"abc", "   x", true},   {"\t  \t", "pass", false}, {"👩🏽‍🎤ab", "pass", true},
    };
    for (const Row &row : signupRows) {
        sheet->setUsername(QString::fromUtf8(row.username));
        sheet->setPassword(QString::fromUtf8(row.password));
        EXPECT_EQ(sheet->signupValid(), row.valid) << row.username << "/" << row.password;
    }
    sheet->setIdentifier(QStringLiteral("  \t"));
    EXPECT_FALSE(sheet->forgotValid());
    sheet->setIdentifier(QStringLiteral(" x "));
    EXPECT_TRUE(sheet->forgotValid());

    openReset(QStringLiteral("demo"));
    struct Code { const char *code; const char *password; bool valid; };
    const Code resetRows[] = {
        {"12345", "abcd", false}, {"123456", "abc", false}, {"123456", "abcd", true},
        {"123456", "    ", true}, {"۱۲۳۴۵۶", "abcd", true},
    };
    for (const Code &row : resetRows) {
        sheet->setOtpCode(QString::fromUtf8(row.code));
        sheet->setNewPassword(QString::fromUtf8(row.password));
        EXPECT_EQ(sheet->confirmValid(), row.valid) << row.code << "/" << row.password;
    }
}

TEST_F(TelegramSteps, SignUpSendsTrimmedLowerCasedValuesAndConfirmsWithTheCode)
{
    signUp(QStringLiteral("  NewBie \t"), QStringLiteral(" pass1234 "));
    const QJsonObject body = lastBody(QStringLiteral("/api/auth/telegram/init-signup"));
    EXPECT_EQ(body.value(QStringLiteral("username")).toString(), QStringLiteral("newbie"));
    EXPECT_EQ(body.value(QStringLiteral("password")).toString(), QStringLiteral("pass1234"));
    ASSERT_TRUE(body.contains(QStringLiteral("display_name")));
    EXPECT_EQ(body.value(QStringLiteral("display_name")).toString(), QString());
    EXPECT_EQ(sheet->username(), QStringLiteral("  NewBie \t")); // the field keeps what was typed
    ASSERT_EQ(sheet->step(), Step::SignupTelegram);
    EXPECT_EQ(sheet->botTitle(), QStringLiteral("ربات @MelodriftBot"));

    QSignalSpy closed(sheet.get(), &LoginSheetModel::dismissRequested);
    const QString code = state->lastCode();
    sheet->setOtpCode(code == QStringLiteral("000000") ? QStringLiteral("111111") : QStringLiteral("000000"));
    sheet->verifySignup();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(sheet->hasErrorMessage());
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(sheet->hasSession()); // the session and the countdown stay for another try

    sheet->setOtpCode(code);
    sheet->verifySignup();
    ASSERT_TRUE(settled());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(auth->isAuthed());
    EXPECT_EQ(auth->user()->username, QStringLiteral("newbie"));
}

TEST_F(TelegramSteps, SignUpReplyCases)
{
    // A taken name: the server's message.
    signUp(QStringLiteral("Demo"), QStringLiteral("pass1234"));
    EXPECT_EQ(sheet->step(), Step::SignupForm);
    EXPECT_EQ(sheet->errorMessage(), QStringLiteral("این نام کاربری قبلاً گرفته شده است"));
    EXPECT_FALSE(sheet->isSubmitting());

    // No session in the reply: its message, else the sign-up's own text.
    server.script("POST", QStringLiteral("/api/auth/telegram/init-signup"), Reply::json(R"({"code": 200, "data": {}})"));
    signUp(QStringLiteral("newbie"), QStringLiteral("pass1234"));
    EXPECT_EQ(sheet->step(), Step::SignupForm);
    EXPECT_EQ(sheet->errorMessage(), QStringLiteral("خطا در شروع ثبتنام"));

    // No expiry: five minutes.
    server.script("POST", QStringLiteral("/api/auth/telegram/init-signup"),
                  Reply::json(R"({"data": {"session_id": "sid1", "bot_username": ""}})"));
    signUp(QStringLiteral("newbie"), QStringLiteral("pass1234"));
    ASSERT_EQ(sheet->step(), Step::SignupTelegram);
    EXPECT_EQ(sheet->secondsLeft(), 300);
    EXPECT_EQ(sheet->botTitle(), QStringLiteral("ربات @MelodriftBot")); // an empty bot name counts as none

    // A confirmation without data is refused in the server's words; data without a token cannot
    // be read, whatever its message says.
    const QString verify = QStringLiteral("/api/auth/telegram/verify-signup-otp");
    const struct {
        QByteArray reply;
        QString shown;
    } confirmations[] = {
        {R"({"code": 400, "message": "کد اشتباه است"})", QStringLiteral("کد اشتباه است")},
        {R"({"code": 200})", QStringLiteral("کد تایید نامعتبر است")},
        {R"({"code": 200, "message": "ثبتنام انجام شد", "data": {"user": {"id": 7, "username": "newbie"}}})",
         QStringLiteral("خطا در پردازش پاسخ سرور")},
    };
    for (const auto &confirmation : confirmations) {
        server.script("POST", verify, Reply::json(confirmation.reply));
        sheet->setOtpCode(QStringLiteral("123456"));
        sheet->verifySignup();
        ASSERT_TRUE(settled());
        EXPECT_EQ(sheet->errorMessage(), confirmation.shown) << confirmation.reply.constData();
        EXPECT_FALSE(auth->isAuthed());
    }
}

// A sign-up or reset start answered after the listener chose the other flow still moves the sheet
// to its code step; the picker follows, and every step after it is reachable.
TEST_F(TelegramSteps, ALateStartMovesThePickerWithTheStep)
{
    using Flow = LoginSheetModel::Flow;
    state->addUser(QStringLiteral("mina"), QStringLiteral("old-pass"));
    const QList<QPair<QString, QByteArray>> held = {
        {QStringLiteral("/api/auth/telegram/init-signup"), R"({"data": {"session_id": "sid1"}})"},
        {QStringLiteral("/api/auth/telegram/forgot-password"), R"({"data": {"session_id": "sid2"}})"},
    };
    for (const auto &[path, body] : held) {
        Reply late = Reply::json(body);
        late.delayMs = 400;
        server.script("POST", path, late);
    }

    struct Case
    {
        const char *what;
        std::function<void()> start;
        std::function<void()> meanwhile;
        Step code;
        Flow codeFlow;
        Step back;
    };
    const QList<Case> cases = {
        {"sign-up, then sign-in chosen",
         [&] {
             sheet->setMode(Flow::SignUpFlow);
             sheet->setUsername(QStringLiteral("newbie"));
             sheet->setPassword(QStringLiteral("pass1234"));
             sheet->startSignup();
         },
         [&] { sheet->setMode(Flow::SignInFlow); }, Step::SignupTelegram, Flow::SignUpFlow, Step::SignupForm},
        {"reset, then back and sign-up chosen",
         [&] {
             sheet->showForgotPassword();
             sheet->setIdentifier(QStringLiteral("mina"));
             sheet->startForgot();
         },
         [&] { sheet->goBack(); sheet->setMode(Flow::SignUpFlow); }, Step::ForgotReset, Flow::SignInFlow,
         Step::ForgotIdentifier},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sheet = makeSheet();
        const int seen = server.countRequests(held.first().first) + server.countRequests(held.last().first);
        c.start();
        ASSERT_TRUE(waitFor([&] {
            return server.countRequests(held.first().first) + server.countRequests(held.last().first) > seen;
        }));
        c.meanwhile();
        EXPECT_NE(sheet->step(), c.code);
        ASSERT_TRUE(settled());
        EXPECT_EQ(sheet->step(), c.code);
        EXPECT_EQ(sheet->mode(), c.codeFlow);
        sheet->goBack();
        EXPECT_EQ(sheet->step(), c.back);
        EXPECT_EQ(sheet->mode(), c.codeFlow);
        // Both segments work from here.
        const Flow other = c.codeFlow == Flow::SignInFlow ? Flow::SignUpFlow : Flow::SignInFlow;
        sheet->setMode(other);
        EXPECT_EQ(sheet->step(), other == Flow::SignInFlow ? Step::Login : Step::SignupForm);
        sheet->setMode(c.codeFlow);
        EXPECT_EQ(sheet->step(), c.codeFlow == Flow::SignInFlow ? Step::Login : Step::SignupForm);
    }
}

TEST_F(TelegramSteps, ResetKeepsTheIdentifiersCaseAndReturnsToSignIn)
{
    state->addUser(QStringLiteral("mina"), QStringLiteral("old-pass"), QString(), QStringLiteral("MinaTG"));
    sheet->setUsername(QStringLiteral("typed-name"));
    sheet->setPassword(QStringLiteral("typed-pass"));
    openReset(QStringLiteral("  @MinaTG "));
    EXPECT_EQ(lastBody(QStringLiteral("/api/auth/telegram/forgot-password")).value(QStringLiteral("identifier")).toString(),
              QStringLiteral("@MinaTG"));
    EXPECT_EQ(sheet->botTitle(), QStringLiteral("کد به تلگرام @MinaTG ارسال شد"));
    EXPECT_TRUE(sheet->isCountdownRunning());

    sheet->setOtpCode(state->lastCode());
    sheet->setNewPassword(QStringLiteral("  new-pass "));
    sheet->submitReset();
    ASSERT_TRUE(settled());
    ASSERT_EQ(sheet->step(), Step::ForgotDone);
    EXPECT_TRUE(state->checkPassword(QStringLiteral("mina"), QStringLiteral("new-pass")).has_value());
    EXPECT_FALSE(sheet->hasSession());
    EXPECT_FALSE(sheet->isCountdownRunning());
    EXPECT_TRUE(sheet->otpCode().isEmpty());
    EXPECT_FALSE(sheet->hasErrorMessage());

    sheet->returnToLogin();
    EXPECT_EQ(sheet->step(), Step::Login);
    EXPECT_EQ(sheet->mode(), LoginSheetModel::Flow::SignInFlow);
    EXPECT_EQ(sheet->username(), QStringLiteral("typed-name"));
    EXPECT_EQ(sheet->password(), QStringLiteral("typed-pass"));
    EXPECT_TRUE(sheet->identifier().isEmpty());
}

TEST_F(TelegramSteps, ResetWithoutTelegramNameAndASecondRequestStartsClean)
{
    state->addUser(QStringLiteral("omid"), QStringLiteral("old-pass"));
    openReset(QStringLiteral("omid"));
    EXPECT_EQ(sheet->botTitle(), QStringLiteral("کد به تلگرام شما ارسال شد"));
    sheet->setOtpCode(QStringLiteral("12"));
    sheet->setNewPassword(QStringLiteral("abc"));
    sheet->goBack();
    sheet->setIdentifier(QStringLiteral("omid"));
    sheet->startForgot();
    ASSERT_TRUE(settled());
    ASSERT_EQ(sheet->step(), Step::ForgotReset);
    EXPECT_TRUE(sheet->otpCode().isEmpty());
    EXPECT_TRUE(sheet->newPassword().isEmpty());
    EXPECT_EQ(sheet->secondsLeft(), 300);

    // A refusal keeps what was typed.
    sheet->setOtpCode(QStringLiteral("999999") == state->lastCode() ? QStringLiteral("888888") : QStringLiteral("999999"));
    sheet->setNewPassword(QStringLiteral("new-pass"));
    sheet->submitReset();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(sheet->hasErrorMessage());
    EXPECT_EQ(sheet->newPassword(), QStringLiteral("new-pass"));
    EXPECT_EQ(sheet->step(), Step::ForgotReset);

    // An unknown name: the server's message.
    sheet->goBack();
    sheet->setIdentifier(QStringLiteral("nobody-here"));
    sheet->startForgot();
    ASSERT_TRUE(settled());
    EXPECT_EQ(sheet->errorMessage(), QStringLiteral("کاربری با این مشخصات پیدا نشد"));
}

} // namespace

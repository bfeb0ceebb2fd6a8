#include "LoginSheetModel.h"
#include "TypedText.h"

#include "Platform/LaunchArguments.h"
#include "Platform/UrlOpener.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"

#include <QHash>

using namespace Qt::StringLiterals;

const QString LoginSheetModel::DebugTelegramArgument = u"--debug-telegram"_s;
const QString LoginSheetModel::DefaultBotName = u"MelodriftBot"_s;

LoginSheetModel::LoginSheetModel(QObject *parent)
    : LoginSheetModel(&AuthStore::shared(), &APIClient::shared(), &LaunchArguments::shared(),
                      LinkOpening{&UrlOpener::canOpenNow, &UrlOpener::open}, parent)
{
    // Known by the time the code step offers the Telegram link.
    UrlOpener::prefetchHandler(QStringLiteral("tg"));
}

LoginSheetModel::LoginSheetModel(AuthStore *auth, APIClient *client, LaunchArguments *arguments,
                                 LinkOpening links, QObject *parent)
    : QObject(parent), m_auth(auth), m_client(client), m_arguments(arguments), m_links(std::move(links))
{
    Q_ASSERT(m_auth && m_client && m_arguments && m_links.canOpen && m_links.open);
    m_timer.setInterval(1000);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LoginSheetModel::tick);
    applyLaunchArguments();
}

LoginSheetModel::~LoginSheetModel() = default;

// The development start: the sign-up's code step with a sample session and a code half typed,
// without a request and without a countdown.
void LoginSheetModel::applyLaunchArguments()
{
    if (!m_arguments->consume(DebugTelegramArgument))
        return;
    AuthSessionInfo sample;
    sample.sessionID = u"sid_sample4827315"_s;
    sample.botLink = u"https://t.me/"_s + DefaultBotName;
    sample.botUsername = DefaultBotName;
    sample.telegramUsername = u"demo"_s;
    sample.expiresIn = 300;
    m_mode = Flow::SignUpFlow;
    m_step = Step::SignupTelegram;
    m_session = sample;
    m_secondsLeft = 285;
    m_otpCode = u"482"_s;
}

QString LoginSheetModel::flowTitle(Flow flow)
{
    return flow == Flow::SignInFlow ? u"ورود"_s : u"ثبتنام"_s;
}

// ------------------------------------------------------------------ typed values

void LoginSheetModel::setText(QString &field, const QString &text)
{
    if (field == text)
        return;
    field = text;
    emit formChanged();
}

void LoginSheetModel::setUsername(const QString &text) { setText(m_username, text); }
void LoginSheetModel::setPassword(const QString &text) { setText(m_password, text); }
void LoginSheetModel::setDisplayName(const QString &text) { setText(m_displayName, text); }
void LoginSheetModel::setIdentifier(const QString &text) { setText(m_identifier, text); }
void LoginSheetModel::setNewPassword(const QString &text) { setText(m_newPassword, text); }

void LoginSheetModel::setOtpCode(const QString &text)
{
    const QString filtered = typedtext::numericPrefix(text, CodeLength);
    if (filtered == m_otpCode) {
        // The field may still show what was refused: tell it the value anew.
        if (filtered != text)
            emit formChanged();
        return;
    }
    m_otpCode = filtered;
    emit formChanged();
}

// ------------------------------------------------------------------ frame

namespace {

struct Hero {
    QString title;
    QString subtitle;
};

// The hero's texts, by step.
const Hero &heroFor(LoginSheetModel::Step step)
{
    using Step = LoginSheetModel::Step;
    static const QHash<Step, Hero> heroes = {
        {Step::Login, {u"خوش اومدی"_s, u"برای ذخیره علاقهمندیها و پلیلیستها وارد شو"_s}},
        {Step::SignupForm, {u"ساخت حساب جدید"_s, u"اول اطلاعات پایه، بعد تایید سریع با تلگرام"_s}},
        {Step::SignupTelegram, {u"تایید با تلگرام"_s, u"ربات ملودریفت یه کد ۶ رقمی برات فرستاد"_s}},
        {Step::ForgotIdentifier, {u"فراموشی رمز عبور"_s, u"نام کاربریات رو بده تا کد تایید به تلگرامت بیاد"_s}},
        {Step::ForgotReset, {u"تغییر رمز عبور"_s, u"کد ۶ رقمی تلگرام و رمز جدیدت رو وارد کن"_s}},
        {Step::ForgotDone, {u"انجام شد"_s, u"رمز عبورت با موفقیت عوض شد"_s}},
    };
    return *heroes.constFind(step);
}

} // namespace

QString LoginSheetModel::heroTitle() const
{
    return heroFor(m_step).title;
}

QString LoginSheetModel::heroSubtitle() const
{
    return heroFor(m_step).subtitle;
}

QString LoginSheetModel::heroSymbol() const
{
    return m_step == Step::ForgotDone ? u"checkmark.circle.fill"_s : u"dot.radiowaves.left.and.right"_s;
}

int LoginSheetModel::heroSymbolSize() const
{
    return m_step == Step::ForgotDone ? 38 : 34;
}

bool LoginSheetModel::showsBackButton() const
{
    return m_step == Step::SignupTelegram || m_step == Step::ForgotIdentifier || m_step == Step::ForgotReset;
}

// ------------------------------------------------------------------ rules

bool LoginSheetModel::loginValid() const
{
    return !typedtext::trimmed(m_username).isEmpty() && typedtext::characterCount(m_password) > 3;
}

bool LoginSheetModel::signupValid() const
{
    return typedtext::characterCount(typedtext::trimmed(m_username)) >= 3
        && typedtext::characterCount(m_password) > 3;
}

bool LoginSheetModel::forgotValid() const
{
    return !typedtext::trimmed(m_identifier).isEmpty();
}

bool LoginSheetModel::confirmValid() const
{
    if (typedtext::characterCount(m_otpCode) != CodeLength)
        return false;
    return purpose() == Purpose::ConfirmSignup || typedtext::characterCount(m_newPassword) >= 4;
}

// ------------------------------------------------------------------ state changes

void LoginSheetModel::setMode(Flow mode)
{
    if (m_mode == mode)
        return;
    m_mode = mode;
    emit modeChanged();
    setErrorMessage(std::nullopt);
    setStep(mode == Flow::SignInFlow ? Step::Login : Step::SignupForm);
}

void LoginSheetModel::setStep(Step step)
{
    if (m_step == step)
        return;
    m_step = step;
    // The picker always names the flow of the step shown, also when a late reply moves the sheet
    // after the listener chose the other flow.
    const Flow flow = step == Step::SignupForm || step == Step::SignupTelegram ? Flow::SignUpFlow : Flow::SignInFlow;
    if (m_mode != flow) {
        m_mode = flow;
        emit modeChanged();
    }
    emit stepChanged();
    emit formChanged(); // the Telegram step's rule depends on its purpose
}

void LoginSheetModel::setSession(std::optional<AuthSessionInfo> session)
{
    m_session = std::move(session);
    emit sessionChanged();
}

void LoginSheetModel::setSecondsLeft(int seconds)
{
    if (m_secondsLeft == seconds)
        return;
    m_secondsLeft = seconds;
    emit secondsLeftChanged();
}

void LoginSheetModel::setErrorMessage(std::optional<QString> message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = std::move(message);
    emit errorMessageChanged();
}

void LoginSheetModel::setSubmitting(bool submitting)
{
    if (m_isSubmitting == submitting)
        return;
    m_isSubmitting = submitting;
    emit isSubmittingChanged();
}

// ------------------------------------------------------------------ navigation

void LoginSheetModel::goBack()
{
    setErrorMessage(std::nullopt);
    m_infoMessage.reset();
    switch (m_step) {
    case Step::SignupTelegram:
        resetFormState();
        setStep(Step::SignupForm);
        break;
    case Step::ForgotIdentifier:
        resetFormState();
        setStep(Step::Login);
        break;
    case Step::ForgotReset:
        resetFormState();
        setStep(Step::ForgotIdentifier);
        break;
    default:
        break;
    }
}

void LoginSheetModel::resetFormState()
{
    setErrorMessage(std::nullopt);
    m_infoMessage.reset();
    m_otpCode.clear();
    m_identifier.clear();
    m_newPassword.clear();
    emit formChanged();
    setSession(std::nullopt);
    setSecondsLeft(0);
    stopTimer();
}

void LoginSheetModel::showForgotPassword()
{
    resetFormState();
    setStep(Step::ForgotIdentifier);
}

void LoginSheetModel::returnToLogin()
{
    resetFormState();
    setStep(Step::Login);
}

void LoginSheetModel::disappear()
{
    stopTimer();
}

// ------------------------------------------------------------------ sign-in

void LoginSheetModel::submitLogin()
{
    // Enter in the password field lands here too: the button's rule holds for it as well.
    if (!loginValid() || m_isSubmitting)
        return;
    setErrorMessage(std::nullopt);
    setSubmitting(true);
    closeAfterSignIn(m_auth->login(typedtext::trimmed(m_username).toLower(), typedtext::trimmed(m_password)));
}

// A sign-in or a sign-up confirmation: on success the sheet closes, on failure it says why. The
// store keeps a session that arrives after the sheet is gone; nothing is written here then.
QCoro::Task<> LoginSheetModel::closeAfterSignIn(QCoro::Task<> signIn)
{
    QPointer<LoginSheetModel> self(this);
    std::exception_ptr failure;
    try {
        co_await std::move(signIn);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        setErrorMessage(typedtext::describe(failure));
        setSubmitting(false);
        co_return;
    }
    emit dismissRequested();
    if (self)
        setSubmitting(false);
}

// The sign-in sheet's sign-up and password reset: the requests that open a confirmation session,
// the Telegram step (bot, countdown, code) and the requests that confirm it.

#include "LoginSheetModel.h"
#include "TypedText.h"

#include "Services/APIClient.h"
#include "Services/AuthStore.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// A bot name or session id that can stand in the deep link as it is.
bool isLinkSafe(const QString &text)
{
    static const QRegularExpression safe(u"^[A-Za-z0-9_-]+$"_s);
    return safe.match(text).hasMatch();
}

// The session's bot name; an absent or empty one counts as none.
QString botName(const AuthSessionInfo &session)
{
    if (session.botUsername && !session.botUsername->isEmpty())
        return *session.botUsername;
    return LoginSheetModel::DefaultBotName;
}

} // namespace

LoginSheetModel::Purpose LoginSheetModel::purpose() const
{
    return m_step == Step::ForgotReset ? Purpose::ConfirmReset : Purpose::ConfirmSignup;
}

QString LoginSheetModel::botTitle() const
{
    if (!m_session)
        return {};
    if (purpose() == Purpose::ConfirmSignup)
        return u"ربات @"_s + botName(*m_session);
    const std::optional<QString> &name = m_session->telegramUsername;
    const QString recipient = name && !name->isEmpty() ? u"@"_s + *name : u"شما"_s;
    return u"کد به تلگرام "_s + recipient + u" ارسال شد"_s;
}

QString LoginSheetModel::countdownText() const
{
    return u"اعتبار نشست: %1:%2"_s.arg(m_secondsLeft / 60).arg(m_secondsLeft % 60, 2, 10, QLatin1Char('0'));
}

// ------------------------------------------------------------------ countdown

void LoginSheetModel::startTimer()
{
    m_timer.start();
    emit countdownRunningChanged();
}

void LoginSheetModel::stopTimer()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    emit countdownRunningChanged();
}

void LoginSheetModel::tick()
{
    if (m_secondsLeft >= 1)
        setSecondsLeft(m_secondsLeft - 1);
    else
        stopTimer();
}

// A session is open: its step shows with the countdown running.
void LoginSheetModel::openSession(const AuthSessionInfo &session, Step step)
{
    setSession(session);
    setSecondsLeft(int(std::clamp<qint64>(session.expiresIn, 0, std::numeric_limits<int>::max())));
    setStep(step);
    startTimer();
}

// ------------------------------------------------------------------ sign-up

void LoginSheetModel::startSignup()
{
    if (!signupValid() || m_isSubmitting)
        return;
    setErrorMessage(std::nullopt);
    setSubmitting(true);
    openSessionFrom(m_client->initTelegramSignup(typedtext::trimmed(m_username).toLower(),
                                                 typedtext::trimmed(m_password),
                                                 typedtext::trimmed(m_displayName)),
                    Step::SignupTelegram);
}

// A sign-up or reset start: on success its code step shows with the countdown running.
QCoro::Task<> LoginSheetModel::openSessionFrom(QCoro::Task<AuthSessionInfo> request, Step step)
{
    QPointer<LoginSheetModel> self(this);
    std::optional<AuthSessionInfo> session;
    std::exception_ptr failure;
    try {
        session = co_await std::move(request);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (session) {
        if (step == Step::ForgotReset) {
            // A new reset starts with an empty code and new password.
            m_otpCode.clear();
            m_newPassword.clear();
            emit formChanged();
        }
        openSession(*session, step);
    } else {
        setErrorMessage(typedtext::describe(failure));
    }
    setSubmitting(false);
}

// ------------------------------------------------------------------ password reset

void LoginSheetModel::startForgot()
{
    if (!forgotValid() || m_isSubmitting)
        return;
    setErrorMessage(std::nullopt);
    setSubmitting(true);
    // The identifier keeps its capitals: it may be a Telegram id.
    openSessionFrom(m_client->forgotPassword(typedtext::trimmed(m_identifier)), Step::ForgotReset);
}

// ------------------------------------------------------------------ confirmation

void LoginSheetModel::confirm()
{
    if (purpose() == Purpose::ConfirmSignup)
        verifySignup();
    else
        submitReset();
}

void LoginSheetModel::verifySignup()
{
    if (!m_session || !confirmValid() || m_isSubmitting)
        return;
    setErrorMessage(std::nullopt);
    setSubmitting(true);
    closeAfterSignIn(m_auth->completeTelegramSignup(m_session->sessionID, m_otpCode));
}

void LoginSheetModel::submitReset()
{
    if (!m_session || !confirmValid() || m_isSubmitting)
        return;
    setErrorMessage(std::nullopt);
    setSubmitting(true);
    runReset(*m_session, m_otpCode, typedtext::trimmed(m_newPassword));
}

QCoro::Task<> LoginSheetModel::runReset(AuthSessionInfo session, QString code, QString newPassword)
{
    QPointer<LoginSheetModel> self(this);
    APIClient *client = m_client;
    std::exception_ptr failure;
    try {
        co_await client->resetPassword(session.sessionID, std::move(code), std::move(newPassword));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        setErrorMessage(typedtext::describe(failure));
    } else {
        // The reply's message is not shown: the finished step says it all.
        resetFormState();
        setStep(Step::ForgotDone);
    }
    setSubmitting(false);
}

// ------------------------------------------------------------------ Telegram

std::optional<QUrl> LoginSheetModel::telegramTarget(const AuthSessionInfo &session,
                                                    const std::function<bool(const QUrl &)> &canOpen)
{
    const QString bot = botName(session);
    // Plain concatenation, as the bot expects it; anything but letters, digits, '_' and '-' in
    // either part would change what the link means, so such a link is not used.
    if (isLinkSafe(bot) && isLinkSafe(session.sessionID)) {
        const QUrl deepLink(u"tg://resolve?domain="_s + bot + u"&start="_s + session.sessionID,
                            QUrl::StrictMode);
        if (deepLink.isValid() && canOpen(deepLink))
            return deepLink;
    }
    if (session.botLink && !session.botLink->isEmpty()) {
        const QUrl webLink(*session.botLink, QUrl::StrictMode);
        const QString scheme = webLink.scheme();
        if (webLink.isValid() && !webLink.host().isEmpty()
            && (scheme == QLatin1String("https") || scheme == QLatin1String("http")))
            return webLink;
    }
    return std::nullopt;
}

void LoginSheetModel::openTelegram()
{
    if (!m_session)
        return;
    if (const std::optional<QUrl> target = telegramTarget(*m_session, m_links.canOpen))
        m_links.open(*target);
}

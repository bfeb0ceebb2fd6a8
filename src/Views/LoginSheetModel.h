#pragma once

#include "Models/APIModels.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

class APIClient;
class AuthStore;
class LaunchArguments;

// The sign-in sheet's state and actions: which flow and step show, the typed values, the
// Telegram confirmation session with its countdown, the error banner and the request in flight.
// Sign-in, sign-up (confirmed with the code the Telegram bot sends) and password reset all run
// through it; a successful sign-in or sign-up asks the sheet to close (dismissRequested()).
//
// QML (LoginSheet.qml) creates one per opened sheet. Requests that finish after the sheet has
// gone still complete in the session store (a sign-in is kept) but write nothing here.
class LoginSheetModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Flow mode READ mode WRITE setMode NOTIFY modeChanged)
    Q_PROPERTY(Step step READ step NOTIFY stepChanged)
    Q_PROPERTY(QString username READ username WRITE setUsername NOTIFY formChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY formChanged)
    Q_PROPERTY(QString displayName READ displayName WRITE setDisplayName NOTIFY formChanged)
    Q_PROPERTY(QString identifier READ identifier WRITE setIdentifier NOTIFY formChanged)
    // Only numeric characters, at most six: whatever is written is filtered first.
    Q_PROPERTY(QString otpCode READ otpCode WRITE setOtpCode NOTIFY formChanged)
    Q_PROPERTY(QString newPassword READ newPassword WRITE setNewPassword NOTIFY formChanged)
    Q_PROPERTY(bool hasSession READ hasSession NOTIFY sessionChanged)
    Q_PROPERTY(int secondsLeft READ secondsLeft NOTIFY secondsLeftChanged)
    Q_PROPERTY(bool hasErrorMessage READ hasErrorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)
    Q_PROPERTY(bool isSubmitting READ isSubmitting NOTIFY isSubmittingChanged)

    // The frame around the forms.
    Q_PROPERTY(QString heroTitle READ heroTitle NOTIFY stepChanged)
    Q_PROPERTY(QString heroSubtitle READ heroSubtitle NOTIFY stepChanged)
    Q_PROPERTY(QString heroSymbol READ heroSymbol NOTIFY stepChanged)
    Q_PROPERTY(int heroSymbolSize READ heroSymbolSize NOTIFY stepChanged)
    // The steps whose toolbar goes back at the leading edge and closes at the trailing one.
    Q_PROPERTY(bool showsBackButton READ showsBackButton NOTIFY stepChanged)

    // Enabling rules of the main buttons (a request in flight disables them too, without dimming).
    Q_PROPERTY(bool loginValid READ loginValid NOTIFY formChanged)
    Q_PROPERTY(bool signupValid READ signupValid NOTIFY formChanged)
    Q_PROPERTY(bool forgotValid READ forgotValid NOTIFY formChanged)
    Q_PROPERTY(bool confirmValid READ confirmValid NOTIFY formChanged)

    // The Telegram step.
    Q_PROPERTY(Purpose purpose READ purpose NOTIFY stepChanged)
    Q_PROPERTY(QString botTitle READ botTitle NOTIFY sessionChanged)
    Q_PROPERTY(QString countdownText READ countdownText NOTIFY secondsLeftChanged)
    Q_PROPERTY(bool countdownWarning READ countdownWarning NOTIFY secondsLeftChanged)
    Q_PROPERTY(bool isCountdownRunning READ isCountdownRunning NOTIFY countdownRunningChanged)

public:
    enum class Flow { SignInFlow, SignUpFlow };
    Q_ENUM(Flow)
    enum class Step { Login, SignupForm, SignupTelegram, ForgotIdentifier, ForgotReset, ForgotDone };
    Q_ENUM(Step)
    // What the Telegram step's main button confirms.
    enum class Purpose { ConfirmSignup, ConfirmReset };
    Q_ENUM(Purpose)

    static const QString DebugTelegramArgument; // "--debug-telegram"
    static const QString DefaultBotName;        // "MelodriftBot"
    static constexpr int CodeLength = 6;

    // How links leave the application: whether something can open one, and opening it.
    struct LinkOpening {
        std::function<bool(const QUrl &)> canOpen;
        std::function<bool(const QUrl &)> open;
    };

    // Uses the shared session store, client and launch arguments, and the desktop's links.
    explicit LoginSheetModel(QObject *parent = nullptr);
    // Tests hand in their own; none may be null, all must outlive the model.
    LoginSheetModel(AuthStore *auth, APIClient *client, LaunchArguments *arguments,
                    LinkOpening links, QObject *parent = nullptr);
    ~LoginSheetModel() override;

    static QString flowTitle(Flow flow);

    Flow mode() const { return m_mode; }
    // The segmented picker: clears the error and shows the chosen flow's form.
    void setMode(Flow mode);
    Step step() const { return m_step; }
    const QString &username() const { return m_username; }
    void setUsername(const QString &text);
    const QString &password() const { return m_password; }
    void setPassword(const QString &text);
    const QString &displayName() const { return m_displayName; }
    void setDisplayName(const QString &text);
    const QString &identifier() const { return m_identifier; }
    void setIdentifier(const QString &text);
    const QString &otpCode() const { return m_otpCode; }
    void setOtpCode(const QString &text);
    const QString &newPassword() const { return m_newPassword; }
    void setNewPassword(const QString &text);
    const std::optional<AuthSessionInfo> &session() const { return m_session; }
    bool hasSession() const { return m_session.has_value(); }
    int secondsLeft() const { return m_secondsLeft; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    bool hasErrorMessage() const { return m_errorMessage.has_value(); }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    const std::optional<QString> &infoMessage() const { return m_infoMessage; }
    bool isSubmitting() const { return m_isSubmitting; }

    QString heroTitle() const;
    QString heroSubtitle() const;
    QString heroSymbol() const;
    int heroSymbolSize() const;
    bool showsBackButton() const;

    bool loginValid() const;
    bool signupValid() const;
    bool forgotValid() const;
    bool confirmValid() const;

    Purpose purpose() const;
    QString botTitle() const;
    QString countdownText() const;
    bool countdownWarning() const { return m_secondsLeft <= 59; }
    bool isCountdownRunning() const { return m_timer.isActive(); }

    // The address the open-Telegram button opens for `session`: the bot's deep link when it is
    // well formed and something can open it, else the session's web link when it is usable, else
    // none.
    static std::optional<QUrl> telegramTarget(const AuthSessionInfo &session,
                                              const std::function<bool(const QUrl &)> &canOpen);

    // The toolbar's back button.
    Q_INVOKABLE void goBack();
    // Clears the messages, the code, the reset identifier and new password, the session and the
    // countdown; the sign-in and sign-up values stay.
    Q_INVOKABLE void resetFormState();
    // "رمزم رو فراموش کردم".
    Q_INVOKABLE void showForgotPassword();
    Q_INVOKABLE void submitLogin();
    Q_INVOKABLE void startSignup();
    Q_INVOKABLE void startForgot();
    Q_INVOKABLE void verifySignup();
    Q_INVOKABLE void submitReset();
    // The finished reset's button: back to the sign-in form.
    Q_INVOKABLE void returnToLogin();
    Q_INVOKABLE void openTelegram();
    // The Telegram step's main button, whichever it confirms.
    Q_INVOKABLE void confirm();
    // (Re)starts the session's countdown, one tick a second.
    void startTimer();
    // One second of the countdown (the timer calls it; tests and the screenshot scene drive it).
    Q_INVOKABLE void tick();
    // The sheet went away: the countdown stops.
    Q_INVOKABLE void disappear();

signals:
    void modeChanged();
    void stepChanged();
    void formChanged();
    void sessionChanged();
    void secondsLeftChanged();
    void errorMessageChanged();
    void isSubmittingChanged();
    void countdownRunningChanged();
    // A sign-in or a sign-up confirmation succeeded: the sheet closes.
    void dismissRequested();

private:
    QCoro::Task<> closeAfterSignIn(QCoro::Task<> signIn);
    QCoro::Task<> openSessionFrom(QCoro::Task<AuthSessionInfo> request, Step step);
    QCoro::Task<> runReset(AuthSessionInfo session, QString code, QString newPassword);

    void applyLaunchArguments();
    void setStep(Step step);
    void setSession(std::optional<AuthSessionInfo> session);
    void setSecondsLeft(int seconds);
    void setErrorMessage(std::optional<QString> message);
    void setSubmitting(bool submitting);
    void stopTimer();
    void openSession(const AuthSessionInfo &session, Step step);
    void setText(QString &field, const QString &text);

    AuthStore *m_auth;
    APIClient *m_client;
    LaunchArguments *m_arguments;
    LinkOpening m_links;

    Flow m_mode = Flow::SignInFlow;
    Step m_step = Step::Login;
    QString m_username;
    QString m_password;
    QString m_displayName;
    QString m_identifier;
    QString m_otpCode;
    QString m_newPassword;
    std::optional<AuthSessionInfo> m_session;
    int m_secondsLeft = 0;
    QTimer m_timer;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_infoMessage;
    bool m_isSubmitting = false;
};

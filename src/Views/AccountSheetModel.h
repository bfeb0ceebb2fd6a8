#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class AuthStore;

// The account sheet's texts, all worked out again from the session store whenever its user or
// library changes, and its sign-out. It holds no state of its own and loads nothing.
class AccountSheetModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The display name when present (even empty), else the user name, else "".
    Q_PROPERTY(QString shownName READ shownName NOTIFY userChanged)
    // "@" and the user name ("@" alone without one).
    Q_PROPERTY(QString handle READ handle NOTIFY userChanged)
    // The first character of the shown name's chain, "؟" at its end.
    Q_PROPERTY(QString initial READ initial NOTIFY userChanged)
    // The name of the buttons that open the account: "حساب کاربری", and while signed in the
    // avatar's initial after it (the sheet draws the initial, which is not a text of its own).
    Q_PROPERTY(QString buttonName READ buttonName NOTIFY userChanged)
    Q_PROPERTY(bool showsTelegram READ showsTelegram NOTIFY userChanged)
    Q_PROPERTY(QString telegramHandle READ telegramHandle NOTIFY userChanged)
    Q_PROPERTY(int playlistCount READ playlistCount NOTIFY playlistCountChanged)
    Q_PROPERTY(int favoriteCount READ favoriteCount NOTIFY favoriteCountChanged)

public:
    // Uses the shared session store.
    explicit AccountSheetModel(QObject *parent = nullptr);
    // Tests hand in their own; it must outlive the model.
    explicit AccountSheetModel(AuthStore *auth, QObject *parent = nullptr);

    QString shownName() const;
    QString handle() const;
    QString initial() const;
    QString buttonName() const;
    bool showsTelegram() const;
    QString telegramHandle() const;
    int playlistCount() const;
    int favoriteCount() const;

    // "خروج از حساب": the store forgets the session at once (its request to the backend runs on
    // by itself), then the sheet closes.
    Q_INVOKABLE void signOut();

signals:
    void userChanged();
    void playlistCountChanged();
    void favoriteCountChanged();
    void dismissRequested();

private:
    AuthStore *m_auth;
};

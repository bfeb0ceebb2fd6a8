#include "AccountSheetModel.h"
#include "TypedText.h"

#include "Services/AuthStore.h"

using namespace Qt::StringLiterals;

AccountSheetModel::AccountSheetModel(QObject *parent)
    : AccountSheetModel(&AuthStore::shared(), parent)
{
}

AccountSheetModel::AccountSheetModel(AuthStore *auth, QObject *parent)
    : QObject(parent), m_auth(auth)
{
    Q_ASSERT(m_auth);
    connect(m_auth, &AuthStore::userChanged, this, &AccountSheetModel::userChanged);
    connect(m_auth, &AuthStore::isAuthedChanged, this, &AccountSheetModel::userChanged);
    connect(m_auth, &AuthStore::playlistsChanged, this, &AccountSheetModel::playlistCountChanged);
    connect(m_auth, &AuthStore::favoritesChanged, this, &AccountSheetModel::favoriteCountChanged);
}

QString AccountSheetModel::shownName() const
{
    const std::optional<User> &user = m_auth->user();
    if (!user)
        return {};
    return user->displayName.value_or(user->username.value_or(QString()));
}

QString AccountSheetModel::handle() const
{
    const std::optional<User> &user = m_auth->user();
    return u"@"_s + (user ? user->username.value_or(QString()) : QString());
}

QString AccountSheetModel::initial() const
{
    const std::optional<User> &user = m_auth->user();
    QString chain = u"؟"_s;
    if (user && user->displayName)
        chain = *user->displayName;
    else if (user && user->username)
        chain = *user->username;
    const QStringList characters = typedtext::characters(chain);
    return characters.isEmpty() ? QString() : characters.first();
}

QString AccountSheetModel::buttonName() const
{
    const QString name = u"حساب کاربری"_s;
    return m_auth->isAuthed() ? name + u"، "_s + initial() : name;
}

bool AccountSheetModel::showsTelegram() const
{
    const std::optional<User> &user = m_auth->user();
    return user && user->telegramUsername && !user->telegramUsername->isEmpty();
}

QString AccountSheetModel::telegramHandle() const
{
    return showsTelegram() ? u"@"_s + *m_auth->user()->telegramUsername : QString();
}

int AccountSheetModel::playlistCount() const
{
    return int(m_auth->playlists().size());
}

int AccountSheetModel::favoriteCount() const
{
    return int(m_auth->favorites().size());
}

void AccountSheetModel::signOut()
{
    m_auth->logout();
    emit dismissRequested();
}

#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The advertisement banner's web content: the inline page that loads the ad network's script
// into one slot, its base address, the link policy, and whether a web view can be made at all.
// The web engine is started only when a banner is first shown; where it cannot run the banner
// stays an empty card.
//     AdBannerViewModel { id: banner }
//     Loader { active: banner.webEngineAvailable; source: "AdWebView.qml" }
class AdBannerViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool webEngineAvailable READ webEngineAvailable CONSTANT)
    Q_PROPERTY(QString pageHtml READ pageHtml CONSTANT)
    Q_PROPERTY(QUrl baseURL READ baseURL CONSTANT)
    Q_PROPERTY(QString linkScript READ linkScript CONSTANT)
    Q_PROPERTY(QString linkMessagePrefix READ linkMessagePrefix CONSTANT)

public:
    // The ad network's configuration.
    static const QString LoaderAddress;
    static const QString SlotIdentifier;

    explicit AdBannerViewModel(QObject *parent = nullptr);

    // Whether the web engine's QML module and helper process are installed (and not turned off
    // with MELODRIFT_NO_WEBENGINE=1).
    static bool webEngineInstalled();
    // The application sets up the web engine before its application object exists and then says
    // so here; until then (and in tests) banners stay empty.
    static void setWebEngineReady(bool ready);
    static bool webEngineAvailable();

    // The inline page with the loader address and slot identifier put in.
    static QString pageHtml(const QString &loaderAddress, const QString &slotIdentifier);
    QString pageHtml() const { return pageHtml(LoaderAddress, SlotIdentifier); }
    // The backend's base address without a path; empty when it does not parse.
    QUrl baseURL() const;

    // The navigation policy: true when the navigation goes ahead in the web view. A request
    // without a target frame (a new window) for an address whose scheme is exactly "http" or
    // "https" is handed to the desktop's browser and cancelled.
    static bool allowNavigation(bool hasTargetFrame, const QString &url);
    // For the web view: a new-window request for `url` (as the page wrote it).
    Q_INVOKABLE bool handleNewWindow(const QString &url) const { return allowNavigation(false, url); }

    // The browser hands a new-window request over with its address parsed, the scheme already in
    // small letters. So the page itself, in every frame, catches the links and window.open() calls
    // that open a new window and reports each address as the page wrote it (resolved against the
    // page only when it has no scheme) in a console message: linkMessagePrefix() + address.
    static QString linkScript();
    static QString linkMessagePrefix();
    // The address in a console message from linkScript(); empty for any other message.
    Q_INVOKABLE static QString linkFromMessage(const QString &message);
};

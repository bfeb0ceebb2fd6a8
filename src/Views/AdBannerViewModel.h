#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The advertisement banner's configuration: the ad network's loader and slot (the page itself is
// BannerPage's), its base address, the link policy, and whether a banner can be shown at all.
// The page runs in the banner's web host, a process of its own (WebBannerProcess) started only
// when a banner is shown; where it cannot run the banner stays an empty card.
//     AdBannerViewModel { id: banner }
//     WebBannerPicture { onLinkRequested: address => banner.handleNewWindow(address) }
class AdBannerViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool webEngineAvailable READ webEngineAvailable CONSTANT)
    Q_PROPERTY(QUrl baseURL READ baseURL CONSTANT)
    Q_PROPERTY(QStringList hostArguments READ hostArguments CONSTANT)

public:
    // The ad network's configuration.
    static const QString LoaderAddress;
    static const QString SlotIdentifier;

    explicit AdBannerViewModel(QObject *parent = nullptr);

    // The loader address the page uses: LoaderAddress, or for development the address in
    // MELODRIFT_AD_LOADER_ADDRESS when that is an http or https address.
    static QString loaderAddress();

    // Whether the banner's web host, the web engine's helper process and its QML module are
    // installed (and banners not turned off with MELODRIFT_NO_WEBENGINE=1).
    static bool webEngineInstalled();
    // The application checks the installation at start-up and then says so here; until then
    // (and in tests) banners stay empty.
    static void setWebEngineReady(bool ready);
    static bool webEngineAvailable();

    // The backend's base address without a path; empty when it does not parse.
    QUrl baseURL() const;
    // The web host's command line for this banner's page (WebBannerProcess::start).
    QStringList hostArguments() const;

    // The navigation policy: true when the navigation goes ahead in the web view. A request
    // without a target frame (a new window) for an address whose scheme is exactly "http" or
    // "https" is handed to the desktop's browser and cancelled.
    static bool allowNavigation(bool hasTargetFrame, const QString &url);
    // For the web view: a new-window request for `url` (as the page wrote it).
    Q_INVOKABLE bool handleNewWindow(const QString &url) const { return allowNavigation(false, url); }
};

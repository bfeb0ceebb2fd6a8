#include "AdBannerViewModel.h"

#include "Platform/UrlOpener.h"
#include "Platform/WebBanner/WebBannerProcess.h"
#include "Services/APIClient.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcBanner)

const QString AdBannerViewModel::LoaderAddress = u"https://ads.melodrift.app/loader.js"_s;
const QString AdBannerViewModel::SlotIdentifier = u"melodrift-banner-slot"_s;

namespace {

bool &engineReady()
{
    static bool ready = false;
    return ready;
}

} // namespace

AdBannerViewModel::AdBannerViewModel(QObject *parent)
    : QObject(parent)
{
}

QString AdBannerViewModel::loaderAddress()
{
    const QString address = qEnvironmentVariable("MELODRIFT_AD_LOADER_ADDRESS");
    const QUrl url(address, QUrl::StrictMode);
    if (!address.isEmpty() && url.isValid() && (url.scheme() == u"http"_s || url.scheme() == u"https"_s))
        return address;
    return LoaderAddress;
}

bool AdBannerViewModel::webEngineInstalled()
{
    if (qEnvironmentVariableIntValue("MELODRIFT_NO_WEBENGINE") != 0)
        return false;
    if (WebBannerProcess::hostProgram().isEmpty()) {
        qCInfo(lcBanner, "no banner web host installed: banners stay empty");
        return false;
    }
    QString process = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    if (process.isEmpty())
        process = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + u"/QtWebEngineProcess"_s;
    if (!QFileInfo(process).isExecutable()) {
        qCInfo(lcBanner, "no web engine helper at %s: banners stay empty", qPrintable(process));
        return false;
    }
    const QString qmldir = QLibraryInfo::path(QLibraryInfo::QmlImportsPath) + u"/QtWebEngine/qmldir"_s;
    if (!QFileInfo::exists(qmldir)) {
        qCInfo(lcBanner, "no QtWebEngine QML module: banners stay empty");
        return false;
    }
    return true;
}

void AdBannerViewModel::setWebEngineReady(bool ready)
{
    engineReady() = ready;
}

bool AdBannerViewModel::webEngineAvailable()
{
    return engineReady();
}

QUrl AdBannerViewModel::baseURL() const
{
    const QUrl base = APIClient::shared().baseURL();
    if (!base.isValid() || base.scheme().isEmpty() || base.host().isEmpty())
        return {};
    return base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

QStringList AdBannerViewModel::hostArguments() const
{
    return WebBannerProcess::pageArguments(loaderAddress(), SlotIdentifier, baseURL());
}

bool AdBannerViewModel::allowNavigation(bool hasTargetFrame, const QString &url)
{
    if (hasTargetFrame || url.isEmpty())
        return true;
    // The scheme exactly as written: "HTTPS:" is not handed on.
    const qsizetype colon = url.indexOf(u':');
    const QStringView scheme = colon > 0 ? QStringView(url).left(colon) : QStringView();
    if (scheme == u"http"_s || scheme == u"https"_s) {
        UrlOpener::open(QUrl(url));
        return false;
    }
    return true;
}

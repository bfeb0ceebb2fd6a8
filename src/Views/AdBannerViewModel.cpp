#include "AdBannerViewModel.h"

#include "Platform/UrlOpener.h"
#include "Services/APIClient.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcBanner, "melodrift.banner")

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

bool AdBannerViewModel::webEngineInstalled()
{
    if (qEnvironmentVariableIntValue("MELODRIFT_NO_WEBENGINE") != 0)
        return false;
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

QString AdBannerViewModel::pageHtml(const QString &loaderAddress, const QString &slotIdentifier)
{
    // The two values are configuration constants, never data from outside; they are still
    // escaped for the string and attribute they stand in.
    const QString loader = QString(loaderAddress).replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s)
                               .replace(u'<', u"\\x3c"_s);
    const QString slot = slotIdentifier.toHtmlEscaped();
    return uR"(<!DOCTYPE html>
<html>
<head>
  <meta name="viewport" content="width=device-width, initial-scale=1.0, maximum-scale=1.0, user-scalable=no">
  <style>
    html, body { margin: 0; padding: 0; background: transparent; overflow: hidden; width: 100%; height: 100%; }
    #%2 { width: 100%; }
  </style>
  <script type="text/javascript">
    (function () {
      var head = document.getElementsByTagName("head")[0];
      var script = document.createElement("script");
      script.type = "text/javascript";
      script.async = true;
      script.src = "%1";
      head.appendChild(script);
    })();
  </script>
</head>
<body>
  <div id="%2"></div>
</body>
</html>
)"_s.arg(loader, slot);
}

QUrl AdBannerViewModel::baseURL() const
{
    const QUrl base = APIClient::shared().baseURL();
    if (!base.isValid() || base.scheme().isEmpty() || base.host().isEmpty())
        return {};
    return base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

QString AdBannerViewModel::linkMessagePrefix()
{
    return u"melodrift-new-window:"_s;
}

QString AdBannerViewModel::linkFromMessage(const QString &message)
{
    return message.startsWith(linkMessagePrefix()) ? message.mid(linkMessagePrefix().size()) : QString();
}

QString AdBannerViewModel::linkScript()
{
    static const QString script = uR"JS((function () {
  'use strict';
  var prefix = '%1';
  // The address as written when it has a scheme; else resolved against the page.
  function written(address) {
    var text = String(address).trim();
    if (/^[A-Za-z][A-Za-z0-9+.\-]*:/.test(text))
      return text;
    try { return new URL(text, document.baseURI).href; } catch (e) { return text; }
  }
  function report(address) {
    console.info(prefix + written(address));
  }
  window.open = function (address) {
    if (address !== undefined && address !== null && String(address) !== '')
      report(address);
    return null;
  };
  document.addEventListener('click', function (event) {
    var node = event.target;
    while (node && !(node.tagName && node.tagName.toLowerCase() === 'a' && node.hasAttribute('href')))
      node = node.parentNode;
    if (!node)
      return;
    var target = (node.getAttribute('target') || '').toLowerCase();
    if (target === '' || target === '_self' || target === '_parent' || target === '_top')
      return;
    event.preventDefault();
    report(node.getAttribute('href'));
  }, true);
})();
)JS"_s.arg(linkMessagePrefix());
    return script;
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

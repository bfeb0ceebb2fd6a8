#include "BannerPage.h"

using namespace Qt::StringLiterals;

QString BannerPage::pageHtml(const QString &loaderAddress, const QString &slotIdentifier)
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

QString BannerPage::linkMessagePrefix()
{
    return u"melodrift-new-window:"_s;
}

QString BannerPage::linkFromMessage(const QString &message)
{
    return message.startsWith(linkMessagePrefix()) ? message.mid(linkMessagePrefix().size()) : QString();
}

QString BannerPage::linkScript()
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

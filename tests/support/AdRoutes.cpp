#include "support/AdRoutes.h"

namespace standin {

namespace {

// The block with its link; `extra` runs after it is in place, with `link` in scope.
QByteArray adScript(const QByteArray &extra)
{
    return QByteArrayLiteral(R"JS((function () {
  var slot = document.querySelector('body > div');
  var link = document.createElement('a');
  link.href = '%ADDRESS%';
  link.target = '_blank';
  link.textContent = 'Test ad';
  link.style.cssText = 'position:fixed;left:0;top:0;right:0;bottom:0;background:%COLOR%;color:#fff;'
    + 'font:16px sans-serif;display:flex;align-items:center;justify-content:center;text-decoration:none';
  slot.appendChild(link);
%EXTRA%
})();
)JS")
        .replace("%ADDRESS%", TestAdAddress)
        .replace("%COLOR%", TestAdColor.name().toLatin1())
        .replace("%EXTRA%", extra);
}

} // namespace

void installAdRoutes(StandInServer &server)
{
    server.route("GET", QString::fromLatin1(TestAdPath), [](const RecordedRequest &) {
        return Reply::text(adScript({}), 200, "text/javascript");
    });
    server.route("GET", QString::fromLatin1(TestPushyAdPath), [](const RecordedRequest &) {
        const QByteArray extra = QByteArrayLiteral(R"JS(  var count = 0;
  // Reported to the server the script came from, whatever the page's own address.
  var pushed = new URL('%PUSHED%', document.currentScript.src).href;
  function push() { window.open('%PUSHY%' + (++count), '_blank'); }
  // Each burst is reported, so that a test sees how often the ad has tried.
  setInterval(function () {
    for (var i = 0; i < 5; ++i) push();
    fetch(pushed + '?n=' + count, {mode: 'no-cors'}).catch(function () {});
  }, 100);
  link.addEventListener('click', function () { push(); push(); push(); });)JS")
                                     .replace("%PUSHY%", TestPushyAddress)
                                     .replace("%PUSHED%", TestPushedPath);
        return Reply::text(adScript(extra), 200, "text/javascript");
    });
    server.route("GET", QString::fromLatin1(TestPushedPath), [](const RecordedRequest &) {
        return Reply::withStatus(204);
    });
}

} // namespace standin

#include "support/AdRoutes.h"

namespace standin {

void installAdRoutes(StandInServer &server)
{
    server.route("GET", QString::fromLatin1(TestAdPath), [](const RecordedRequest &) {
        const QByteArray script = QByteArrayLiteral(R"JS((function () {
  var slot = document.querySelector('body > div');
  var link = document.createElement('a');
  link.href = '%ADDRESS%';
  link.target = '_blank';
  link.textContent = 'Test ad';
  link.style.cssText = 'position:fixed;left:0;top:0;right:0;bottom:0;background:%COLOR%;color:#fff;'
    + 'font:16px sans-serif;display:flex;align-items:center;justify-content:center;text-decoration:none';
  slot.appendChild(link);
})();
)JS")
            .replace("%ADDRESS%", TestAdAddress)
            .replace("%COLOR%", TestAdColor.name().toLatin1());
        return Reply::text(script, 200, "text/javascript");
    });
}

} // namespace standin

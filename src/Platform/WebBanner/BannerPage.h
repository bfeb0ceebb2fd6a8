#pragma once

#include <QString>

// The advertisement banner's inline page and the script that reports its new-window links.
// Plain text only (Qt Core), so that the banner's web host builds the same page as the
// application describes.
namespace BannerPage {

// The inline page with the loader address and slot identifier put in.
QString pageHtml(const QString &loaderAddress, const QString &slotIdentifier);

// The browser hands a new-window request over with its address parsed, the scheme already in
// small letters. So the page itself, in every frame, catches the links and window.open() calls
// that open a new window and reports each address as the page wrote it (resolved against the
// page only when it has no scheme) in a console message: linkMessagePrefix() + address.
QString linkScript();
QString linkMessagePrefix();
// The address in a console message from linkScript(); empty for any other message.
QString linkFromMessage(const QString &message);

} // namespace BannerPage

#include "AdBannerViewModel.h"
#include "Platform/WebBanner/BannerPage.h"
#include "Platform/UrlOpener.h"

#include <QJSEngine>
#include <QRegularExpression>
#include <gtest/gtest.h>

// The advertisement banner's link policy and inline page.

namespace {

class BannerLinks : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UrlOpener::setHandlerForTesting([this](const QUrl &url) {
            opened.append(url);
            return true;
        });
    }
    void TearDown() override { UrlOpener::setHandlerForTesting(nullptr); }

    QList<QUrl> opened;
};

} // namespace

TEST_F(BannerLinks, WebLinksForANewWindowGoToTheBrowser)
{
    EXPECT_FALSE(AdBannerViewModel::allowNavigation(false, QStringLiteral("https://example.org/offer?id=3")));
    EXPECT_FALSE(AdBannerViewModel::allowNavigation(false, QStringLiteral("http://example.org/")));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://example.org/offer?id=3")));
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("http://example.org/")));
}

TEST_F(BannerLinks, NavigationsInsideTheViewGoAhead)
{
    // The loader's own requests and redirects in the slot have a target frame.
    EXPECT_TRUE(AdBannerViewModel::allowNavigation(true, QStringLiteral("https://ads.example.org/slot")));
    EXPECT_TRUE(AdBannerViewModel::allowNavigation(true, QStringLiteral("http://ads.example.org/")));
    EXPECT_TRUE(AdBannerViewModel::allowNavigation(true, QStringLiteral("about:blank")));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(BannerLinks, OtherSchemesAreNotHandedOn)
{
    for (const char *url : {"tel:+982100000000", "mailto:ads@example.org", "HTTPS://example.org/",
                            "Http://example.org/", "tg://resolve?domain=x", "javascript:alert(1)",
                            "file:///etc/passwd", "httpx://example.org", "https"}) {
        EXPECT_TRUE(AdBannerViewModel::allowNavigation(false, QString::fromUtf8(url))) << url;
    }
    // A request without an address.
    EXPECT_TRUE(AdBannerViewModel::allowNavigation(false, QString()));
    EXPECT_TRUE(opened.isEmpty());
    AdBannerViewModel model;
    EXPECT_TRUE(model.handleNewWindow(QStringLiteral("mailto:x@example.org")));
    EXPECT_FALSE(model.handleNewWindow(QStringLiteral("https://example.org/")));
    EXPECT_EQ(opened.size(), 1);
}

TEST(BannerPage, HoldsTheViewportTheTwoRulesTheLoaderAndTheSlot)
{
    const QString page = BannerPage::pageHtml(QStringLiteral("https://ads.example.org/loader.js"),
                                                     QStringLiteral("slot-42"));
    EXPECT_TRUE(page.contains(QStringLiteral(
        R"(<meta name="viewport" content="width=device-width, initial-scale=1.0, maximum-scale=1.0, user-scalable=no">)")));
    EXPECT_TRUE(page.contains(QStringLiteral(
        "html, body { margin: 0; padding: 0; background: transparent; overflow: hidden; width: 100%; height: 100%; }")));
    EXPECT_TRUE(page.contains(QStringLiteral("#slot-42 { width: 100%; }")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(<script type="text/javascript">)")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(document.getElementsByTagName("head")[0])")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(script.type = "text/javascript";)")));
    EXPECT_TRUE(page.contains(QStringLiteral("script.async = true;")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(script.src = "https://ads.example.org/loader.js";)")));
    EXPECT_TRUE(page.contains(QStringLiteral("head.appendChild(script);")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(<div id="slot-42"></div>)")));
    // Line breaks and two-space indentation.
    EXPECT_TRUE(page.contains(QStringLiteral("\n  <meta ")));
    EXPECT_TRUE(page.contains(QStringLiteral("\n  <div ")));
    // One style element with exactly two rules, one head and one body.
    const QString style = page.section(QStringLiteral("<style>"), 1).section(QStringLiteral("</style>"), 0, 0);
    EXPECT_EQ(style.count(QLatin1Char('{')), 2);
    EXPECT_EQ(page.count(QStringLiteral("<head>")), 1);
    EXPECT_EQ(page.count(QStringLiteral("<body>")), 1);
}

TEST(BannerPage, ConfiguredValuesCannotBreakOutOfTheirPlaces)
{
    const QString page = BannerPage::pageHtml(QStringLiteral(R"(https://x/"</script><b>)"),
                                                     QStringLiteral(R"(a"><script>)"));
    EXPECT_FALSE(page.contains(QStringLiteral("</script><b>")));
    EXPECT_FALSE(page.contains(QStringLiteral(R"(a"><script>)")));
    EXPECT_EQ(page.count(QStringLiteral("<script")), 1);
}

TEST(BannerPage, TheApplicationsOwnConfiguration)
{
    AdBannerViewModel model;
    // The host builds its page from the loader address and slot the application hands it.
    EXPECT_TRUE(model.hostArguments().contains(AdBannerViewModel::LoaderAddress));
    EXPECT_TRUE(model.hostArguments().contains(AdBannerViewModel::SlotIdentifier));
    EXPECT_TRUE(QUrl(AdBannerViewModel::LoaderAddress).scheme() == QLatin1String("https"));
    // The base address is the backend's, without a path.
    EXPECT_TRUE(model.baseURL().path().isEmpty());
    // The test programs never set up the web engine: banners stay empty here.
    EXPECT_FALSE(model.webEngineAvailable());
}

// The page's link script, run in a JavaScript engine on a stand-in page: what it reports, and what
// the link rule then does with the address as written.
TEST_F(BannerLinks, ThePageReportsNewWindowAddressesAsWrittenAndTheRuleComparesTheRawScheme)
{
    QJSEngine js;
    js.installExtensions(QJSEngine::ConsoleExtension);
    js.evaluate(QStringLiteral(R"(
        var reported = [];
        var console = { info: function (m) { reported.push(m); } };
        var listeners = [];
        var window = { open: function () { return 'opened'; } };
        var document = { baseURI: 'http://127.0.0.1:8080/',
                         addEventListener: function (type, f) { listeners.push(f); } };
        function URL(text, base) { this.href = base.replace(/\/$/, '') + (text[0] === '/' ? '' : '/') + text; }
        function anchor(href, target) {
            return { tagName: 'A', parentNode: null,
                     hasAttribute: function (n) { return n === 'href'; },
                     getAttribute: function (n) { return n === 'href' ? href : target; } };
        }
        function click(href, target) {
            var prevented = false;
            var event = { target: { tagName: 'SPAN', parentNode: anchor(href, target) },
                          preventDefault: function () { prevented = true; } };
            listeners.forEach(function (f) { f(event); });
            return prevented;
        })"));
    const QJSValue loaded = js.evaluate(BannerPage::linkScript());
    ASSERT_FALSE(loaded.isError()) << qPrintable(loaded.toString());

    struct Case
    {
        const char *action;     // JavaScript run on the stand-in page
        const char *reported;   // the address reported ("" for none)
        bool handedOn;          // given to the desktop's browser
    };
    const Case cases[] = {
        {"window.open('https://example.org/a')", "https://example.org/a", true},
        {"window.open('HTTPS://example.org/a')", "HTTPS://example.org/a", false},
        {"click('Http://example.org/b', '_blank')", "Http://example.org/b", false},
        {"click('http://example.org/b', '_blank')", "http://example.org/b", true},
        {"click('/offer?id=3', '_blank')", "http://127.0.0.1:8080/offer?id=3", true},
        {"click('tel:+982100000000', '_blank')", "tel:+982100000000", false},
        {"click('https://example.org/inside', '')", "", false},
        {"window.open('')", "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.action);
        opened.clear();
        js.evaluate(QStringLiteral("reported = []"));
        const QJSValue result = js.evaluate(QString::fromUtf8(c.action));
        const QStringList messages = js.globalObject().property(QStringLiteral("reported")).toVariant().toStringList();
        if (QByteArray(c.reported).isEmpty()) {
            EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(QLatin1Char(' ')));
            continue;
        }
        ASSERT_EQ(messages.size(), 1);
        const QString address = BannerPage::linkFromMessage(messages.first());
        EXPECT_EQ(address, QString::fromUtf8(c.reported));
        if (QByteArray(c.action).startsWith("click"))
            EXPECT_TRUE(result.toBool()) << "the page does not open the window itself";
        else
            EXPECT_TRUE(result.isNull());
        AdBannerViewModel().handleNewWindow(address);
        EXPECT_EQ(opened.size(), c.handedOn ? 1 : 0);
    }
    EXPECT_TRUE(BannerPage::linkFromMessage(QStringLiteral("an ad's own log line")).isEmpty());
}

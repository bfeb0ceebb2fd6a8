#include "Platform/UrlOpener.h"
#include "support/QuickHost.h"
#include "support/TaskOutcome.h"

#include <QCoreApplication>
#include <QFile>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

// The outside URL opener: the scheme rule, and the handler question asked in the background.

using testing_support::runTask;

namespace {

struct SchemeCase {
    const char *address;
    bool allowed;
};

// A fake xdg-mime first on PATH. It answers only once the file "go" exists in its folder, so
// that a test can see the event loop run while the question is open.
class FakeXdgMime
{
public:
    explicit FakeXdgMime(const QByteArray &answer)
    {
        const QString script = dir.filePath(QStringLiteral("xdg-mime"));
        QFile file(script);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n"
                   "echo \"$@\" >> \"$(dirname \"$0\")/asked\"\n"
                   "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.01; done\n"
                   "printf '%s' '" + answer + "'\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        oldPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8() + ':' + oldPath);
        UrlOpener::forgetHandlers();
    }
    ~FakeXdgMime()
    {
        qputenv("PATH", oldPath);
        UrlOpener::forgetHandlers();
    }
    void release()
    {
        QFile go(dir.filePath(QStringLiteral("go")));
        EXPECT_TRUE(go.open(QIODevice::WriteOnly));
    }
    QStringList asked() const
    {
        QFile file(dir.filePath(QStringLiteral("asked")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    QByteArray oldPath;
};

} // namespace

TEST(UrlOpener, OnlyWebAndTelegramAddressesAreEverOpened)
{
    const SchemeCase cases[] = {
        {"https://example.org/x", true},
        {"http://example.org", true},
        {"HTTPS://EXAMPLE.ORG", true},
        {"tg://resolve?domain=MelodriftBot&start=abc", true},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"mailto:x@example.org", false},
        {"data:text/html,hi", false},
        {"ftp://example.org", false},
        {"/relative/path", false},
        {"", false},
    };
    QList<QUrl> opened;
    UrlOpener::setHandlerForTesting([&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    for (const SchemeCase &c : cases) {
        const QUrl url(QString::fromUtf8(c.address));
        EXPECT_EQ(UrlOpener::isAllowed(url), c.allowed) << c.address;
        opened.clear();
        EXPECT_EQ(UrlOpener::open(url), c.allowed) << c.address;
        EXPECT_EQ(opened.size(), c.allowed ? 1 : 0) << c.address;
        const bool web = c.allowed && url.scheme() != QLatin1String("tg");
        if (!c.allowed || web) {
            EXPECT_EQ(runTask(UrlOpener::canOpen(url)).value, std::optional<bool>(c.allowed)) << c.address;
        }
    }
    UrlOpener::setHandlerForTesting(nullptr);
}

TEST(UrlOpener, TelegramHandlerIsAskedInTheBackgroundOnceAndRemembered)
{
    FakeXdgMime xdg("org.telegram.desktop.desktop\n");
    // The answer is held back until the event loop has run with the question open.
    bool loopRan = false;
    QTimer::singleShot(0, [&] {
        loopRan = true;
        xdg.release();
    });
    const auto first = runTask(UrlOpener::canOpen(QUrl(QStringLiteral("tg://resolve?domain=a"))));
    EXPECT_TRUE(loopRan);
    EXPECT_EQ(first.value, std::optional<bool>(true));
    EXPECT_EQ(xdg.asked(), QStringList{QStringLiteral("query default x-scheme-handler/tg")});

    // Remembered: asked no more.
    EXPECT_EQ(runTask(UrlOpener::canOpen(QUrl(QStringLiteral("tg://resolve?domain=b")))).value,
              std::optional<bool>(true));
    EXPECT_EQ(xdg.asked().size(), 1);
}

TEST(UrlOpener, TheAnswerWithoutWaitingIsKnownOnceTheBackgroundQuestionEnded)
{
    FakeXdgMime xdg("org.telegram.desktop.desktop\n");
    const QUrl link(QStringLiteral("tg://resolve?domain=a"));
    EXPECT_TRUE(UrlOpener::canOpenNow(QUrl(QStringLiteral("https://t.me/a"))));
    EXPECT_FALSE(UrlOpener::canOpenNow(QUrl(QStringLiteral("file:///etc/passwd"))));
    // Not asked yet: no, and asked once in the background however often it is looked at.
    EXPECT_FALSE(UrlOpener::canOpenNow(link));
    UrlOpener::prefetchHandler(QStringLiteral("tg"));
    xdg.release();
    ASSERT_TRUE(quickhost::waitFor([&] { return UrlOpener::canOpenNow(link); }));
    EXPECT_EQ(xdg.asked().size(), 1);
}

TEST(UrlOpener, NoRegisteredHandlerMeansTelegramCannotBeOpened)
{
    FakeXdgMime xdg("");
    xdg.release();
    EXPECT_EQ(runTask(UrlOpener::canOpen(QUrl(QStringLiteral("tg://resolve?domain=a")))).value,
              std::optional<bool>(false));
}

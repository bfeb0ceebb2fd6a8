#pragma once

#include "support/QuickHost.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <gtest/gtest.h>

#include <memory>

// A Qt Quick engine and window (offscreen) for one test; the test fails on any QML warning it
// caused. Fixtures that need more set it up around SetUp()/TearDown().
class QmlWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        trap = std::make_unique<quickhost::MessageTrap>();
        engine = quickhost::makeEngine();
    }

    void TearDown() override
    {
        hosted = quickhost::HostedScreen();
        engine.reset();
        const QStringList messages = trap->messages();
        trap.reset();
        EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(QLatin1Char('\n')));
    }

    // Hosts a screen written inline; the Melodrift module and Qt Quick Controls are imported.
    QObject *loadQml(const QByteArray &qml)
    {
        hosted = quickhost::HostedScreen::loadText(
            *engine, "import QtQuick\nimport QtQuick.Controls\nimport Melodrift\n" + qml);
        EXPECT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
        return hosted.screen();
    }

    // An item by object name in the visual tree below `root` (delegates are not QObject children).
    static QQuickItem *itemNamed(QQuickItem *root, const QString &name)
    {
        for (QQuickItem *child : root->childItems()) {
            if (child->objectName() == name)
                return child;
            if (QQuickItem *found = itemNamed(child, name))
                return found;
        }
        return nullptr;
    }

    // Waits until the home grid below `root` stands at its full size: it grows in once, as it
    // first shows, and a press meanwhile lands off the card it is aimed at.
    static bool waitForHomeGrid(QQuickItem *root)
    {
        const auto home = [](const auto &self, QQuickItem *item) -> QQuickItem * {
            if (item->property("appearScale").isValid())
                return item;
            for (QQuickItem *child : item->childItems()) {
                if (QQuickItem *found = self(self, child))
                    return found;
            }
            return nullptr;
        };
        QQuickItem *view = home(home, root);
        return view && quickhost::waitFor([view] { return view->property("appearScale").toReal() >= 1.0; });
    }

    std::unique_ptr<quickhost::MessageTrap> trap;
    std::unique_ptr<QQmlEngine> engine;
    quickhost::HostedScreen hosted;
};

#pragma once

#include "AppProcess.h"

#include "support/DemoCatalogue.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

#include <memory>

// The application binary against the stand-in backend in this process (its demo catalogue and
// audio): launches share one home and one single-instance bus name, so they are one application.
class AppTestFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo(AppProcess::binaryPath()).isExecutable())
            GTEST_FAIL() << "build the application first: " << AppProcess::binaryPath().toStdString();
        ASSERT_TRUE(home.isValid());
        ASSERT_NE(server.listen(), 0u);
        catalogue = standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        suffix = QUuid::createUuid().toString(QUuid::Id128).left(16);
    }

    std::unique_ptr<AppProcess> launch(const QStringList &arguments)
    {
        auto app = std::make_unique<AppProcess>(server.baseUrl(), suffix, home.path());
        app->start(arguments);
        return app;
    }

    QTemporaryDir home;
    standin::StandInServer server;
    std::shared_ptr<standin::DemoCatalogue> catalogue;
    QString suffix;
};

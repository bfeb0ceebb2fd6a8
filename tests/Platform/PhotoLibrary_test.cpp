#include "Platform/PhotoLibrary.h"

#include <QDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

// A test run keeps to the temporary folder: saved story videos, and every other folder the code
// may write into, are the run's own and never the developer's.
TEST(TestRunFolders, SavedVideosAndEveryWritableFolderAreTemporary)
{
    const QString temp = QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/');
    const QString home = QDir::cleanPath(QString::fromLocal8Bit(qgetenv("HOME")));
    ASSERT_TRUE(home.startsWith(temp)) << qPrintable(home);

    EXPECT_TRUE(QDir::cleanPath(PhotoLibrary::folder().absolutePath()).startsWith(temp))
        << qPrintable(PhotoLibrary::folder().absolutePath());

    const QStandardPaths::StandardLocation locations[] = {
        QStandardPaths::MoviesLocation,      QStandardPaths::MusicLocation,
        QStandardPaths::PicturesLocation,    QStandardPaths::DocumentsLocation,
        QStandardPaths::DownloadLocation,    QStandardPaths::DesktopLocation,
        QStandardPaths::HomeLocation,        QStandardPaths::AppDataLocation,
        QStandardPaths::AppLocalDataLocation, QStandardPaths::AppConfigLocation,
        QStandardPaths::ConfigLocation,      QStandardPaths::GenericConfigLocation,
        QStandardPaths::GenericDataLocation, QStandardPaths::CacheLocation,
        QStandardPaths::GenericCacheLocation,
    };
    for (const QStandardPaths::StandardLocation location : locations) {
        const QString path = QDir::cleanPath(QStandardPaths::writableLocation(location));
        EXPECT_TRUE(path.startsWith(temp)) << int(location) << " " << qPrintable(path);
    }
}

#include "support/PlaybackTestSupport.h"

#include <QFile>
#include <QTemporaryFile>
#include <gst/gst.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace testsupport {

GstElement *makeFakeAudioSink(bool sync)
{
    GstElement *sink = gst_element_factory_make("fakeaudiosink", nullptr);
    if (sink)
        g_object_set(sink, "sync", sync ? TRUE : FALSE, nullptr);
    return sink;
}

StdoutCapture::StdoutCapture()
{
    QTemporaryFile file;
    file.setAutoRemove(false);
    if (!file.open())
        return;
    m_path = QFile::encodeName(file.fileName());
    file.close();
    std::fflush(stdout);
    m_saved = dup(STDOUT_FILENO);
    const int fd = open(m_path.constData(), O_WRONLY | O_TRUNC);
    dup2(fd, STDOUT_FILENO);
    close(fd);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush(stdout);
    if (m_saved >= 0) {
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
    }
    if (!m_path.isEmpty())
        QFile::remove(QFile::decodeName(m_path));
}

QByteArray StdoutCapture::text()
{
    std::fflush(stdout);
    QFile file(QFile::decodeName(m_path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace testsupport

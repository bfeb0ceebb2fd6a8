#include "KitGalleryModel.h"

KitGalleryModel::KitGalleryModel(QObject *parent)
    : QObject(parent)
{
    setShazam(&ShazamManager::shared());
}

void KitGalleryModel::setShazam(ShazamManager *shazam)
{
    if (m_shazam == shazam)
        return;
    if (m_shazam)
        disconnect(m_shazam, nullptr, this, nullptr);
    m_shazam = shazam;
    if (m_shazam)
        connect(m_shazam, &ShazamManager::openRequestChanged, this, &KitGalleryModel::takeOpenRequest);
    emit shazamChanged();
    takeOpenRequest();
}

void KitGalleryModel::setShowRecognition(bool show)
{
    if (m_showRecognition == show)
        return;
    m_showRecognition = show;
    emit showRecognitionChanged();
}

void KitGalleryModel::takeOpenRequest()
{
    if (!m_shazam || !m_shazam->openRequest())
        return;
    m_shazam->setOpenRequest(false);
    setShowRecognition(true);
}

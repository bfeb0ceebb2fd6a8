#pragma once

// The screen model of KitGallery, and the worked example of how every screen model is written:
//
// - A screen is Views/<Name>.qml; when it has state or logic, a C++ screen model Views/<Name>Model
//   (this one sits beside its gallery in tests/Kit/Gallery). QML binds to it and calls it; the QML
//   holds nothing beyond layout and animation.
// - The model is a QObject with QML_ELEMENT, created by its screen: `KitGalleryModel { id: model }`.
// - Its stores are properties that default to the shared instances, so a test can hand it others
//   before use. Store pointers are published as Q_PROPERTY so a screen may bind `model.shazam`.
// - The screen's flags (sheets, covers, pushed pages) are bool properties of the model; a Sheet,
//   FullScreenCover or pushed page is bound to them with `presenter: model; flag: "showX"`.
// - Async work (QCoro tasks) keeps the model through a QPointer and writes nothing once the screen,
//   and with it the model, is gone.

#include "Services/ShazamManager.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class KitGalleryModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ShazamManager *shazam READ shazam WRITE setShazam NOTIFY shazamChanged)
    Q_PROPERTY(bool showRecognition READ showRecognition WRITE setShowRecognition NOTIFY showRecognitionChanged)

public:
    explicit KitGalleryModel(QObject *parent = nullptr);

    ShazamManager *shazam() const { return m_shazam; }
    void setShazam(ShazamManager *shazam);

    bool showRecognition() const { return m_showRecognition; }
    void setShowRecognition(bool show);

signals:
    void shazamChanged();
    void showRecognitionChanged();

private:
    // The manager asks for the recognition sheet: take the request and present the sheet.
    void takeOpenRequest();

    QPointer<ShazamManager> m_shazam;
    bool m_showRecognition = false;
};

#pragma once

#include <QObject>
#include <QQmlParserStatus>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// The desktop's way of sharing a file, in place of a phone's share sheet: open it with the default
// application, show it in the file manager, or copy it to the clipboard as a file (so that a file
// manager or a chat application can paste it). A copy saved elsewhere starts in `saveFolder`.
//
// Its items are fixed when it is created: the first `items` given (in QML, at creation) stay, and
// a later change has no effect, so a sheet shows the file it was opened for.
//     ActivitySharer { id: sharer; items: [model.videoURL] }
class ActivitySharer : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(QVariantList items READ items WRITE setItems NOTIFY itemsChanged)
    // The shared file (the first item that is a local file), and its name for display.
    Q_PROPERTY(QUrl file READ file NOTIFY itemsChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY itemsChanged)
    // Where Save as starts: the Videos folder (the home folder without one).
    Q_PROPERTY(QString saveFolder READ saveFolder CONSTANT)

public:
    explicit ActivitySharer(QObject *parent = nullptr);
    explicit ActivitySharer(const QVariantList &items, QObject *parent = nullptr);

    QVariantList items() const { return m_items; }
    void setItems(const QVariantList &items);
    QUrl file() const;
    QString fileName() const;
    static QString saveFolder();

    Q_INVOKABLE bool openWithDefault() const;
    // org.freedesktop.FileManager1.ShowItems; when no file manager answers, the folder is opened.
    Q_INVOKABLE void showInFolder() const;
    Q_INVOKABLE bool copyToClipboard() const;

    void classBegin() override {}
    void componentComplete() override { m_fixed = true; }

signals:
    void itemsChanged();

private:
    QVariantList m_items;
    bool m_fixed = false;
};

#pragma once

#include <QObject>
#include <QQmlParserStatus>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// The desktop's way of sharing a file, in place of a phone's share sheet: open it with the default
// application, show it in the file manager, copy it to the clipboard as a file (so that a file
// manager or a chat application can paste it), or save a copy elsewhere.
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
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveErrorChanged)
    // Where Save as starts: the file's name in the Videos folder (the home folder without one).
    Q_PROPERTY(QUrl suggestedSaveFile READ suggestedSaveFile NOTIFY itemsChanged)

public:
    explicit ActivitySharer(QObject *parent = nullptr);
    explicit ActivitySharer(const QVariantList &items, QObject *parent = nullptr);

    QVariantList items() const { return m_items; }
    void setItems(const QVariantList &items);
    QUrl file() const;
    QString fileName() const;
    QUrl suggestedSaveFile() const;

    Q_INVOKABLE bool openWithDefault() const;
    // org.freedesktop.FileManager1.ShowItems; when no file manager answers, the folder is opened.
    Q_INVOKABLE void showInFolder() const;
    Q_INVOKABLE bool copyToClipboard() const;
    // Copies the file to `target` (replacing a file the user chose to replace in the dialog). The
    // copy gets the user's usual file mode. False when it failed: saveError says why, in Persian.
    Q_INVOKABLE bool saveAs(const QUrl &target);
    // The reason the last saveAs() failed; empty after one that succeeded.
    QString saveError() const { return m_saveError; }

    void classBegin() override {}
    void componentComplete() override { m_fixed = true; }

signals:
    void itemsChanged();
    void saveErrorChanged();

private:
    QVariantList m_items;
    bool m_fixed = false;
    QString m_saveError;
};

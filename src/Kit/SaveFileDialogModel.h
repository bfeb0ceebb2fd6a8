#pragma once

#include <QAbstractListModel>
#include <QCoroTask>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// What the save-as dialog (SaveFileDialog.qml) shows and decides: the folder being looked at, its
// subfolders and the files of the chosen kind in it (one row each, folders first, hidden entries
// left out), and the name typed for the new file, which stays as it is while the listener moves
// between folders. The file is saved at `targetFile`: the typed name, with the kind's suffix added
// when it does not end with it, in the folder shown. A folder is read on a worker thread.
//     SaveFileDialogModel { id: chooser; suffix: ".mp4"; folder: "/home/me/Videos"; fileName: "story.mp4" }
class SaveFileDialogModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    // The folder shown, an absolute path.
    Q_PROPERTY(QString folder READ folder WRITE setFolder NOTIFY folderChanged)
    // Its name for a title ("/" for the root).
    Q_PROPERTY(QString folderName READ folderName NOTIFY folderChanged)
    Q_PROPERTY(bool canGoUp READ canGoUp NOTIFY folderChanged)
    // True while the folder is being read.
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    // Why the folder shows nothing ("این پوشه خوانده نشد"), or empty.
    Q_PROPERTY(QString folderProblem READ folderProblem NOTIFY loadingChanged)
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)
    // The kind of file saved, as the suffix its names end with (".mp4").
    Q_PROPERTY(QString suffix READ suffix WRITE setSuffix NOTIFY fileNameChanged)
    // Where the file goes; empty while the name cannot be saved under (see nameProblem).
    Q_PROPERTY(QUrl targetFile READ targetFile NOTIFY targetChanged)
    // Its name alone.
    Q_PROPERTY(QString targetName READ targetName NOTIFY targetChanged)
    // Why the typed name cannot be saved under; empty for a good name and for no name yet.
    Q_PROPERTY(QString nameProblem READ nameProblem NOTIFY targetChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, IsFolderRole, PathRole };

    explicit SaveFileDialogModel(QObject *parent = nullptr);

    QString folder() const { return m_folder; }
    void setFolder(const QString &folder);
    QString folderName() const;
    bool canGoUp() const;
    bool loading() const { return m_loading; }
    QString folderProblem() const { return m_folderProblem; }
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &name);
    QString suffix() const { return m_suffix; }
    void setSuffix(const QString &suffix);
    QUrl targetFile() const;
    QString targetName() const { return QFileInfo(targetFile().toLocalFile()).fileName(); }
    QString nameProblem() const;
    // The file name a typed name saves under: trimmed, with the suffix added unless it ends with
    // it (in any case); empty when it cannot be a file's name in the folder (see nameProblem()).
    static QString savedName(const QString &typed, const QString &suffix);
    // Why `typed` cannot name the new file in `folder`, or empty (also for an empty name).
    static QString nameProblem(const QString &folder, const QString &typed, const QString &suffix);

    // Whether a file is already there under the target's name (the dialog asks before replacing).
    Q_INVOKABLE bool targetExists() const;
    Q_INVOKABLE void goUp();
    Q_INVOKABLE void goHome();
    // A row chosen: a folder opens; a file gives its name to the name field.
    Q_INVOKABLE void choose(int row);
    // Reads the folder again.
    Q_INVOKABLE void reload();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    struct Entry {
        QString name;
        bool isFolder = false;
    };
    // The rows of `folder`: its subfolders, then its files whose names end with `suffix`, each
    // group in the order of the listener's language; hidden ones left out. Throws nothing; an
    // unreadable folder gives none (and `readable` false).
    static QList<Entry> listFolder(const QString &folder, const QString &suffix, bool *readable = nullptr);

signals:
    void folderChanged();
    void loadingChanged();
    void fileNameChanged();
    void targetChanged();

private:
    QCoro::Task<> read();

    QString m_folder;
    QString m_fileName;
    QString m_suffix;
    QList<Entry> m_entries;
    bool m_loading = false;
    QString m_folderProblem;
    quint64 m_generation = 0; // each read; only the newest is shown
};

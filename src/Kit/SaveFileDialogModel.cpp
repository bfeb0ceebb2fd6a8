#include "SaveFileDialogModel.h"

#include "Platform/AtomicFile.h"
#include "Platform/WorkerTask.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

using namespace Qt::StringLiterals;

SaveFileDialogModel::SaveFileDialogModel(QObject *parent) : QAbstractListModel(parent) {}

void SaveFileDialogModel::setFolder(const QString &folder)
{
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (clean == m_folder)
        return;
    m_folder = clean;
    emit folderChanged();
    emit targetChanged();
    read();
}

QString SaveFileDialogModel::folderName() const
{
    const QString name = QFileInfo(m_folder).fileName();
    return name.isEmpty() ? m_folder : name;
}

bool SaveFileDialogModel::canGoUp() const
{
    return !m_folder.isEmpty() && !QDir(m_folder).isRoot();
}

void SaveFileDialogModel::setFileName(const QString &name)
{
    if (name == m_fileName)
        return;
    m_fileName = name;
    emit fileNameChanged();
    emit targetChanged();
}

void SaveFileDialogModel::setSuffix(const QString &suffix)
{
    if (suffix == m_suffix)
        return;
    m_suffix = suffix;
    emit fileNameChanged();
    emit targetChanged();
    read();
}

QString SaveFileDialogModel::savedName(const QString &typed, const QString &suffix)
{
    const QString name = typed.trimmed();
    if (name.isEmpty() || name == u"."_s || name == u".."_s || name.contains(u'/') || name.contains(QChar(0)))
        return {};
    if (!suffix.isEmpty() && !name.endsWith(suffix, Qt::CaseInsensitive))
        return name + suffix;
    return name;
}

QString SaveFileDialogModel::nameProblem(const QString &folder, const QString &typed, const QString &suffix)
{
    const QString name = typed.trimmed();
    if (name.isEmpty())
        return {};
    if (name.contains(u'/'))
        return u"نام فایل نمی‌تواند «/» داشته باشد"_s;
    const QString saved = savedName(typed, suffix);
    if (saved.isEmpty())
        return u"این نام برای فایل پذیرفته نیست"_s;
    if (QFileInfo(QDir(folder).filePath(saved)).isDir())
        return u"پوشه‌ای به این نام هست"_s;
    if (AtomicFile::isNameTooLong(folder, saved))
        return u"نام فایل بیش از حد بلند است"_s;
    return {};
}

QUrl SaveFileDialogModel::targetFile() const
{
    const QString saved = savedName(m_fileName, m_suffix);
    if (m_folder.isEmpty() || saved.isEmpty() || !nameProblem().isEmpty())
        return {};
    return QUrl::fromLocalFile(QDir(m_folder).filePath(saved));
}

QString SaveFileDialogModel::nameProblem() const
{
    return nameProblem(m_folder, m_fileName, m_suffix);
}

bool SaveFileDialogModel::targetExists() const
{
    const QUrl target = targetFile();
    return !target.isEmpty() && QFileInfo(target.toLocalFile()).exists();
}

void SaveFileDialogModel::goUp()
{
    if (canGoUp())
        setFolder(QFileInfo(m_folder).absolutePath());
}

void SaveFileDialogModel::goHome()
{
    setFolder(QDir::homePath());
}

void SaveFileDialogModel::choose(int row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    const Entry entry = m_entries.at(row);
    if (entry.isFolder)
        setFolder(QDir(m_folder).filePath(entry.name));
    else
        setFileName(entry.name);
}

void SaveFileDialogModel::reload()
{
    read();
}

QList<SaveFileDialogModel::Entry> SaveFileDialogModel::listFolder(const QString &folder, const QString &suffix,
                                                                  bool *readable)
{
    const QDir dir(folder);
    const bool canRead = dir.exists() && dir.isReadable();
    if (readable)
        *readable = canRead;
    if (!canRead)
        return {};
    QList<Entry> entries;
    for (const QFileInfo &info : dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot)) {
        if (info.isDir())
            entries.append({info.fileName(), true});
        else if (suffix.isEmpty() || info.fileName().endsWith(suffix, Qt::CaseInsensitive))
            entries.append({info.fileName(), false});
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) {
        if (a.isFolder != b.isFolder)
            return a.isFolder;
        return collator.compare(a.name, b.name) < 0;
    });
    return entries;
}

QCoro::Task<> SaveFileDialogModel::read()
{
    if (m_folder.isEmpty())
        co_return;
    QPointer<SaveFileDialogModel> self(this);
    const quint64 generation = ++m_generation;
    if (!m_loading) {
        m_loading = true;
        emit loadingChanged();
    }
    const QString folder = m_folder;
    const QString suffix = m_suffix;
    struct Listing {
        QList<Entry> entries;
        bool readable = false;
    };
    std::function<Listing()> work = [folder, suffix] {
        Listing listing;
        listing.entries = listFolder(folder, suffix, &listing.readable);
        return listing;
    };
    Listing listing = co_await onWorker<Listing>(std::move(work));
    if (!self || generation != m_generation)
        co_return;
    beginResetModel();
    m_entries = std::move(listing.entries);
    endResetModel();
    m_loading = false;
    m_folderProblem = listing.readable ? QString() : u"این پوشه خوانده نشد"_s;
    emit loadingChanged();
    // A folder of the typed name may have shown up.
    emit targetChanged();
}

int SaveFileDialogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant SaveFileDialogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const Entry &entry = m_entries.at(index.row());
    switch (role) {
    case NameRole: return entry.name;
    case IsFolderRole: return entry.isFolder;
    case PathRole: return QDir(m_folder).filePath(entry.name);
    default: return {};
    }
}

QHash<int, QByteArray> SaveFileDialogModel::roleNames() const
{
    return {{NameRole, "name"}, {IsFolderRole, "isFolder"}, {PathRole, "path"}};
}

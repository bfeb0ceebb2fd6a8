#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

// The rows of a list, one item each, known by a key the item carries (a playlist's id, a station's
// genre, a track's id). Every change is told row by row: merge() takes the whole new list (a reload,
// a new answer) and removes, inserts and moves only the rows whose key came, went or moved, and
// reports dataChanged only for rows whose item differs (a change that would take more than
// ResetAboveChanges steps is one reset); refresh() tells that some roles of rows changed without
// their item (a download's progress). A view over it keeps the delegates, and the focus in them,
// of every item that stayed.
// Two items with the same key (a server may send them) stay apart: the second is keyed "key\x1f2",
// or "key\x1f3" and so on where an item of the list really carries that key; every row's key is
// unique whatever keys the list holds.
//     KeyedRows<Station> rows({{TitleRole, "title"}}, [](const Station &s) { return s.genre; },
//                             [](const Station &s, int role) { return s.displayTrackTitle(); });
//     rows.merge(stations);
template <typename T>
class KeyedRows : public QAbstractListModel
{
public:
    // The role every KeyedRows has: the row's key, as a string.
    static constexpr int KeyRole = Qt::UserRole;

    using KeyOf = std::function<QString(const T &)>;
    using DataOf = std::function<QVariant(const T &, int role)>;
    using Same = std::function<bool(const T &, const T &)>;

    KeyedRows(QHash<int, QByteArray> roles, KeyOf keyOf, DataOf dataOf, QObject *parent = nullptr)
        : QAbstractListModel(parent)
        , m_roles(std::move(roles))
        , m_keyOf(std::move(keyOf))
        , m_dataOf(std::move(dataOf))
    {
        m_roles.insert(KeyRole, "key");
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_items.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        if (role == KeyRole)
            return m_keys.at(index.row());
        if (!m_roles.contains(role))
            return {};
        return m_dataOf(m_items.at(index.row()), role);
    }

    QHash<int, QByteArray> roleNames() const override { return m_roles; }

    // How merge() tells an item unchanged; operator== unless given (a type whose == leaves out
    // fields the rows hand on).
    void setSame(Same same) { m_same = std::move(same); }

    const QList<T> &items() const { return m_items; }
    const T *at(int row) const { return row >= 0 && row < m_items.size() ? &m_items.at(row) : nullptr; }
    QString keyAt(int row) const { return row >= 0 && row < m_keys.size() ? m_keys.at(row) : QString(); }
    int rowOf(const QString &key) const { return key.isEmpty() ? -1 : int(m_keys.indexOf(key)); }

    // Above this many row changes (runs removed, runs inserted, rows moved) a merge tells one reset
    // instead: a view handles each change on its own, and thousands of them (a reversed list) would
    // hold the window for seconds. The view keeps the focus on its item through the reset.
    static constexpr int ResetAboveChanges = 48;

    // Makes the rows `items`, in their order, with as few row changes as there are differences:
    // the rows that keep their order stay where they are (the longest run of them still in order)
    // and only the others move.
    void merge(const QList<T> &items)
    {
        QList<QString> keys;
        keys.reserve(items.size());
        for (const T &item : items)
            keys.append(m_keyOf(item));
        if (keys == m_keys) {
            QList<int> changed;
            for (int row = 0; row < items.size(); ++row)
                if (!same(m_items.at(row), items.at(row)))
                    changed.append(row);
            m_items = items;
            reportRuns(changed, {});
            return;
        }
        // Each key's new row; a list that repeats a key has its repeats keyed apart first. (One
        // hash lookup for each new and each old row: hashing is what a long merge costs.)
        QHash<QString, int> newRow;
        if (!indexKeys(keys, newRow)) {
            makeUnique(keys);
            newRow.clear();
            indexKeys(keys, newRow);
        }
        if (m_keys.isEmpty()) {
            beginInsertRows({}, 0, int(keys.size()) - 1);
            m_keys = keys;
            m_items = items;
            endInsertRows();
            return;
        }

        // The plan first: what goes, what stays in order, what moves, what comes.
        std::vector<int> newOfOld(m_keys.size(), -1); // each row's new row; -1 for a row gone
        std::vector<bool> kept(keys.size(), false);   // whether a new row's item is among the rows
        int changes = 0;
        for (int row = 0; row < m_keys.size(); ++row) {
            const auto found = newRow.constFind(m_keys.at(row));
            if (found == newRow.cend()) {
                if (row == 0 || newOfOld.at(row - 1) >= 0)
                    ++changes; // a run of rows gone starts here
                continue;
            }
            newOfOld[row] = found.value();
            kept[found.value()] = true;
        }
        QList<int> order; // the new row of each row that stays, in the rows' order
        order.reserve(newOfOld.size());
        for (const int at : std::as_const(newOfOld))
            if (at >= 0)
                order.append(at);
        const std::vector<bool> inOrder = longestIncreasingRun(order);
        changes += int(std::count(inOrder.cbegin(), inOrder.cend(), false));
        for (int i = 0; i < keys.size(); ++i)
            if (!kept.at(i) && (i == 0 || kept.at(i - 1)))
                ++changes; // a run of new rows starts here
        if (changes > ResetAboveChanges) {
            beginResetModel();
            m_keys = keys;
            m_items = items;
            endResetModel();
            return;
        }

        // Rows gone, a run at a time from the end.
        for (int row = int(m_keys.size()) - 1; row >= 0; --row) {
            if (newOfOld.at(row) >= 0)
                continue;
            const int last = row;
            while (row > 0 && newOfOld.at(row - 1) < 0)
                --row;
            beginRemoveRows({}, row, last);
            m_keys.remove(row, last - row + 1);
            m_items.remove(row, last - row + 1);
            endRemoveRows();
        }

        // The rows out of order, in their new order, each to just after the row that comes before
        // it in the new order (which stands where it belongs already). `order` follows the rows.
        QList<int> movers;
        for (int row = 0; row < order.size(); ++row)
            if (!inOrder.at(row))
                movers.append(order.at(row));
        std::sort(movers.begin(), movers.end());
        for (const int at : std::as_const(movers)) {
            int before = at - 1;
            while (before >= 0 && !kept.at(before))
                --before;
            const int from = int(order.indexOf(at));
            const int to = before < 0 ? 0 : int(order.indexOf(before)) + 1;
            if (to == from || to == from + 1)
                continue;
            const int landing = to > from ? to - 1 : to;
            beginMoveRows({}, from, from, {}, to);
            m_keys.move(from, landing);
            m_items.move(from, landing);
            order.move(from, landing);
            endMoveRows();
        }

        // Every row left is in the new order: insert the runs of new keys, and tell the rows whose
        // item changed.
        QList<int> changed;
        for (int i = 0; i < keys.size();) {
            if (kept.at(i)) {
                if (!same(m_items.at(i), items.at(i)))
                    changed.append(i); // told once the rows hold `items`, below
                ++i;
                continue;
            }
            int end = i;
            while (end + 1 < keys.size() && !kept.at(end + 1))
                ++end;
            beginInsertRows({}, i, end);
            m_keys.insert(i, end - i + 1, QString());
            m_items.insert(i, end - i + 1, T());
            for (int row = i; row <= end; ++row) {
                m_keys[row] = keys.at(row);
                m_items[row] = items.at(row);
            }
            endInsertRows();
            i = end + 1;
        }
        // The rows hold `items` now: share its storage rather than keep a copy of each item (a
        // catalogue of thousands of stations would otherwise be held twice).
        m_keys = keys;
        m_items = items;
        reportRuns(changed, {});
    }

    // Some roles of these rows read differently now (all roles when `roles` is empty).
    void refresh(const QList<int> &rows, const QList<int> &roles = {}) { reportRuns(rows, roles); }
    void refreshAll(const QList<int> &roles = {})
    {
        if (!m_items.isEmpty())
            emit dataChanged(index(0), index(int(m_items.size()) - 1), roles);
    }

private:
    // Which of `values` (distinct) belong to a longest increasing run of them, in O(n log n).
    static std::vector<bool> longestIncreasingRun(const QList<int> &values)
    {
        QList<int> tails;                              // per length, the index of the smallest last value
        std::vector<int> previous(values.size(), -1); // per index, the one before it in its run
        for (int i = 0; i < values.size(); ++i) {
            const auto at = std::lower_bound(tails.begin(), tails.end(), values.at(i),
                                             [&](int index, int value) { return values.at(index) < value; });
            if (at != tails.begin())
                previous[i] = *(at - 1);
            if (at == tails.end())
                tails.append(i);
            else
                *at = i;
        }
        std::vector<bool> member(values.size(), false);
        for (int i = tails.isEmpty() ? -1 : tails.last(); i >= 0; i = previous.at(i))
            member[i] = true;
        return member;
    }

    bool same(const T &a, const T &b) const { return m_same ? m_same(a, b) : a == b; }

    // Fills `rows` with each key's row; false when a key repeats.
    static bool indexKeys(const QList<QString> &keys, QHash<QString, int> &rows)
    {
        rows.reserve(keys.size());
        for (int i = 0; i < keys.size(); ++i) {
            const qsizetype before = rows.size();
            int &row = rows[keys.at(i)];
            if (rows.size() == before)
                return false;
            row = i;
        }
        return true;
    }

    // The first item of each key keeps it; a repeat takes the next "key\x1f<n>" that no item
    // carries and no earlier repeat took, so a server's own "key\x1f2" cannot meet a made one.
    static void makeUnique(QList<QString> &keys)
    {
        QSet<QString> taken(keys.cbegin(), keys.cend());
        QHash<QString, int> nextNumber;
        QSet<QString> firstSeen;
        for (QString &key : keys) {
            if (!firstSeen.contains(key)) {
                firstSeen.insert(key);
                continue;
            }
            int &number = nextNumber[key];
            if (number < 2)
                number = 2;
            QString made;
            do
                made = key + QChar(0x1f) + QString::number(number++);
            while (taken.contains(made));
            taken.insert(made);
            key = made;
        }
    }

    // dataChanged for each run of consecutive rows among `rows` (ascending).
    void reportRuns(const QList<int> &rows, const QList<int> &roles)
    {
        for (int i = 0; i < rows.size();) {
            int end = i;
            while (end + 1 < rows.size() && rows.at(end + 1) == rows.at(end) + 1)
                ++end;
            emit dataChanged(index(rows.at(i)), index(rows.at(end)), roles);
            i = end + 1;
        }
    }

    QHash<int, QByteArray> m_roles;
    KeyOf m_keyOf;
    DataOf m_dataOf;
    Same m_same;
    QList<QString> m_keys;
    QList<T> m_items;
};

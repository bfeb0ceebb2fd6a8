#include "Kit/JoinedRows.h"
#include "Kit/RowSlice.h"
#include "Kit/KeyedRows.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStringListModel>
#include <gtest/gtest.h>

namespace {

struct Item {
    QString id;
    QString title;
    bool operator==(const Item &) const = default;
};

constexpr int TitleRole = Qt::UserRole + 1;

KeyedRows<Item> *makeRows(QObject *parent)
{
    return new KeyedRows<Item>({{TitleRole, "title"}}, [](const Item &item) { return item.id; },
                               [](const Item &item, int) { return QVariant(item.title); }, parent);
}

QList<Item> itemsOf(const QString &ids)
{
    QList<Item> items;
    for (const QChar id : ids)
        items.append({QString(id), QStringLiteral("title ") + id});
    return items;
}

QString keysOf(const QAbstractItemModel &model)
{
    QString keys;
    const int role = model.roleNames().key("key");
    for (int row = 0; row < model.rowCount(); ++row)
        keys += model.index(row, 0).data(role).toString();
    return keys;
}

// What a change did to the rows: each signal in order, "+row..row", "-row..row", "~row..row",
// "m row>to", "reset".
struct Recorder {
    explicit Recorder(QAbstractItemModel *model)
    {
        QObject::connect(model, &QAbstractItemModel::rowsInserted, model,
                         [this](const QModelIndex &, int a, int b) { log << QStringLiteral("+%1..%2").arg(a).arg(b); });
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, model,
                         [this](const QModelIndex &, int a, int b) { log << QStringLiteral("-%1..%2").arg(a).arg(b); });
        QObject::connect(model, &QAbstractItemModel::dataChanged, model,
                         [this](const QModelIndex &a, const QModelIndex &b) {
                             log << QStringLiteral("~%1..%2").arg(a.row()).arg(b.row());
                         });
        QObject::connect(model, &QAbstractItemModel::rowsMoved, model,
                         [this](const QModelIndex &, int a, int, const QModelIndex &, int to) {
                             log << QStringLiteral("m %1>%2").arg(a).arg(to);
                         });
        QObject::connect(model, &QAbstractItemModel::modelReset, model, [this] { log << QStringLiteral("reset"); });
    }
    QStringList take() { return std::exchange(log, {}); }
    QStringList log;
};

} // namespace

// A reload, a new answer, an edit: only the rows whose key came, went, moved or whose item differs
// are told, never a reset; the model stays consistent at every step (the tester aborts otherwise).
TEST(KeyedRows, MergesByKeyRowByRow)
{
    struct Step {
        const char *what;
        QString before;
        std::function<QList<Item>(QList<Item>)> edit;
        QString keys;
        QStringList signalsSeen;
    };
    const auto rename = [](QList<Item> items) { items[2].title = QStringLiteral("renamed"); return items; };
    const auto dropAbove = [](QList<Item> items) { items.removeAt(1); return items; };
    const Step steps[] = {
        {"first answer", QString(), [](QList<Item>) { return itemsOf(QStringLiteral("abcde")); }, "abcde", {"+0..4"}},
        {"same answer again", "abcde", [](QList<Item> items) { return items; }, "abcde", {}},
        {"rename", "abcde", rename, "abcde", {"~2..2"}},
        {"removal above the focus", "abcde", dropAbove, "acde", {"-1..1"}},
        {"insert in the middle", "abcde", [](QList<Item>) { return itemsOf(QStringLiteral("abxycde")); }, "abxycde", {"+2..3"}},
        {"reload: some gone, some new, one moved", "abcde",
         [](QList<Item>) { return itemsOf(QStringLiteral("eaczd")); }, "eaczd", {"-1..1", "m 3>0", "+3..3"}},
        {"one moved down", "abcde", [](QList<Item>) { return itemsOf(QStringLiteral("acdbe")); }, "acdbe", {"m 1>4"}},
        {"the first to the end", "abcde", [](QList<Item>) { return itemsOf(QStringLiteral("bcdea")); }, "bcdea",
         {"m 0>5"}},
        {"the last to the top", "abcde", [](QList<Item>) { return itemsOf(QStringLiteral("eabcd")); }, "eabcd",
         {"m 4>0"}},
        {"reversed", "abcde", [](QList<Item>) { return itemsOf(QStringLiteral("edcba")); }, "edcba",
         {"m 3>5", "m 2>5", "m 1>5", "m 0>5"}},
        {"two swapped, one gone, one new", "abcdef", [](QList<Item>) { return itemsOf(QStringLiteral("aedcxf")); },
         "aedcxf", {"-1..1", "m 2>4", "m 1>4", "+4..4"}},
        {"everything gone", "abcde", [](QList<Item>) { return QList<Item>(); }, "", {"-0..4"}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        QObject owner;
        KeyedRows<Item> *rows = makeRows(&owner);
        QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::Fatal);
        rows->merge(itemsOf(step.before));
        Recorder recorder(rows);
        rows->merge(step.edit(rows->items()));
        EXPECT_EQ(keysOf(*rows), step.keys);
        EXPECT_EQ(recorder.take(), step.signalsSeen);
        for (int row = 0; row < rows->rowCount(); ++row)
            EXPECT_EQ(rows->index(row).data(TitleRole).toString(), rows->items().at(row).title);
    }
}

// A long list reloaded in another order: the rows still in order stay, so the first row sent to
// the end is one move; a change of more steps than a view can take in a moment (a reversal) is one
// reset. Either way the rows end in the new order with their items.
TEST(KeyedRows, ReordersALongListInFewSteps)
{
    const auto numbered = [](int count) {
        QList<Item> items;
        items.reserve(count);
        for (int i = 0; i < count; ++i)
            items.append({QString::number(i), QStringLiteral("title %1").arg(i)});
        return items;
    };
    const QList<Item> base = numbered(20000);
    const auto firstToEnd = [](QList<Item> items) { items.move(0, items.size() - 1); return items; };
    const auto lastToTop = [](QList<Item> items) { items.move(items.size() - 1, 0); return items; };
    const auto reversed = [](QList<Item> items) { std::reverse(items.begin(), items.end()); return items; };
    // Every tenth of the first (limit) rows to the end, and one more.
    const auto scattered = [](int moved) {
        return [moved](QList<Item> items) {
            QList<Item> tail;
            for (int i = moved - 1; i >= 0; --i)
                tail.prepend(items.takeAt(i * 10));
            return items + tail;
        };
    };
    struct Case {
        const char *what;
        std::function<QList<Item>(QList<Item>)> edit;
        int moves;
        bool reset;
    };
    const Case cases[] = {
        {"the first to the end", firstToEnd, 1, false},
        {"the last to the top", lastToTop, 1, false},
        {"as many moved as a merge tells one by one", scattered(KeyedRows<Item>::ResetAboveChanges), 48, false},
        {"one more", scattered(KeyedRows<Item>::ResetAboveChanges + 1), 0, true},
        {"reversed", reversed, 0, true},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.what);
        QObject owner;
        KeyedRows<Item> *rows = makeRows(&owner);
        rows->merge(base);
        QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QSignalSpy moved(rows, &QAbstractItemModel::rowsMoved);
        QSignalSpy reset(rows, &QAbstractItemModel::modelReset);
        QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
        const QList<Item> wanted = test.edit(base);
        rows->merge(wanted);
        EXPECT_EQ(moved.count(), test.moves);
        EXPECT_EQ(reset.count(), test.reset ? 1 : 0);
        EXPECT_EQ(changed.count(), 0);
        ASSERT_EQ(rows->items(), wanted);
        for (const int row : {0, 1, 9999, 19999})
            EXPECT_EQ(rows->keyAt(row), wanted.at(row).id);
    }
}

// A server may send one id twice: both rows stay, each with a key of its own; a download tick
// tells only the row concerned.
TEST(KeyedRows, KeepsDuplicatesApartAndRefreshesOneRow)
{
    QObject owner;
    KeyedRows<Item> *rows = makeRows(&owner);
    QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::Fatal);
    rows->merge({{"a", "1"}, {"b", "2"}, {"a", "3"}});
    EXPECT_EQ(rows->rowCount(), 3);
    EXPECT_EQ(rows->rowOf(QStringLiteral("a")), 0);
    EXPECT_NE(rows->keyAt(2), rows->keyAt(0));
    Recorder recorder(rows);
    rows->refresh({1}, {TitleRole});
    EXPECT_EQ(recorder.take(), QStringList{"~1..1"});
    rows->merge({{"b", "2"}, {"a", "3"}});
    EXPECT_EQ(rows->index(1).data(TitleRole).toString(), "3");
}

// Whatever keys a server sends (repeated, equal to a key made for a repeat, empty), each answer
// shows each of its items once, in its order, and every row keeps a key of its own.
TEST(KeyedRows, AnyKeysAServerSendsAreSafe)
{
    const QString unit(QChar(0x1f));
    const auto answer = [](const QStringList &ids) {
        QList<Item> items;
        for (int i = 0; i < ids.size(); ++i)
            items.append({ids.at(i), ids.at(i) + QStringLiteral(" #") + QString::number(i)});
        return items;
    };
    struct Case {
        const char *what;
        QList<QStringList> answers;
    };
    const Case cases[] = {
        {"repeated", {{"a", "a", "a"}, {"a", "a"}, {"b", "a", "a", "a"}, {"a"}}},
        {"colliding with a made key (the category chips)",
         {{"dup", "dup", "dup" + unit + "2"}, {"dup"}, {"dup", "dup" + unit + "2"}, {"dup", "dup", "dup" + unit + "2"}}},
        {"colliding with a made key (search answers)", {{"sc" + unit + "2"}, {"sc", "sc", "sc" + unit + "2"}}},
        {"made keys of made keys", {{"a" + unit + "2", "a", "a", "a" + unit + "2", "a" + unit + "3"}, {"a", "a"}}},
        {"empty", {{"", "", "x"}, {"x", ""}, {"", "", ""}}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.what);
        QObject owner;
        KeyedRows<Item> *rows = makeRows(&owner);
        QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::Fatal);
        for (const QStringList &ids : test.answers) {
            SCOPED_TRACE(ids.join(QLatin1Char(',')).toStdString());
            const QList<Item> items = answer(ids);
            rows->merge(items);
            ASSERT_EQ(rows->rowCount(), items.size());
            QSet<QString> keys;
            for (int row = 0; row < rows->rowCount(); ++row) {
                EXPECT_EQ(rows->index(row).data(TitleRole).toString(), items.at(row).title);
                keys.insert(rows->keyAt(row));
            }
            EXPECT_EQ(keys.size(), items.size());
        }
    }
}

// The cards of one grid row follow the source by key: a removal before the row shifts one item
// out at its start and one in at its end; the others keep their rows.
TEST(RowSlice, FollowsTheSourceByKey)
{
    QObject owner;
    KeyedRows<Item> *rows = makeRows(&owner);
    rows->merge(itemsOf(QStringLiteral("abcdefg")));
    RowSlice slice;
    QAbstractItemModelTester tester(&slice, QAbstractItemModelTester::FailureReportingMode::Fatal);
    slice.setSource(rows);
    slice.setFirst(3);
    slice.setCount(3);
    EXPECT_EQ(keysOf(slice), "def");
    Recorder recorder(&slice);
    rows->merge(itemsOf(QStringLiteral("acdefg")));
    EXPECT_EQ(keysOf(slice), "efg");
    EXPECT_EQ(recorder.take(), (QStringList{"-0..0", "+2..2"}));
    QList<Item> renamed = rows->items();
    renamed[4].title = QStringLiteral("renamed");
    rows->merge(renamed);
    EXPECT_EQ(recorder.take(), QStringList{"~1..1"});
    EXPECT_EQ(slice.index(1).data(TitleRole).toString(), "renamed");
    rows->merge(itemsOf(QStringLiteral("ac")));
    EXPECT_EQ(slice.rowCount(), 0);
}

// Joined parts: a change in one part is the same change of the joined rows, shifted; roles of the
// same number in two parts keep their own names.
TEST(JoinedRows, PassesEachPartsChangesThrough)
{
    QObject owner;
    KeyedRows<Item> *first = makeRows(&owner);
    KeyedRows<Item> *second = makeRows(&owner);
    QStringListModel middle({QStringLiteral("cards")});
    first->merge(itemsOf(QStringLiteral("ab")));
    second->merge(itemsOf(QStringLiteral("xyz")));
    JoinedRows joined;
    QAbstractItemModelTester tester(&joined, QAbstractItemModelTester::FailureReportingMode::Fatal);
    joined.setSources({first, &middle, second});
    ASSERT_EQ(joined.rowCount(), 6);
    const int part = joined.roleNames().key("part");
    const int title = joined.roleNames().key("title");
    const int display = joined.roleNames().key("display");
    EXPECT_EQ(joined.index(2).data(part).toInt(), 1);
    EXPECT_EQ(joined.index(2).data(display).toString(), "cards");
    EXPECT_EQ(joined.index(4).data(title).toString(), "title y");
    EXPECT_EQ(joined.rowOf(2, 1), 4);

    Recorder recorder(&joined);
    second->merge(itemsOf(QStringLiteral("xz")));
    first->merge(itemsOf(QStringLiteral("abc")));
    QList<Item> renamed = second->items();
    renamed[1].title = QStringLiteral("renamed");
    second->merge(renamed);
    EXPECT_EQ(recorder.take(), (QStringList{"-4..4", "+2..2", "~5..5"}));
    EXPECT_EQ(keysOf(joined).remove(QStringLiteral("cards")), "abcxz");
    EXPECT_EQ(joined.index(5).data(title).toString(), "renamed");
}

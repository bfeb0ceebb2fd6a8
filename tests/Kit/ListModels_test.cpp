#include "Kit/JoinedRows.h"
#include "Kit/GridRows.h"
#include "Kit/KeyedRows.h"
#include "Kit/ModelKeys.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStringListModel>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

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
// Afterwards the rows hold the merged list itself: a long catalogue is not kept twice.
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
        const QList<Item> next = step.edit(rows->items());
        rows->merge(next);
        EXPECT_EQ(rows->items().constData(), next.constData()) << "the rows share the list, not a copy of it";
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

// A grid over a keyed list: its rows are only ever added or removed at the end (the rows built,
// and the focus in them, stay), and each row's cards follow the source by key, whatever the source
// does (edits, a reload in another order, a reset) or the columns do.
TEST(GridRows, RowsChangeAtTheEndAndCardsFollowTheirItems)
{
    struct Step {
        const char *what;
        QString items; // the source's keys after the step
        int columns;
        QStringList rows; // each row's cards
        QStringList gridSignals;
    };
    const Step steps[] = {
        {"first answer", "abcdefg", 3, {"abc", "def", "g"}, {"+0..2"}},
        {"removal before a row", "acdefg", 3, {"acd", "efg"}, {"-2..2"}},
        {"one card more", "acdefgh", 3, {"acd", "efg", "h"}, {"+2..2"}},
        {"a card renamed only", "acdefgh", 3, {"acd", "efg", "h"}, {}},
        {"the first to the end", "cdefgha", 3, {"cde", "fgh", "a"}, {}},
        {"reversed", "ahgfedc", 3, {"ahg", "fed", "c"}, {}},
        {"two columns", "ahgfedc", 2, {"ah", "gf", "ed", "c"}, {"+3..3", "~0..3"}},
        {"all gone", "", 2, {}, {"-0..3"}},
    };
    QObject owner;
    KeyedRows<Item> *source = makeRows(&owner);
    GridRows grid;
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.setColumns(3);
    grid.setSource(source);
    // A row's cards, for every row there may be.
    std::vector<std::unique_ptr<GridRowCells>> cells;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
    for (int row = 0; row < 4; ++row) {
        cells.push_back(std::make_unique<GridRowCells>());
        cells.back()->setRow(row);
        cells.back()->setGrid(&grid);
        testers.push_back(std::make_unique<QAbstractItemModelTester>(
            cells.back().get(), QAbstractItemModelTester::FailureReportingMode::Fatal));
    }
    Recorder recorder(&grid);
    QSignalSpy reset(&grid, &QAbstractItemModel::modelReset);
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        QList<Item> items = itemsOf(step.items);
        if (QString::fromLatin1(step.what).contains(QLatin1String("renamed")))
            items[1].title = QStringLiteral("renamed");
        source->merge(items);
        grid.setColumns(step.columns);
        EXPECT_EQ(recorder.take(), step.gridSignals);
        EXPECT_TRUE(reset.isEmpty());
        ASSERT_EQ(grid.rowCount(), step.rows.size());
        for (int row = 0; row < int(cells.size()); ++row)
            EXPECT_EQ(keysOf(*cells[row]), row < step.rows.size() ? step.rows.at(row) : QString()) << "row " << row;
        for (int row = 0; row < grid.rowCount(); ++row)
            EXPECT_EQ(grid.index(row).data(GridRows::FirstRole).toInt(), row * step.columns);
    }
    // A long list reversed resets the source; the grid's rows stay and their cards follow.
    QList<Item> many;
    for (int i = 0; i < 300; ++i)
        many.append({QString::number(i), QString()});
    source->merge(many);
    grid.setColumns(2);
    recorder.take();
    QSignalSpy sourceReset(source, &QAbstractItemModel::modelReset);
    std::reverse(many.begin(), many.end());
    source->merge(many);
    EXPECT_EQ(sourceReset.count(), 1);
    EXPECT_TRUE(recorder.take().isEmpty());
    EXPECT_TRUE(reset.isEmpty());
    EXPECT_EQ(keysOf(*cells[1]), "297296");

    source->merge(itemsOf(QStringLiteral("abcde")));
    EXPECT_EQ(grid.rowOfKey(QStringLiteral("e")), 2);
    EXPECT_EQ(grid.rowOfKey(QStringLiteral("z")), -1);
    EXPECT_EQ(modelkeys::rowOfKey(&grid, QStringLiteral("c")), 1);
}

// A card's roles are its item's; a change of one item is told by the row that shows it only.
TEST(GridRows, ACardReadsItsItemAndHearsOfItsChanges)
{
    QObject owner;
    KeyedRows<Item> *source = makeRows(&owner);
    source->merge(itemsOf(QStringLiteral("abcdef")));
    GridRows grid;
    grid.setColumns(2);
    grid.setSource(source);
    GridRowCells first;
    first.setGrid(&grid);
    GridRowCells second;
    second.setGrid(&grid);
    second.setRow(1);
    EXPECT_EQ(second.index(1).data(TitleRole).toString(), "title d");
    Recorder firstSeen(&first);
    Recorder secondSeen(&second);
    QList<Item> renamed = source->items();
    renamed[3].title = QStringLiteral("renamed");
    source->merge(renamed);
    EXPECT_TRUE(firstSeen.take().isEmpty());
    EXPECT_EQ(secondSeen.take(), QStringList{"~1..1"});
    EXPECT_EQ(second.index(1).data(TitleRole).toString(), "renamed");
    grid.setSource(nullptr);
    EXPECT_EQ(grid.rowCount(), 0);
    EXPECT_EQ(second.rowCount(), 0);
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

    // A part that starts over takes away and brings back its own rows only.
    QSignalSpy reset(&joined, &QAbstractItemModel::modelReset);
    middle.setStringList({QStringLiteral("other"), QStringLiteral("cards")});
    EXPECT_EQ(recorder.take(), (QStringList{"-3..3", "+3..4"}));
    EXPECT_TRUE(reset.isEmpty());
    EXPECT_EQ(joined.rowOfKey(QStringLiteral("z")), 6);
    EXPECT_EQ(joined.rowOfKey(QStringLiteral("c")), 2);
    EXPECT_EQ(joined.rowOfKey(QStringLiteral("nothing")), -1);
    EXPECT_EQ(modelkeys::keyAt(&joined, 5), "x");
    EXPECT_EQ(modelkeys::keyAt(&joined, 3), QString());
}

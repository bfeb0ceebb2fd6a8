#include "Kit/SegmentedRows.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// (segment, position) of every row, in order.
QList<QPair<int, int>> rowsOf(const SegmentedRows &model)
{
    QList<QPair<int, int>> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row);
        rows.append({model.data(index, SegmentedRows::SegmentRole).toInt(),
                     model.data(index, SegmentedRows::PositionRole).toInt()});
    }
    return rows;
}

} // namespace

// A change of one segment's count touches only that segment's end: the rows of the others are
// never removed (their delegates, and the focus in them, stay), and every step stays consistent.
TEST(SegmentedRows, ChangesOnlyTheEndOfTheSegmentThatChanged)
{
    struct Step {
        QList<int> counts;
        int inserted; // rows inserted by the step
        int removed;  // rows removed
        bool reset;
    };
    const Step steps[] = {
        {{0, 1, 0}, 0, 0, true},   // a new shape: reset
        {{3, 1, 0}, 3, 0, false},  // the grid arrives before the cards
        {{3, 1, 5}, 5, 0, false},  // results after them
        {{2, 1, 2}, 0, 4, false},  // both shrink at their ends
        {{4, 1, 2}, 2, 0, false},
        {{4, 1, 2}, 0, 0, false},  // no change, no signal
        {{-3, 1, 0}, 0, 6, false}, // negative reads as none
    };
    SegmentedRows model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    for (const Step &step : steps) {
        SCOPED_TRACE(testing::PrintToString(std::vector<int>(step.counts.begin(), step.counts.end())));
        inserted.clear();
        removed.clear();
        reset.clear();
        model.setCounts(step.counts);
        int in = 0, out = 0;
        for (const auto &args : inserted)
            in += args.at(2).toInt() - args.at(1).toInt() + 1;
        for (const auto &args : removed)
            out += args.at(2).toInt() - args.at(1).toInt() + 1;
        EXPECT_EQ(in, step.inserted);
        EXPECT_EQ(out, step.removed);
        EXPECT_EQ(!reset.isEmpty(), step.reset);

        QList<QPair<int, int>> expected;
        for (int segment = 0; segment < step.counts.size(); ++segment)
            for (int position = 0; position < std::max(0, step.counts.at(segment)); ++position)
                expected.append({segment, position});
        EXPECT_EQ(rowsOf(model), expected);
    }
    model.setCounts({2, 1, 3});
    EXPECT_EQ(model.rowOf(1, 0), 2);
    EXPECT_EQ(model.rowOf(2, 1), 4);
    EXPECT_EQ(model.rowOf(2, 3), -1);
    EXPECT_EQ(model.rowOf(3, 0), -1);
}

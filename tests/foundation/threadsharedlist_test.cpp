#include "foundation/threadsharedlist.h"

#include <gtest/gtest.h>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {
struct Item {
    explicit Item(int v, std::atomic<int>* alive = nullptr) : value(v), counter(alive)
    {
        if (counter)
            ++*counter;
    }
    ~Item()
    {
        if (counter)
            --*counter;
    }
    int value;
    std::atomic<int>* counter;
};

using List = TNBaseThreadSharedList<Item>;

bool IsSet(TNEvent* e)
{
    return e && e->IsSet();
}
}  // namespace

TEST(ThreadSharedList, NewListIsEmptyAndLow)
{
    List list(false, true, true, true, 1, true, 2);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetItem(0), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
    EXPECT_TRUE(IsSet(list.EmptyEvent()));
    EXPECT_TRUE(IsSet(list.LowEvent()));
    EXPECT_FALSE(IsSet(list.ItemsEvent()));
    EXPECT_FALSE(IsSet(list.HighEvent()));
    EXPECT_EQ(list.WaitForItems(0), wrTimeout);
}

TEST(ThreadSharedList, HighAndLowMarksGiveHysteresis)
{
    List list(true, true, true, true, 1, true, 2);
    Item* a = new Item(1);
    Item* b = new Item(2);
    Item* c = new Item(3);
    list.BeginWrite();
    EXPECT_EQ(list.Add(a), 0);
    EXPECT_TRUE(IsSet(list.ItemsEvent()));
    EXPECT_FALSE(IsSet(list.EmptyEvent()));
    EXPECT_TRUE(IsSet(list.LowEvent()));  // 1 is at the low mark
    EXPECT_FALSE(IsSet(list.HighEvent()));
    EXPECT_EQ(list.Add(b), 1);
    EXPECT_TRUE(IsSet(list.HighEvent()));
    EXPECT_FALSE(IsSet(list.LowEvent()));
    EXPECT_EQ(list.Add(c), 2);

    list.Delete(2);  // back to two, then to one: Delete leaves High alone
    list.Delete(1);
    EXPECT_TRUE(IsSet(list.HighEvent()));
    EXPECT_TRUE(IsSet(list.LowEvent()));
    Item* d = new Item(4);
    list.Add(d);
    EXPECT_EQ(list.Remove(d), 1);  // Remove below the high mark resets it
    EXPECT_FALSE(IsSet(list.HighEvent()));
    EXPECT_EQ(list.WaitForItems(0), wrSignaled);
    EXPECT_THROW(list.Delete(5), EListError);
    EXPECT_EQ(list.GetItem(0), a);
    list.EndWrite();
}

TEST(ThreadSharedList, RemovingAnAbsentItemStillUpdatesTheEvents)
{
    List list(false, true, true, true, 10, true, 50);
    // On the heap: a list that might delete its items is never handed a
    // stack object.
    const auto stranger = std::make_unique<Item>(0);
    list.BeginWrite();
    list.Add(stranger.get());
    list.Clear();  // Clear does not touch High
    list.EmptyEvent()->ResetEvent();
    EXPECT_EQ(list.Remove(stranger.get()), -1);
    EXPECT_TRUE(IsSet(list.EmptyEvent()));
    list.EndWrite();
}

TEST(ThreadSharedList, OwningListFreesItsItemsNonOwningDoesNot)
{
    std::atomic<int> alive{0};
    const auto kept = std::make_unique<Item>(9, &alive);
    {
        List owning(true, false, false, false, 10, false, 50);
        owning.Add(new Item(1, &alive));
        Item* removed = new Item(2, &alive);
        owning.Add(removed);
        owning.Add(new Item(3, &alive));
        EXPECT_EQ(alive, 4);
        owning.Remove(removed);
        owning.Delete(0);
        EXPECT_EQ(alive, 2);
        List referring(false, false, false, false, 10, false, 50);
        referring.Add(kept.get());
        referring.Clear();
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(owning.WaitForItems(0), wrError);  // made without the items event
    }
    EXPECT_EQ(alive, 1);
}

TEST(ThreadSharedList, ConsumerWakesOnItemsFromProducers)
{
    List list(true, true, true, false, 10, false, 50);
    EXPECT_EQ(list.WaitForItems(20), wrTimeout);
    constexpr int Producers = 4;
    constexpr int PerProducer = 500;
    std::atomic<int> consumed{0};
    std::atomic<int> sum{0};
    std::thread consumer([&] {
        while (consumed < Producers * PerProducer) {
            if (list.WaitForItems(5000) != wrSignaled)
                break;
            TNWriteGuard guard(list.Lock());
            while (list.Count() > 0) {
                sum += list.GetItem(0)->value;
                list.Delete(0);
                ++consumed;
            }
        }
    });
    std::vector<std::thread> producers;
    for (int p = 0; p < Producers; ++p)
        producers.emplace_back([&] {
            for (int i = 1; i <= PerProducer; ++i) {
                list.BeginWrite();
                list.Add(new Item(i));
                list.EndWrite();
                list.BeginRead();
                EXPECT_GE(list.Count(), 0);
                list.EndRead();
            }
        });
    for (auto& p : producers)
        p.join();
    consumer.join();
    EXPECT_EQ(consumed, Producers * PerProducer);
    EXPECT_EQ(sum, Producers * PerProducer * (PerProducer + 1) / 2);
    EXPECT_EQ(list.WaitForItems(0), wrTimeout);
    EXPECT_TRUE(IsSet(list.EmptyEvent()));
}

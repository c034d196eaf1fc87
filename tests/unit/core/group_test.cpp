// Group: positions, clamping, ownership, allocation failure, and a randomized
// comparison against std::list.
#include <gtest/gtest.h>

#include <iterator>
#include <list>
#include <random>

#include "core/group.h"

namespace tavelin {
namespace {

int items[16];
void* Item(int i) { return &items[i]; }

std::vector<void*> Contents(Group& g) {
    std::vector<void*> out;
    for (uint32_t i = 0; i < g.GetCount(); ++i) out.push_back(g.GetAt(i));
    return out;
}

void Fill(Group& g, int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(g.Add(Item(i)));
}

TEST(Group, AddToEmptyAtAnyPositionGivesOneItem) {
    for (uint32_t position : {0u, 1u, 5u, Group::kAppend}) {
        Group g;
        ASSERT_TRUE(g.Add(Item(0), position));
        EXPECT_EQ(g.GetCount(), 1u);
        EXPECT_EQ(g.GetAt(0), Item(0));
        EXPECT_EQ(g.GetAt(9), Item(0));
    }
}

TEST(Group, AddPlacesItemAtPositionAndClampsPastEnd) {
    Group g;
    Fill(g, 4);
    ASSERT_TRUE(g.Add(Item(10), 2));
    EXPECT_EQ(Contents(g), (std::vector<void*>{Item(0), Item(1), Item(10), Item(2), Item(3)}));
    ASSERT_TRUE(g.Add(Item(11), 0));
    EXPECT_EQ(g.GetAt(0), Item(11));
    ASSERT_TRUE(g.Add(Item(12), 99));
    ASSERT_TRUE(g.Add(Item(13)));
    EXPECT_EQ(g.GetCount(), 8u);
    EXPECT_EQ(g.GetAt(6), Item(12));
    EXPECT_EQ(g.GetAt(7), Item(13));
}

TEST(Group, RemoveAtReturnsItemsAndClampsPastEnd) {
    Group g;
    Fill(g, 3);
    EXPECT_EQ(g.RemoveAt(7), Item(2));
    EXPECT_EQ(g.RemoveAt(0), Item(0));
    EXPECT_EQ(g.RemoveAt(0), Item(1));
    EXPECT_EQ(g.GetCount(), 0u);
    EXPECT_EQ(g.RemoveAt(0), nullptr);
    EXPECT_EQ(g.GetAt(0), nullptr);
    // Usable again after being emptied.
    ASSERT_TRUE(g.Add(Item(5)));
    EXPECT_EQ(g.GetAt(0), Item(5));
}

TEST(Group, RemoveFromMiddleKeepsBothLinksRight) {
    Group g;
    Fill(g, 5);
    EXPECT_EQ(g.RemoveAt(2), Item(2));
    EXPECT_EQ(Contents(g), (std::vector<void*>{Item(0), Item(1), Item(3), Item(4)}));
    EXPECT_EQ(g.RemoveAt(3), Item(4)); // the new tail must still link back
    EXPECT_EQ(g.RemoveAt(2), Item(3));
    EXPECT_EQ(Contents(g), (std::vector<void*>{Item(0), Item(1)}));
}

TEST(Group, GetAtPastEndGivesLast) {
    Group g;
    Fill(g, 3);
    EXPECT_EQ(g.GetAt(5), Item(2));
    EXPECT_EQ(g.GetAt(0xFFFFFFFFu), Item(2));
}

TEST(Group, DestructionLeavesItemsToTheirOwner) {
    auto* owned = new int(42);
    {
        Group g;
        ASSERT_TRUE(g.Add(owned));
        ASSERT_TRUE(g.Add(owned));
    }
    EXPECT_EQ(*owned, 42); // still valid; ASan would catch a free
    delete owned;
}

TEST(Group, FailedAllocationLeavesGroupUnchanged) {
    Group g;
    Fill(g, 3);
    int allowed = 1;
    g.SetAllocationGate([](void* c) { return (*static_cast<int*>(c))-- > 0; }, &allowed);
    EXPECT_TRUE(g.Add(Item(7), 1));
    EXPECT_FALSE(g.Add(Item(8), 1));
    EXPECT_FALSE(g.Add(Item(8)));
    EXPECT_EQ(Contents(g), (std::vector<void*>{Item(0), Item(7), Item(1), Item(2)}));
}

// Thousands of mixed operations, including the cached ascending walk, checked
// against std::list after every step.
TEST(Group, MatchesStdListOverRandomOperations) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        Group g;
        std::list<void*> model;
        for (int step = 0; step < 3000; ++step) {
            const uint32_t n = static_cast<uint32_t>(model.size());
            const uint32_t position = rng() % (n + 3);
            const uint32_t clamped = n == 0 ? 0 : std::min(position, n - 1);
            switch (rng() % 5) {
            case 0:
            case 1: {
                void* item = Item(static_cast<int>(rng() % 16));
                ASSERT_TRUE(g.Add(item, position));
                model.insert(std::next(model.begin(), std::min(position, n)), item);
                break;
            }
            case 2: {
                void* got = g.RemoveAt(position);
                if (n == 0) {
                    ASSERT_EQ(got, nullptr);
                } else {
                    auto it = std::next(model.begin(), clamped);
                    ASSERT_EQ(got, *it);
                    model.erase(it);
                }
                break;
            }
            default: {
                void* got = g.GetAt(position);
                ASSERT_EQ(got, n == 0 ? nullptr : *std::next(model.begin(), clamped));
            }
            }
            ASSERT_EQ(g.GetCount(), model.size());
            if (step % 97 == 0) {
                ASSERT_EQ(Contents(g), std::vector<void*>(model.begin(), model.end())) << "seed " << seed;
                // A descending walk must not be misled by the cursor either.
                auto it = model.rbegin();
                for (uint32_t i = g.GetCount(); i-- > 0; ++it) ASSERT_EQ(g.GetAt(i), *it);
            }
        }
    }
}

} // namespace
} // namespace tavelin

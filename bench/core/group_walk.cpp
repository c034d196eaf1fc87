// Walking a Group by position from 0 upwards, as start-up and the day cache do:
// the time per item must stay flat from 1,000 to 100,000 items.
#include <benchmark/benchmark.h>

#include <list>
#include <vector>

#include "core/group.h"

namespace {

void BM_AscendingWalk(benchmark::State& state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<int> items(n);
    tavelin::Group group;
    for (uint32_t i = 0; i < n; ++i) group.Add(&items[i]);
    for (auto _ : state) {
        for (uint32_t i = 0; i < group.GetCount(); ++i) benchmark::DoNotOptimize(group.GetAt(i));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_AscendingWalk)->Arg(1000)->Arg(10000)->Arg(100000);

// The peer: std::list walked by iterator, the floor for any linked list.
void BM_StdListWalk(benchmark::State& state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<int> items(n);
    std::list<void*> list;
    for (uint32_t i = 0; i < n; ++i) list.push_back(&items[i]);
    for (auto _ : state) {
        for (void* item : list) benchmark::DoNotOptimize(item);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_StdListWalk)->Arg(1000)->Arg(10000)->Arg(100000);

// Start-up's hand-over: read every item by position, then empty with RemoveAt(0).
void BM_WalkThenDrain(benchmark::State& state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<int> items(n);
    for (auto _ : state) {
        tavelin::Group group;
        for (uint32_t i = 0; i < n; ++i) group.Add(&items[i]);
        for (uint32_t i = 0; i < group.GetCount(); ++i) benchmark::DoNotOptimize(group.GetAt(i));
        while (group.GetCount() > 0) benchmark::DoNotOptimize(group.RemoveAt(0));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_WalkThenDrain)->Arg(1000)->Arg(10000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();

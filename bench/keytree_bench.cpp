// The ordered map against std::map: a million ascending-key inserts (how the listing and
// list-view maps fill, the worst case for a depth-limited tree: a balanced rebuild about
// every 500 inserts) and a million finds of random present keys in a balanced tree.
#include "base/keytree.h"

#include <benchmark/benchmark.h>

#include <map>
#include <random>
#include <vector>

namespace {

constexpr i32 kEntries = 1000000;

// 0..kEntries-1 in an order that builds a balanced tree without rebuilds (each range's
// middle before its halves), so that the find benchmarks set up quickly.
void AppendBalancedOrder(i32 low, i32 high, std::vector<i32>& order)
{
    if (low >= high) {
        return;
    }
    i32 middle = low + (high - low) / 2;
    order.push_back(middle);
    AppendBalancedOrder(low, middle, order);
    AppendBalancedOrder(middle + 1, high, order);
}

std::vector<i32> BalancedInsertOrder()
{
    std::vector<i32> order;
    order.reserve(kEntries);
    AppendBalancedOrder(0, kEntries, order);
    return order;
}

std::vector<i32> RandomPresentKeys()
{
    std::mt19937 random(42);
    std::vector<i32> keys(kEntries);
    for (i32& key : keys) {
        key = static_cast<i32>(random() % kEntries);
    }
    return keys;
}

void KeyTreeAscendingInserts(benchmark::State& state)
{
    for (auto _ : state) {
        _keytree<i32, i32> tree;
        for (i32 key = 0; key < kEntries; ++key) {
            *tree.GetOrAdd(key) = key;
        }
        benchmark::DoNotOptimize(tree.Last());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

void StdMapAscendingInserts(benchmark::State& state)
{
    for (auto _ : state) {
        std::map<i32, i32> map;
        for (i32 key = 0; key < kEntries; ++key) {
            map[key] = key;
        }
        benchmark::DoNotOptimize(map.rbegin());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

void KeyTreeRandomFinds(benchmark::State& state)
{
    _keytree<i32, i32> tree;
    for (i32 key : BalancedInsertOrder()) {
        *tree.GetOrAdd(key) = key;
    }
    std::vector<i32> keys = RandomPresentKeys();
    for (auto _ : state) {
        i64 sum = 0;
        for (i32 key : keys) {
            sum += *tree.FindIntKeyValue(key);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

void StdMapRandomFinds(benchmark::State& state)
{
    std::map<i32, i32> map;
    for (i32 key : BalancedInsertOrder()) {
        map[key] = key;
    }
    std::vector<i32> keys = RandomPresentKeys();
    for (auto _ : state) {
        i64 sum = 0;
        for (i32 key : keys) {
            sum += map.find(key)->second;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

} // namespace

BENCHMARK(KeyTreeAscendingInserts)->Unit(benchmark::kMillisecond);
BENCHMARK(StdMapAscendingInserts)->Unit(benchmark::kMillisecond);
BENCHMARK(KeyTreeRandomFinds)->Unit(benchmark::kMillisecond);
BENCHMARK(StdMapRandomFinds)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

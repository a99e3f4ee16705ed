// How long the download workers leave a request waiting, against a server on 127.0.0.1: ten
// queued requests fetched one after another (a worker that paused between them would add the
// pause each time), and one request handed to a worker that sits idle (AddRequest wakes it).
//
//   build/bench/url_get_bench
#include "loopback_server.h"
#include "url_get/core/url_get_manager.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

using std::chrono::duration;

// The time from the first request's arrival to the last's, per request after the first.
void BM_QueuedRequestsBackToBack(benchmark::State& state) {
    constexpr int kRequests = 10;
    for (auto _ : state) {
        LoopbackServer server;
        CUrlGetManager manager;
        for (int i = 0; i < kRequests; ++i) {
            manager.AddRequest(server.Url("/queued-" + std::to_string(i)), i);
        }
        manager.Start(1);
        const auto arrivals = server.WaitForArrivals(kRequests);
        if (arrivals.size() != kRequests) {
            state.SkipWithError("not every request arrived");
            break;
        }
        const duration<double> gap = arrivals.back().when - arrivals.front().when;
        state.SetIterationTime(gap.count() / (kRequests - 1));
    }
}

// From AddRequest to the request's arrival at the server, with the worker idle before.
void BM_IdleWorkerPickUp(benchmark::State& state) {
    LoopbackServer server;
    CUrlGetManager manager;
    manager.Start(1);
    std::size_t sent = 0;
    for (auto _ : state) {
        const auto queued = std::chrono::steady_clock::now();
        manager.AddRequest(server.Url("/idle"), 0);
        const auto arrivals = server.WaitForArrivals(++sent);
        if (arrivals.size() != sent) {
            state.SkipWithError("the request did not arrive");
            break;
        }
        state.SetIterationTime(duration<double>(arrivals.back().when - queued).count());
    }
}

} // namespace

BENCHMARK(BM_QueuedRequestsBackToBack)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleWorkerPickUp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

BENCHMARK_MAIN();

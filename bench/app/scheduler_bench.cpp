// What it costs to complete an active object and have the loop run it, against the floor of any
// such hand-over: one push and one pop on a mutex-protected deque.
#include <benchmark/benchmark.h>
#include <time.h>

#include <deque>
#include <mutex>

#include "core/active.h"
#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"

namespace {

struct Ready final : CActive {
    long runs = 0;
    void run() override { ++runs; }
    void do_cancel() override {}
};

constexpr int batch = 1000;

// Thread CPU time: other processes on a busy machine preempt us, and wall time would count that.
double cpu_ns() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double bare_queue_ns(std::deque<void*>& queue, std::mutex& mutex, void* item) {
    const double start = cpu_ns();
    for (int i = 0; i < batch; ++i) {
        {
            std::lock_guard lock(mutex);
            queue.push_back(item);
        }
        void* taken;
        {
            std::lock_guard lock(mutex);
            taken = queue.front();
            queue.pop_front();
        }
        benchmark::DoNotOptimize(taken);
    }
    return (cpu_ns() - start) / batch;
}

double notify_run_ns(PlainEventLoop& loop, CActiveScheduler& scheduler, Ready& object) {
    const double start = cpu_ns();
    for (int i = 0; i < batch; ++i) {
        object.set_active();
        scheduler.notify(object);
        loop.run_until_idle();
    }
    return (cpu_ns() - start) / batch;
}

void BM_NotifyRunVersusBareQueue(benchmark::State& state) {
    PlainEventLoop loop;
    CActiveScheduler scheduler(loop);
    Ready object;
    std::deque<void*> queue;
    std::mutex mutex;
    double bare = 0, ours = 0;
    for (auto _ : state) {
        // Interleaved so that both see the same machine conditions.
        bare += bare_queue_ns(queue, mutex, &object);
        ours += notify_run_ns(loop, scheduler, object);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["bare_queue_ns"] = bare / iterations;
    state.counters["notify_run_ns"] = ours / iterations;
    state.counters["ratio"] = ours / bare;
}
BENCHMARK(BM_NotifyRunVersusBareQueue)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

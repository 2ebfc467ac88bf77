// The receive path from bytes to handlers: decoding, framing and dispatch.
// Goals: one 5 MB arrival at 200 MB/s or more, and at least 100 times the
// speed of the step-by-step procedure that copies the rest after every
// message.
#include "base/wire_codec.h"
#include "net/dispatcher.h"
#include "net/receive_buffer.h"

// The step-by-step reference, from the tests' core kit.
#include "literal_receive_buffer.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int Messages = 50'000;
const QByteArray Report = QByteArrayLiteral(
    ":RPT|R: Nickel size hail, wind 60 mph|KS|SEDGWICK|67202|SPOTTER|WICHITA|12/6/2026 6:44:52 PM|^");

const QByteArray &oneArrival()
{
    static const QByteArray bytes = Report.repeated(Messages);
    return bytes;
}

// Every code goes to a handler that only counts.
struct Handlers
{
    Dispatcher dispatcher;
    long long count = 0;
    Handlers()
    {
        for (const char16_t *code : Dispatcher::Codes)
            dispatcher.setHandler(code, [this](const QString &) { ++count; });
    }
};

template <typename Buffer> void runOneArrival(benchmark::State &state)
{
    Handlers handlers;
    const QByteArray &bytes = oneArrival();
    for (auto _ : state) {
        Buffer buffer([&handlers](const QString &m) { handlers.dispatcher.dispatch(m); });
        buffer.Append(WireCodec::decode(bytes));
        benchmark::DoNotOptimize(buffer.size());
    }
    if (handlers.count != Messages * state.iterations())
        state.SkipWithError("messages lost");
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_OneArrival(benchmark::State &state)
{
    runOneArrival<ReceiveBuffer>(state);
}
BENCHMARK(BM_OneArrival)->Unit(benchmark::kMillisecond);

void BM_ManyArrivals(benchmark::State &state)
{
    Handlers handlers;
    ReceiveBuffer buffer([&handlers](const QString &m) { handlers.dispatcher.dispatch(m); });
    for (auto _ : state) {
        for (int i = 0; i < Messages; ++i)
            buffer.Append(WireCodec::decode(Report));
    }
    if (handlers.count != Messages * state.iterations())
        state.SkipWithError("messages lost");
    state.SetBytesProcessed(state.iterations() * Messages * Report.size());
}
BENCHMARK(BM_ManyArrivals)->Unit(benchmark::kMillisecond);

void BM_OneArrivalStepByStep(benchmark::State &state)
{
    runOneArrival<LiteralReceiveBuffer>(state);
}
BENCHMARK(BM_OneArrivalStepByStep)->Unit(benchmark::kMillisecond)->Iterations(1);

// Keeps the seconds per iteration of every run for the summary lines.
class Recorder : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> secondsPerIteration;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred)
                secondsPerIteration[run.run_name.function_name] =
                    run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    const double fast = recorder.secondsPerIteration["BM_OneArrival"];
    const double literal = recorder.secondsPerIteration["BM_OneArrivalStepByStep"];
    const double mbps = fast > 0 ? double(oneArrival().size()) / fast / 1e6 : 0;
    const double speedup = fast > 0 ? literal / fast : 0;
    std::printf("receive_path one_arrival_MBps=%.1f\n", mbps);
    std::printf("receive_path speedup_vs_literal=%.1f\n", speedup);
    return 0;
}

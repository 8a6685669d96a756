// How long a whole simulated installer start-up takes in real time, against
// the virtual time it covers (which includes the two-second spooler wait).
#include <benchmark/benchmark.h>

#include "tests/support/sim_session.h"

namespace {

void InstallerStartUp(benchmark::State& state) {
  std::int64_t virtualMs = 0;
  for (auto _ : state) {
    auto machine = test::MakeMachine("xp");
    benchmark::DoNotOptimize(test::RunInstaller(*machine));
    virtualMs = machine->clock.Now();
  }
  state.counters["virtual_ms"] = static_cast<double>(virtualMs);
}
BENCHMARK(InstallerStartUp)->Unit(benchmark::kMillisecond);

void MachineFromPreset(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(test::MakeMachine("win7-64"));
}
BENCHMARK(MachineFromPreset)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

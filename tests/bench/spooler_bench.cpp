// How the time of EnumPrintersA (level 2) grows with the number of local
// printers: the counter "us_per_1000_printers" stays flat when it grows
// linearly.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_machine.h"

namespace {

std::unique_ptr<sim::SimMachine> MachineWithPrinters(int count) {
  nlohmann::json printers = nlohmann::json::array();
  for (int i = 0; i < count; ++i) {
    printers.push_back({{"name", "Printer " + std::to_string(i)},
                        {"port", "LPT1:"},
                        {"driver", "Bench Driver"},
                        {"data", {{"MajorVersion", 1}}}});
  }
  nlohmann::json spooler = {
      {"drivers",
       {{{"name", "Bench Driver"}, {"driver", "B.DLL"}, {"dataFile", "B.GPD"}, {"configFile", "BUI.DLL"}}}},
      {"printers", printers}};
  return std::make_unique<sim::SimMachine>(nlohmann::json{{"preset", "xp"}, {"spooler", spooler}});
}

void EnumPrinters(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  auto machine = MachineWithPrinters(count);
  auto process = machine->EnterProcess("C:\\bench.exe", nullptr);
  win::Spooler& spooler = process->platform().spooler;
  std::vector<win::PRINTER_INFO_2> printers;
  for (auto _ : state) {
    spooler.EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, &printers);
    benchmark::DoNotOptimize(printers.data());
  }
  if (printers.size() != static_cast<std::size_t>(count)) state.SkipWithError("printers missing");
  // Microseconds per 1,000 printers of one enumeration: the inverted rate of
  // (count / 1e9) per iteration and second is seconds / iteration * 1e9 / count.
  state.counters["us_per_1000_printers"] = benchmark::Counter(
      count / 1e9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  machine->LeaveProcess(*process);
}
BENCHMARK(EnumPrinters)->Arg(1000)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

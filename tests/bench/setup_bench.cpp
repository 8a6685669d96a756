// How the INF store scales: a store of N OEM INF files is listed with
// SetupGetInfFileListA, then every file is opened and searched for one line,
// as the programs' OEM INF scan does. "per_1000_infs" should stay flat
// from 2,500 to 5,000 files when the work grows linearly.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/setup.h"
#include "platform/sim/setup_store.h"
#include "platform/sim/sim_machine.h"

namespace {

std::string OemInf(int number) {
  return "; OEM package " + std::to_string(number) +
         "\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
         "Provider=%Maker%\r\n\r\n[Manufacturer]\r\n%Maker%=Models,NTamd64\r\n\r\n"
         "[Models]\r\n\"Model " + std::to_string(number) + "\" = Install, USBPRINT\\M" +
         std::to_string(number) + "\r\n\r\n[Install]\r\nCopyFiles=Files\r\n\r\n"
         "[Files]\r\nunidrv.dll\r\nmodel.gpd\r\n\r\n[Strings]\r\nMaker=\"Maker\"\r\n";
}

void ScanOemInfs(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  sim::SimMachine machine(nlohmann::json{{"preset", "xp"}});
  for (int number = 0; number < count; ++number) {
    machine.setupStore->PutInf("oem" + std::to_string(number) + ".inf", OemInf(number));
  }
  auto process = machine.EnterProcess("C:\\QPR730\\bench.exe", nullptr);
  win::SetupApi& setup = process->platform().setup;
  const std::string wanted = "Model " + std::to_string(count - 1);

  int found = 0;
  for (auto _ : state) {
    win::DWORD size = 0;
    setup.SetupGetInfFileListA(nullptr, win::INF_STYLE_WIN4, nullptr, 0, &size);
    std::vector<char> list(size);
    setup.SetupGetInfFileListA(nullptr, win::INF_STYLE_WIN4, list.data(), size, &size);
    found = 0;
    for (const char* name = list.data(); *name; name += std::strlen(name) + 1) {
      if (std::strncmp(name, "oem", 3) != 0) continue;
      win::HINF inf = setup.SetupOpenInfFileA(name, nullptr, 3, nullptr);
      win::INFCONTEXT context{};
      if (setup.SetupFindFirstLineA(inf, "Models", wanted.c_str(), &context)) ++found;
      setup.SetupCloseInfFile(inf);
    }
    benchmark::DoNotOptimize(found);
  }
  machine.LeaveProcess(*process);
  if (found != 1) state.SkipWithError("the searched line was not found exactly once");
  // Time per 1,000 INF files.
  state.counters["per_1000_infs"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * count / 1000.0,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["infs"] = count;
}
BENCHMARK(ScanOemInfs)->Arg(2500)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

#include <gtest/gtest.h>

#include "common/printer_driver_check.h"
#include "common/system_control.h"
#include "tests/support/sim_session.h"

namespace {

nlohmann::json WithDriver(const std::string& name) {
  return {{"preset", "xp"},
          {"spooler",
           {{"drivers",
             {{{"name", name}, {"driver", "UNIDRV.DLL"}, {"dataFile", "QPR730.GPD"},
               {"configFile", "UNIDRVUI.DLL"}}}}}}};
}

struct DriverCase {
  nlohmann::json machine;
  bool stopSpooler;
  bool exists;
};

TEST(PrinterDrvExist, AnswersFromTheDriverEnumeration) {
  const std::vector<DriverCase> cases = {
      {WithDriver("HALVORN QPR-730"), false, true},
      {{{"preset", "xp"}}, false, false},
      {WithDriver("Halvorn QPR-730"), false, false},  // another letter case is another driver
      {WithDriver("HALVORN QPR-730"), true, false},   // enumeration fails: counts as absent
  };
  for (const DriverCase& c : cases) {
    SCOPED_TRACE(c.machine.dump());
    auto machine = test::MakeMachine(c.machine);
    test::StepSession s(*machine);
    if (c.stopSpooler) StopSpooler(s.platform.kernel, 1500);
    s.log.InitLog();
    EXPECT_EQ(PrinterDrvExist(s.platform, s.log, "HALVORN QPR-730", nullptr), c.exists);
    EXPECT_EQ(s.LogTexts(), (std::vector<std::string>{
                                "", "", "PrinterDrvExist BEGIN",
                                c.exists ? "HALVORN QPR-730 PRINTER DRIVER EXISTS."
                                         : "HALVORN QPR-730 PRINTER DRIVER DOES NOT EXIST.",
                                "PrinterDrvExist END"}));
  }
}

}  // namespace

// Fault sweep: every public operation is run once to learn which platform calls it makes, then
// again with each of those calls failing in turn and with each text left unwritten. Whatever
// fails, every handle is closed once, services before managers, and the operation ends with its
// documented result or a clean automation error.
#include "model/clsServices.h"

#include "tests/support/SimulatedPlatform.h"
#include "tests/support/TestSupport.h"

#include <functional>
#include <map>
#include <optional>
#include <variant>

using namespace tobrunel;
using namespace tobrunel::scm;
using namespace tobrunel::testing_support;

namespace {

// Outcome: the Boolean an operation returned, nothing for a setter, or the automation error.
using Outcome = std::variant<std::monostate, bool, std::int32_t>;

struct Failed {
    std::string function;
    int occurrence; // 1 for the first call of that function within the operation
};

struct Scenario {
    const char* name;
    // Runs the operation on a fresh platform after the switches are set; `prepare` runs first
    // and its platform calls are not part of the sweep.
    std::function<Outcome(const std::shared_ptr<SimulatedServiceManager>&,
                          const std::function<void()>& arm)>
        run;
    // The outcome the operation owes when `failed` fails; nullopt when any clean one will do.
    std::function<std::optional<Outcome>(const Failed&)> expected;
};

void PrintTo(const Scenario& scenario, std::ostream* os) {
    *os << scenario.name;
}

void populate(SimulatedServiceManager& platform) {
    auto spooler = runningService("Spooler", "Print Spooler");
    spooler.dependencies = std::string("RPCSS\0+Group\0\0", 14);
    platform.addService(spooler);
    platform.addService(stoppedService("Idle", "Idle Service"));
    auto paused = runningService("Resting", "Resting Service");
    paused.status.dwCurrentState = 7;
    platform.addService(paused);
}

Outcome guarded(const std::function<Outcome()>& operation) {
    try {
        return operation();
    } catch (const AutomationError& error) {
        return error.number();
    }
}

std::shared_ptr<clsService> loaded(const std::shared_ptr<SimulatedServiceManager>& platform,
                                   const char16_t* name) {
    auto service = std::make_shared<clsService>(platform);
    service->Name(name);
    return service;
}

Scenario serviceScenario(const char* name, const char16_t* target,
                         std::function<Outcome(clsService&)> operation,
                         std::function<std::optional<Outcome>(const Failed&)> expected) {
    return Scenario{name,
                    [=](const std::shared_ptr<SimulatedServiceManager>& platform,
                        const std::function<void()>& arm) {
                        auto service = loaded(platform, target);
                        arm();
                        return guarded([&] { return operation(*service); });
                    },
                    std::move(expected)};
}

Scenario collectionScenario(const char* name, std::function<Outcome(clsServices&)> operation,
                            std::function<std::optional<Outcome>(const Failed&)> expected) {
    return Scenario{name,
                    [=](const std::shared_ptr<SimulatedServiceManager>& platform,
                        const std::function<void()>& arm) {
                        clsServices services(platform);
                        arm();
                        return guarded([&] { return operation(services); });
                    },
                    std::move(expected)};
}

// A service refresh fails only in its status phase: the first manager, service and query.
std::optional<Outcome> refreshExpectation(const Failed& failed) {
    const bool statusPhase = failed.occurrence == 1 && failed.function != "QueryServiceConfigA";
    return Outcome{!statusPhase};
}

std::optional<Outcome> falseOnAnyFailure(const Failed&) {
    return Outcome{false};
}

std::vector<Scenario> scenarios() {
    return {
        serviceScenario(
            "Refresh", u"Spooler", [](clsService& s) { return Outcome{s.Refresh()}; },
            refreshExpectation),
        serviceScenario(
            "Name", u"Spooler",
            [](clsService& s) {
                s.Name(u"Spooler");
                return Outcome{};
            },
            [](const Failed&) { return std::optional<Outcome>(Outcome{}); }),
        serviceScenario(
            "DisplayName", u"Spooler",
            [](clsService& s) {
                s.DisplayName(u"Print Spooler");
                return Outcome{};
            },
            [](const Failed&) { return std::optional<Outcome>(Outcome{}); }),
        serviceScenario(
            "StopService", u"Spooler", [](clsService& s) { return Outcome{s.StopService()}; },
            falseOnAnyFailure),
        serviceScenario(
            "StartService", u"Idle", [](clsService& s) { return Outcome{s.StartService()}; },
            falseOnAnyFailure),
        serviceScenario(
            "PauseService", u"Spooler", [](clsService& s) { return Outcome{s.PauseService()}; },
            falseOnAnyFailure),
        serviceScenario(
            "ContinueService", u"Resting",
            [](clsService& s) { return Outcome{s.ContinueService()}; }, falseOnAnyFailure),
        serviceScenario(
            "CurrentState", u"Spooler",
            [](clsService& s) {
                s.CurrentState(1);
                return Outcome{};
            },
            [](const Failed&) { return std::optional<Outcome>(Outcome{}); }),
        Scenario{"clsServices creation",
                 [](const std::shared_ptr<SimulatedServiceManager>& platform,
                    const std::function<void()>& arm) {
                     arm();
                     return guarded([&] {
                         clsServices services(platform);
                         return Outcome{services.Count() == 3};
                     });
                 },
                 // Service loads that fail leave a service with the empty key; a second such
                 // service is the keyed list's duplicate.
                 [](const Failed&) { return std::optional<Outcome>(); }},
        collectionScenario(
            "clsServices Refresh", [](clsServices& s) { return Outcome{s.Refresh()}; },
            [](const Failed& failed) -> std::optional<Outcome> {
                if (failed.function == "OpenSCManagerA" && failed.occurrence == 1) {
                    return Outcome{false};
                }
                if (failed.function == "EnumServicesStatusA") {
                    return Outcome{false};
                }
                return std::nullopt;
            }),
        collectionScenario(
            "clsServices Delete",
            [](clsServices& s) { return Outcome{s.Delete(Index::key(u"Idle"))}; },
            [](const Failed& failed) -> std::optional<Outcome> {
                if (failed.occurrence == 1 &&
                    (failed.function == "OpenSCManagerA" || failed.function == "OpenServiceA" ||
                     failed.function == "DeleteService")) {
                    return Outcome{false};
                }
                return std::nullopt;
            }),
        collectionScenario(
            "clsServices ComputerName",
            [](clsServices& s) {
                s.ComputerName(u" SIMHOST ");
                return Outcome{};
            },
            [](const Failed&) { return std::optional<Outcome>(); }),
        // A changed filter refreshes the list as ComputerName does.
        collectionScenario(
            "clsServices ServicesEnumType",
            [](clsServices& s) {
                s.ServicesEnumType(2);
                return Outcome{};
            },
            [](const Failed&) { return std::optional<Outcome>(); }),
        collectionScenario(
            "clsServices ServicesEnumState",
            [](clsServices& s) {
                s.ServicesEnumState(0);
                return Outcome{};
            },
            [](const Failed&) { return std::optional<Outcome>(); }),
    };
}

std::string describe(const Outcome& outcome) {
    if (std::holds_alternative<std::monostate>(outcome)) {
        return "no result";
    }
    if (const auto* result = std::get_if<bool>(&outcome)) {
        return *result ? "true" : "false";
    }
    return "automation error " + std::to_string(std::get<std::int32_t>(outcome));
}

void expectClean(const Outcome& outcome, const SimulatedServiceManager& platform) {
    expectHandlesClean(platform);
    if (const auto* number = std::get_if<std::int32_t>(&outcome)) {
        EXPECT_TRUE(*number == errors::InvalidProcedureCall || *number == errors::DuplicateKey)
            << describe(outcome);
    }
}

class FaultSweep : public testing::TestWithParam<Scenario> {};

TEST_P(FaultSweep, EveryFailingCallEndsCleanly) {
    const auto& scenario = GetParam();

    auto baseline = std::make_shared<SimulatedServiceManager>();
    populate(*baseline);
    std::size_t firstCall = 0;
    const auto outcome = scenario.run(baseline, [&] { firstCall = baseline->calls().size(); });
    expectClean(outcome, *baseline);
    ASSERT_FALSE(std::holds_alternative<std::int32_t>(outcome)) << describe(outcome);

    std::map<std::string, int> seen;
    for (auto i = firstCall; i < baseline->calls().size(); ++i) {
        const auto& function = baseline->calls()[i].function;
        if (function == "CloseServiceHandle") {
            continue;
        }
        const Failed failed{function, ++seen[function]};
        SCOPED_TRACE(function + " #" + std::to_string(failed.occurrence));
        auto platform = std::make_shared<SimulatedServiceManager>();
        populate(*platform);
        const auto result = scenario.run(platform, [&] {
            platform->failCall(function, error::AccessDenied, failed.occurrence);
        });
        expectClean(result, *platform);
        if (const auto expected = scenario.expected(failed)) {
            EXPECT_EQ(describe(result), describe(*expected));
        }
    }
}

TEST_P(FaultSweep, EveryUnwrittenTextEndsCleanly) {
    for (const auto text :
         {ConfigText::BinaryPathName, ConfigText::LoadOrderGroup, ConfigText::Dependencies,
          ConfigText::StartName, ConfigText::DisplayName}) {
        auto platform = std::make_shared<SimulatedServiceManager>();
        populate(*platform);
        const auto result = GetParam().run(platform, [&] { platform->leaveUnwritten(text); });
        expectClean(result, *platform);
    }
    auto platform = std::make_shared<SimulatedServiceManager>();
    populate(*platform);
    const auto result = GetParam().run(platform, [&] {
        platform->leaveServiceNameUnwritten("Spooler");
        platform->leaveServiceNameUnwritten("Idle");
    });
    expectClean(result, *platform);
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultSweep, testing::ValuesIn(scenarios()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::erase(name, ' ');
                             return name;
                         });

} // namespace

// The service object on the simulated manager: name resolution, the refresh phases and the
// states of its cache.
#include "model/Enumerations.h"
#include "model/clsService.h"

#include "tests/support/CallLog.h"
#include "tests/support/SimulatedPlatform.h"
#include "tests/support/TestSupport.h"

#include <vector>

using namespace tobrunel;
using namespace tobrunel::scm;
using namespace tobrunel::testing_support;

namespace {

// What runningService accepts unless told otherwise.
constexpr auto EveryControl = controlsAccepted::AcceptStop | controlsAccepted::AcceptPauseContinue |
                              controlsAccepted::AcceptShutdown;

class ServiceObject : public testing::Test {
protected:
    ServiceObject() {
        auto spooler = runningService("Spooler", "Print Spooler");
        spooler.startType = 2;
        spooler.errorControl = 1;
        spooler.tagId = 7;
        spooler.loadOrderGroup = "SpoolerGroup";
        spooler.startName = "LocalSystem";
        spooler.dependencies = std::string("RPCSS\0http\0+Network\0\0", 22);
        platform->addService(spooler);
        platform->addService(stoppedService("Stopped", "A Stopped Service"));
    }

    void TearDown() override { expectHandlesClean(*platform); }

    void expectCleared(const clsService& s) {
        EXPECT_EQ(s.Name(), u"");
        EXPECT_EQ(s.DisplayName(), u"");
        expectDataEmpty(s);
    }

    void expectDataEmpty(const clsService& s) {
        EXPECT_EQ(s.CurrentState(), 0);
        EXPECT_EQ(s.ServiceType(), 0);
        EXPECT_EQ(s.ControlsAccepted(), 0);
        EXPECT_EQ(s.Win32ExitCode(), 0);
        EXPECT_EQ(s.ServiceSpecificExitCode(), 0);
        EXPECT_EQ(s.CheckPoint(), 0);
        EXPECT_EQ(s.WaitHint(), 0);
        expectConfigurationEmpty(s);
    }

    void expectConfigurationEmpty(const clsService& s) {
        EXPECT_EQ(s.StartType(), 0);
        EXPECT_EQ(s.StartErrorSeverity(), 0);
        EXPECT_EQ(s.TagID(), 0);
        EXPECT_EQ(s.BinaryPathName(), u"");
        EXPECT_EQ(s.LoadOrderGroup(), u"");
        EXPECT_EQ(s.StartName(), u"");
    }

    std::shared_ptr<SimulatedServiceManager> platform = std::make_shared<SimulatedServiceManager>();
    clsService service{platform};
};

TEST_F(ServiceObject, NewObjectIsEmptyAndKeepsOneDependencyList) {
    expectCleared(service);
    EXPECT_EQ(service.ComputerName(), u"");
    const auto list = service.Dependencies();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(service.Dependencies(), list);
    EXPECT_TRUE(platform->calls().empty());
}

TEST_F(ServiceObject, NameLoadsEverythingThroughTheExactCalls) {
    service.Name(u"  Spooler  ");

    EXPECT_EQ(service.Name(), u"Spooler");
    EXPECT_EQ(service.DisplayName(), u"Print Spooler");
    EXPECT_EQ(service.CurrentState(), 4);
    EXPECT_EQ(service.ServiceType(), enServiceType::Win32OwnProcess);
    EXPECT_EQ(service.ControlsAccepted(), EveryControl);
    EXPECT_EQ(service.StartType(), 2);
    EXPECT_EQ(service.StartErrorSeverity(), 1);
    EXPECT_EQ(service.TagID(), 7);
    EXPECT_EQ(service.BinaryPathName(), u"C:\\windows\\system32\\Spooler.exe");
    EXPECT_EQ(service.LoadOrderGroup(), u"SpoolerGroup");
    EXPECT_EQ(service.StartName(), u"LocalSystem");
    const auto dependencies = service.Dependencies();
    ASSERT_EQ(dependencies->Count(), 3);
    EXPECT_EQ(dependencies->Item(1), u"RPCSS");
    EXPECT_EQ(dependencies->Item(2), u"http");
    EXPECT_EQ(dependencies->Item(3), u"+Network");

    const std::vector<std::string> expected = {
        "OpenSCManagerA",     "GetServiceDisplayNameA", "OpenSCManagerA",      "OpenServiceA",
        "QueryServiceStatus", "CloseServiceHandle",     "CloseServiceHandle",  "OpenSCManagerA",
        "OpenServiceA",       "QueryServiceConfigA",    "QueryServiceConfigA", "CloseServiceHandle",
        "CloseServiceHandle", "CloseServiceHandle"};
    ASSERT_EQ(platform->functionsCalled(), expected);
    const auto lookupManager = callTo(*platform, {"OpenSCManagerA", access::GenericRead});
    const auto lookup = callTo(*platform, {"GetServiceDisplayNameA"});
    EXPECT_EQ(lookup.text, "Spooler");
    EXPECT_EQ(lookup.number, 256u);
    EXPECT_TRUE(called(*platform, {"OpenSCManagerA", access::ScManagerEnumerateService}));
    EXPECT_TRUE(called(*platform, {"OpenServiceA", access::ServiceQueryStatus}));
    EXPECT_TRUE(called(*platform, {"OpenSCManagerA", access::ScManagerConnect}));
    EXPECT_TRUE(called(*platform, {"OpenServiceA", access::ServiceQueryConfig}));
    // The size probe declares 0 bytes; the read declares what the probe reported.
    const auto queries = callsTo(*platform, {"QueryServiceConfigA"});
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0].number, 0u);
    EXPECT_EQ(queries[0].error, error::InsufficientBuffer);
    EXPECT_GT(queries[1].number, 36u);
    // The lookup's manager handle is the last one closed, after the refresh.
    EXPECT_EQ(platform->calls().back().handle, lookupManager.result);
}

TEST_F(ServiceObject, NameKeepsCallersCaseAndTakesPlatformDisplayName) {
    service.Name(u"sPOOLER");
    EXPECT_EQ(service.Name(), u"sPOOLER");
    EXPECT_EQ(service.DisplayName(), u"Print Spooler");
    EXPECT_EQ(service.CurrentState(), 4);
}

TEST_F(ServiceObject, DisplayNameResolvesKeyNameAndTakesConfigurationDisplayName) {
    platform->beforeNextCall("QueryServiceConfigA", [](SimulatedServiceManager& p) {
        p.findService("Spooler")->displayName = "Print Spooler (renamed)";
    });
    service.DisplayName(u" print spooler ");
    EXPECT_EQ(service.Name(), u"Spooler");
    EXPECT_EQ(service.DisplayName(), u"Print Spooler (renamed)");
    EXPECT_TRUE(called(*platform, {"GetServiceKeyNameA", std::nullopt, "print spooler"}));
}

struct UnresolvedCase {
    const char* what;
    std::u16string computer;
    std::u16string name;
    bool byDisplayName;
};

class UnresolvedName : public ServiceObject, public testing::WithParamInterface<UnresolvedCase> {};

TEST_P(UnresolvedName, ClearsEverythingButComputerName) {
    platform->setReachable("OFFLINE", false);
    service.Name(u"Spooler");
    const auto heldList = service.Dependencies();
    service.ComputerName(GetParam().computer);

    if (GetParam().byDisplayName) {
        service.DisplayName(GetParam().name);
    } else {
        service.Name(GetParam().name);
    }

    expectCleared(service);
    EXPECT_EQ(service.ComputerName(), GetParam().computer);
    EXPECT_NE(service.Dependencies(), heldList);
    EXPECT_EQ(service.Dependencies()->Count(), 0);
    EXPECT_EQ(heldList->Count(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnresolvedName,
    testing::Values(UnresolvedCase{"unknown key name", u"", u"NoSuchService", false},
                    UnresolvedCase{"empty key name", u"", u"   ", false},
                    UnresolvedCase{"unknown display name", u"", u"No Such Display", true},
                    UnresolvedCase{"unreachable computer", u"OFFLINE", u"Spooler", false},
                    UnresolvedCase{"unreachable computer by display", u"OFFLINE", u"Print Spooler",
                                   true}),
    (NamedAfterWhat{}));

TEST_F(ServiceObject, UnreachableManagerMakesNoOtherCall) {
    platform->setReachable("OFFLINE", false);
    service.ComputerName(u"OFFLINE");
    service.Name(u"Spooler");
    EXPECT_EQ(platform->functionsCalled(), std::vector<std::string>{"OpenSCManagerA"});
    EXPECT_FALSE(service.Refresh());
}

TEST_F(ServiceObject, ComputerNameIsTrimmedAndReloadsNothing) {
    platform->addService(runningService("Spooler", "Remote Spooler"), "FARHOST");
    service.Name(u"Spooler");
    platform->clearCalls();
    service.ComputerName(u"  FARHOST ");
    EXPECT_EQ(service.ComputerName(), u"FARHOST");
    EXPECT_TRUE(platform->calls().empty());
    EXPECT_EQ(service.DisplayName(), u"Print Spooler");
    EXPECT_TRUE(service.Refresh());
    EXPECT_TRUE(called(*platform, {"OpenSCManagerA", std::nullopt, "FARHOST"}));
    EXPECT_EQ(service.DisplayName(), u"Remote Spooler");
}

// Each way the status phase can fail leaves the names only.
struct StatusFailure {
    const char* what;
    const char* function;
    std::size_t closes;
};

class StatusPhaseFailure : public ServiceObject,
                           public testing::WithParamInterface<StatusFailure> {};

TEST_P(StatusPhaseFailure, LeavesNamesOnlyAndReturnsFalse) {
    service.Name(u"Spooler");
    platform->clearCalls();
    platform->failCall(GetParam().function, error::AccessDenied);

    EXPECT_FALSE(service.Refresh());

    EXPECT_EQ(service.Name(), u"Spooler");
    EXPECT_EQ(service.DisplayName(), u"Print Spooler");
    expectDataEmpty(service);
    EXPECT_EQ(service.Dependencies()->Count(), 0);
    const auto names = platform->functionsCalled();
    EXPECT_EQ(std::count(names.begin(), names.end(), "CloseServiceHandle"),
              static_cast<long>(GetParam().closes));
    EXPECT_EQ(std::count(names.begin(), names.end(), "QueryServiceConfigA"), 0);
}

INSTANTIATE_TEST_SUITE_P(Paths, StatusPhaseFailure,
                         testing::Values(StatusFailure{"manager", "OpenSCManagerA", 0},
                                         StatusFailure{"service", "OpenServiceA", 1},
                                         StatusFailure{"query", "QueryServiceStatus", 2}),
                         (NamedAfterWhat{}));

TEST_F(ServiceObject, DeletedServiceRefreshesToNamesOnly) {
    service.Name(u"Spooler");
    platform->beforeNextCall("OpenServiceA",
                             [](SimulatedServiceManager& p) { p.removeService("Spooler"); });
    EXPECT_FALSE(service.Refresh());
    EXPECT_EQ(service.Name(), u"Spooler");
    EXPECT_EQ(service.DisplayName(), u"Print Spooler");
    expectDataEmpty(service);
}

// Each way the configuration phase can fail leaves the status only, and DisplayName as it was.
struct ConfigurationFailure {
    const char* what;
    const char* function;
    int occurrence;
    std::size_t configCalls;
};

class ConfigurationPhaseFailure : public ServiceObject,
                                  public testing::WithParamInterface<ConfigurationFailure> {};

TEST_P(ConfigurationPhaseFailure, LeavesStatusOnlyAndReturnsTrue) {
    service.Name(u"Spooler");
    platform->findService("Spooler")->displayName = "Changed Display";
    platform->clearCalls();
    platform->failCall(GetParam().function, error::AccessDenied, GetParam().occurrence);

    EXPECT_TRUE(service.Refresh());

    EXPECT_EQ(service.CurrentState(), 4);
    EXPECT_EQ(service.ControlsAccepted(), EveryControl);
    expectConfigurationEmpty(service);
    EXPECT_EQ(service.DisplayName(), u"Print Spooler");
    EXPECT_EQ(service.Dependencies()->Count(), 0);
    const auto names = platform->functionsCalled();
    EXPECT_EQ(std::count(names.begin(), names.end(), "QueryServiceConfigA"),
              static_cast<long>(GetParam().configCalls));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConfigurationPhaseFailure,
    testing::Values(ConfigurationFailure{"manager", "OpenSCManagerA", 2, 0},
                    ConfigurationFailure{"service", "OpenServiceA", 2, 0},
                    ConfigurationFailure{"probe fails otherwise", "QueryServiceConfigA", 1, 1},
                    ConfigurationFailure{"read fails", "QueryServiceConfigA", 2, 2}),
    (NamedAfterWhat{}));

// A platform whose size probe succeeds leaves the configuration unread.
class ProbeSucceeds : public SimulatedServiceManager {
public:
    int QueryServiceConfigA(RawHandle service, void* buffer, std::uint32_t size,
                            std::uint32_t* needed) override {
        const int result =
            SimulatedServiceManager::QueryServiceConfigA(service, buffer, size, needed);
        return size == 0 ? 1 : result;
    }
};

TEST(ServiceSizeProbe, ProbeThatSucceedsLeavesConfigurationUnread) {
    auto platform = std::make_shared<ProbeSucceeds>();
    platform->addService(runningService("Spooler", "Print Spooler"));
    clsService service(platform);
    service.Name(u"Spooler");
    EXPECT_EQ(service.CurrentState(), 4);
    EXPECT_EQ(service.BinaryPathName(), u"");
    const auto names = platform->functionsCalled();
    EXPECT_EQ(std::count(names.begin(), names.end(), "QueryServiceConfigA"), 1);
    expectHandlesClean(*platform);
}

struct UnwrittenCase {
    ConfigText text;
    bool raises;
};

class UnwrittenConfigurationText : public ServiceObject,
                                   public testing::WithParamInterface<UnwrittenCase> {};

TEST_P(UnwrittenConfigurationText, RaisesErrorFiveWithHandlesClosed) {
    service.Name(u"Spooler");
    platform->leaveUnwritten(GetParam().text);
    if (GetParam().raises) {
        EXPECT_AUTOMATION_ERROR(service.Refresh(), errors::InvalidProcedureCall);
        EXPECT_AUTOMATION_ERROR(service.Name(u"Spooler"), errors::InvalidProcedureCall);
        // No field is left holding a buffer's filler.
        for (const auto* text : {&service.BinaryPathName(), &service.LoadOrderGroup(),
                                 &service.StartName(), &service.DisplayName()}) {
            EXPECT_EQ(text->find(u'\0'), std::u16string::npos);
        }
    } else {
        EXPECT_TRUE(service.Refresh());
        EXPECT_EQ(service.Dependencies()->Count(), 0);
        EXPECT_EQ(service.StartType(), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, UnwrittenConfigurationText,
                         testing::Values(UnwrittenCase{ConfigText::BinaryPathName, true},
                                         UnwrittenCase{ConfigText::LoadOrderGroup, true},
                                         UnwrittenCase{ConfigText::StartName, true},
                                         UnwrittenCase{ConfigText::DisplayName, true},
                                         UnwrittenCase{ConfigText::Dependencies, false}),
                         ([](const auto& info) {
                             const char* const names[] = {"BinaryPathName", "LoadOrderGroup",
                                                          "Dependencies", "StartName",
                                                          "DisplayName"};
                             return std::string(names[static_cast<int>(info.param.text)]) +
                                    (info.param.raises ? "_raises_error_5" : "_stays_filler");
                         }));

TEST_F(ServiceObject, HeldDependencyListKeepsItsNamesAcrossRefresh) {
    service.Name(u"Spooler");
    const auto held = service.Dependencies();
    held->Add(u"Edited");
    EXPECT_TRUE(service.Refresh());
    EXPECT_NE(service.Dependencies(), held);
    EXPECT_EQ(held->Count(), 4);
    EXPECT_EQ(held->Item(4), u"Edited");
    EXPECT_EQ(service.Dependencies()->Count(), 3);
}

TEST_F(ServiceObject, ValuesOutsideTheEnumerationsArriveUnchanged) {
    auto odd = runningService("Odd", "Odd Service");
    odd.status =
        ServiceStatus{serviceType::RecognizerDriver, 99, 0xFF, 0xFFFFFFFF, 0x80000000, 3, 1234};
    odd.startType = 77;
    odd.errorControl = 0xFFFFFFFE;
    odd.tagId = 0xFFFFFFFF;
    platform->addService(odd);
    service.Name(u"Odd");
    EXPECT_EQ(service.ServiceType(), serviceType::RecognizerDriver);
    EXPECT_EQ(service.CurrentState(), 99);
    EXPECT_EQ(service.ControlsAccepted(), 0xFF);
    EXPECT_EQ(service.Win32ExitCode(), -1);
    EXPECT_EQ(service.ServiceSpecificExitCode(), INT32_MIN);
    EXPECT_EQ(service.CheckPoint(), 3);
    EXPECT_EQ(service.WaitHint(), 1234);
    EXPECT_EQ(service.StartType(), 77);
    EXPECT_EQ(service.StartErrorSeverity(), -2);
    EXPECT_EQ(service.TagID(), -1);
}

TEST_F(ServiceObject, LongConfigurationTextsAreTakenWhole) {
    auto wide = runningService("Wide", "Wide Service");
    wide.binaryPathName = "C:\\" + std::string(400, 'p') + ".exe";
    std::string dependencies;
    for (int i = 0; i < 60; ++i) {
        dependencies += "Dependency" + std::to_string(i) + '\0';
    }
    wide.dependencies = dependencies + '\0';
    platform->addService(wide);
    service.Name(u"Wide");
    EXPECT_EQ(service.BinaryPathName().size(), 407u);
    EXPECT_EQ(service.Dependencies()->Count(), 60);
    EXPECT_EQ(service.Dependencies()->Item(60), u"Dependency59");
}

struct LookupLengthCase {
    CodePage codePage;
    std::u16string displayName;
    bool resolves;
};

class DisplayNameLength : public ServiceObject,
                          public testing::WithParamInterface<LookupLengthCase> {};

// The lookup buffer holds 256 bytes with the NUL: what counts is the length in the code page.
TEST_P(DisplayNameLength, ResolvesOnlyWhenItFitsTheLookupBuffer) {
    platform->useCodePage(GetParam().codePage);
    auto long_ = runningService("Long", "");
    long_.displayName = platform->toAnsi(GetParam().displayName);
    platform->addService(long_);
    service.Name(u"Long");
    EXPECT_EQ(service.Name(), GetParam().resolves ? u"Long" : u"");
    EXPECT_EQ(service.DisplayName(), GetParam().resolves ? GetParam().displayName : u"");
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, DisplayNameLength,
    testing::Values(LookupLengthCase{CodePage::Windows1252, std::u16string(255, u'd'), true},
                    LookupLengthCase{CodePage::Windows1252, std::u16string(256, u'd'), false},
                    LookupLengthCase{CodePage::Windows1252, std::u16string(255, u'é'), true},
                    LookupLengthCase{CodePage::DoubleByte, std::u16string(127, u'Ж'), true},
                    LookupLengthCase{CodePage::DoubleByte, std::u16string(128, u'Ж'), false}),
    ([](const auto& info) {
        const auto& row = info.param;
        return std::string(row.codePage == CodePage::Windows1252 ? "Windows1252_" : "DoubleByte_") +
               std::to_string(row.displayName.size()) +
               (row.displayName[0] < 0x80 ? "_ascii" : "_wide") +
               (row.resolves ? "_resolves" : "_too_long");
    }));

TEST_F(ServiceObject, NonAsciiNamesCrossTheCodePage) {
    platform->addService(runningService("Caf\xE9", "Caf\xE9 \x80 Service"));
    service.Name(u"CAFÉ");
    EXPECT_EQ(service.Name(), u"CAFÉ");
    EXPECT_EQ(service.DisplayName(), u"Café € Service");
}

} // namespace

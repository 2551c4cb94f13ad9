// The services collection on the simulated manager: creation, filters, batches, lookups and
// deletion.
#include "model/clsServices.h"

#include "tests/support/CallLog.h"
#include "tests/support/SimulatedPlatform.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <set>
#include <vector>

using namespace tobrunel;
using namespace tobrunel::scm;
using namespace tobrunel::testing_support;

namespace {

std::vector<std::u16string> namesOf(const clsServices& services) {
    std::vector<std::u16string> names;
    for (std::int32_t i = 1; i <= services.Count(); ++i) {
        names.push_back(services.Item(Index::position(i))->Name());
    }
    return names;
}

SimulatedService serviceOfType(std::string name, std::uint32_t type, bool running) {
    auto service =
        running ? runningService(name, name + " display") : stoppedService(name, name + " display");
    service.status.dwServiceType = type;
    return service;
}

class Collection : public testing::Test {
protected:
    Collection() {
        platform->addService(serviceOfType("OwnRunning", serviceType::Win32OwnProcess, true));
        platform->addService(serviceOfType("ShareStopped", serviceType::Win32ShareProcess, false));
        platform->addService(serviceOfType(
            "Interactive", serviceType::InteractiveProcess | serviceType::Win32OwnProcess, true));
        platform->addService(serviceOfType("Kernel", serviceType::KernelDriver, true));
        platform->addService(serviceOfType("FileSystem", serviceType::FileSystemDriver, false));
        platform->addService(serviceOfType("Recogniser", serviceType::RecognizerDriver, true));
    }
    void TearDown() override { expectHandlesClean(*platform); }

    std::shared_ptr<SimulatedServiceManager> platform = std::make_shared<SimulatedServiceManager>();
};

TEST_F(Collection, CreationReadsComputerNameAndListsWin32ServicesInAnyState) {
    clsServices services(platform);
    EXPECT_EQ(services.ComputerName(), u"SIMHOST");
    EXPECT_EQ(services.ServicesEnumType(), 0);
    EXPECT_EQ(services.ServicesEnumState(), 2);
    EXPECT_EQ(namesOf(services),
              (std::vector<std::u16string>{u"OwnRunning", u"ShareStopped", u"Interactive"}));
    EXPECT_EQ(callTo(*platform, {"GetComputerNameA"}).number, 256u);
    const auto item = services.Item(Index::position(1));
    EXPECT_EQ(item->ComputerName(), u"SIMHOST");
    EXPECT_EQ(item->CurrentState(), 4);
    EXPECT_EQ(item->BinaryPathName(), u"C:\\windows\\system32\\OwnRunning.exe");
}

TEST_F(Collection, CreationFailsWithErrorFiveWhenNoComputerNameIsWritten) {
    platform->leaveComputerNameUnwritten();
    EXPECT_AUTOMATION_ERROR(clsServices{platform}, errors::InvalidProcedureCall);
    EXPECT_EQ(platform->functionsCalled(), std::vector<std::string>{"GetComputerNameA"});
}

struct FilterCase {
    std::int32_t type;
    std::int32_t state;
    std::uint32_t typeMask;
    std::uint32_t stateMask;
    std::set<std::u16string> names;
};

class FilterGrid : public Collection, public testing::WithParamInterface<FilterCase> {};

TEST_P(FilterGrid, ListsWhatTheMasksSelect) {
    clsServices services(platform);
    services.ServicesEnumType(GetParam().type);
    services.ServicesEnumState(GetParam().state);
    const auto names = namesOf(services);
    EXPECT_EQ(std::set<std::u16string>(names.begin(), names.end()), GetParam().names);

    platform->clearCalls();
    const bool complete = services.Refresh();
    const auto enumeration = callTo(*platform, {"EnumServicesStatusA"});
    EXPECT_EQ(enumeration.number, GetParam().typeMask);
    EXPECT_EQ(enumeration.access, GetParam().stateMask);
    const bool refused = GetParam().typeMask == 0 || GetParam().stateMask == 0;
    EXPECT_EQ(complete, !refused);
    if (refused) {
        EXPECT_EQ(services.Count(), 0);
        EXPECT_EQ(enumeration.error, error::InvalidParameter);
    }
}

const std::set<std::u16string> win32Active{u"OwnRunning", u"Interactive"};
const std::set<std::u16string> win32Inactive{u"ShareStopped"};
const std::set<std::u16string> win32All{u"OwnRunning", u"Interactive", u"ShareStopped"};
const std::set<std::u16string> driversActive{u"Kernel", u"Recogniser"};
const std::set<std::u16string> driversInactive{u"FileSystem"};
const std::set<std::u16string> driversAll{u"Kernel", u"Recogniser", u"FileSystem"};

std::set<std::u16string> joined(std::set<std::u16string> a, const std::set<std::u16string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

constexpr auto Win32 = serviceType::Win32, Drivers = serviceType::Driver, Both = Win32 | Drivers;
constexpr auto Active = enumState::Active, Inactive = enumState::Inactive, All = enumState::All;

INSTANTIATE_TEST_SUITE_P(
    Grid, FilterGrid,
    testing::Values(FilterCase{0, 0, Win32, Active, win32Active},
                    FilterCase{0, 1, Win32, Inactive, win32Inactive},
                    FilterCase{0, 2, Win32, All, win32All},
                    FilterCase{1, 0, Drivers, Active, driversActive},
                    FilterCase{1, 1, Drivers, Inactive, driversInactive},
                    FilterCase{1, 2, Drivers, All, driversAll},
                    FilterCase{2, 0, Both, Active, joined(win32Active, driversActive)},
                    FilterCase{2, 1, Both, Inactive, joined(win32Inactive, driversInactive)},
                    FilterCase{2, 2, Both, All, joined(win32All, driversAll)},
                    FilterCase{5, 2, 0, All, {}}, FilterCase{-1, 2, 0, All, {}},
                    FilterCase{0, 3, Win32, 0, {}}, FilterCase{0, -7, Win32, 0, {}}),
    ([](const auto& info) {
        return "type_" + numberName(info.param.type) + "_state_" + numberName(info.param.state);
    }));

TEST_F(Collection, OutOfRangeFilterReadsBackAsSet) {
    clsServices services(platform);
    services.ServicesEnumType(5);
    EXPECT_EQ(services.ServicesEnumType(), 5);
    EXPECT_EQ(services.Count(), 0);
    EXPECT_FALSE(services.Refresh());
}

TEST_F(Collection, FilterLetRefreshesOnlyOnChange) {
    clsServices services(platform);
    const auto first = services.Item(Index::position(1));
    platform->clearCalls();
    services.ServicesEnumType(0);
    services.ServicesEnumState(2);
    EXPECT_TRUE(platform->calls().empty());
    EXPECT_EQ(services.Item(Index::position(1)), first);
    services.ServicesEnumState(0);
    EXPECT_NE(services.Item(Index::position(1)), first);
}

TEST_F(Collection, ComputerNameLetTrimsAndAlwaysRefreshes) {
    clsServices services(platform);
    const auto first = services.Item(Index::position(1));
    services.ComputerName(u"  SIMHOST ");
    EXPECT_EQ(services.ComputerName(), u"SIMHOST");
    EXPECT_NE(services.Item(Index::position(1)), first);
    EXPECT_EQ(services.Count(), 3);
    platform->clearCalls();
    services.ComputerName(u"   ");
    EXPECT_EQ(services.ComputerName(), u"");
    EXPECT_TRUE(called(*platform, {"OpenSCManagerA", std::nullopt, ""}));
    EXPECT_EQ(services.Count(), 3);
}

TEST_F(Collection, UnreachableComputerGivesFalseAndEmptyList) {
    clsServices services(platform);
    platform->setReachable("FARAWAY", false);
    services.ComputerName(u"FARAWAY");
    EXPECT_EQ(services.ComputerName(), u"FARAWAY");
    EXPECT_EQ(services.Count(), 0);
    platform->clearCalls();
    EXPECT_FALSE(services.Refresh());
    EXPECT_EQ(platform->functionsCalled(), std::vector<std::string>{"OpenSCManagerA"});
}

TEST_F(Collection, EmptyComputerListsNothingAndSucceeds) {
    platform->addComputer("EMPTYHOST");
    clsServices services(platform);
    services.ComputerName(u"EMPTYHOST");
    EXPECT_EQ(services.Count(), 0);
    EXPECT_TRUE(services.Refresh());
}

TEST_F(Collection, ServicesLoadFromTheCollectionsComputer) {
    platform->addService(runningService("OwnRunning", "Remote twin"), "TWIN");
    clsServices services(platform);
    services.ComputerName(u"TWIN");
    ASSERT_EQ(services.Count(), 1);
    EXPECT_EQ(services.Item(Index::position(1))->DisplayName(), u"Remote twin");
    EXPECT_EQ(services.Item(Index::position(1))->ComputerName(), u"TWIN");
}

TEST_F(Collection, OldListGoesBeforeThePlatformIsAsked) {
    clsServices services(platform);
    std::weak_ptr<clsService> old = services.Item(Index::position(1));
    bool releasedFirst = false;
    platform->beforeNextCall("OpenSCManagerA",
                             [&](SimulatedServiceManager&) { releasedFirst = old.expired(); });
    services.Refresh();
    EXPECT_TRUE(releasedFirst);
}

struct LookupCase {
    const char* what;
    Index index;
    const char16_t* expected; // nullptr: no object
};

class ItemLookup : public Collection, public testing::WithParamInterface<LookupCase> {};

TEST_P(ItemLookup, FindsByPositionOrKeyAndNeverRaises) {
    clsServices services(platform);
    const auto found = services.Item(GetParam().index);
    if (GetParam().expected == nullptr) {
        EXPECT_EQ(found, nullptr);
    } else {
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->Name(), GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Lookups, ItemLookup,
                         testing::Values(LookupCase{"first", Index::position(1), u"OwnRunning"},
                                         LookupCase{"last", Index::position(3), u"Interactive"},
                                         LookupCase{"zero", Index::position(0), nullptr},
                                         LookupCase{"past the end", Index::position(4), nullptr},
                                         LookupCase{"negative", Index::position(-1), nullptr},
                                         LookupCase{"key in other case",
                                                    Index::key(u"sharestopped"), u"ShareStopped"},
                                         LookupCase{"unknown key", Index::key(u"Nope"), nullptr},
                                         LookupCase{"digits are a key", Index::key(u"1"), nullptr},
                                         LookupCase{"unusable", Index{}, nullptr}),
                         (NamedAfterWhat{}));

// numberedServices is a computer of `count` running services S0, S1, ... that it enumerates
// `batch` at a time.
std::shared_ptr<SimulatedServiceManager> numberedServices(int count, std::uint32_t batch) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    for (int i = 0; i < count; ++i) {
        platform->addService(runningService("S" + std::to_string(i), "D" + std::to_string(i)));
    }
    platform->setEnumerationBatchLimit(batch);
    return platform;
}

TEST(Batches, ThousandServicesArriveOnceInPlatformOrderOverSeveralPasses) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    std::vector<std::u16string> expected;
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Service%04d", 999 - i);
        platform->addService(runningService(name, std::string(name) + " display"));
        expected.push_back(fromUtf8(name));
    }
    clsServices services(platform);
    EXPECT_EQ(namesOf(services), expected);
    platform->clearCalls();
    EXPECT_TRUE(services.Refresh());
    const auto names = platform->functionsCalled();
    EXPECT_GE(std::count(names.begin(), names.end(), "EnumServicesStatusA"), 4);
    expectHandlesClean(*platform);
}

TEST(Batches, ErrorInThirdPassKeepsTheFirstTwoBatches) {
    const auto platform = numberedServices(30, 10);
    clsServices services(platform);
    EXPECT_EQ(services.Count(), 30);
    platform->failCall("EnumServicesStatusA", error::AccessDenied, 3);
    EXPECT_FALSE(services.Refresh());
    EXPECT_EQ(services.Count(), 20);
    EXPECT_EQ(services.Item(Index::position(20))->Name(), u"S19");
    expectHandlesClean(*platform);
}

TEST(Batches, StuckResumeHandleEndsTheRefresh) {
    const auto platform = numberedServices(5, 2);
    clsServices services(platform);
    ASSERT_EQ(services.Count(), 5);
    // The first pass starts from 0, so only the second can hand back what it was given.
    platform->beforeNextCall("EnumServicesStatusA", [](SimulatedServiceManager& p) {
        p.beforeNextCall("EnumServicesStatusA",
                         [](SimulatedServiceManager& q) { q.setResumeHandleStuck(true); });
    });
    EXPECT_FALSE(services.Refresh());
    EXPECT_EQ(services.Count(), 4);
    expectHandlesClean(*platform);
}

// A platform that claims more records than its buffer holds, as one seen in the field does.
class OverclaimingCount : public SimulatedServiceManager {
public:
    int EnumServicesStatusA(RawHandle manager, std::uint32_t type, std::uint32_t state,
                            void* buffer, std::uint32_t size, std::uint32_t* needed,
                            std::uint32_t* returned, std::uint32_t* resume) override {
        const int result = SimulatedServiceManager::EnumServicesStatusA(
            manager, type, state, buffer, size, needed, returned, resume);
        *returned = 100000;
        return result;
    }
};

TEST(Batches, CountBeyondTheBufferReadsOnlyTheBuffer) {
    auto platform = std::make_shared<OverclaimingCount>();
    platform->addService(runningService("Only", "Only One"));
    // Records the platform never wrote carry no name: the first becomes the empty key and the
    // second repeats it.
    EXPECT_AUTOMATION_ERROR(clsServices{platform}, errors::DuplicateKey);
    expectHandlesClean(*platform);
}

TEST_F(Collection, UnresolvableServicesShareTheEmptyKeyUntilTheSecondOne) {
    platform->leaveServiceNameUnwritten("ShareStopped");
    clsServices services(platform);
    ASSERT_EQ(services.Count(), 3);
    EXPECT_EQ(services.Item(Index::position(2))->Name(), u"");
    EXPECT_EQ(services.Item(Index::key(u""))->DisplayName(), u"");

    platform->leaveServiceNameUnwritten("Interactive");
    EXPECT_AUTOMATION_ERROR(services.Refresh(), errors::DuplicateKey);
    EXPECT_EQ(services.Count(), 2);
}

TEST_F(Collection, DeleteOfAMissingIndexMakesNoCall) {
    clsServices services(platform);
    const auto first = services.Item(Index::position(1));
    platform->clearCalls();
    for (const auto& index :
         {Index::position(0), Index::position(4), Index::key(u"Nope"), Index{}}) {
        EXPECT_FALSE(services.Delete(index));
    }
    EXPECT_TRUE(platform->calls().empty());
    EXPECT_EQ(services.Item(Index::position(1)), first);
}

TEST_F(Collection, RefusedDeleteKeepsTheSameObjects) {
    for (const char* function : {"OpenSCManagerA", "OpenServiceA", "DeleteService"}) {
        clsServices services(platform);
        const auto first = services.Item(Index::position(1));
        platform->failCall(function, error::AccessDenied);
        EXPECT_FALSE(services.Delete(Index::key(u"ownrunning"))) << function;
        EXPECT_EQ(services.Item(Index::position(1)), first) << function;
        EXPECT_EQ(services.Count(), 3);
    }
}

TEST_F(Collection, DeleteUsesDeleteRightsAndRebuildsTheList) {
    clsServices services(platform);
    const auto held = services.Item(Index::position(2));
    platform->clearCalls();
    EXPECT_TRUE(services.Delete(Index::position(2)));
    const auto manager = callTo(*platform, {"OpenSCManagerA", access::Delete});
    const auto opened = callTo(*platform, {"OpenServiceA", access::Delete, "ShareStopped"});
    EXPECT_TRUE(called(*platform, {"DeleteService"}));
    // The bracket closes the service, then the manager, before the list is built again.
    const auto& calls = platform->calls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[3].handle, opened.result);
    EXPECT_EQ(calls[4].handle, manager.result);
    EXPECT_EQ(namesOf(services), (std::vector<std::u16string>{u"OwnRunning", u"Interactive"}));
    // The object a client held keeps its values.
    EXPECT_EQ(held->Name(), u"ShareStopped");
}

TEST_F(Collection, ServiceStillOpenElsewhereIsListedAgainAfterDelete) {
    clsServices services(platform);
    RawHandle manager = platform->OpenSCManagerA("", nullptr, 1);
    RawHandle other = platform->OpenServiceA(manager, "ShareStopped", 4);
    EXPECT_TRUE(services.Delete(Index::key(u"ShareStopped")));
    EXPECT_EQ(services.Count(), 3);
    platform->CloseServiceHandle(other);
    platform->CloseServiceHandle(manager);
    EXPECT_TRUE(services.Refresh());
    EXPECT_EQ(services.Count(), 2);
}

} // namespace

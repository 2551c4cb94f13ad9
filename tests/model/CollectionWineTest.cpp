// clsServices against Wine's real service control manager: the lists it builds are the platform's
// own enumerations, item for item, and a deletion leaves the list once the platform lets it go.
#include "model/Enumerations.h"
#include "model/Index.h"
#include "base/Text.h"
#include "model/clsServices.h"
#include "scm/Win32ServiceManager.h"
#include "tests/wine-support/TestService.h"
#include "tests/wine-support/WineTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tobrunel::wintest {
namespace {

Index keyOf(const std::string& name) {
    return Index::key(wide(name));
}

// StartTypes reads each service's start type from the platform once; a test changes none.
class StartTypes {
public:
    std::optional<DWORD> of(const std::string& name) {
        if (const auto found = known_.find(name); found != known_.end()) {
            return found->second;
        }
        const auto config = queryConfig(name);
        if (!config) {
            return std::nullopt;
        }
        return known_[name] = config->startType;
    }

private:
    std::map<std::string, DWORD> known_;
};

// expectListedAsThePlatformEnumerates compares the list with the platform's own enumeration
// under the same masks, in order, and checks that every item has loaded itself.
void expectListedAsThePlatformEnumerates(const clsServices& services, DWORD typeMask,
                                         DWORD stateMask, StartTypes& startTypes) {
    const auto expected = enumerateServices(typeMask, stateMask);
    ASSERT_TRUE(expected);
    ASSERT_EQ(static_cast<std::int32_t>(expected->size()), services.Count());
    for (std::size_t i = 0; i < expected->size(); ++i) {
        const auto& platform = (*expected)[i];
        SCOPED_TRACE(platform.name);
        const auto item = services.Item(Index::position(static_cast<std::int32_t>(i + 1)));
        ASSERT_TRUE(item);
        EXPECT_EQ(wide(platform.name), item->Name());
        EXPECT_EQ(wide(platform.displayName), item->DisplayName());
        EXPECT_EQ(services.ComputerName(), item->ComputerName());
        EXPECT_EQ(static_cast<std::int32_t>(platform.status.dwServiceType), item->ServiceType());
        EXPECT_EQ(static_cast<std::int32_t>(platform.status.dwCurrentState), item->CurrentState());
        const auto startType = startTypes.of(platform.name);
        ASSERT_TRUE(startType);
        EXPECT_EQ(static_cast<std::int32_t>(*startType), item->StartType());
    }
}

class CollectionWineTest : public ::testing::Test {
protected:
    std::shared_ptr<RecordingServiceManager> recording =
        std::make_shared<RecordingServiceManager>(std::make_shared<scm::Win32ServiceManager>());
    StartTypes startTypes;
};

TEST_F(CollectionWineTest, ANewCollectionAndEveryFilterCellListWhatThePlatformEnumerates) {
    // A running test service puts a service of ours among the active ones too.
    const auto running = installedAs(Role::Demand).name;
    ASSERT_TRUE(startService(running));

    struct Filter {
        std::int32_t value;
        DWORD mask;
    };
    const Filter types[] = {
        {enServiceEnumType::Win32Services, SERVICE_WIN32},
        {enServiceEnumType::KernelAndFileSystemDrivers, SERVICE_DRIVER},
        {enServiceEnumType::BothWin32AndDrivers, AllServices},
    };
    const Filter states[] = {
        {enServiceEnumState::ActiveServices, SERVICE_ACTIVE},
        {enServiceEnumState::InactiveServices, SERVICE_INACTIVE},
        {enServiceEnumState::BothActiveAndInactiveServices, SERVICE_STATE_ALL},
    };
    // The walk starts where a new collection stands and changes one filter at a time, so every
    // other cell costs the collection one refresh.
    const int walk[][2] = {{0, 2}, {0, 0}, {0, 1}, {1, 1}, {1, 0}, {1, 2}, {2, 2}, {2, 0}, {2, 1}};
    clsServices services(recording);
    EXPECT_EQ(computerName(), services.ComputerName());
    const auto spooler = services.Item(Index::key(u"sPOOLER"));
    ASSERT_TRUE(spooler);
    EXPECT_EQ(u"Spooler", spooler->Name());
    const auto installed = services.Item(keyOf(running));
    ASSERT_TRUE(installed);
    EXPECT_EQ(wide(installedAs(Role::Demand).displayName), installed->DisplayName());

    bool created = true;
    for (const auto& [typeIndex, stateIndex] : walk) {
        const auto& type = types[typeIndex];
        const auto& state = states[stateIndex];
        SCOPED_TRACE(testing::Message() << "type " << type.value << ", state " << state.value);
        recording->clear();
        services.ServicesEnumType(type.value);
        services.ServicesEnumState(state.value);
        // The new collection already holds the first cell; a let of the value held does nothing.
        EXPECT_EQ(created ? 0u : 1u, recording->callsTo("EnumServicesStatusA"));
        created = false;
        EXPECT_EQ(type.value, services.ServicesEnumType());
        EXPECT_EQ(state.value, services.ServicesEnumState());
        expectListedAsThePlatformEnumerates(services, type.mask, state.mask, startTypes);
    }

    // A service the platform has but the list does not hold is not the collection's to delete.
    services.ServicesEnumType(enServiceEnumType::KernelAndFileSystemDrivers);
    const auto countOfDrivers = services.Count();
    recording->clear();
    EXPECT_FALSE(services.Delete(keyOf(running)));
    EXPECT_TRUE(recording->calls().empty());
    EXPECT_EQ(countOfDrivers, services.Count());
    EXPECT_TRUE(queryStatus(running));
    EXPECT_TRUE(stopService(running));
}

TEST_F(CollectionWineTest, DeleteRemovesTheServiceOnceTheLastHandleCloses) {
    const auto installed = installedAs(Role::Deletable);
    const auto key = keyOf(installed.name);
    clsServices services(recording);
    const auto countBefore = services.Count();
    const auto held = services.Item(key);
    ASSERT_TRUE(held);

    // A handle of the test's own keeps the deleted service in the platform's database for now.
    auto keeper = openService(installed.name, SERVICE_QUERY_STATUS);
    ASSERT_TRUE(keeper);
    recording->clear();
    EXPECT_TRUE(services.Delete(key));
    const auto deletion = recording->lastCallTo("DeleteService");
    ASSERT_TRUE(deletion);
    EXPECT_NE(0, deletion->result);
    EXPECT_EQ(countBefore, services.Count());
    const auto relisted = services.Item(key);
    ASSERT_TRUE(relisted);
    EXPECT_NE(held, relisted);

    // The platform still opens the service, and refuses the second deletion.
    ::SetLastError(Sentinel);
    recording->clear();
    EXPECT_FALSE(services.Delete(key));
    const auto refused = recording->lastCallTo("DeleteService");
    ASSERT_TRUE(refused);
    EXPECT_EQ(0, refused->result);
    EXPECT_EQ(static_cast<std::uint32_t>(ERROR_SERVICE_MARKED_FOR_DELETE), refused->lastError);
    EXPECT_EQ(relisted, services.Item(key));

    keeper = {};
    EXPECT_TRUE(services.Refresh());
    EXPECT_EQ(countBefore - 1, services.Count());
    EXPECT_FALSE(services.Item(key));
    EXPECT_FALSE(queryStatus(installed.name));

    // The object taken before the deletion keeps its names, and nothing else, once refreshed.
    EXPECT_FALSE(held->Refresh());
    EXPECT_EQ(wide(installed.name), held->Name());
    EXPECT_EQ(wide(installed.displayName), held->DisplayName());
    EXPECT_EQ(0, held->CurrentState());
    EXPECT_EQ(0, held->ServiceType());
    EXPECT_EQ(u"", held->BinaryPathName());
}

} // namespace
} // namespace tobrunel::wintest

int main(int argc, char** argv) {
    using tobrunel::wintest::Role;
    return tobrunel::wintest::runWineTests(argc, argv, {Role::Demand, Role::Deletable});
}

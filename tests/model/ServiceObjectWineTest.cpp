// clsService against Wine's real service control manager: every field it loads is what the
// platform's own calls report, for Wine's services and for an installed test service.
#include "model/clsService.h"
#include "scm/Win32ServiceManager.h"
#include "tests/wine-support/TestService.h"
#include "tests/wine-support/WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace tobrunel::wintest {
namespace {

constexpr const char16_t* UnknownService = u"Tobrunel-No-Such-Service";

// The names of the rows that trace this are ASCII.
std::string utf8(const std::u16string& text) {
    std::string narrow;
    for (const auto c : text) {
        narrow += static_cast<char>(c);
    }
    return narrow;
}

// swapCase writes every ASCII letter in the other case, so the text matches only when letter
// case is ignored.
std::u16string swapCase(std::u16string text) {
    for (auto& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        } else if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

class ServiceObjectWineTest : public ::testing::Test {
protected:
    std::shared_ptr<clsService> load(const std::string& name) {
        auto service = std::make_shared<clsService>(platform);
        service->Name(wide(name));
        return service;
    }

    // expectLoadedAsThePlatformReports compares every field with the platform's own answers,
    // read right after the load; a settled prefix does not change in between.
    static void expectLoadedAsThePlatformReports(const std::string& name, clsService& service) {
        SCOPED_TRACE(name);
        const auto view = viewOf(name);
        ASSERT_TRUE(view);
        const auto& [status, config, displayName] = *view;

        EXPECT_EQ(wide(name), service.Name());
        EXPECT_EQ(u"", service.ComputerName());
        expectStatusHeld(status, service);

        EXPECT_EQ(static_cast<std::int32_t>(config.startType), service.StartType());
        EXPECT_EQ(static_cast<std::int32_t>(config.errorControl), service.StartErrorSeverity());
        EXPECT_EQ(static_cast<std::int32_t>(config.tagId), service.TagID());
        EXPECT_EQ(wide(config.binaryPathName), service.BinaryPathName());
        EXPECT_EQ(wide(config.loadOrderGroup), service.LoadOrderGroup());
        EXPECT_EQ(wide(config.serviceStartName), service.StartName());
        EXPECT_EQ(wide(config.displayName), service.DisplayName());
        EXPECT_EQ(wide(displayName), service.DisplayName());

        const auto dependencies = dependencyNames(config.dependencies);
        const auto list = service.Dependencies();
        ASSERT_EQ(static_cast<std::int32_t>(dependencies.size()), list->Count());
        for (std::size_t i = 0; i < dependencies.size(); ++i) {
            EXPECT_EQ(wide(dependencies[i]), list->Item(static_cast<std::int32_t>(i + 1)));
        }
    }

    static void expectCleared(const clsService& service) {
        EXPECT_EQ(u"", service.Name());
        EXPECT_EQ(u"", service.DisplayName());
        EXPECT_EQ(u"", service.BinaryPathName());
        EXPECT_EQ(u"", service.LoadOrderGroup());
        EXPECT_EQ(u"", service.StartName());
        const std::int32_t numbers[] = {
            service.CurrentState(),
            service.ServiceType(),
            service.ControlsAccepted(),
            service.Win32ExitCode(),
            service.ServiceSpecificExitCode(),
            service.CheckPoint(),
            service.WaitHint(),
            service.StartType(),
            service.StartErrorSeverity(),
            service.TagID(),
        };
        for (const auto number : numbers) {
            EXPECT_EQ(0, number);
        }
    }

    std::shared_ptr<scm::ServiceManager> platform = std::make_shared<scm::Win32ServiceManager>();
};

TEST_F(ServiceObjectWineTest, LoadsEveryServiceOfThePrefixAsThePlatformReportsIt) {
    const auto services = enumerateServices(AllServices, SERVICE_STATE_ALL);
    ASSERT_TRUE(services);
    std::vector<std::string> names;
    for (const auto& service : *services) {
        names.push_back(service.name);
    }
    ASSERT_NE(std::find(names.begin(), names.end(), "Spooler"), names.end());
    ASSERT_NE(std::find(names.begin(), names.end(), installedAs(Role::Demand).name), names.end());
    // Drivers and Win32 services of both kinds, running and stopped.
    for (const auto& name : names) {
        const auto service = load(name);
        expectLoadedAsThePlatformReports(name, *service);
    }
}

TEST_F(ServiceObjectWineTest, LoadsTheInstalledServiceWithWhatItWasInstalledWith) {
    for (const Role role : {Role::Demand, Role::Disabled}) {
        const auto installed = installedAs(role);
        SCOPED_TRACE(installed.name);
        const auto service = load(installed.name);
        EXPECT_EQ(wide(installed.name), service->Name());
        EXPECT_EQ(wide(installed.displayName), service->DisplayName());
        EXPECT_EQ(wide(installed.binaryPath), service->BinaryPathName());
        EXPECT_EQ(wide(installed.loadOrderGroup), service->LoadOrderGroup());
        EXPECT_EQ(static_cast<std::int32_t>(installed.serviceType), service->ServiceType());
        EXPECT_EQ(static_cast<std::int32_t>(installed.startType), service->StartType());
        EXPECT_EQ(static_cast<std::int32_t>(installed.errorControl), service->StartErrorSeverity());
        EXPECT_EQ(SERVICE_STOPPED, service->CurrentState());
        EXPECT_EQ(0, service->ControlsAccepted());
        EXPECT_EQ(u"LocalSystem", service->StartName());
        EXPECT_EQ(0, service->Dependencies()->Count());
    }
}

TEST_F(ServiceObjectWineTest, AKeyNameInOtherLetterCaseResolvesAndKeepsTheCallersText) {
    const auto installed = installedAs(Role::Demand);
    struct Row {
        std::u16string given;
        std::u16string kept;
        std::string platformName;
    };
    const Row rows[] = {
        {u"sPOOLER", u"sPOOLER", "Spooler"},
        {u"  spooler  ", u"spooler", "Spooler"},
        {swapCase(wide(installed.name)), swapCase(wide(installed.name)), installed.name},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(utf8(row.given));
        auto service = std::make_shared<clsService>(platform);
        service->Name(row.given);
        EXPECT_EQ(row.kept, service->Name());
        const auto status = queryStatus(row.platformName);
        const auto config = queryConfig(row.platformName);
        ASSERT_TRUE(status && config);
        EXPECT_EQ(wide(config->displayName), service->DisplayName());
        EXPECT_EQ(wide(config->binaryPathName), service->BinaryPathName());
        EXPECT_EQ(static_cast<std::int32_t>(status->dwServiceType), service->ServiceType());
        EXPECT_EQ(static_cast<std::int32_t>(status->dwCurrentState), service->CurrentState());
    }
}

TEST_F(ServiceObjectWineTest, AnUnknownNameClearsTheObject) {
    // This computer by its name: the clearing must leave the computer name alone.
    auto service = std::make_shared<clsService>(platform);
    service->ComputerName(computerName());
    service->Name(u"Spooler");
    ASSERT_NE(0, service->ServiceType());
    service->Name(UnknownService);
    expectCleared(*service);
    EXPECT_EQ(computerName(), service->ComputerName());
    EXPECT_EQ(0, service->Dependencies()->Count());
    EXPECT_FALSE(service->Refresh());
}

TEST_F(ServiceObjectWineTest, DisplayNameLetResolvesTheKeyName) {
    const auto installed = installedAs(Role::Demand);
    const auto spoolerDisplayName = displayNameOf("Spooler");
    ASSERT_TRUE(spoolerDisplayName);
    struct Row {
        std::u16string given;
        std::string keyName;
    };
    const Row rows[] = {
        {wide(*spoolerDisplayName), "Spooler"},
        {u" " + swapCase(wide(installed.displayName)) + u" ", installed.name},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(utf8(row.given));
        auto service = std::make_shared<clsService>(platform);
        service->DisplayName(row.given);
        // The platform's key name, and the configuration's display name in place of the
        // caller's text.
        EXPECT_EQ(wide(row.keyName), service->Name());
        expectLoadedAsThePlatformReports(row.keyName, *service);
    }
}

TEST_F(ServiceObjectWineTest, AnUnknownDisplayNameClearsTheObject) {
    const auto service = load(installedAs(Role::Demand).name);
    ASSERT_NE(u"", service->BinaryPathName());
    service->DisplayName(UnknownService);
    expectCleared(*service);
}

} // namespace
} // namespace tobrunel::wintest

int main(int argc, char** argv) {
    using tobrunel::wintest::Role;
    return tobrunel::wintest::runWineTests(argc, argv, {Role::Demand, Role::Disabled});
}

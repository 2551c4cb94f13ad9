// The seam's contract: what the model relies on of every ServiceManager function, written once
// and run against whichever manager this build's fixture makes (SeamContract.h).
#include "scm/Conversions.h"
#include "scm/ScHandle.h"
#include "SeamContract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tobrunel::contract {
namespace {

using scm::RawHandle;
using scm::ScHandle;
using scm::ServiceStatus;
namespace access = scm::access;
namespace control = scm::control;
namespace error = scm::error;

namespace serviceType = scm::serviceType;
namespace state = scm::serviceState;
namespace enumState = scm::enumState;

constexpr std::uint32_t EnumerationBufferSize = 9252;
constexpr std::uint32_t NameBufferSize = 256;
constexpr const char* UnknownService = "Tobrunel-No-Such-Service";

using Bytes = std::vector<std::byte>;

bool pointsInto(const Bytes& buffer, const char* text) {
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    const auto* end = begin + buffer.size();
    return text != nullptr && std::less_equal<>{}(begin, text) && std::less<>{}(text, end) &&
           std::memchr(text, '\0', static_cast<std::size_t>(end - text)) != nullptr;
}

std::string withCaseSwapped(std::string text) {
    for (auto& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        c = static_cast<char>(std::islower(byte) ? std::toupper(byte) : std::tolower(byte));
    }
    return text;
}

// A buffer of 256 spaces, as the model hands the name lookups; the text ends at its first NUL.
struct NameBuffer {
    std::string text = std::string(NameBufferSize, ' ');
    std::uint32_t size = NameBufferSize;
    std::string name() const { return text.substr(0, text.find('\0')); }
};

// A status record that no manager would write, to see whether a call wrote it.
constexpr ServiceStatus Untouched{0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5,
                                  0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5};

struct Enumeration {
    int result = 0;
    std::uint32_t lastError = 0;
    std::uint32_t bytesNeeded = 0;
    std::uint32_t returned = 0;
    std::uint32_t resume = 0;
    Bytes buffer;
    std::vector<std::string> names;
    std::vector<std::uint32_t> states;
};

class SeamContract : public ::testing::Test {
protected:
    ScHandle openManager(std::uint32_t rights) {
        return ScHandle(platform, platform.OpenSCManagerA(nullptr, nullptr, rights));
    }
    ScHandle openService(const ScHandle& manager, const std::string& name, std::uint32_t rights) {
        return ScHandle(platform, platform.OpenServiceA(manager.get(), name.c_str(), rights));
    }

    // expectFailure checks that a call failed with `code` as its last error; the thread's error
    // is disturbed first, so a manager that reads it late cannot pass.
    void expectFailure(const char* what, const std::function<std::uintptr_t()>& call,
                       std::uint32_t code) {
        subject->disturbThreadError();
        EXPECT_EQ(0u, call()) << what;
        EXPECT_EQ(code, platform.lastError()) << what;
    }

    ServiceStatus statusOf(RawHandle service) {
        ServiceStatus status = Untouched;
        EXPECT_NE(0, platform.QueryServiceStatus(service, &status));
        return status;
    }

    // waitForState polls until the service reports `wanted`; a real service takes milliseconds.
    bool waitForState(RawHandle service, std::uint32_t wanted) {
        for (int attempt = 0; attempt < 500; ++attempt) {
            ServiceStatus status = Untouched;
            if (platform.QueryServiceStatus(service, &status) != 0 &&
                status.dwCurrentState == wanted) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    Enumeration enumerate(RawHandle manager, std::uint32_t type, std::uint32_t states,
                          std::uint32_t bufferSize, std::uint32_t resume = 0) {
        Enumeration pass;
        pass.buffer.assign(bufferSize, std::byte{0});
        pass.resume = resume;
        pass.result =
            platform.EnumServicesStatusA(manager, type, states, pass.buffer.data(), bufferSize,
                                         &pass.bytesNeeded, &pass.returned, &pass.resume);
        pass.lastError = platform.lastError();
        if (pass.result == 0 && pass.lastError != error::MoreData) {
            return pass;
        }
        const auto fits =
            std::min<std::size_t>(pass.returned, bufferSize / sizeof(scm::EnumServiceStatus));
        for (std::size_t i = 0; i < fits; ++i) {
            scm::EnumServiceStatus record;
            std::memcpy(&record, pass.buffer.data() + i * sizeof record, sizeof record);
            // A record the manager counted but never wrote points nowhere into the buffer.
            if (!pointsInto(pass.buffer, record.lpServiceName)) {
                break;
            }
            EXPECT_TRUE(pointsInto(pass.buffer, record.lpDisplayName)) << record.lpServiceName;
            pass.names.emplace_back(record.lpServiceName);
            pass.states.push_back(record.serviceStatus.dwCurrentState);
        }
        return pass;
    }

    static bool lists(const Enumeration& pass, const std::string& name) {
        return std::find(pass.names.begin(), pass.names.end(), name) != pass.names.end();
    }

    std::unique_ptr<SeamUnderTest> subject = makeSeamUnderTest();
    scm::ServiceManager& platform = subject->manager();
    const ContractService demand = subject->demandService();
};

// --- opening and closing --------------------------------------------------------------------

TEST_F(SeamContract, OpensTheLocalManagerByNullOrEmptyName) {
    for (const char* machine : {static_cast<const char*>(nullptr), ""}) {
        const RawHandle manager = platform.OpenSCManagerA(machine, nullptr, access::GenericRead);
        ASSERT_NE(0u, manager);
        EXPECT_NE(0, platform.CloseServiceHandle(manager));
    }
}

TEST_F(SeamContract, ClosesTheServiceBeforeItsManagerEachOnce) {
    const RawHandle manager = platform.OpenSCManagerA(nullptr, nullptr, access::ScManagerConnect);
    ASSERT_NE(0u, manager);
    const RawHandle service =
        platform.OpenServiceA(manager, demand.name.c_str(), access::ServiceQueryStatus);
    ASSERT_NE(0u, service);
    EXPECT_NE(service, manager);
    EXPECT_NE(0, platform.CloseServiceHandle(service));
    EXPECT_NE(0, platform.CloseServiceHandle(manager));
    expectFailure(
        "closing the service twice", [&] { return platform.CloseServiceHandle(service); },
        error::InvalidHandle);
    expectFailure(
        "closing the manager twice", [&] { return platform.CloseServiceHandle(manager); },
        error::InvalidHandle);
    // A handle value that was never opened is not tried: Wine's client dereferences it and
    // crashes, where Windows documents error 6.
    expectFailure(
        "CloseServiceHandle(0)", [&] { return platform.CloseServiceHandle(0); },
        error::InvalidHandle);
}

TEST_F(SeamContract, OpensAServiceByItsNameInAnyLetterCase) {
    const auto manager = openManager(access::ScManagerConnect);
    ASSERT_TRUE(manager);
    for (const auto& name : {demand.name, withCaseSwapped(demand.name)}) {
        EXPECT_TRUE(openService(manager, name, access::ServiceQueryStatus)) << name;
    }
}

TEST_F(SeamContract, AnUnknownNameFailsWith1060) {
    const auto manager = openManager(access::GenericRead);
    ASSERT_TRUE(manager);
    NameBuffer buffer;
    expectFailure(
        "OpenServiceA",
        [&] {
            const auto service =
                platform.OpenServiceA(manager.get(), UnknownService, access::ServiceQueryStatus);
            return service == 0 ? 0 : platform.CloseServiceHandle(service);
        },
        error::ServiceDoesNotExist);
    expectFailure(
        "GetServiceDisplayNameA",
        [&] {
            return platform.GetServiceDisplayNameA(manager.get(), UnknownService,
                                                   buffer.text.data(), &buffer.size);
        },
        error::ServiceDoesNotExist);
    expectFailure(
        "GetServiceKeyNameA",
        [&] {
            return platform.GetServiceKeyNameA(manager.get(), UnknownService, buffer.text.data(),
                                               &buffer.size);
        },
        error::ServiceDoesNotExist);
}

TEST_F(SeamContract, AZeroHandleFailsWith6) {
    NameBuffer buffer;
    ServiceStatus status = Untouched;
    char probe[1] = {' '};
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    std::uint32_t resume = 0;
    Bytes records(EnumerationBufferSize);
    const std::pair<const char*, std::function<std::uintptr_t()>> calls[] = {
        {"OpenServiceA",
         [&] { return platform.OpenServiceA(0, demand.name.c_str(), access::ServiceQueryStatus); }},
        {"QueryServiceStatus", [&] { return platform.QueryServiceStatus(0, &status); }},
        {"QueryServiceConfigA", [&] { return platform.QueryServiceConfigA(0, probe, 0, &needed); }},
        {"ControlService", [&] { return platform.ControlService(0, control::Stop, &status); }},
        {"StartServiceA", [&] { return platform.StartServiceA(0, 0, nullptr); }},
        {"DeleteService", [&] { return platform.DeleteService(0); }},
        {"EnumServicesStatusA",
         [&] {
             return platform.EnumServicesStatusA(0, serviceType::Win32, enumState::All,
                                                 records.data(), EnumerationBufferSize, &needed,
                                                 &returned, &resume);
         }},
        {"GetServiceDisplayNameA",
         [&] {
             return platform.GetServiceDisplayNameA(0, demand.name.c_str(), buffer.text.data(),
                                                    &buffer.size);
         }},
        {"GetServiceKeyNameA",
         [&] {
             return platform.GetServiceKeyNameA(0, demand.displayName.c_str(), buffer.text.data(),
                                                &buffer.size);
         }},
    };
    for (const auto& [function, call] : calls) {
        expectFailure(function, call, error::InvalidHandle);
    }
}

TEST_F(SeamContract, AServiceHandleWithoutTheRightIsRefused) {
    const auto manager = openManager(access::ScManagerConnect);
    const auto statusOnly = openService(manager, demand.name, access::ServiceQueryStatus);
    const auto configOnly = openService(manager, demand.name, access::ServiceQueryConfig);
    ASSERT_TRUE(statusOnly);
    ASSERT_TRUE(configOnly);
    ServiceStatus status = Untouched;
    char probe[1] = {' '};
    std::uint32_t needed = 0;
    const std::pair<const char*, std::function<std::uintptr_t()>> calls[] = {
        {"QueryServiceStatus",
         [&] { return platform.QueryServiceStatus(configOnly.get(), &status); }},
        {"QueryServiceConfigA",
         [&] { return platform.QueryServiceConfigA(statusOnly.get(), probe, 0, &needed); }},
        {"ControlService",
         [&] { return platform.ControlService(statusOnly.get(), control::Stop, &status); }},
        {"StartServiceA", [&] { return platform.StartServiceA(statusOnly.get(), 0, nullptr); }},
        {"DeleteService", [&] { return platform.DeleteService(statusOnly.get()); }},
    };
    for (const auto& [function, call] : calls) {
        expectFailure(function, call, error::AccessDenied);
    }
}

// --- status and configuration ---------------------------------------------------------------

TEST_F(SeamContract, ReportsTheStatusOfAStoppedService) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    const auto service = openService(manager, demand.name, access::ServiceQueryStatus);
    ASSERT_TRUE(service);
    const ServiceStatus status = statusOf(service.get());
    EXPECT_EQ(serviceType::Win32OwnProcess, status.dwServiceType);
    EXPECT_EQ(state::Stopped, status.dwCurrentState);
    EXPECT_EQ(0u, status.dwControlsAccepted);
    EXPECT_EQ(0u, status.dwCheckPoint);
    EXPECT_EQ(0u, status.dwWaitHint);
}

TEST_F(SeamContract, ProbesTheConfigurationSizeThenFillsTheRecord) {
    const auto manager = openManager(access::ScManagerConnect);
    for (const auto& installed : {demand, subject->disabledService()}) {
        const auto service = openService(manager, installed.name, access::ServiceQueryConfig);
        ASSERT_TRUE(service) << installed.name;

        char probe[1] = {' '};
        std::uint32_t needed = 0;
        expectFailure(
            "QueryServiceConfigA probe",
            [&] { return platform.QueryServiceConfigA(service.get(), probe, 0, &needed); },
            error::InsufficientBuffer);
        EXPECT_EQ(' ', probe[0]) << "a refused query leaves the buffer alone";
        ASSERT_GT(needed, sizeof(scm::ServiceConfig));

        Bytes buffer(needed + 1);
        std::uint32_t neededAgain = 0;
        ASSERT_NE(0,
                  platform.QueryServiceConfigA(service.get(), buffer.data(), needed, &neededAgain));
        const auto record = scm::readConfigRecord(buffer);
        EXPECT_EQ(serviceType::Win32OwnProcess, record.dwServiceType);
        EXPECT_EQ(installed.startType, record.dwStartType);
        EXPECT_EQ(scm::errorControl::NormalError, record.dwErrorControl);
        EXPECT_EQ(0u, record.dwTagId);
        const std::pair<const char*, std::string> texts[] = {
            {record.lpBinaryPathName, installed.binaryPath},
            {record.lpLoadOrderGroup, installed.loadOrderGroup},
            {record.lpServiceStartName, "LocalSystem"},
            {record.lpDisplayName, installed.displayName},
        };
        for (const auto& [text, expected] : texts) {
            ASSERT_TRUE(pointsInto(buffer, text)) << expected;
            EXPECT_EQ(expected, text);
        }
        // No dependencies: the list is its closing NUL alone.
        ASSERT_TRUE(pointsInto(buffer, record.lpDependencies));
        EXPECT_EQ('\0', record.lpDependencies[0]);
    }
}

// --- commands -------------------------------------------------------------------------------

// expectStatusOfRefusal checks the record of a refused control: Windows documents that it then
// holds the service's current status for 1052, 1061 and 1062.
void expectStatusOfRefusal(const ServiceStatus& status, std::uint32_t currentState) {
    EXPECT_EQ(serviceType::Win32OwnProcess, status.dwServiceType);
    EXPECT_EQ(currentState, status.dwCurrentState);
}

TEST_F(SeamContract, StartsPausesContinuesAndStopsWithTheStatusWrittenBack) {
    const auto manager = openManager(access::ScManagerConnect);
    const auto service = openService(manager, demand.name,
                                     access::ServiceStart | access::ServiceStop |
                                         access::ServicePauseContinue | access::ServiceQueryStatus);
    ASSERT_TRUE(service);

    ServiceStatus status = Untouched;
    expectFailure(
        "stop while stopped",
        [&] { return platform.ControlService(service.get(), control::Stop, &status); },
        error::ServiceNotActive);
    expectStatusOfRefusal(status, state::Stopped);

    ASSERT_NE(0, platform.StartServiceA(service.get(), 0, nullptr));
    ASSERT_TRUE(waitForState(service.get(), state::Running));
    expectFailure(
        "start while running", [&] { return platform.StartServiceA(service.get(), 0, nullptr); },
        error::ServiceAlreadyRunning);

    status = Untouched;
    expectFailure(
        "a control the service does not accept",
        [&] { return platform.ControlService(service.get(), control::ParamChange, &status); },
        error::InvalidServiceControl);
    if (subject->isWine()) {
        // Wine leaves junk in the record of a control that the service does not accept.
        EXPECT_FALSE(status.dwServiceType == std::uint32_t{serviceType::Win32OwnProcess} &&
                     status.dwCurrentState == std::uint32_t{state::Running});
    } else {
        expectStatusOfRefusal(status, state::Running);
    }

    // A service answers with a pending state first, or reaches the state at once.
    struct Step {
        std::uint32_t control;
        std::uint32_t pending;
        std::uint32_t reached;
    };
    for (const Step step : {Step{control::Pause, state::PausePending, state::Paused},
                            Step{control::Continue, state::ContinuePending, state::Running},
                            Step{control::Stop, state::StopPending, state::Stopped}}) {
        status = Untouched;
        ASSERT_NE(0, platform.ControlService(service.get(), step.control, &status)) << step.control;
        EXPECT_EQ(serviceType::Win32OwnProcess, status.dwServiceType) << step.control;
        EXPECT_TRUE(status.dwCurrentState == step.pending || status.dwCurrentState == step.reached)
            << step.control << ": " << status.dwCurrentState;
        ASSERT_TRUE(waitForState(service.get(), step.reached)) << step.control;
    }
}

TEST_F(SeamContract, ADisabledServiceDoesNotStart) {
    const auto manager = openManager(access::ScManagerConnect);
    const auto service =
        openService(manager, subject->disabledService().name, access::ServiceStart);
    ASSERT_TRUE(service);
    expectFailure(
        "StartServiceA", [&] { return platform.StartServiceA(service.get(), 0, nullptr); },
        error::ServiceDisabled);
}

TEST_F(SeamContract, ADeletedServiceStaysUntilItsLastHandleCloses) {
    const auto deletable = subject->deletableService();
    const auto manager = openManager(access::Delete);
    ASSERT_TRUE(manager);
    {
        const auto service = openService(manager, deletable.name,
                                         access::Delete | access::ServiceStart |
                                             access::ServiceStop | access::ServiceQueryStatus);
        ASSERT_TRUE(service);
        ASSERT_NE(0, platform.DeleteService(service.get()));
        expectFailure(
            "DeleteService again", [&] { return platform.DeleteService(service.get()); },
            error::ServiceMarkedForDelete);
        if (subject->isWine()) {
            // Wine starts a service marked for deletion, which then stays until it stops.
            ASSERT_NE(0, platform.StartServiceA(service.get(), 0, nullptr));
            ASSERT_TRUE(waitForState(service.get(), state::Running));
            ServiceStatus status = Untouched;
            ASSERT_NE(0, platform.ControlService(service.get(), control::Stop, &status));
            ASSERT_TRUE(waitForState(service.get(), state::Stopped));
        } else {
            expectFailure(
                "StartServiceA", [&] { return platform.StartServiceA(service.get(), 0, nullptr); },
                error::ServiceMarkedForDelete);
        }
        EXPECT_TRUE(openService(manager, deletable.name, access::ServiceQueryStatus))
            << "still openable while a handle is open";
    }
    expectFailure(
        "OpenServiceA after the last close",
        [&] {
            const auto service =
                platform.OpenServiceA(manager.get(), deletable.name.c_str(), access::Delete);
            return service == 0 ? 0 : platform.CloseServiceHandle(service);
        },
        error::ServiceDoesNotExist);
}

// --- enumeration ----------------------------------------------------------------------------

TEST_F(SeamContract, EnumeratesInOneBatchWithEveryTextInTheBuffer) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    const auto pass =
        enumerate(manager.get(), serviceType::Win32, enumState::All, EnumerationBufferSize);
    ASSERT_NE(0, pass.result) << pass.lastError;
    EXPECT_EQ(0u, pass.resume);
    ASSERT_GT(pass.returned, 0u);
    EXPECT_EQ(pass.returned, pass.names.size()) << "every record counted was written";
    auto unique = pass.names;
    std::sort(unique.begin(), unique.end());
    EXPECT_EQ(unique.end(), std::unique(unique.begin(), unique.end()));
    for (const auto& name : {demand.name, subject->disabledService().name}) {
        const auto found = std::find(pass.names.begin(), pass.names.end(), name);
        ASSERT_NE(pass.names.end(), found) << name;
        EXPECT_EQ(state::Stopped, pass.states[static_cast<std::size_t>(found - pass.names.begin())])
            << "the record's status: " << name;
    }
}

TEST_F(SeamContract, EnumerationFiltersByTypeAndState) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    struct Row {
        std::uint32_t type;
        std::uint32_t states;
        bool listed;
    };
    for (const Row row : {Row{serviceType::Win32, enumState::Inactive, true},
                          Row{serviceType::Win32, enumState::Active, false},
                          Row{serviceType::Driver, enumState::All, false}}) {
        const auto pass = enumerate(manager.get(), row.type, row.states, EnumerationBufferSize);
        ASSERT_NE(0, pass.result) << pass.lastError;
        EXPECT_EQ(row.listed, lists(pass, demand.name)) << row.type << "/" << row.states;
    }
}

TEST_F(SeamContract, EnumerationRefusesAnEmptyMask) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    using Masks = std::pair<std::uint32_t, std::uint32_t>;
    for (const auto& [type, states] : {Masks{0, enumState::All}, Masks{serviceType::Win32, 0}}) {
        subject->disturbThreadError();
        const auto pass = enumerate(manager.get(), type, states, EnumerationBufferSize);
        EXPECT_EQ(0, pass.result);
        EXPECT_EQ(error::InvalidParameter, pass.lastError) << type << "/" << states;
    }
}

TEST_F(SeamContract, EnumerationIntoTooSmallABufferAsksForMore) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    constexpr auto OneRecord = static_cast<std::uint32_t>(sizeof(scm::EnumServiceStatus));
    subject->disturbThreadError();
    const auto pass = enumerate(manager.get(), serviceType::Win32, enumState::All, OneRecord);
    EXPECT_EQ(0, pass.result);
    EXPECT_EQ(error::MoreData, pass.lastError);
    EXPECT_GT(pass.bytesNeeded, OneRecord);
    if (subject->isWine()) {
        // Wine counts records that it never wrote into the buffer; Windows counts what it wrote.
        EXPECT_GT(pass.returned, pass.names.size());
    } else {
        EXPECT_EQ(pass.names.size(), pass.returned);
    }
}

TEST_F(SeamContract, EnumerationResumesWhereTheLastBatchEnded) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    const auto whole =
        enumerate(manager.get(), serviceType::Win32, enumState::All, EnumerationBufferSize);
    ASSERT_NE(0, whole.result);
    ASSERT_GE(whole.names.size(), 3u);

    // Room for two records with their texts, so the whole list takes several batches.
    const auto batchSize = static_cast<std::uint32_t>(2 * sizeof(scm::EnumServiceStatus) + 160);
    std::vector<std::string> batched;
    std::uint32_t resume = 0;
    int batches = 0;
    for (;;) {
        const auto pass =
            enumerate(manager.get(), serviceType::Win32, enumState::All, batchSize, resume);
        ASSERT_TRUE(pass.result != 0 || pass.lastError == error::MoreData) << pass.lastError;
        if (subject->isWine()) {
            // Wine never moves the resume handle, where Windows documents that it does, and
            // counts records it did not write: the model reads the list in one batch there.
            EXPECT_EQ(0, pass.result);
            EXPECT_EQ(0u, pass.resume);
            return;
        }
        EXPECT_EQ(pass.returned, pass.names.size());
        batched.insert(batched.end(), pass.names.begin(), pass.names.end());
        ++batches;
        if (pass.result != 0) {
            EXPECT_EQ(0u, pass.resume) << "the final batch leaves the resume handle at 0";
            break;
        }
        ASSERT_NE(0u, pass.resume) << "a batch with more to follow moves the resume handle";
        ASSERT_LT(batches, 100);
        resume = pass.resume;
    }
    EXPECT_GT(batches, 1);
    EXPECT_EQ(whole.names, batched);
}

// --- names and text -------------------------------------------------------------------------

TEST_F(SeamContract, LooksNamesUpWithoutRegardToCase) {
    const auto manager = openManager(access::GenericRead);
    ASSERT_TRUE(manager);
    NameBuffer display;
    ASSERT_NE(0,
              platform.GetServiceDisplayNameA(manager.get(), withCaseSwapped(demand.name).c_str(),
                                              display.text.data(), &display.size));
    EXPECT_EQ(demand.displayName, display.name());
    EXPECT_EQ(' ', display.text.back()) << "the rest of the buffer stays as it was";

    NameBuffer key;
    ASSERT_NE(0, platform.GetServiceKeyNameA(manager.get(),
                                             withCaseSwapped(demand.displayName).c_str(),
                                             key.text.data(), &key.size));
    EXPECT_EQ(demand.name, key.name());
}

TEST_F(SeamContract, ReadsTheComputerNameWithItsLength) {
    NameBuffer buffer;
    ASSERT_NE(0, platform.GetComputerNameA(buffer.text.data(), &buffer.size));
    EXPECT_FALSE(buffer.name().empty());
    EXPECT_EQ(buffer.name().size(), buffer.size);

    std::string tooSmall(1, ' ');
    std::uint32_t size = 1;
    expectFailure(
        "GetComputerNameA into one byte",
        [&] { return platform.GetComputerNameA(tooSmall.data(), &size); }, error::BufferOverflow);
    EXPECT_EQ(buffer.name().size() + 1, size) << "the size needed, with its NUL";
}

TEST_F(SeamContract, KeepsTheLastErrorOfItsOwnLastCall) {
    const auto manager = openManager(access::GenericRead);
    ASSERT_TRUE(manager);
    EXPECT_EQ(0u, platform.OpenServiceA(manager.get(), UnknownService, access::ServiceQueryStatus));
    // Neither another module's error nor a code-page conversion may change what was read.
    subject->disturbThreadError();
    EXPECT_EQ(u"x", platform.fromAnsi(platform.toAnsi(u"x")));
    EXPECT_EQ(error::ServiceDoesNotExist, platform.lastError());
}

TEST_F(SeamContract, ConvertsTextOverItsWholeLengthNulsIncluded) {
    const std::u16string texts[] = {
        u"",
        std::u16string(u"Print\0Spooler", 13),
        std::u16string(u"\0\0", 2),
        std::u16string(NameBufferSize, u' '),
        u"Caf\u00e9 A-Z 0-9",
    };
    for (const auto& text : texts) {
        EXPECT_EQ(text, platform.fromAnsi(platform.toAnsi(text)));
    }
    EXPECT_EQ(std::string("Print\0Spooler", 13), platform.toAnsi(texts[1]));
    EXPECT_EQ(std::string(NameBufferSize, ' '), platform.toAnsi(texts[3]));
}

} // namespace
} // namespace tobrunel::contract

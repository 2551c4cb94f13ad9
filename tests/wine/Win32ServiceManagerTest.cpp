// Win32ServiceManager against Wine's real service control manager: every call reaches the
// platform with its arguments intact and brings back the platform's records, sizes and errors.
#include "scm/Conversions.h"
#include "scm/ScHandle.h"
#include "scm/Win32ServiceManager.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tobrunel::scm {
namespace {

constexpr std::uint32_t Win32Services = 0x30;
constexpr std::uint32_t AnyState = 3;
constexpr std::uint32_t EnumerationBufferSize = 9252;
constexpr DWORD Sentinel = 0xdeadbeef;
constexpr const char* UnknownService = "Tobrunel-No-Such-Service";

using Bytes = std::vector<std::byte>;

bool pointsInto(const Bytes& buffer, const char* text) {
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    const auto* end = begin + buffer.size();
    return text != nullptr && std::less_equal<>{}(begin, text) && std::less<>{}(text, end) &&
           std::memchr(text, '\0', static_cast<std::size_t>(end - text)) != nullptr;
}

SC_HANDLE platformHandle(const ScHandle& handle) {
    return reinterpret_cast<SC_HANDLE>(handle.get());
}

// A buffer of 256 spaces, as the model hands the name lookups; the text ends at its first NUL.
struct NameBuffer {
    std::string text = std::string(256, ' ');
    std::uint32_t size = 256;
    std::string name() const { return text.substr(0, text.find('\0')); }
};

class Win32ServiceManagerTest : public ::testing::Test {
protected:
    ScHandle openManager(std::uint32_t access) {
        return ScHandle(platform, platform.OpenSCManagerA(nullptr, nullptr, access));
    }
    ScHandle openService(const ScHandle& manager, const char* name, std::uint32_t access) {
        return ScHandle(platform, platform.OpenServiceA(manager.get(), name, access));
    }

    Win32ServiceManager platform;
};

TEST_F(Win32ServiceManagerTest, OpensAndClosesTheLocalManagerByEmptyOrNullName) {
    for (const char* machine : {static_cast<const char*>(nullptr), ""}) {
        const RawHandle manager = platform.OpenSCManagerA(machine, nullptr, access::GenericRead);
        ASSERT_NE(0u, manager);
        EXPECT_NE(0, platform.CloseServiceHandle(manager));
    }
    ::SetLastError(Sentinel);
    EXPECT_EQ(0, platform.CloseServiceHandle(0));
    EXPECT_EQ(error::InvalidHandle, platform.lastError());
}

TEST_F(Win32ServiceManagerTest, EnumeratesIntoTheBufferWithEveryTextInsideIt) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    Bytes buffer(EnumerationBufferSize);
    std::uint32_t needed = 0xFFFF;
    std::uint32_t returned = 0xFFFF;
    std::uint32_t resume = 0;
    ASSERT_NE(0, platform.EnumServicesStatusA(manager.get(), Win32Services, AnyState, buffer.data(),
                                              EnumerationBufferSize, &needed, &returned, &resume));
    ASSERT_GT(returned, 0u);
    ASSERT_LE(returned * sizeof(EnumServiceStatus), buffer.size());
    EXPECT_EQ(0u, resume);

    std::set<std::string> names;
    for (std::uint32_t i = 0; i < returned; ++i) {
        EnumServiceStatus record;
        std::memcpy(&record, buffer.data() + i * sizeof record, sizeof record);
        ASSERT_TRUE(pointsInto(buffer, record.lpServiceName)) << "record " << i;
        ASSERT_TRUE(pointsInto(buffer, record.lpDisplayName)) << "record " << i;
        EXPECT_NE(0u, record.serviceStatus.dwServiceType & Win32Services) << record.lpServiceName;
        EXPECT_GE(record.serviceStatus.dwCurrentState, 1u) << record.lpServiceName;
        EXPECT_LE(record.serviceStatus.dwCurrentState, 7u) << record.lpServiceName;
        names.insert(record.lpServiceName);
    }
    EXPECT_EQ(returned, names.size());
    EXPECT_EQ(1u, names.count("Spooler"));
}

TEST_F(Win32ServiceManagerTest, EnumerationIntoTooSmallABufferAsksForMore) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    Bytes buffer(sizeof(EnumServiceStatus));
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    std::uint32_t resume = 0;
    ::SetLastError(Sentinel);
    EXPECT_EQ(0, platform.EnumServicesStatusA(manager.get(), Win32Services, AnyState, buffer.data(),
                                              static_cast<std::uint32_t>(buffer.size()), &needed,
                                              &returned, &resume));
    EXPECT_EQ(error::MoreData, platform.lastError());
    EXPECT_GT(needed, buffer.size());
}

TEST_F(Win32ServiceManagerTest, EnumerationRefusesAnEmptyMask) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    ASSERT_TRUE(manager);
    struct Row {
        std::uint32_t type;
        std::uint32_t state;
    };
    for (const Row row : {Row{0, AnyState}, Row{Win32Services, 0}}) {
        Bytes buffer(EnumerationBufferSize);
        std::uint32_t needed = 0;
        std::uint32_t returned = 0;
        std::uint32_t resume = 0;
        ::SetLastError(Sentinel);
        EXPECT_EQ(0,
                  platform.EnumServicesStatusA(manager.get(), row.type, row.state, buffer.data(),
                                               EnumerationBufferSize, &needed, &returned, &resume));
        EXPECT_EQ(error::InvalidParameter, platform.lastError()) << row.type << "/" << row.state;
    }
}

TEST_F(Win32ServiceManagerTest, QueriesStatusAsThePlatformReportsIt) {
    const auto manager = openManager(access::ScManagerEnumerateService);
    const auto service = openService(manager, "Spooler", access::ServiceQueryStatus);
    ASSERT_TRUE(service);
    ServiceStatus status{};
    ASSERT_NE(0, platform.QueryServiceStatus(service.get(), &status));
    SERVICE_STATUS expected{};
    ASSERT_TRUE(::QueryServiceStatus(platformHandle(service), &expected));
    EXPECT_EQ(expected.dwServiceType, status.dwServiceType);
    EXPECT_EQ(expected.dwCurrentState, status.dwCurrentState);
    EXPECT_EQ(expected.dwControlsAccepted, status.dwControlsAccepted);
    EXPECT_EQ(expected.dwWin32ExitCode, status.dwWin32ExitCode);
    EXPECT_NE(0u, status.dwServiceType & Win32Services);
}

TEST_F(Win32ServiceManagerTest, ProbesTheConfigurationSizeThenReadsTheRecord) {
    const auto manager = openManager(access::ScManagerConnect);
    const auto service = openService(manager, "Spooler", access::ServiceQueryConfig);
    ASSERT_TRUE(service);

    char probe[1] = {' '};
    std::uint32_t needed = 0;
    ::SetLastError(Sentinel);
    ASSERT_EQ(0, platform.QueryServiceConfigA(service.get(), probe, 0, &needed));
    ASSERT_EQ(error::InsufficientBuffer, platform.lastError());
    ASSERT_GT(needed, sizeof(ServiceConfig));

    Bytes buffer(needed + 1);
    std::uint32_t neededAgain = 0;
    ASSERT_NE(0, platform.QueryServiceConfigA(service.get(), buffer.data(), needed, &neededAgain));
    const ServiceConfig record = readConfigRecord(buffer);

    Bytes expectedBuffer(needed + 1);
    DWORD expectedNeeded = 0;
    auto* expected = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(expectedBuffer.data());
    ASSERT_TRUE(::QueryServiceConfigA(platformHandle(service), expected, needed, &expectedNeeded));
    EXPECT_EQ(expected->dwServiceType, record.dwServiceType);
    EXPECT_EQ(expected->dwStartType, record.dwStartType);
    EXPECT_EQ(expected->dwErrorControl, record.dwErrorControl);
    EXPECT_EQ(expected->dwTagId, record.dwTagId);
    const std::pair<const char*, const char*> texts[] = {
        {record.lpBinaryPathName, expected->lpBinaryPathName},
        {record.lpLoadOrderGroup, expected->lpLoadOrderGroup},
        {record.lpServiceStartName, expected->lpServiceStartName},
        {record.lpDisplayName, expected->lpDisplayName},
    };
    for (const auto& [text, expectedText] : texts) {
        ASSERT_TRUE(pointsInto(buffer, text));
        EXPECT_STREQ(expectedText, text);
    }
    ASSERT_TRUE(pointsInto(buffer, record.lpDependencies));
    EXPECT_NE(nullptr, std::strstr(record.lpBinaryPathName, "spoolsv"));
}

TEST_F(Win32ServiceManagerTest, LooksNamesUpWithoutRegardToCase) {
    const auto manager = openManager(access::GenericRead);
    ASSERT_TRUE(manager);
    char expected[256] = {};
    DWORD expectedSize = sizeof expected;
    ASSERT_TRUE(
        ::GetServiceDisplayNameA(platformHandle(manager), "Spooler", expected, &expectedSize));

    NameBuffer display;
    ASSERT_NE(0, platform.GetServiceDisplayNameA(manager.get(), "sPOOLER", display.text.data(),
                                                 &display.size));
    EXPECT_EQ(expected, display.name());
    // The ANSI lookups leave the size as it was on success; whatever they do must pass through.
    EXPECT_EQ(expectedSize, display.size);

    std::string otherCase = display.name();
    for (auto& c : otherCase) {
        c = static_cast<char>(std::islower(static_cast<unsigned char>(c)) ? std::toupper(c)
                                                                          : std::tolower(c));
    }
    NameBuffer key;
    ASSERT_NE(0, platform.GetServiceKeyNameA(manager.get(), otherCase.c_str(), key.text.data(),
                                             &key.size));
    EXPECT_EQ("Spooler", key.name());
    char expectedKey[256] = {};
    DWORD expectedKeySize = sizeof expectedKey;
    ASSERT_TRUE(::GetServiceKeyNameA(platformHandle(manager), otherCase.c_str(), expectedKey,
                                     &expectedKeySize));
    EXPECT_EQ(expectedKeySize, key.size);
}

TEST_F(Win32ServiceManagerTest, AnUnknownNameFailsWith1060) {
    const auto manager = openManager(access::GenericRead);
    ASSERT_TRUE(manager);
    NameBuffer buffer;
    const std::pair<const char*, std::function<int()>> calls[] = {
        {"OpenServiceA",
         [&] {
             const auto service =
                 platform.OpenServiceA(manager.get(), UnknownService, access::ServiceQueryStatus);
             return service == 0 ? 0 : platform.CloseServiceHandle(service);
         }},
        {"GetServiceDisplayNameA",
         [&] {
             return platform.GetServiceDisplayNameA(manager.get(), UnknownService,
                                                    buffer.text.data(), &buffer.size);
         }},
        {"GetServiceKeyNameA",
         [&] {
             return platform.GetServiceKeyNameA(manager.get(), UnknownService, buffer.text.data(),
                                                &buffer.size);
         }},
    };
    for (const auto& [function, call] : calls) {
        ::SetLastError(Sentinel);
        EXPECT_EQ(0, call()) << function;
        EXPECT_EQ(error::ServiceDoesNotExist, platform.lastError()) << function;
    }
}

TEST_F(Win32ServiceManagerTest, KeepsTheLastErrorOfItsOwnLastCall) {
    const auto manager = openManager(access::GenericRead);
    ::SetLastError(Sentinel);
    EXPECT_EQ(0u, platform.OpenServiceA(manager.get(), UnknownService, access::ServiceQueryStatus));
    // Neither another module's error nor a code-page conversion may change what was read.
    ::SetLastError(Sentinel);
    EXPECT_EQ(u"x", platform.fromAnsi(platform.toAnsi(u"x")));
    EXPECT_EQ(error::ServiceDoesNotExist, platform.lastError());
    EXPECT_EQ(Sentinel, ::GetLastError());
}

TEST_F(Win32ServiceManagerTest, AHandleWithoutTheRightIsRefused) {
    const auto manager = openManager(access::ScManagerConnect);
    const auto service = openService(manager, "Spooler", access::ServiceQueryStatus);
    ASSERT_TRUE(service);
    ServiceStatus status{};
    const std::pair<const char*, std::function<int()>> calls[] = {
        {"DeleteService", [&] { return platform.DeleteService(service.get()); }},
        {"StartServiceA", [&] { return platform.StartServiceA(service.get(), 0, nullptr); }},
        {"ControlService",
         [&] { return platform.ControlService(service.get(), control::Stop, &status); }},
    };
    for (const auto& [function, call] : calls) {
        ::SetLastError(Sentinel);
        EXPECT_EQ(0, call()) << function;
        EXPECT_EQ(error::AccessDenied, platform.lastError()) << function;
    }
}

// waitForState polls until the service reaches `state`; Wine's spooler takes milliseconds.
bool waitForState(Win32ServiceManager& platform, RawHandle service, std::uint32_t state) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        ServiceStatus status{};
        if (platform.QueryServiceStatus(service, &status) != 0 && status.dwCurrentState == state) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST_F(Win32ServiceManagerTest, StartsAndStopsTheSpoolerWithItsStatusWrittenBack) {
    constexpr std::uint32_t Stopped = 1;
    constexpr std::uint32_t Running = 4;
    const auto manager = openManager(access::ScManagerConnect);
    const auto service =
        openService(manager, "Spooler",
                    access::ServiceStart | access::ServiceStop | access::ServiceQueryStatus);
    ASSERT_TRUE(service);
    ServiceStatus before{};
    ASSERT_NE(0, platform.QueryServiceStatus(service.get(), &before));
    if (before.dwCurrentState != Stopped) {
        ServiceStatus ignored{};
        platform.ControlService(service.get(), control::Stop, &ignored);
        ASSERT_TRUE(waitForState(platform, service.get(), Stopped));
    }

    ServiceStatus status{};
    ::SetLastError(Sentinel);
    EXPECT_EQ(0, platform.ControlService(service.get(), control::Stop, &status));
    EXPECT_EQ(error::ServiceNotActive, platform.lastError());

    ASSERT_NE(0, platform.StartServiceA(service.get(), 0, nullptr));
    ASSERT_TRUE(waitForState(platform, service.get(), Running));
    ::SetLastError(Sentinel);
    EXPECT_EQ(0, platform.StartServiceA(service.get(), 0, nullptr));
    EXPECT_EQ(error::ServiceAlreadyRunning, platform.lastError());

    status = {};
    ASSERT_NE(0, platform.ControlService(service.get(), control::Stop, &status));
    EXPECT_NE(0u, status.dwServiceType & Win32Services);
    EXPECT_TRUE(status.dwCurrentState == Stopped || status.dwCurrentState == 3)
        << status.dwCurrentState;
    EXPECT_TRUE(waitForState(platform, service.get(), Stopped));

    if (before.dwCurrentState == Running) {
        platform.StartServiceA(service.get(), 0, nullptr);
    }
}

TEST_F(Win32ServiceManagerTest, ReadsTheComputerNameAsThePlatformDoes) {
    char expected[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD expectedSize = sizeof expected;
    ASSERT_TRUE(::GetComputerNameA(expected, &expectedSize));

    NameBuffer buffer;
    ASSERT_NE(0, platform.GetComputerNameA(buffer.text.data(), &buffer.size));
    EXPECT_EQ(expected, buffer.name());
    EXPECT_EQ(expectedSize, buffer.size);
    EXPECT_EQ(platform.fromAnsi(expected), readComputerName(platform));
}

TEST_F(Win32ServiceManagerTest, ConvertsTextOverItsWholeLengthNulsIncluded) {
    const std::u16string texts[] = {
        u"",
        std::u16string(u"Print\0Spooler", 13),
        std::u16string(u"\0\0", 2),
        std::u16string(256, u' '),
        u"Caf\u00e9 A-Z 0-9",
    };
    for (const auto& text : texts) {
        const std::string ansi = platform.toAnsi(text);
        EXPECT_EQ(text, platform.fromAnsi(ansi));
    }
    EXPECT_EQ(std::string("Print\0Spooler", 13), platform.toAnsi(texts[1]));
    EXPECT_EQ(std::string(256, ' '), platform.toAnsi(texts[3]));
}

} // namespace
} // namespace tobrunel::scm

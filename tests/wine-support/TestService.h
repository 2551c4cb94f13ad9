// The real test service: this test program relaunched with `--serve <name>` runs as a service of
// the prefix; the installer side creates, finds and removes such services for the tests.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace tobrunel::wintest {

// The roles a test program can have installed for it; each program asks for the ones it needs.
// Automatic is set to start automatically but installed stopped; Stubborn runs like Demand but
// never reports that it accepts a stop, and stays Pause Pending once asked to pause, until it is
// asked to continue.
enum class Role { Demand, Disabled, Deletable, Automatic, Stubborn };

// InstalledService is everything a test knows about an installed service before it asks the
// platform: the tests compare what the object model reads against these values.
struct InstalledService {
    std::string name;
    std::string displayName;
    std::string binaryPath;
    std::string loadOrderGroup;
    std::uint32_t serviceType;
    std::uint32_t startType;
    std::uint32_t errorControl;
};

// Every service of these programs has a name that starts with this, so a later run finds the
// leftovers of a crashed one.
inline constexpr const char* ServicePrefix = "TobrunelTest";

// What the service reports while it moves between states, so tests can recognise it.
inline constexpr std::uint32_t PendingCheckPoint = 1;
inline constexpr std::uint32_t PendingWaitHint = 3000;
inline constexpr std::uint32_t AcceptedControls =
    SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;

// installedAs names the service of `role` for this process: prefix + process id + role, the test
// program's own Windows path as binary, demand start (the disabled one: disabled; the automatic
// one: auto start).
InstalledService installedAs(Role role);

// serveIfAsked runs the service when the command line is `--serve <name>` and returns the
// program's exit code; for any other command line it returns nothing and the tests run.
std::optional<int> serveIfAsked(int argc, char** argv);

// TestServiceEnvironment removes what a crashed run left behind, installs the services of its
// roles before the first test, and stops and deletes them after the last one, also when tests
// failed. A test may delete one of them itself; teardown then has nothing to do for it.
//
// It also holds one manager handle for the whole run. Wine drops a process's connection to its
// service control manager when the last handle closes and builds it again on the next open,
// which makes every open of the manager several times dearer; the model opens one per
// operation. The held handle keeps no service in the database.
class TestServiceEnvironment : public ::testing::Environment {
public:
    explicit TestServiceEnvironment(std::initializer_list<Role> roles);
    void SetUp() override;
    void TearDown() override;

private:
    std::vector<Role> roles_;
    std::shared_ptr<void> connection_;
};

// runWineTests is the main of every real-manager test program: the service when relaunched as
// one, otherwise GoogleTest with the environment for `roles`.
int runWineTests(int argc, char** argv, std::initializer_list<Role> roles);

struct ProcessCloser {
    void operator()(HANDLE process) const noexcept { ::CloseHandle(process); }
};
using ProcessHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, ProcessCloser>;

// serviceProcess opens the process that runs the service, to await its end; empty when none runs.
ProcessHandle serviceProcess(const std::string& name);

// ended waits up to five seconds for `process` to end; true when it has, or when there was none.
bool ended(const ProcessHandle& process);

// removeService stops the service (ending its process if it does not stop) and deletes it; true
// when it is marked for deletion or was never there.
bool removeService(const std::string& name);

} // namespace tobrunel::wintest

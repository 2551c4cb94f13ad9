// The administrators' recipes in examples/ as a scheduled task runs them: cscript with arguments,
// judged by exit code and printed lines, against the real test service and Wine's own manager.
// cscript prints nothing and exits 0 when a script fails at run time, so every case checks the
// printed line as well as the exit code.
#include "tests/wine-support/TestService.h"
#include "tests/wine-support/WineTestSupport.h"

#include "tests/wine-support/ServerTestSupport.h"

#include <chrono>
#include <iostream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace tobrunel::wintest {
namespace {

using Clock = std::chrono::steady_clock;
using Export = HRESULT(STDAPICALLTYPE*)();

// A recipe that has not ended by then never will: it ignores its time-out.
constexpr auto RecipeLimit = std::chrono::seconds(40);

struct RecipeRun {
    bool ended = false;
    DWORD exitCode = 0;
    std::string output; // without carriage returns
    std::chrono::duration<double> took{};
};

std::ostream& operator<<(std::ostream& out, const RecipeRun& run) {
    return out << "exit " << run.exitCode << (run.ended ? "" : " (killed)") << " after "
               << run.took.count() << " s, printed:\n"
               << run.output;
}

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// outputFile is a temporary file that the recipe writes to and that goes when it is closed; a
// file rather than a pipe, so nothing blocks on a recipe that hangs or on its helper programs.
Handle outputFile() {
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"rcp", 0, path);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE file = ::CreateFileW(
        path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return Handle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

std::string contentsOf(HANDLE file) {
    std::string text;
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    std::erase(text, '\r');
    return text;
}

// runRecipe runs examples/<recipe> through cscript with `arguments`, each quoted.
RecipeRun runRecipe(const std::string& recipe, const std::vector<std::string>& arguments) {
    std::wstring command =
        L"cscript.exe //nologo \"" + client::windowsPathOf(TOBRUNEL_EXAMPLES "/" + recipe) + L"\"";
    for (const auto& argument : arguments) {
        command += L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
    }
    RecipeRun run;
    const Handle output = outputFile();
    if (!output) {
        run.output = "(no output file)";
        return run;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    PROCESS_INFORMATION process{};
    const auto started = Clock::now();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        run.output = "(cscript did not start: error " + std::to_string(::GetLastError()) + ")";
        return run;
    }
    const Handle processHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(RecipeLimit);
    run.ended = ::WaitForSingleObject(processHandle.get(), static_cast<DWORD>(limit.count())) ==
                WAIT_OBJECT_0;
    run.took = Clock::now() - started;
    if (!run.ended) {
        ::TerminateProcess(processHandle.get(), 99);
        ::WaitForSingleObject(processHandle.get(), 5000);
    }
    ::GetExitCodeProcess(processHandle.get(), &run.exitCode);
    run.output = contentsOf(output.get());
    return run;
}

// printedInOrder: the output holds lines matching `patterns`, in this order (each an ECMAScript
// regex matched against a whole line).
bool printedInOrder(const std::string& output, const std::vector<std::string>& patterns) {
    std::istringstream lines(output);
    std::string line;
    auto next = patterns.begin();
    while (next != patterns.end() && std::getline(lines, line)) {
        if (std::regex_match(line, std::regex(*next))) {
            ++next;
        }
    }
    return next == patterns.end();
}

// literal is a regex that matches `text` as it stands.
std::string literal(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

DWORD processIdOf(const std::string& name) {
    const auto status = queryStatusProcess(name);
    return status ? status->dwProcessId : 0;
}

DWORD stateOf(const std::string& name) {
    const auto status = queryStatus(name);
    return status ? status->dwCurrentState : 0;
}

// The recipes create the component by its ProgID, so the DLL is registered for the whole run.
class RecipesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(S_OK, library().entry<Export>("DllRegisterServer")());
    }
    static void TearDownTestSuite() { library().entry<Export>("DllUnregisterServer")(); }
    static server::testing::LoadedLibrary& library() {
        static server::testing::LoadedLibrary loaded(server::testing::dllPath());
        return loaded;
    }

    // startedStubborn starts the stubborn service unless it runs; it may still hang in a pause
    // when a test that asked for one failed before it put the service back.
    static std::string startedStubborn() {
        const auto stubborn = installedAs(Role::Stubborn).name;
        if (stateOf(stubborn) == SERVICE_STOPPED) {
            EXPECT_TRUE(startService(stubborn));
        }
        return stubborn;
    }

    const std::string demand = installedAs(Role::Demand).name;
};

TEST_F(RecipesTest, RestartStopsAndStartsTheServiceAndReportsEachStep) {
    ASSERT_TRUE(startService(demand));
    const DWORD before = processIdOf(demand);

    const auto run = runRecipe("restart-service.vbs", {demand, "20"});

    EXPECT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(printedInOrder(run.output, {"Restarting " + demand + " .*which is Running\\.",
                                            "Stopping " + demand + ": request taken.*",
                                            demand + " is Stopped after .* s\\.",
                                            "Starting " + demand + ": request taken.*",
                                            demand + " is Running after .* s\\.",
                                            "Restarted " + demand + "\\."}))
        << run;
    // A new process serves it: it was really stopped, not just asked.
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), stateOf(demand));
    EXPECT_NE(before, processIdOf(demand));
    std::cout << "restart-service.vbs " << demand << " 20\n" << run;
}

TEST_F(RecipesTest, RestartRefusesAServiceThatAcceptsNoStop) {
    const auto stubborn = startedStubborn();
    const auto status = queryStatus(stubborn).value();
    const auto accepted = status.dwControlsAccepted;
    ASSERT_EQ(0u, accepted & SERVICE_ACCEPT_STOP) << "the platform says it accepts a stop";
    const std::string state =
        status.dwCurrentState == SERVICE_RUNNING ? "Running" : "Pause Pending";
    const DWORD before = processIdOf(stubborn);

    const auto run = runRecipe("restart-service.vbs", {stubborn, "20"});

    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(printedInOrder(
        run.output, {"Refused: " + stubborn + " does not accept a stop request while it is " +
                     state + " " + "\\(ControlsAccepted " + std::to_string(accepted) + "\\)\\."}))
        << run;
    EXPECT_EQ(status.dwCurrentState, stateOf(stubborn));
    EXPECT_EQ(before, processIdOf(stubborn));
    std::cout << "restart-service.vbs " << stubborn << " 20\n" << run;
}

TEST_F(RecipesTest, WaitEndsAtOnceWhenTheStateIsReached) {
    ASSERT_TRUE(startService(demand));
    for (const char* state : {"Running", "running", "RUNNING", "4"}) {
        const auto run = runRecipe("wait-for-state.vbs", {demand, state, "20"});
        EXPECT_EQ(0u, run.exitCode) << state << ": " << run;
        EXPECT_TRUE(printedInOrder(run.output, {demand + " is Running\\."}))
            << state << ": " << run;
    }
}

// Wine's WScript.Sleep fails at once, so a recipe that counted its pauses would give up early,
// and one that ignored its time-out would be killed.
TEST_F(RecipesTest, WaitGivesUpAtItsTimeOutByTheClock) {
    ASSERT_TRUE(startService(demand));
    struct Case {
        const char* state;
        const char* named;
    };
    for (const auto& [state, named] :
         {Case{"Paused", "Paused"}, Case{"start pending", "Start Pending"}}) {
        const auto run = runRecipe("wait-for-state.vbs", {demand, state, "3"});
        EXPECT_EQ(1u, run.exitCode) << state << ": " << run;
        EXPECT_TRUE(
            printedInOrder(run.output, {"Gave up waiting for " + demand + " to be " + named +
                                        ": timed out after .* s while it is " + "Running\\."}))
            << state << ": " << run;
        EXPECT_GE(run.took.count(), 3.0) << state << ": " << run;
        EXPECT_LT(run.took.count(), 3.0 + 5.0) << state << ": " << run;
        if (state == std::string("Paused")) {
            std::cout << "wait-for-state.vbs " << demand << " Paused 3\n" << run;
        }
    }
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), stateOf(demand));
}

// Windows' own rule for pending operations: a check point that has not moved for longer than the
// wait hint means the operation hangs, long before the time-out.
TEST_F(RecipesTest, WaitGivesUpOnAPendingOperationThatMakesNoProgress) {
    const auto stubborn = startedStubborn();
    if (stateOf(stubborn) == SERVICE_RUNNING) {
        const auto opened = openService(stubborn, SERVICE_PAUSE_CONTINUE);
        SERVICE_STATUS status{};
        ASSERT_TRUE(::ControlService(opened.service.get(), SERVICE_CONTROL_PAUSE, &status));
    }
    ASSERT_EQ(static_cast<DWORD>(SERVICE_PAUSE_PENDING), stateOf(stubborn));

    const auto run = runRecipe("wait-for-state.vbs", {stubborn, "Paused", "30"});

    EXPECT_EQ(1u, run.exitCode) << run;
    EXPECT_TRUE(printedInOrder(
        run.output, {"Gave up waiting for " + stubborn + " to be Paused: no progress: Pause " +
                     "Pending at check point " + std::to_string(PendingCheckPoint) +
                     " for .* s, longer than its wait hint of " +
                     std::to_string(PendingWaitHint / 1000) + " s\\."}))
        << run;
    EXPECT_GE(run.took.count(), PendingWaitHint / 1000.0) << run;
    EXPECT_LT(run.took.count(), PendingWaitHint / 1000.0 + 5.0) << run;
    std::cout << "wait-for-state.vbs " << stubborn << " Paused 30 (the service hangs in a pause)\n"
              << run;

    const auto opened = openService(stubborn, SERVICE_PAUSE_CONTINUE);
    SERVICE_STATUS status{};
    EXPECT_TRUE(::ControlService(opened.service.get(), SERVICE_CONTROL_CONTINUE, &status));
    EXPECT_TRUE(eventually([&] { return stateOf(stubborn) == SERVICE_RUNNING; }));
}

TEST_F(RecipesTest, AnUnknownServiceFails) {
    const std::string unknown = std::string(ServicePrefix) + "NoSuchService";
    for (const auto& [recipe, arguments] : {std::pair<std::string, std::vector<std::string>>{
                                                "wait-for-state.vbs", {unknown, "Running", "5"}},
                                            {"restart-service.vbs", {unknown, "5"}}}) {
        const auto run = runRecipe(recipe, arguments);
        EXPECT_EQ(1u, run.exitCode) << recipe << ": " << run;
        EXPECT_TRUE(
            printedInOrder(run.output, {"No service named " + unknown + " on this computer\\."}))
            << recipe << ": " << run;
    }
}

TEST_F(RecipesTest, BadUsageExitsWithTwoAndPrintsTheUsage) {
    struct Case {
        std::string recipe;
        std::vector<std::string> arguments;
    };
    const std::vector<Case> cases{
        {"wait-for-state.vbs", {}},
        {"wait-for-state.vbs", {demand}},
        {"wait-for-state.vbs", {demand, "Sleeping"}},
        {"wait-for-state.vbs", {demand, "0"}},
        {"wait-for-state.vbs", {demand, "8"}},
        {"wait-for-state.vbs", {demand, "Running", "soon"}},
        {"wait-for-state.vbs", {demand, "Running", "0"}},
        {"wait-for-state.vbs", {demand, "Running", "5", "more"}},
        {"restart-service.vbs", {}},
        {"restart-service.vbs", {demand, "-1"}},
        {"restart-service.vbs", {demand, "5", "more"}},
        {"stopped-auto-services.vbs", {"one", "two"}},
        {"stopped-auto-services.vbs", {"/?"}},
    };
    for (const auto& [recipe, arguments] : cases) {
        const auto run = runRecipe(recipe, arguments);
        std::string shown = recipe;
        for (const auto& argument : arguments) {
            shown += " " + argument;
        }
        EXPECT_EQ(2u, run.exitCode) << shown << ": " << run;
        EXPECT_TRUE(printedInOrder(run.output, {"usage: cscript //nologo " + recipe + " .*"}))
            << shown << ": " << run;
    }
}

// The platform's own answer: the Win32 services set to auto start that are not running.
std::set<std::string> stoppedAutomaticServices(int& automatic) {
    std::set<std::string> names;
    automatic = 0;
    const auto services = enumerateServices(SERVICE_WIN32, SERVICE_STATE_ALL);
    for (const auto& service : services.value()) {
        const auto config = queryConfig(service.name);
        if (config && config->startType == SERVICE_AUTO_START) {
            ++automatic;
            if (service.status.dwCurrentState != SERVICE_RUNNING) {
                names.insert(service.name);
            }
        }
    }
    return names;
}

std::set<std::string> listedNames(const std::string& output) {
    std::set<std::string> names;
    std::istringstream lines(output);
    std::string line;
    const std::regex row("(\\S+)  (Stopped|Start Pending|Stop Pending|Continue Pending|"
                         "Pause Pending|Paused)  .*  \\(exit code -?[0-9]+\\)");
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, match, row)) {
            names.insert(match[1]);
        }
    }
    return names;
}

TEST_F(RecipesTest, StoppedAutomaticServicesAreListedAndFailTheCheck) {
    const auto automatic = installedAs(Role::Automatic);
    ASSERT_EQ(static_cast<DWORD>(SERVICE_STOPPED), stateOf(automatic.name));

    for (const bool started : {false, true}) {
        if (started) {
            ASSERT_TRUE(startService(automatic.name));
        }
        int count = 0;
        const auto expected = stoppedAutomaticServices(count);
        ASSERT_EQ(!started, expected.contains(automatic.name));

        const auto run = runRecipe("stopped-auto-services.vbs", {});

        EXPECT_EQ(listedNames(run.output), expected) << run;
        std::vector<std::string> lines{std::to_string(expected.size()) + " of " +
                                       std::to_string(count) +
                                       " automatic services on .* are not running\\."};
        if (!started) {
            lines.insert(lines.begin(), literal(automatic.name + "  Stopped  " +
                                                automatic.displayName + "  (exit code ") +
                                            "[0-9]+\\)");
        }
        if (expected.empty()) {
            lines = {"All " + std::to_string(count) + " automatic services on .* are running\\."};
        }
        EXPECT_EQ(expected.empty() ? 0u : 1u, run.exitCode) << run;
        EXPECT_TRUE(printedInOrder(run.output, lines)) << run;
        std::cout << "stopped-auto-services.vbs (test service " << (started ? "running" : "stopped")
                  << ")\n"
                  << run;
    }
}

} // namespace
} // namespace tobrunel::wintest

int main(int argc, char** argv) {
    using tobrunel::wintest::Role;
    return tobrunel::wintest::runWineTests(argc, argv,
                                           {Role::Demand, Role::Stubborn, Role::Automatic});
}

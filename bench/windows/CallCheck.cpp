// Records the platform calls of the object model's refresh and of the floor's, in one notation,
// so the bench can show that the floor is the component's own sequence of calls.
#include "model/clsServices.h"
#include "scm/Win32ServiceManager.h"

#include "bench/windows/CallCheck.h"
#include "bench/windows/FloorRefresh.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tobrunel::bench {

namespace {

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

std::string textOrNull(const char* text) {
    if (text == nullptr) {
        return "null";
    }
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

std::string bytes(std::uint32_t size) {
    return std::to_string(size).append(" bytes");
}

// describe writes one call as `function(argument, argument, ...)`.
std::string describe(std::string_view function, std::initializer_list<std::string> arguments) {
    std::string line(function);
    line.push_back('(');
    const char* separator = "";
    for (const auto& argument : arguments) {
        line.append(separator).append(argument);
        separator = ", ";
    }
    line.push_back(')');
    return line;
}

// CallLog writes one line per call. A handle is named by the open that gave it (#1, #2, ...),
// so two runs compare equal although the platform hands out other values each time.
class CallLog {
public:
    std::string nameOf(std::uintptr_t handle) const {
        const auto found = names_.find(handle);
        return found == names_.end() ? "?" : found->second;
    }
    void opened(std::uintptr_t handle, const std::string& call) {
        std::string line = call;
        if (handle == 0) {
            lines_.push_back(line.append(" -> null"));
            return;
        }
        const std::string name = std::string(1, '#').append(std::to_string(++opens_));
        names_[handle] = name;
        lines_.push_back(line.append(" -> ").append(name));
    }
    void called(const std::string& call) { lines_.push_back(call); }
    void closed(std::uintptr_t handle) {
        lines_.push_back(describe("CloseServiceHandle", {nameOf(handle)}));
        names_.erase(handle);
    }
    void clear() {
        lines_.clear();
        names_.clear();
        opens_ = 0;
    }
    const std::vector<std::string>& lines() const noexcept { return lines_; }

private:
    std::vector<std::string> lines_;
    std::map<std::uintptr_t, std::string> names_;
    int opens_ = 0;
};

std::string openManagerCall(const char* machine, const char* database, std::uint32_t access) {
    return describe("OpenSCManagerA", {textOrNull(machine), textOrNull(database), hex(access)});
}
std::string openServiceCall(const CallLog& log, std::uintptr_t manager, const char* name,
                            std::uint32_t access) {
    return describe("OpenServiceA", {log.nameOf(manager), textOrNull(name), hex(access)});
}
std::string enumerateCall(const CallLog& log, std::uintptr_t manager, std::uint32_t type,
                          std::uint32_t state, std::uint32_t size, std::uint32_t resume) {
    return describe("EnumServicesStatusA", {log.nameOf(manager), hex(type), hex(state), bytes(size),
                                            "resume " + std::to_string(resume)});
}
std::string displayNameCall(const CallLog& log, std::uintptr_t manager, const char* name,
                            std::uint32_t size) {
    return describe("GetServiceDisplayNameA", {log.nameOf(manager), textOrNull(name), bytes(size)});
}
std::string configCall(const CallLog& log, std::uintptr_t service, std::uint32_t size) {
    return describe("QueryServiceConfigA", {log.nameOf(service), bytes(size)});
}
std::string handleCall(const CallLog& log, std::string_view function, std::uintptr_t handle) {
    return describe(function, {log.nameOf(handle)});
}

// ModelRecorder stands between the object model and the real manager.
class ModelRecorder final : public scm::ServiceManager {
public:
    explicit ModelRecorder(CallLog& log) : log_(log) {}

    scm::RawHandle OpenSCManagerA(const char* machine, const char* database,
                                  std::uint32_t access) override {
        const auto handle = platform_.OpenSCManagerA(machine, database, access);
        log_.opened(handle, openManagerCall(machine, database, access));
        return handle;
    }
    scm::RawHandle OpenServiceA(scm::RawHandle manager, const char* name,
                                std::uint32_t access) override {
        const auto handle = platform_.OpenServiceA(manager, name, access);
        log_.opened(handle, openServiceCall(log_, manager, name, access));
        return handle;
    }
    int CloseServiceHandle(scm::RawHandle handle) override {
        log_.closed(handle);
        return platform_.CloseServiceHandle(handle);
    }
    int QueryServiceStatus(scm::RawHandle service, scm::ServiceStatus* status) override {
        log_.called(handleCall(log_, "QueryServiceStatus", service));
        return platform_.QueryServiceStatus(service, status);
    }
    int QueryServiceConfigA(scm::RawHandle service, void* buffer, std::uint32_t size,
                            std::uint32_t* needed) override {
        log_.called(configCall(log_, service, size));
        return platform_.QueryServiceConfigA(service, buffer, size, needed);
    }
    int ControlService(scm::RawHandle service, std::uint32_t control,
                       scm::ServiceStatus* status) override {
        log_.called(describe("ControlService", {log_.nameOf(service), hex(control)}));
        return platform_.ControlService(service, control, status);
    }
    int StartServiceA(scm::RawHandle service, std::uint32_t count,
                      const char** arguments) override {
        log_.called(handleCall(log_, "StartServiceA", service));
        return platform_.StartServiceA(service, count, arguments);
    }
    int DeleteService(scm::RawHandle service) override {
        log_.called(handleCall(log_, "DeleteService", service));
        return platform_.DeleteService(service);
    }
    int EnumServicesStatusA(scm::RawHandle manager, std::uint32_t type, std::uint32_t state,
                            void* buffer, std::uint32_t size, std::uint32_t* needed,
                            std::uint32_t* returned, std::uint32_t* resume) override {
        log_.called(enumerateCall(log_, manager, type, state, size, *resume));
        return platform_.EnumServicesStatusA(manager, type, state, buffer, size, needed, returned,
                                             resume);
    }
    int GetServiceDisplayNameA(scm::RawHandle manager, const char* name, char* displayName,
                               std::uint32_t* size) override {
        log_.called(displayNameCall(log_, manager, name, *size));
        return platform_.GetServiceDisplayNameA(manager, name, displayName, size);
    }
    int GetServiceKeyNameA(scm::RawHandle manager, const char* displayName, char* name,
                           std::uint32_t* size) override {
        log_.called(handleCall(log_, "GetServiceKeyNameA", manager));
        return platform_.GetServiceKeyNameA(manager, displayName, name, size);
    }
    int GetComputerNameA(char* buffer, std::uint32_t* size) override {
        log_.called("GetComputerNameA");
        return platform_.GetComputerNameA(buffer, size);
    }
    std::uint32_t lastError() const override { return platform_.lastError(); }
    std::string toAnsi(std::u16string_view text) const override { return platform_.toAnsi(text); }
    std::u16string fromAnsi(std::string_view text) const override {
        return platform_.fromAnsi(text);
    }

private:
    CallLog& log_;
    scm::Win32ServiceManager platform_;
};

// FloorRecorder stands between the floor and advapi32. The last error is read right after each
// call, before the log's own allocations can disturb it.
class FloorRecorder {
public:
    explicit FloorRecorder(CallLog& log) : log_(log) {}

    SC_HANDLE OpenSCManagerA(const char* machine, const char* database, DWORD access) {
        const auto handle = keep(platform_.OpenSCManagerA(machine, database, access));
        log_.opened(raw(handle), openManagerCall(machine, database, access));
        return handle;
    }
    SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* name, DWORD access) {
        const auto handle = keep(platform_.OpenServiceA(manager, name, access));
        log_.opened(raw(handle), openServiceCall(log_, raw(manager), name, access));
        return handle;
    }
    BOOL CloseServiceHandle(SC_HANDLE handle) {
        log_.closed(raw(handle));
        return keep(platform_.CloseServiceHandle(handle));
    }
    BOOL EnumServicesStatusA(SC_HANDLE manager, DWORD type, DWORD state,
                             ENUM_SERVICE_STATUSA* records, DWORD size, DWORD* needed,
                             DWORD* returned, DWORD* resume) {
        log_.called(enumerateCall(log_, raw(manager), type, state, size, *resume));
        return keep(platform_.EnumServicesStatusA(manager, type, state, records, size, needed,
                                                  returned, resume));
    }
    BOOL GetServiceDisplayNameA(SC_HANDLE manager, const char* name, char* displayName,
                                DWORD* size) {
        log_.called(displayNameCall(log_, raw(manager), name, *size));
        return keep(platform_.GetServiceDisplayNameA(manager, name, displayName, size));
    }
    BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
        log_.called(handleCall(log_, "QueryServiceStatus", raw(service)));
        return keep(platform_.QueryServiceStatus(service, status));
    }
    BOOL QueryServiceConfigA(SC_HANDLE service, QUERY_SERVICE_CONFIGA* config, DWORD size,
                             DWORD* needed) {
        log_.called(configCall(log_, raw(service), size));
        return keep(platform_.QueryServiceConfigA(service, config, size, needed));
    }
    DWORD lastError() const { return lastError_; }

private:
    static std::uintptr_t raw(SC_HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }
    template <typename Result> Result keep(Result result) {
        lastError_ = platform_.lastError();
        return result;
    }

    CallLog& log_;
    DirectPlatform platform_;
    DWORD lastError_ = 0;
};

} // namespace

bool floorMatchesComponent(std::FILE* report) {
    CallLog modelLog;
    clsServices services(std::make_shared<ModelRecorder>(modelLog));
    modelLog.clear();
    services.Refresh();

    CallLog floorLog;
    FloorRecorder floorPlatform(floorLog);
    refreshFloor(floorPlatform, localComputerName());

    const auto& model = modelLog.lines();
    const auto& floor = floorLog.lines();
    std::fprintf(report, "component refresh: %zu platform calls; floor: %zu\n", model.size(),
                 floor.size());
    for (std::size_t i = 0; i < model.size() || i < floor.size(); ++i) {
        const std::string left = i < model.size() ? model[i] : "(none)";
        const std::string right = i < floor.size() ? floor[i] : "(none)";
        if (left != right) {
            std::fprintf(report,
                         "first difference at call %zu:\n  component: %s\n  floor:     %s\n", i + 1,
                         left.c_str(), right.c_str());
            return false;
        }
    }
    std::fprintf(report, "same calls, same arguments, same order; the first few:\n");
    for (std::size_t i = 0; i < model.size() && i < 14; ++i) {
        std::fprintf(report, "  %s\n", model[i].c_str());
    }
    return true;
}

} // namespace tobrunel::bench

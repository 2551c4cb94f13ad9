// The simulated service control manager: computers, services, handles with their access rights,
// the platform's error codes, deletion on last close, and the switches and log used by tests.
#include "tests/support/SimulatedServiceManager.h"

#include "base/Text.h"

#include <algorithm>
#include <cstring>

namespace tobrunel::scm {

namespace {

// Handles are opaque and never 0; a step of 4 keeps them aligned like the platform's.
constexpr RawHandle HandleStep = 4;

thread_local std::uint32_t threadError = 0;

std::string textOf(const char* text) {
    return text == nullptr ? std::string() : text;
}

// stripHost accepts a computer named with the leading backslashes of a UNC name.
std::string_view stripHost(std::string_view name) {
    while (!name.empty() && name.front() == '\\') {
        name.remove_prefix(1);
    }
    return name;
}

} // namespace

SimulatedServiceManager::SimulatedServiceManager() {
    computers_.push_back(Computer{std::string(DefaultComputerName), true, {}, {}});
}

std::string SimulatedServiceManager::fold(std::string_view text) const {
    // ASCII folds the same in every code page, without a round trip through Unicode.
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        std::string folded(text);
        for (auto& c : folded) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c + ('a' - 'A'));
            }
        }
        return folded;
    }
    return toCodePage(codePage_, foldCase(fromCodePage(codePage_, text)));
}

SimulatedServiceManager::Computer* SimulatedServiceManager::findComputer(std::string_view name) {
    const auto host = stripHost(name);
    if (host.empty()) {
        return &computers_.front();
    }
    const auto wanted = fold(host);
    for (auto& computer : computers_) {
        if (fold(computer.name) == wanted) {
            return &computer;
        }
    }
    return nullptr;
}

SimulatedService& SimulatedServiceManager::addService(SimulatedService service,
                                                      std::string_view computer) {
    auto* host = findComputer(computer);
    if (host == nullptr) {
        addComputer(computer);
        host = findComputer(computer);
    }
    if (service.displayName.empty()) {
        service.displayName = service.name;
    }
    auto key = fold(service.name);
    host->services.push_back(std::make_unique<SimulatedService>(std::move(service)));
    auto* added = host->services.back().get();
    host->byName[std::move(key)] = added;
    return *added;
}

SimulatedService* SimulatedServiceManager::findService(std::string_view name,
                                                       std::string_view computer) {
    auto* host = findComputer(computer);
    if (host == nullptr) {
        return nullptr;
    }
    const auto found = host->byName.find(fold(name));
    return found == host->byName.end() ? nullptr : found->second;
}

void SimulatedServiceManager::removeService(std::string_view name, std::string_view computer) {
    auto* host = findComputer(computer);
    const auto* entry = findService(name, computer);
    if (entry == nullptr) {
        return;
    }
    host->byName.erase(fold(name));
    std::erase_if(host->services, [&](const auto& s) { return s.get() == entry; });
}

void SimulatedServiceManager::addComputer(std::string_view name) {
    if (findComputer(name) == nullptr) {
        computers_.push_back(Computer{std::string(stripHost(name)), true, {}, {}});
    }
}

void SimulatedServiceManager::setReachable(std::string_view computer, bool reachable) {
    addComputer(computer);
    findComputer(computer)->reachable = reachable;
}

void SimulatedServiceManager::setLocalComputerName(std::string_view name) {
    computers_.front().name = std::string(name);
}

void SimulatedServiceManager::failCall(std::string_view function, std::uint32_t error,
                                       int occurrence) {
    failures_.push_back(Failure{std::string(function), error, occurrence - 1});
}

void SimulatedServiceManager::failAlways(std::string_view function, std::uint32_t error) {
    failures_.push_back(Failure{std::string(function), error, -1});
}

void SimulatedServiceManager::clearFailures() {
    failures_.clear();
}

void SimulatedServiceManager::beforeNextCall(std::string_view function,
                                             std::function<void(SimulatedServiceManager&)> action) {
    actions_.emplace_back(std::string(function), std::move(action));
}

std::vector<std::string> SimulatedServiceManager::functionsCalled() const {
    std::vector<std::string> names;
    names.reserve(calls_.size());
    for (const auto& call : calls_) {
        names.push_back(call.function);
    }
    return names;
}

bool SimulatedServiceManager::isServiceHandle(RawHandle handle) const {
    for (const auto& call : calls_) {
        if (call.function == "OpenServiceA" && call.result == handle) {
            return true;
        }
    }
    return false;
}

Call& SimulatedServiceManager::begin(std::string_view function, RawHandle handle,
                                     std::string_view text, std::uint32_t access,
                                     std::uint32_t number) {
    for (auto action = actions_.begin(); action != actions_.end(); ++action) {
        if (action->first == function) {
            auto run = std::move(action->second);
            actions_.erase(action);
            run(*this);
            break;
        }
    }
    if (!logging_) {
        unlogged_ = Call{std::string(function), handle, {}, access, number, 0, 0};
        return unlogged_;
    }
    calls_.push_back(Call{std::string(function), handle, std::string(text), access, number, 0, 0});
    return calls_.back();
}

std::optional<std::uint32_t> SimulatedServiceManager::injectedFailure(std::string_view function) {
    for (auto failure = failures_.begin(); failure != failures_.end(); ++failure) {
        if (failure->function != function) {
            continue;
        }
        if (failure->remaining < 0) {
            return failure->error;
        }
        if (failure->remaining-- == 0) {
            const auto error = failure->error;
            failures_.erase(failure);
            return error;
        }
    }
    return std::nullopt;
}

void SimulatedServiceManager::setThreadError(std::uint32_t error) noexcept {
    threadError = error;
}

int SimulatedServiceManager::fail(Call& call, std::uint32_t error) {
    threadError = error;
    lastError_ = call.error = threadError;
    call.result = 0;
    return 0;
}

int SimulatedServiceManager::succeed(Call& call, std::uintptr_t result) {
    threadError = 0;
    lastError_ = call.error = threadError;
    call.result = result;
    return 1;
}

const SimulatedServiceManager::OpenHandle*
SimulatedServiceManager::handleOf(RawHandle handle, bool wantService) const {
    const auto found = handles_.find(handle);
    if (found == handles_.end() || found->second.service.empty() == wantService) {
        return nullptr;
    }
    return &found->second;
}

SimulatedService* SimulatedServiceManager::serviceOf(const OpenHandle& handle) {
    return findService(handle.service, handle.computer);
}

const SimulatedServiceManager::OpenHandle*
SimulatedServiceManager::admit(Call& call, RawHandle handle, HandleKind kind, std::uint32_t right) {
    if (const auto error = injectedFailure(call.function)) {
        fail(call, *error);
        return nullptr;
    }
    const auto* open = handleOf(handle, kind == HandleKind::Service);
    if (open == nullptr) {
        fail(call, error::InvalidHandle);
        return nullptr;
    }
    if ((open->access & right) != right) {
        fail(call, error::AccessDenied);
        return nullptr;
    }
    return open;
}

RawHandle SimulatedServiceManager::newHandle(OpenHandle opened) {
    const auto handle = nextHandle_;
    nextHandle_ += HandleStep;
    handles_[handle] = std::move(opened);
    return handle;
}

bool SimulatedServiceManager::isUnwritten(ConfigText text) const {
    return std::find(unwritten_.begin(), unwritten_.end(), text) != unwritten_.end();
}

RawHandle SimulatedServiceManager::OpenSCManagerA(const char* machineName, const char*,
                                                  std::uint32_t desiredAccess) {
    auto& call = begin("OpenSCManagerA", 0, textOf(machineName), desiredAccess);
    if (const auto error = injectedFailure(call.function)) {
        return static_cast<RawHandle>(fail(call, *error));
    }
    const auto* computer = findComputer(textOf(machineName));
    if (computer == nullptr || !computer->reachable) {
        return static_cast<RawHandle>(fail(call, error::RpcServerUnavailable));
    }
    if ((desiredAccess & ~grantedManagerAccess_) != 0) {
        return static_cast<RawHandle>(fail(call, error::AccessDenied));
    }
    const auto handle = newHandle(OpenHandle{computer->name, {}, 0, desiredAccess});
    succeed(call, handle);
    return handle;
}

RawHandle SimulatedServiceManager::OpenServiceA(RawHandle manager, const char* serviceName,
                                                std::uint32_t desiredAccess) {
    auto& call = begin("OpenServiceA", manager, textOf(serviceName), desiredAccess);
    const auto* owner = admit(call, manager, HandleKind::Manager);
    if (owner == nullptr) {
        return 0;
    }
    const auto computer = owner->computer;
    auto* service = findService(textOf(serviceName), computer);
    if (service == nullptr) {
        return static_cast<RawHandle>(fail(call, error::ServiceDoesNotExist));
    }
    if ((desiredAccess & ~service->grantedAccess) != 0) {
        return static_cast<RawHandle>(fail(call, error::AccessDenied));
    }
    const auto handle = newHandle(OpenHandle{computer, service->name, manager, desiredAccess});
    succeed(call, handle);
    return handle;
}

int SimulatedServiceManager::CloseServiceHandle(RawHandle handle) {
    auto& call = begin("CloseServiceHandle", handle);
    const auto found = handles_.find(handle);
    if (found == handles_.end()) {
        ++invalidCloses_;
        return fail(call, error::InvalidHandle);
    }
    const auto closed = found->second;
    handles_.erase(found);
    if (closed.service.empty()) {
        // A manager closed while a service opened on it is still open breaks the bracket order.
        for (const auto& [other, open] : handles_) {
            if (open.manager == handle) {
                closeOrderKept_ = false;
            }
        }
    } else {
        removeIfDeleted(closed.computer, closed.service);
    }
    return succeed(call);
}

void SimulatedServiceManager::removeIfDeleted(const std::string& computer,
                                              const std::string& service) {
    auto* entry = findService(service, computer);
    if (entry == nullptr || !entry->markedForDelete) {
        return;
    }
    for (const auto& [handle, open] : handles_) {
        if (!open.service.empty() && open.computer == computer &&
            fold(open.service) == fold(service)) {
            return;
        }
    }
    removeService(service, computer);
}

int SimulatedServiceManager::QueryServiceStatus(RawHandle service, ServiceStatus* status) {
    auto& call = begin("QueryServiceStatus", service);
    const auto* open = admit(call, service, HandleKind::Service, access::ServiceQueryStatus);
    if (open == nullptr) {
        return 0;
    }
    *status = serviceOf(*open)->status;
    return succeed(call);
}

int SimulatedServiceManager::QueryServiceConfigA(RawHandle service, void* buffer,
                                                 std::uint32_t bufferSize,
                                                 std::uint32_t* bytesNeeded) {
    auto& call = begin("QueryServiceConfigA", service, {}, 0, bufferSize);
    const auto* open = admit(call, service, HandleKind::Service, access::ServiceQueryConfig);
    if (open == nullptr) {
        return 0;
    }
    const auto& entry = *serviceOf(*open);
    const std::pair<ConfigText, const std::string*> texts[] = {
        {ConfigText::BinaryPathName, &entry.binaryPathName},
        {ConfigText::LoadOrderGroup, &entry.loadOrderGroup},
        {ConfigText::Dependencies, &entry.dependencies},
        {ConfigText::StartName, &entry.startName},
        {ConfigText::DisplayName, &entry.displayName},
    };
    std::size_t needed = sizeof(ServiceConfig);
    for (const auto& [kind, text] : texts) {
        // The dependency list carries its own closing NUL; every other text gets one here.
        needed += text->size() + (kind == ConfigText::Dependencies ? 0 : 1);
    }
    *bytesNeeded = static_cast<std::uint32_t>(needed);
    if (bufferSize < needed) {
        return fail(call, error::InsufficientBuffer);
    }
    auto* bytes = static_cast<char*>(buffer);
    ServiceConfig record{entry.status.dwServiceType,
                         entry.startType,
                         entry.errorControl,
                         nullptr,
                         nullptr,
                         entry.tagId,
                         nullptr,
                         nullptr,
                         nullptr};
    char** pointers[] = {&record.lpBinaryPathName, &record.lpLoadOrderGroup, &record.lpDependencies,
                         &record.lpServiceStartName, &record.lpDisplayName};
    std::size_t offset = sizeof record;
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const auto& [kind, text] = texts[i];
        const auto length = text->size() + (kind == ConfigText::Dependencies ? 0 : 1);
        std::memcpy(bytes + offset, text->c_str(), length);
        *pointers[i] = isUnwritten(kind) ? nullptr : bytes + offset;
        offset += length;
    }
    std::memcpy(bytes, &record, sizeof record);
    return succeed(call);
}

int SimulatedServiceManager::ControlService(RawHandle service, std::uint32_t control,
                                            ServiceStatus* status) {
    auto& call = begin("ControlService", service, {}, 0, control);
    const auto needed =
        control == control::Stop ? access::ServiceStop : access::ServicePauseContinue;
    const auto* open = admit(call, service, HandleKind::Service, needed);
    if (open == nullptr) {
        return 0;
    }
    auto& entry = *serviceOf(*open);
    auto& current = entry.status;
    // A refused control still reports the service's current status, as the platform documents.
    if (current.dwCurrentState == serviceState::Stopped) {
        *status = current;
        return fail(call, error::ServiceNotActive);
    }
    const bool accepted =
        control == control::Stop ? (current.dwControlsAccepted & controlsAccepted::AcceptStop) != 0
        : control == control::Pause
            ? (current.dwControlsAccepted & controlsAccepted::AcceptPauseContinue) != 0 &&
                  current.dwCurrentState == serviceState::Running
        : control == control::Continue
            ? (current.dwControlsAccepted & controlsAccepted::AcceptPauseContinue) != 0 &&
                  current.dwCurrentState == serviceState::Paused
            : false;
    if (!accepted) {
        *status = current;
        return fail(call, error::InvalidServiceControl);
    }
    if (control == control::Stop) {
        current.dwCurrentState = serviceState::Stopped;
        current.dwControlsAccepted = 0;
    } else {
        current.dwCurrentState =
            control == control::Pause ? serviceState::Paused : serviceState::Running;
    }
    *status = current;
    return succeed(call);
}

int SimulatedServiceManager::StartServiceA(RawHandle service, std::uint32_t argumentCount,
                                           const char**) {
    auto& call = begin("StartServiceA", service, {}, 0, argumentCount);
    const auto* open = admit(call, service, HandleKind::Service, access::ServiceStart);
    if (open == nullptr) {
        return 0;
    }
    auto& entry = *serviceOf(*open);
    if (entry.markedForDelete) {
        return fail(call, error::ServiceMarkedForDelete);
    }
    if (entry.startType == startType::Disabled) {
        return fail(call, error::ServiceDisabled);
    }
    if (entry.status.dwCurrentState != serviceState::Stopped) {
        return fail(call, error::ServiceAlreadyRunning);
    }
    entry.status.dwCurrentState = serviceState::Running;
    entry.status.dwControlsAccepted = entry.controlsWhenRunning;
    return succeed(call);
}

int SimulatedServiceManager::DeleteService(RawHandle service) {
    auto& call = begin("DeleteService", service);
    const auto* open = admit(call, service, HandleKind::Service, access::Delete);
    if (open == nullptr) {
        return 0;
    }
    auto& entry = *serviceOf(*open);
    if (entry.markedForDelete) {
        return fail(call, error::ServiceMarkedForDelete);
    }
    // The service stays in the database until its last handle closes.
    entry.markedForDelete = true;
    return succeed(call);
}

int SimulatedServiceManager::EnumServicesStatusA(RawHandle manager, std::uint32_t serviceType,
                                                 std::uint32_t serviceState, void* buffer,
                                                 std::uint32_t bufferSize,
                                                 std::uint32_t* bytesNeeded,
                                                 std::uint32_t* servicesReturned,
                                                 std::uint32_t* resumeHandle) {
    auto& call = begin("EnumServicesStatusA", manager, {}, serviceState, serviceType);
    *servicesReturned = 0;
    *bytesNeeded = 0;
    const auto* open = admit(call, manager, HandleKind::Manager, access::ScManagerEnumerateService);
    if (open == nullptr) {
        return 0;
    }
    if (serviceType == 0 || serviceState == 0) {
        return fail(call, error::InvalidParameter);
    }
    // The resume handle is the place in the database where the next pass starts, so a pass
    // costs what it returns, not what the database holds.
    const auto& services = findComputer(open->computer)->services;
    const auto matches = [&](const SimulatedService& service) {
        const bool active = service.status.dwCurrentState != scm::serviceState::Stopped;
        const auto state = active ? enumState::Active : enumState::Inactive;
        return (service.status.dwServiceType & serviceType) != 0 && (state & serviceState) != 0;
    };
    // Records fill the buffer from its start, their texts from its end, as the platform lays
    // them out.
    auto* bytes = static_cast<char*>(buffer);
    auto* records = static_cast<EnumServiceStatus*>(buffer);
    std::size_t textEnd = bufferSize;
    std::size_t next = std::min<std::size_t>(*resumeHandle, services.size());
    std::uint32_t written = 0;
    for (; next < services.size(); ++next) {
        const auto& service = *services[next];
        if (!matches(service)) {
            continue;
        }
        const auto textBytes = service.name.size() + service.displayName.size() + 2;
        const auto recordEnd = (written + 1) * sizeof(EnumServiceStatus);
        if (written == batchLimit_ || recordEnd + textBytes > textEnd) {
            // What the next record alone needs; the model never reads this figure.
            *bytesNeeded = static_cast<std::uint32_t>(sizeof(EnumServiceStatus) + textBytes);
            break;
        }
        textEnd -= textBytes;
        char* name = bytes + textEnd;
        std::memcpy(name, service.name.c_str(), service.name.size() + 1);
        char* display = name + service.name.size() + 1;
        std::memcpy(display, service.displayName.c_str(), service.displayName.size() + 1);
        const bool unwritten = std::find(unwrittenNames_.begin(), unwrittenNames_.end(),
                                         service.name) != unwrittenNames_.end();
        records[written] = EnumServiceStatus{unwritten ? nullptr : name, display, service.status};
        ++written;
    }
    *servicesReturned = written;
    if (next == services.size()) {
        *resumeHandle = 0;
        return succeed(call);
    }
    if (!resumeStuck_) {
        *resumeHandle = static_cast<std::uint32_t>(next);
    }
    return fail(call, error::MoreData);
}

int SimulatedServiceManager::GetServiceDisplayNameA(RawHandle manager, const char* serviceName,
                                                    char* displayName, std::uint32_t* bufferSize) {
    auto& call = begin("GetServiceDisplayNameA", manager, textOf(serviceName), 0, *bufferSize);
    const auto* open = admit(call, manager, HandleKind::Manager);
    if (open == nullptr) {
        return 0;
    }
    const auto* service = findService(textOf(serviceName), open->computer);
    if (service == nullptr) {
        return fail(call, error::ServiceDoesNotExist);
    }
    if (service->displayName.size() + 1 > *bufferSize) {
        *bufferSize = static_cast<std::uint32_t>(service->displayName.size());
        return fail(call, error::InsufficientBuffer);
    }
    std::memcpy(displayName, service->displayName.c_str(), service->displayName.size() + 1);
    *bufferSize = static_cast<std::uint32_t>(service->displayName.size());
    return succeed(call);
}

int SimulatedServiceManager::GetServiceKeyNameA(RawHandle manager, const char* displayName,
                                                char* serviceName, std::uint32_t* bufferSize) {
    auto& call = begin("GetServiceKeyNameA", manager, textOf(displayName), 0, *bufferSize);
    const auto* open = admit(call, manager, HandleKind::Manager);
    if (open == nullptr) {
        return 0;
    }
    const auto wanted = fold(textOf(displayName));
    for (const auto& entry : findComputer(open->computer)->services) {
        const auto& service = *entry;
        if (fold(service.displayName) != wanted) {
            continue;
        }
        if (service.name.size() + 1 > *bufferSize) {
            *bufferSize = static_cast<std::uint32_t>(service.name.size());
            return fail(call, error::InsufficientBuffer);
        }
        std::memcpy(serviceName, service.name.c_str(), service.name.size() + 1);
        *bufferSize = static_cast<std::uint32_t>(service.name.size());
        return succeed(call);
    }
    return fail(call, error::ServiceDoesNotExist);
}

int SimulatedServiceManager::GetComputerNameA(char* buffer, std::uint32_t* size) {
    auto& call = begin("GetComputerNameA", 0, {}, 0, *size);
    if (const auto error = injectedFailure(call.function)) {
        return fail(call, *error);
    }
    if (computerNameUnwritten_) {
        return fail(call, error::InsufficientBuffer);
    }
    const auto& name = computers_.front().name;
    if (name.size() + 1 > *size) {
        *size = static_cast<std::uint32_t>(name.size() + 1);
        return fail(call, error::BufferOverflow);
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<std::uint32_t>(name.size());
    return succeed(call);
}

std::string SimulatedServiceManager::toAnsi(std::u16string_view text) const {
    return toCodePage(codePage_, text);
}

std::u16string SimulatedServiceManager::fromAnsi(std::string_view text) const {
    return fromCodePage(codePage_, text);
}

} // namespace tobrunel::scm

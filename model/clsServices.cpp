// The services collection: creation, the filters, the batched enumeration and deletion.
#include "model/clsServices.h"

#include "model/Enumerations.h"
#include "base/Text.h"
#include "scm/ScHandle.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tobrunel {

using namespace scm;

namespace {
// Each pass hands the platform a new, zero-filled buffer of this many records: 9,252 bytes of the
// platform's 36-byte ENUM_SERVICE_STATUSA records at 32 bits, the buffer with which clients have
// always seen a refresh enumerate, and so how many services come back in one pass. A 64-bit build
// keeps the count of records, whose size there is 48 bytes.
constexpr std::size_t RecordsPerPass = 257;
} // namespace

clsServices::clsServices(std::shared_ptr<ServiceManager> platform)
    : platform_(std::move(platform)) {
    computerName_ = readComputerName(*platform_);
    typeFilter_ = enServiceEnumType::Win32Services;
    stateFilter_ = enServiceEnumState::BothActiveAndInactiveServices;
    Refresh();
}

void clsServices::ServicesEnumType(std::int32_t lngServicesEnumType) {
    if (lngServicesEnumType == typeFilter_) {
        return;
    }
    typeFilter_ = lngServicesEnumType;
    Refresh();
}

void clsServices::ServicesEnumState(std::int32_t lngServicesEnumState) {
    if (lngServicesEnumState == stateFilter_) {
        return;
    }
    stateFilter_ = lngServicesEnumState;
    Refresh();
}

void clsServices::ComputerName(std::u16string_view strComputerName) {
    computerName_ = trimSpaces(strComputerName);
    Refresh();
}

std::shared_ptr<clsService> clsServices::Item(const Index& index) const {
    const std::shared_ptr<clsService>* found = nullptr;
    if (const auto* position = index.asPosition()) {
        found = services_.findAt(*position);
    } else if (const auto* key = index.asKey()) {
        found = services_.findByKey(*key);
    }
    return found == nullptr ? nullptr : *found;
}

bool clsServices::Delete(const Index& index) {
    const auto service = Item(index);
    if (!service) {
        return false;
    }
    bool deleted = false;
    {
        const auto opened =
            openService(*platform_, computerName_, service->Name(), access::Delete, access::Delete);
        deleted = opened && platform_->DeleteService(opened.service.get()) != 0;
    }
    if (deleted) {
        Refresh();
    }
    return deleted;
}

bool clsServices::Refresh() {
    // The old list goes before the platform is asked anything.
    services_ = KeyedList<std::shared_ptr<clsService>>{};
    const auto manager = openManager(*platform_, computerName_, access::ScManagerEnumerateService);
    if (!manager) {
        return false;
    }
    const auto typeMask = serviceTypeMask(typeFilter_);
    const auto stateMask = serviceStateMask(stateFilter_);
    std::uint32_t resumeHandle = 0;
    for (;;) {
        std::vector<EnumServiceStatus> records(RecordsPerPass);
        const auto bufferSize = static_cast<std::uint32_t>(records.size() * sizeof records[0]);
        std::uint32_t bytesNeeded = 0;
        std::uint32_t returned = 0;
        const auto resumedFrom = resumeHandle;
        const bool lastBatch =
            platform_->EnumServicesStatusA(manager.get(), typeMask, stateMask, records.data(),
                                           bufferSize, &bytesNeeded, &returned, &resumeHandle) != 0;
        if (!lastBatch && platform_->lastError() != error::MoreData) {
            return false;
        }
        // A count beyond the buffer names records the platform cannot have written.
        const auto count = std::min<std::uint32_t>(returned, RecordsPerPass);
        addServices(records.data(), count, std::as_bytes(std::span(records)));
        if (resumeHandle == 0) {
            return true;
        }
        // A platform that hands back the resume handle it was given would repeat this batch for
        // ever; the enumeration has not run to its end, so the refresh reports false.
        if (resumeHandle == resumedFrom) {
            return false;
        }
    }
}

void clsServices::addServices(const EnumServiceStatus* records, std::uint32_t count,
                              PlatformBuffer filled) {
    for (std::uint32_t i = 0; i < count; ++i) {
        auto service = std::make_shared<clsService>(platform_);
        // The name makes the service load itself, from the computer it holds at that moment.
        service->ComputerName(computerName_);
        service->Name(guardedCutAtNul(bufferCopy(*platform_, filled, records[i].lpServiceName)));
        const auto key = service->Name();
        services_.add(std::move(service), key);
    }
}

} // namespace tobrunel

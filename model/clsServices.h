// clsServices: the services of one computer, filtered by kind and state, in a keyed list under
// their service names.
#pragma once

#include "model/Index.h"
#include "model/KeyedList.h"
#include "model/clsService.h"
#include "scm/Conversions.h"
#include "scm/ServiceManager.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tobrunel {

// clsServices owns its service list; the service objects in it are shared with any client that
// took them, and outlive the list. Constructing one reads this computer's name and refreshes, as
// creating the automation object does; errors of that initialisation (error 5 when the platform
// wrote no computer name, a duplicate key) leave the constructor.
class clsServices {
public:
    explicit clsServices(std::shared_ptr<scm::ServiceManager> platform);

    std::int32_t ServicesEnumType() const noexcept { return typeFilter_; }
    void ServicesEnumType(std::int32_t lngServicesEnumType);
    std::int32_t ServicesEnumState() const noexcept { return stateFilter_; }
    void ServicesEnumState(std::int32_t lngServicesEnumState);
    const std::u16string& ComputerName() const noexcept { return computerName_; }
    void ComputerName(std::u16string_view strComputerName);
    std::int32_t Count() const noexcept { return services_.count(); }
    // Item returns no object when the index finds nothing; it never raises.
    std::shared_ptr<clsService> Item(const Index& index) const;
    bool Delete(const Index& index);
    bool Refresh();

private:
    bool enumerate();
    void addServices(const scm::EnumServiceStatus* records, std::uint32_t count,
                     scm::PlatformBuffer filled);

    std::shared_ptr<scm::ServiceManager> platform_;
    KeyedList<std::shared_ptr<clsService>> services_;
    std::u16string computerName_;
    std::int32_t typeFilter_ = 0;
    std::int32_t stateFilter_ = 0;
};

} // namespace tobrunel

// The service control manager that the objects clients create work over. Tobrunel.dll gets the
// platform's own (Win32ServicePlatform.cpp); a test build of the same server may link another.
#pragma once

#include "scm/ServiceManager.h"

#include <memory>

namespace tobrunel::server {

// makeServicePlatform gives each new top-level object its platform; the objects that one makes
// for itself share it. It may throw std::bad_alloc.
std::shared_ptr<scm::ServiceManager> makeServicePlatform();

} // namespace tobrunel::server

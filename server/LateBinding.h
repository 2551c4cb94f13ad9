// The names a script asks for, answered from the member tables: a script engine asks before
// every call, and the type information would compare the name with one member after another.
#pragma once

#include "library/Description.h"
#include "server/Platform.h"

#include <optional>

namespace tobrunel::server {

// idsOfNames answers GetIDsOfNames for a member of `description`: names[0] is the member, in any
// letter case, and the rest are names of its parameters. Each parameter name that is not found
// gets DISPID_UNKNOWN and the answer is DISP_E_UNKNOWNNAME. Nothing when names[0] is none of the
// interface's own members: IDispatch's members, unknown names and bad arguments are the type
// information's to answer.
std::optional<HRESULT> idsOfNames(const InterfaceDescription& description, LPOLESTR* names,
                                  UINT count, DISPID* ids) noexcept;

} // namespace tobrunel::server

// What registering a creatable class writes under HKEY_CLASSES_ROOT: one table that the DLL's
// registration writes and removes, and that the installer fragment's writer turns into registry
// rows, so that a package registers exactly what regsvr32 does.
#pragma once

#include "library/Description.h"

#include <string>
#include <vector>

namespace tobrunel::server {

// The library's GUID, copied out of the record: a GUID travels by reference, and a reference into
// the record would make the DLL keep all of it.
inline constexpr GUID registeredLibid = velcastraLibrary.libid;

// libraryVersionText is the library's version as the registry writes it: "1.0".
inline std::wstring libraryVersionText() {
    return std::to_wstring(velcastraLibrary.majorVersion) + L'.' +
           std::to_wstring(velcastraLibrary.minorVersion);
}

// RegistryValue is one value under a tree's root: `subkey` empty for the root itself, `name`
// empty for the key's default value.
struct RegistryValue {
    std::wstring subkey;
    std::wstring name;
    std::wstring value;
};

// RegistryTree is one key that registration creates with everything in it, and that
// unregistration removes whole.
struct RegistryTree {
    std::wstring root;
    std::vector<RegistryValue> values;
};

// classTrees lists what registering `record` writes for the DLL at `path`.
inline std::vector<RegistryTree> classTrees(const ClassRecord& record, const std::wstring& path) {
    const std::wstring progId = progIdOf(record);
    return {
        {progId, {{L"", L"", progId}, {L"CLSID", L"", guidText(record.clsid)}}},
        {L"CLSID\\" + guidText(record.clsid),
         {
             {L"", L"", progId},
             {L"InprocServer32", L"", path},
             {L"InprocServer32", L"ThreadingModel", std::wstring(velcastraLibrary.threadingModel)},
             {L"ProgID", L"", progId},
             {L"TypeLib", L"", guidText(registeredLibid)},
             {L"Version", L"", libraryVersionText()},
         }},
    };
}

} // namespace tobrunel::server

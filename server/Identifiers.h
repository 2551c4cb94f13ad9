// The identifiers by which clients and the registry know the library, its classes and
// enumerations (the interfaces' are in Interfaces.h). They are fixed for good: changing one breaks
// every compiled client.
#pragma once

#include <guiddef.h>

namespace tobrunel::server {

namespace detail {
consteval unsigned hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    throw "not a hexadecimal digit";
}

consteval unsigned long hexField(const char* text, int digits) {
    unsigned long value = 0;
    for (int i = 0; i < digits; ++i) {
        value = value * 16 + hexDigit(text[i]);
    }
    return value;
}
} // namespace detail

// makeGuid reads the registry form without braces, so the values below can be compared with
// what a registry editor shows; a malformed text fails to compile.
consteval GUID makeGuid(const char (&text)[37]) {
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
        throw "a GUID is written 8-4-4-4-12";
    }
    GUID guid{};
    guid.Data1 = detail::hexField(text, 8);
    guid.Data2 = static_cast<unsigned short>(detail::hexField(text + 9, 4));
    guid.Data3 = static_cast<unsigned short>(detail::hexField(text + 14, 4));
    const int byteStarts[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = static_cast<unsigned char>(detail::hexField(text + byteStarts[i], 2));
    }
    return guid;
}

inline constexpr GUID LIBID_Velcastra = makeGuid("9E190AD9-4554-4C0C-9487-ED05745274A5");

inline constexpr GUID CLSID_clsService = makeGuid("062143D9-7BBA-416B-81A1-0F5F86C950A8");
inline constexpr GUID CLSID_clsServices = makeGuid("EB300D7B-E892-4267-8AF4-2CE2040ADC83");
inline constexpr GUID CLSID_clsSVCDependencies = makeGuid("7C91D0E9-E43F-4B4A-86A7-A6207AEE69B3");

// The enumerations, in the type library's order.
inline constexpr GUID enumerationIds[] = {
    makeGuid("F42C21DD-9AB4-43CB-8D73-5251D65C6F03"), // enServiceStatus
    makeGuid("A0E974E0-F7B4-4A2E-8683-D2754AD2CA17"), // enControlsAccepted
    makeGuid("AB42C4B5-7F2F-4379-B993-BA18B501C553"), // enServiceStartType
    makeGuid("66258F22-3BF4-47AF-A716-15C6CF4BB111"), // enStartErrorSeverity
    makeGuid("098388A2-16A4-4C5A-A5E7-3BC75C9797F9"), // enServiceType
    makeGuid("580AF425-96F9-4B83-A621-EB64E1F0B2F8"), // enServiceEnumType
    makeGuid("87BF0DF6-0F8B-47EA-BA8A-204486F2261D"), // enServiceEnumState
};

} // namespace tobrunel::server

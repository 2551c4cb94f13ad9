// Buffer copies, NUL cuts and name reads at the platform boundary.
#include "scm/Conversions.h"

#include "base/AutomationError.h"
#include "base/Text.h"

#include <algorithm>
#include <cstring>

namespace tobrunel::scm {

namespace {

// bytesAt returns the readable bytes from `text` to the end of the filled buffer, or an empty
// view when the pointer is not inside it.
std::string_view bytesAt(PlatformBuffer filled, const char* text) {
    if (text == nullptr || filled.empty()) {
        return {};
    }
    const auto* begin = reinterpret_cast<const char*>(filled.data());
    const auto* end = begin + filled.size();
    if (std::less<>{}(text, begin) || !std::less<>{}(text, end)) {
        return {};
    }
    return {text, static_cast<std::size_t>(end - text)};
}

std::string spacesWith(std::string_view content, std::size_t size) {
    std::string buffer(std::max(size, content.size()), ' ');
    std::copy(content.begin(), content.end(), buffer.begin());
    return buffer;
}

} // namespace

std::u16string bufferCopy(const ServiceManager& platform, PlatformBuffer filled, const char* text,
                          std::size_t size) {
    const auto readable = bytesAt(filled, text);
    if (readable.data() == nullptr) {
        return platform.fromAnsi(std::string(size, ' '));
    }
    const auto length = std::min(readable.find('\0'), readable.size());
    std::string content(readable.substr(0, length));
    content += '\0';
    return platform.fromAnsi(spacesWith(content, size));
}

std::u16string listCopy(const ServiceManager& platform, PlatformBuffer filled, const char* list,
                        std::size_t size) {
    const auto readable = bytesAt(filled, list);
    if (readable.data() == nullptr) {
        return platform.fromAnsi(std::string(size, ' '));
    }
    // Every name ends with its NUL; one more NUL closes the list.
    std::size_t length = 0;
    while (length < readable.size() && readable[length] != '\0') {
        const auto nul = readable.find('\0', length);
        length = nul == std::string_view::npos ? readable.size() : nul + 1;
    }
    std::string content(readable.substr(0, length));
    if (length < readable.size()) {
        content += '\0';
    } else {
        // The list ran to the end of the filled memory without being closed.
        content += std::string(content.empty() || content.back() != '\0' ? 2 : 1, '\0');
    }
    return platform.fromAnsi(spacesWith(content, size));
}

std::u16string cutAtNul(std::u16string_view text) {
    const auto nul = text.find(u'\0');
    if (nul == std::u16string_view::npos) {
        throw AutomationError(errors::InvalidProcedureCall);
    }
    return std::u16string(text.substr(0, nul));
}

std::u16string guardedCutAtNul(std::u16string_view text) {
    if (trimSpaces(text).empty()) {
        return std::u16string(text);
    }
    return cutAtNul(text);
}

std::u16string readComputerName(ServiceManager& platform) {
    std::string buffer(TextBufferSize, ' ');
    auto size = static_cast<std::uint32_t>(buffer.size());
    platform.GetComputerNameA(buffer.data(), &size);
    return cutAtNul(platform.fromAnsi(buffer));
}

bool readName(ServiceManager& platform, NameLookup lookup, RawHandle manager,
              std::u16string_view name, std::u16string& result) {
    const auto ansiName = platform.toAnsi(name);
    std::string buffer(TextBufferSize, ' ');
    auto size = static_cast<std::uint32_t>(buffer.size());
    if ((platform.*lookup)(manager, ansiName.c_str(), buffer.data(), &size) == 0) {
        return false;
    }
    result = cutAtNul(platform.fromAnsi(buffer));
    return true;
}

ServiceConfig readConfigRecord(PlatformBuffer filled) {
    ServiceConfig record{};
    std::memcpy(&record, filled.data(), std::min(sizeof record, filled.size()));
    return record;
}

} // namespace tobrunel::scm

#include "ComError.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace questionbank {

namespace {

struct SystemMessage {
    HRESULT hr;
    const char* text;
};

// The messages a Chinese Windows system has for the codes this program can meet. OLE DB and ADO
// codes have none: their texts come from the provider, which ComErrorText never asks.
constexpr SystemMessage kSystemMessages[] = {
    { E_FAIL, "未指定的错误\r\n" },
    { E_POINTER, "无效指针\r\n" },
    { E_OUTOFMEMORY, "内存资源不足，无法处理此命令。\r\n" },
    { E_INVALIDARG, "参数错误。\r\n" },
    { E_ACCESSDENIED, "拒绝访问。\r\n" },
    { E_FILE_NOT_FOUND, "系统找不到指定的文件。\r\n" },
    { E_PATH_NOT_FOUND, "系统找不到指定的路径。\r\n" },
    { DISP_E_TYPEMISMATCH, "类型不匹配。\r\n" },
    { DISP_E_OVERFLOW, "溢出。\r\n" },
};

constexpr std::uint32_t kDispatchErrorBase = 0x80040200;
constexpr std::uint32_t kDispatchErrorLast = 0x8004FFFF;

std::string FallbackText(HRESULT hr)
{
    auto code = static_cast<std::uint32_t>(hr);
    char buffer[32];
    if (code > kDispatchErrorBase && code <= kDispatchErrorLast)
        std::snprintf(buffer, sizeof buffer, "IDispatch error #%d", static_cast<int>(code - kDispatchErrorBase));
    else
        std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
    return buffer;
}

} // namespace

std::optional<std::string> SystemMessageText(HRESULT hr)
{
    for (const auto& message : kSystemMessages)
        if (message.hr == hr)
            return std::string(message.text);
    return std::nullopt;
}

std::string TrimTrailingLineBreak(std::string message)
{
    if (message.size() > 1 && message.back() == '\n') {
        message.pop_back();
        if (!message.empty() && message.back() == '\r')
            message.pop_back();
    }
    return message;
}

const std::string& ComErrorText(const ComError& error)
{
    auto& text = *error.m_text;
    if (!text) {
        if (auto message = SystemMessageText(error.m_hr))
            text = TrimTrailingLineBreak(std::move(*message));
        else
            text = FallbackText(error.m_hr);
    }
    return *text;
}

} // namespace questionbank

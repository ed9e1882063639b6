#include "fake_ce.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The table holds plain function pointers, so the fake in use is reached globally.
FakeCe *current = nullptr;

std::u16string to_u16(const agent_wchar *text)
{
    std::u16string result;
    for (; text != nullptr && *text != 0; ++text)
        result.push_back(static_cast<char16_t>(*text));
    return result;
}

std::string hex(uint32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
    return buffer;
}

int32_t fake_kernel_io_control(uint32_t code, void *in, uint32_t in_size, void *out,
                               uint32_t out_size, uint32_t *returned)
{
    FakeCe::IoCall call;
    call.code = code;
    call.in_present = in != nullptr;
    if (in != nullptr) {
        const auto *bytes = static_cast<const uint8_t *>(in);
        call.in.assign(bytes, bytes + in_size);
    }
    call.out_size = out_size;
    call.out_present = out != nullptr;
    call.returned_present = returned != nullptr;
    current->io_calls.push_back(call);
    current->events.push_back("ioctl " + hex(code));

    auto reply = current->io_replies.find(code);
    if (reply == current->io_replies.end())
        return 0;
    if (out != nullptr) {
        size_t count = std::min<size_t>(reply->second.out.size(), out_size);
        std::memcpy(out, reply->second.out.data(), count);
    }
    if (returned != nullptr)
        *returned = reply->second.returned;
    return reply->second.result;
}

int32_t fake_reg_open_key_ex(agent_hkey key, const agent_wchar *subkey, uint32_t options,
                             uint32_t sam, agent_hkey *result)
{
    current->open_calls.push_back({key, subkey != nullptr, options, sam});
    current->events.push_back("open");
    if (current->open_result == 0)
        *result = current->opened_key;
    return current->open_result;
}

int32_t fake_reg_set_value_ex(agent_hkey key, const agent_wchar *name, uint32_t reserved,
                              uint32_t type, const uint8_t *data, uint32_t size)
{
    current->set_calls.push_back(
        {key, to_u16(name), reserved, type, std::vector<uint8_t>(data, data + size)});
    current->events.push_back("set");
    return 0;
}

int32_t fake_reg_close_key(agent_hkey key)
{
    current->close_calls.push_back(key);
    current->events.push_back("close");
    return 0;
}

int32_t fake_message_box(void *owner, const agent_wchar *text, const agent_wchar *caption,
                         uint32_t type)
{
    current->box_calls.push_back({owner, to_u16(text), to_u16(caption), type});
    current->events.push_back("box");
    return 1;
}

}  // namespace

FakeCe::FakeCe() { current = this; }

FakeCe::~FakeCe() { current = nullptr; }

agent_ce_api FakeCe::api() const
{
    return {fake_kernel_io_control, fake_reg_open_key_ex, fake_reg_set_value_ex,
            fake_reg_close_key, fake_message_box};
}

std::vector<agent_wchar> command_line(std::initializer_list<agent_wchar> units)
{
    std::vector<agent_wchar> line(units);
    line.push_back(0);
    return line;
}

// Records every COREDLL call the agent logic makes and answers from a script, so the
// tests can check arguments, order, and what was stored.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "agent/agent_logic.h"

struct FakeCe {
    struct IoReply {
        std::vector<uint8_t> out;  // bytes written into the caller's buffer
        uint32_t returned = 0;     // what the kernel reports as returned
        int32_t result = 1;        // the BOOL result
    };
    struct IoCall {
        uint32_t code = 0;
        bool in_present = false;
        std::vector<uint8_t> in;
        uint32_t out_size = 0;
        bool out_present = false;
        bool returned_present = false;
    };
    struct OpenCall {
        agent_hkey key = nullptr;
        bool subkey_present = false;
        uint32_t options = 0;
        uint32_t sam = 0;
    };
    struct SetCall {
        agent_hkey key = nullptr;
        std::u16string name;
        uint32_t reserved = 0;
        uint32_t type = 0;
        std::vector<uint8_t> data;
    };
    struct BoxCall {
        void *owner = nullptr;
        std::u16string text;
        std::u16string caption;
        uint32_t type = 0;
    };

    FakeCe();
    ~FakeCe();
    FakeCe(const FakeCe &) = delete;
    FakeCe &operator=(const FakeCe &) = delete;

    agent_ce_api api() const;

    // Script: replies by control code (unlisted codes fail with nothing returned) and
    // the registry's answers.
    std::map<uint32_t, IoReply> io_replies;
    int32_t open_result = 0;
    agent_hkey opened_key = reinterpret_cast<agent_hkey>(static_cast<uintptr_t>(0x4321));

    // Record: one event name per call in call order, plus each call's arguments.
    std::vector<std::string> events;
    std::vector<IoCall> io_calls;
    std::vector<OpenCall> open_calls;
    std::vector<SetCall> set_calls;
    std::vector<agent_hkey> close_calls;
    std::vector<BoxCall> box_calls;
};

// A command line as the kernel hands it to the entry: raw UTF-16 units, then a zero.
std::vector<agent_wchar> command_line(std::initializer_list<agent_wchar> units);

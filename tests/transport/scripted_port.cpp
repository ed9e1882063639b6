#include "tests/transport/scripted_port.h"

#include <algorithm>
#include <cstring>

ScriptedPort::ScriptedPort() {
    operations_.context = this;
    operations_.open = Open;
    operations_.close = Close;
    operations_.write = Write;
    operations_.read = ReadEntry;
    operations_.recover = Recover;
    operations_.goneForGood = [](void* context) { return static_cast<ScriptedPort*>(context)->gone_; };
    operations_.setPipeTimeouts = SetPipes;
    InstallPort(&operations_);
}

ScriptedPort::~ScriptedPort() { InstallPort(nullptr); }

std::vector<uint8_t> ScriptedPort::Frame(const std::vector<uint8_t>& content, bool wrongCrc) {
    // Bit by bit, independent of the program's table-driven CRC.
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : content) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
    }
    crc = static_cast<uint16_t>(~crc);
    if (wrongCrc) crc ^= 0x5A5A;
    std::vector<uint8_t> body = content;
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    body.push_back(static_cast<uint8_t>(crc >> 8));
    std::vector<uint8_t> frame{0x7E};
    for (uint8_t byte : body) {
        if (byte == 0x7D || byte == 0x7E) {
            frame.push_back(0x7D);
            frame.push_back(static_cast<uint8_t>(byte ^ 0x20));
        } else {
            frame.push_back(byte);
        }
    }
    frame.push_back(0x7E);
    return frame;
}

void ScriptedPort::QueueRaw(std::vector<uint8_t> bytes) { reads_.push_back({0, std::move(bytes)}); }
void ScriptedPort::QueueReply(const std::vector<uint8_t>& content) { QueueRaw(Frame(content)); }
void ScriptedPort::QueueReplyWithWrongCrc(const std::vector<uint8_t>& content) { QueueRaw(Frame(content, true)); }
void ScriptedPort::QueueEmptyRead() { reads_.push_back({0, {}}); }
void ScriptedPort::QueueReadFailure(int status) { reads_.push_back({status, {}}); }
void ScriptedPort::QueueWriteFailure(int status, uint32_t written) { writeFailures_.push_back({status, written}); }

std::vector<std::vector<uint8_t>> ScriptedPort::Frames() const { return frames_; }

int ScriptedPort::Open(void* context, const char* path) {
    auto* port = static_cast<ScriptedPort*>(context);
    port->events_.push_back(std::string("open ") + path);
    int result = port->openResult_;
    if (!port->openResults_.empty()) {
        result = port->openResults_.front();
        port->openResults_.pop_front();
    }
    if (result != 0) return result;
    port->open_ = true;
    return 0;
}

void ScriptedPort::Close(void* context) {
    auto* port = static_cast<ScriptedPort*>(context);
    if (!port->open_) return;
    port->events_.push_back("close");
    port->open_ = false;
    port->frameOpen_ = false;
}

int ScriptedPort::Write(void* context, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t waitMs) {
    auto* port = static_cast<ScriptedPort*>(context);
    *written = 0;
    if (!port->open_) return -1;
    port->events_.push_back("write");
    port->writeWaits_.push_back(waitMs);
    port->pieceSizes_.push_back(length);
    if (!port->frameOpen_) {
        port->frames_.emplace_back();
        port->frameOpen_ = true;
    }
    uint32_t accepted = length;
    int status = 0;
    if (!port->writeFailures_.empty()) {
        WriteFailure failure = port->writeFailures_.front();
        port->writeFailures_.pop_front();
        accepted = std::min(failure.written, length);
        status = failure.status;
    }
    port->frames_.back().insert(port->frames_.back().end(), data, data + accepted);
    *written = accepted;
    return status;
}

int ScriptedPort::ReadEntry(void* context, uint8_t* buffer, uint32_t* length, uint32_t waitMs) {
    auto* port = static_cast<ScriptedPort*>(context);
    uint32_t room = *length;
    *length = 0;
    port->frameOpen_ = false;
    if (!port->open_) return -1;
    port->events_.push_back("read");
    port->readWaits_.push_back(waitMs);
    if (port->reads_.empty()) return -1;  // nothing scripted: the wait expires
    Read next = std::move(port->reads_.front());
    port->reads_.pop_front();
    if (next.status != 0) return next.status;
    uint32_t count = std::min<uint32_t>(room, static_cast<uint32_t>(next.bytes.size()));
    if (count) std::memcpy(buffer, next.bytes.data(), count);
    *length = count;
    return 0;
}

int ScriptedPort::Recover(void* context) {
    auto* port = static_cast<ScriptedPort*>(context);
    port->events_.push_back("recover");
    return port->open_ ? 0 : -1;
}

void ScriptedPort::SetPipes(void* context, uint32_t inMs, uint32_t outMs) {
    auto* port = static_cast<ScriptedPort*>(context);
    port->events_.push_back("pipes " + std::to_string(inMs) + " " + std::to_string(outMs));
}

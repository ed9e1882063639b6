// A port that plays a script: every write is recorded byte for byte, every read returns
// the next scripted reply (or failure), and an empty script times out. Installed as the
// process's port for the object's lifetime.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "transport/port_operations.h"

class ScriptedPort {
public:
    ScriptedPort();   // installs itself, open
    ~ScriptedPort();  // restores the platform port
    ScriptedPort(const ScriptedPort&) = delete;
    ScriptedPort& operator=(const ScriptedPort&) = delete;

    // Replies, in the order the reads will see them.
    void QueueRaw(std::vector<uint8_t> bytes);            // delivered as they are
    void QueueReply(const std::vector<uint8_t>& content);  // framed like a handset reply
    void QueueReplyWithWrongCrc(const std::vector<uint8_t>& content);
    void QueueEmptyRead();                                 // status 0, nothing received
    void QueueReadFailure(int status);                     // status, nothing received
    // The next write piece fails with `status` after `written` bytes (0: nothing went out).
    void QueueWriteFailure(int status, uint32_t written = 0);

    // Bytes written between two reads (one entry per attempt's frame).
    std::vector<std::vector<uint8_t>> Frames() const;
    const std::vector<uint32_t>& PieceSizes() const { return pieceSizes_; }
    const std::vector<uint32_t>& ReadWaits() const { return readWaits_; }
    const std::vector<uint32_t>& WriteWaits() const { return writeWaits_; }
    // "open <path>", "write", "read", "close", "recover", "pipes <in> <out>" and Note()s, in order.
    const std::vector<std::string>& Events() const { return events_; }
    void Note(const std::string& event) { events_.push_back(event); }
    size_t RepliesLeft() const { return reads_.size(); }
    bool IsOpen() const { return open_; }
    void SetOpen(bool open) { open_ = open; }
    void SetOpenResult(int status) { openResult_ = status; }
    // From now on the port says it can never succeed again (a transfer abandoned).
    void SetGoneForGood() { gone_ = true; }
    // Results of the next opens, in order; after them SetOpenResult's holds.
    void QueueOpenResult(int status) { openResults_.push_back(status); }

    // A handset's reply frame for `content`: flag, escaped content and CRC, flag.
    static std::vector<uint8_t> Frame(const std::vector<uint8_t>& content, bool wrongCrc = false);

private:
    struct Read {
        int status;
        std::vector<uint8_t> bytes;
    };
    struct WriteFailure {
        int status;
        uint32_t written;
    };
    static int Open(void* context, const char* path);
    static void Close(void* context);
    static int Write(void* context, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t waitMs);
    static int ReadEntry(void* context, uint8_t* buffer, uint32_t* length, uint32_t waitMs);
    static int Recover(void* context);
    static void SetPipes(void* context, uint32_t inMs, uint32_t outMs);

    PortOperations operations_;
    bool open_ = true;
    bool gone_ = false;
    int openResult_ = 0;
    std::deque<int> openResults_;
    std::deque<Read> reads_;
    std::deque<WriteFailure> writeFailures_;
    std::vector<std::vector<uint8_t>> frames_;
    bool frameOpen_ = false;
    std::vector<uint32_t> pieceSizes_;
    std::vector<uint32_t> readWaits_;
    std::vector<uint32_t> writeWaits_;
    std::vector<std::string> events_;
};

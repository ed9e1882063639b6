// The simulated handset's port: a pseudo-terminal in raw mode whose terminal end is
// reached through a fixed symlink, as a host reaches a device by its name.
#pragma once

#include <string>

class PtyLink {
public:
    PtyLink() = default;
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Creates the pty and points `linkPath` at its terminal end. The simulator keeps its own
    // descriptor of that end open, so that a host closing the port does not leave the
    // handset's end reading end-of-line errors. false with `error` set on failure.
    bool Open(const std::string& linkPath, std::string& error);
    // The handset enumerates again: the port and the link disappear for `goneMs`, then a
    // new pty appears behind the same link.
    bool Reenumerate(unsigned goneMs, std::string& error);
    // Waits (up to `timeoutMs`) until the host has read everything written to it.
    void WaitUntilRead(unsigned timeoutMs) const;
    // Closes the port and removes the link.
    void Remove();

    int HandsetEnd() const { return master_; }
    const std::string& TerminalPath() const { return terminalPath_; }

private:
    void CloseDescriptors();

    std::string linkPath_;
    std::string terminalPath_;
    int master_ = -1;
    int terminal_ = -1;
};

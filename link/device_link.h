#pragma once
// CDeviceLink: the one connection between the tool and the box.
//
// (Principles of operation: to be completed with the implementation.)
// Public contract used by the layers above:
//  - GetInstance() returns the process-wide link, created on first use;
//    no port is opened until the first scan.
//  - Transact() runs one whole request/reply exchange; when the port is closed
//    it scans COM1..COM29 first. On ST_OK it fills the three destinations
//    (each may be null); on any other status it leaves them untouched.
//  - ScanPorts() / Disconnect() as the connect and disconnect buttons use them.
//  - IsOpen() is the port's open flag, read without waiting for the lock.

#include <cstdint>
#include <functional>
#include <memory>

#include "link/serial_port.h"
#include "link/status_words.h"

class CDeviceLink {
public:
    static CDeviceLink* GetInstance();

    // Tests and tools may make links of their own; the product uses the
    // process-wide instance only.
    CDeviceLink();
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    StatusWord Transact(std::uint16_t command, std::uint16_t subCode, const std::uint8_t* data,
                        std::uint32_t dataLength, std::uint16_t* resultWord, std::uint8_t* reply,
                        std::uint32_t replyLimit, std::uint32_t* replyLength,
                        std::uint32_t firstByteTimeoutMs);
    StatusWord ScanPorts(std::uint8_t* byComNum);
    StatusWord Disconnect();
    bool IsOpen() const;
    // Number n of the port COMn the link has open, 0 when closed. (Added by
    // the lead for the connect handler: the link-side implementation is
    // needed.)
    std::uint8_t ConnectedPortNumber() const;

    // Frame trace for --trace and debugging: called with true for bytes
    // written, false for frames read. Off (empty) by default.
    using TraceHook = std::function<void(bool outgoing, const std::uint8_t* bytes, std::size_t n)>;
    void SetTraceHook(TraceHook hook);
};

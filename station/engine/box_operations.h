#pragma once
// CBoxOperations: the station's one way to the operations of device/ and
// firmware/. Each call runs an existing operation (the handlers the window's
// buttons run, or the record-level settings transfer) over a headless dialog
// model and a link of the station's own, and turns what it showed into a
// plain result. Nothing else in station/ names a handler or a control.
//
// Every transaction passes through the host here, which (1) refuses to send
// while the station asks for an abort, so an operation in progress ends at
// its next request, and (2) remembers the last transaction that failed, so
// the station can give a reason code. Status texts and transfer progress go
// to the sinks as the operation shows them.
//
// Threads: one caller at a time (the unit loop); the sinks are called on it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "device/device_settings.h"
#include "device/settings_transfer.h"
#include "firmware/firmware_update.h"
#include "link/status_words.h"
#include "ops/identity_op.h"

class CDeviceLink;
class CDialogModel;
struct ControlEvent;

// The last transaction that did not succeed.
struct TransactionFailure {
    bool any = false;
    StatusWord status = ST_OK;     // the link's word; ST_OK when the box answered
    std::uint16_t resultWord = 0;  // the box's word when it answered
    bool aborted = false;          // refused because an abort was asked for
};

class CBoxOperations {
public:
    using StatusSink = std::function<void(const std::string& text)>;
    using ProgressSink = std::function<void(long long value, long long total)>;
    // Asked before every request; true stops the request from being sent.
    using AbortCheck = std::function<bool()>;

    CBoxOperations(CDeviceLink& link, const UpgradeTiming& timing);
    ~CBoxOperations();
    CBoxOperations(const CBoxOperations&) = delete;
    CBoxOperations& operator=(const CBoxOperations&) = delete;

    void SetSinks(StatusSink status, ProgressSink progress);
    void SetAbortCheck(AbortCheck check);

    // Version text and serial number (hex), each true when read.
    bool ReadVersion(std::string& version);
    bool ReadSerial(std::string& serial);
    // The whole firmware update from `packagePath`; true when it ended with
    // the update's success text.
    bool UpdateFirmware(const std::string& packagePath);
    // The box's factory settings restored; true when it took the request.
    bool RestoreFactorySettings();
    SettingsTransfer ReadSettings(DeviceSettings& settings);
    SettingsTransfer WriteSettings(const DeviceSettings& settings);
    // Download `file` into load slot `slot`; true when it was sent whole.
    bool Download(const std::string& file, int slot);
    // Jump to load slot `slot`; true when the box took the request.
    bool Jump(int slot);
    // One probe as the port scan sends it; true when any valid frame came back.
    bool Probe();

    TransactionFailure LastFailure() const;
    void ClearFailure();

private:
    class CHost;
    void OnControlEvent(const ControlEvent& event);
    std::string LastStatus();
    bool ReadIdentity(IdentityResult (*op)(ITransactor&, std::uint32_t, const OpHooks&),
                      std::string& text);
    // What the operation shows, to the sinks as a handler would show it.
    void ShowStatus(const std::string& text);
    void ShowProgress(long long value, long long total);
    void ClearLastStatus();

    std::shared_ptr<CDialogModel> m_model;
    std::unique_ptr<CHost> m_host;
    UpgradeTiming m_timing;
    // The model's observer runs on the operation's thread; the lock keeps a
    // sink change from racing it.
    std::mutex m_sinkMutex;
    StatusSink m_statusSink;
    ProgressSink m_progressSink;
    std::string m_lastStatus;
};

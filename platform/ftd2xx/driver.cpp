#include "platform/ftd2xx/driver.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/ftd2xx/libftdi/ftdi_backend.h"
#include "platform/ftd2xx/vbus/daemon_backend.h"

namespace platform::ftd2xx {
namespace {

// The driver's own state, as D2XX keeps it: the backends, the device list of the last
// FT_CreateDeviceInfoList (FT_Open indexes into it) and the open handles. The device list is
// kept per thread, so that a listing on one thread cannot change the indexes another thread
// is about to open or overflow the array it sized.
class Driver {
public:
    static Driver& instance() {
        static Driver driver;
        return driver;
    }

    void attach(Backend* b) {
        std::lock_guard<std::mutex> guard(mutex_);
        attached_.push_back(b);
    }

    void detach(Backend* b) {
        std::lock_guard<std::mutex> guard(mutex_);
        attached_.erase(std::remove(attached_.begin(), attached_.end(), b), attached_.end());
    }

    FT_STATUS createList(uint32_t* count) {
        std::vector<Backend*> backends;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            backends = attached_;
        }
        if (standardBackendEnabled("vbus")) backends.push_back(&daemonBackend());
        if (standardBackendEnabled("ftdi")) backends.push_back(&ftdiBackend());
        std::vector<Listed> listed;
        for (Backend* b : backends)
            for (DeviceEntry& e : b->list())
                listed.push_back({b, std::move(e)});
        problem_.clear();
        for (const Listed& l : listed)
            if (!l.entry.problem.empty())
                problem_ += (problem_.empty() ? "" : "; ") + l.entry.problem;
        snapshot_ = std::move(listed);
        if (count) *count = static_cast<uint32_t>(snapshot_.size());
        return FT_OK;
    }

    FT_STATUS getList(FT_DEVICE_LIST_INFO_NODE* dest, uint32_t* count) {
        if (!dest || !count) return FT_INVALID_PARAMETER;
        for (size_t i = 0; i < snapshot_.size(); ++i) {
            const DeviceEntry& e = snapshot_[i].entry;
            FT_DEVICE_LIST_INFO_NODE& n = dest[i];
            std::memset(&n, 0, sizeof n);
            n.Flags = e.flags;
            n.Type = e.type;
            n.ID = e.id;
            n.LocId = e.locId;
            std::strncpy(n.SerialNumber, e.serial.c_str(), sizeof n.SerialNumber - 1);
            std::strncpy(n.Description, e.description.c_str(), sizeof n.Description - 1);
            n.ftHandle = nullptr;
        }
        *count = static_cast<uint32_t>(snapshot_.size());
        return FT_OK;
    }

    FT_STATUS open(int index, FT_HANDLE* handle) {
        if (!handle) return FT_INVALID_PARAMETER;
        *handle = nullptr;
        problem_.clear();
        if (index < 0 || static_cast<size_t>(index) >= snapshot_.size()) return FT_DEVICE_NOT_FOUND;
        const Listed& listed = snapshot_[static_cast<size_t>(index)];
        if (!available(listed.backend)) return FT_DEVICE_NOT_FOUND;
        std::unique_ptr<Port> port;
        FT_STATUS st = listed.backend->open(listed.entry, port, problem_);
        if (st != FT_OK) return st;
        std::lock_guard<std::mutex> guard(mutex_);
        FT_HANDLE h = port.get();
        ports_[h] = std::move(port);
        *handle = h;
        return FT_OK;
    }

    FT_STATUS close(FT_HANDLE h) {
        std::unique_ptr<Port> port;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            auto it = ports_.find(h);
            if (it == ports_.end()) return FT_INVALID_HANDLE;
            port = std::move(it->second);
            ports_.erase(it);
        }
        return port->close();
    }

    // Callers must not close a handle while another thread uses it, as with D2XX.
    Port* port(FT_HANDLE h) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto it = ports_.find(h);
        return it == ports_.end() ? nullptr : it->second.get();
    }

    const std::string& problem() const { return problem_; }

    struct Listed {
        Backend* backend = nullptr;
        DeviceEntry entry;
    };

private:
    bool available(Backend* b) {
        if (b == &daemonBackend() || b == &ftdiBackend()) return true;
        std::lock_guard<std::mutex> guard(mutex_);
        return std::find(attached_.begin(), attached_.end(), b) != attached_.end();
    }

    Backend& daemonBackend() {
        static vbus::DaemonBackend backend;
        return backend;
    }
    Backend& ftdiBackend() {
        static FtdiBackend backend;
        return backend;
    }

    std::mutex mutex_;
    std::vector<Backend*> attached_;
    static thread_local std::vector<Listed> snapshot_;
    static thread_local std::string problem_;
    std::map<FT_HANDLE, std::unique_ptr<Port>> ports_;
};

thread_local std::vector<Driver::Listed> Driver::snapshot_;
thread_local std::string Driver::problem_;

template <class F>
FT_STATUS withPort(FT_HANDLE h, F f) {
    Port* p = Driver::instance().port(h);
    return p ? f(*p) : FT_INVALID_HANDLE;
}

}  // namespace

ScopedBackend::ScopedBackend(Backend& backend) : backend_(&backend) {
    Driver::instance().attach(backend_);
}

ScopedBackend::~ScopedBackend() {
    Driver::instance().detach(backend_);
}

std::string lastProblem() {
    return Driver::instance().problem();
}

bool standardBackendEnabled(const char* name) {
    const char* env = std::getenv("VT5_USB_BACKENDS");
    if (!env) return true;
    std::stringstream list(env);
    std::string item;
    while (std::getline(list, item, ','))
        if (item == name) return true;
    return false;
}

}  // namespace platform::ftd2xx

using platform::ftd2xx::Driver;
using platform::ftd2xx::Port;
using platform::ftd2xx::withPort;

FT_STATUS FT_CreateDeviceInfoList(uint32_t* numDevs) {
    return Driver::instance().createList(numDevs);
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, uint32_t* numDevs) {
    return Driver::instance().getList(dest, numDevs);
}

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    return Driver::instance().open(deviceNumber, handle);
}

FT_STATUS FT_Close(FT_HANDLE handle) {
    return Driver::instance().close(handle);
}

FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, uint32_t* type, uint32_t* id, char* serialNumber,
                           char* description, void*) {
    return withPort(handle, [&](Port& p) {
        uint32_t t = 0, i = 0;
        std::string serial, descr;
        FT_STATUS st = p.getDeviceInfo(t, i, serial, descr);
        if (st != FT_OK) return st;
        if (type) *type = t;
        if (id) *id = i;
        // D2XX fills 16 and 64 byte buffers.
        if (serialNumber) {
            std::memset(serialNumber, 0, 16);
            std::strncpy(serialNumber, serial.c_str(), 15);
        }
        if (description) {
            std::memset(description, 0, 64);
            std::strncpy(description, descr.c_str(), 63);
        }
        return FT_STATUS(FT_OK);
    });
}

FT_STATUS FT_GetBitMode(FT_HANDLE handle, uint8_t* mode) {
    if (!mode) return FT_INVALID_PARAMETER;
    return withPort(handle, [&](Port& p) { return p.getBitMode(*mode); });
}

FT_STATUS FT_SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t enable) {
    return withPort(handle, [&](Port& p) { return p.setBitMode(mask, enable); });
}

FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) {
    return withPort(handle, [&](Port& p) { return p.purge(mask); });
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) {
    return withPort(handle, [&](Port& p) { return p.setBaudRate(baudRate); });
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity) {
    return withPort(
        handle, [&](Port& p) { return p.setDataCharacteristics(wordLength, stopBits, parity); });
}

FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) {
    return withPort(handle, [&](Port& p) { return p.setFlowControl(flowControl, xon, xoff); });
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) {
    return withPort(handle, [&](Port& p) { return p.setTimeouts(readTimeout, writeTimeout); });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t timer) {
    return withPort(handle, [&](Port& p) { return p.setLatencyTimer(timer); });
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
    if (!buffer || !bytesReturned) return FT_INVALID_PARAMETER;
    *bytesReturned = 0;
    return withPort(handle, [&](Port& p) {
        return p.read(static_cast<uint8_t*>(buffer), bytesToRead, *bytesReturned);
    });
}

FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite,
                   uint32_t* bytesWritten) {
    if (!buffer || !bytesWritten) return FT_INVALID_PARAMETER;
    *bytesWritten = 0;
    return withPort(handle, [&](Port& p) {
        return p.write(static_cast<const uint8_t*>(buffer), bytesToWrite, *bytesWritten);
    });
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, uint32_t* rxBytes) {
    if (!rxBytes) return FT_INVALID_PARAMETER;
    return withPort(handle, [&](Port& p) { return p.queueStatus(*rxBytes); });
}

FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                       uint32_t* eventStatus) {
    return withPort(handle, [&](Port& p) {
        uint32_t rx = 0, tx = 0, ev = 0;
        FT_STATUS st = p.status(rx, tx, ev);
        if (rxBytes) *rxBytes = rx;
        if (txBytes) *txBytes = tx;
        if (eventStatus) *eventStatus = ev;
        return st;
    });
}

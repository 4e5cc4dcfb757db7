#include "hcsim/ft230x/emulated_ft230x.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>

namespace hcsim::ft230x {
namespace {

constexpr unsigned kCapabilities = USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
constexpr int kUsbSpeedFull = 2;

std::string twoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string threeDigits(int n) {
    return (n < 100 ? "0" : "") + twoDigits(n);
}

}  // namespace

// A URB between submit and reap; holds umockdev's copies of the caller's URB and buffer.
struct EmulatedFt230x::Urb {
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    unsigned long clientAddr = 0;
    uint8_t type = 0;
    uint8_t endpoint = 0;
    int status = 0;
    int actual = 0;
    bool done = false;
    InUrbState in;

    Urb() = default;
    Urb(const Urb&) = delete;
    Urb& operator=(const Urb&) = delete;
    ~Urb() {
        if (buffer) g_object_unref(buffer);
        if (urb) g_object_unref(urb);
    }
    usbdevfs_urb& fields() { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
};

struct EmulatedFt230x::Client {
    explicit Client(UMockdevIoctlClient* c)
        : client(static_cast<UMockdevIoctlClient*>(g_object_ref(c))) {}
    ~Client() {
        urbs.clear();
        g_object_unref(client);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    UMockdevIoctlClient* client;
    std::deque<std::unique_ptr<Urb>> urbs;  // submitted, in order; the done ones wait for reap
};

EmulatedFt230x::EmulatedFt230x(Testbed& testbed, Ft230xConfig config)
    : testbed_(testbed), config_(std::move(config)), kernelDriver_(config_.kernelDriver) {
    hc_ = std::make_unique<SimulatedHc>(line_, config_.hc);
    UsbIdentity id;
    id.vendor = static_cast<uint16_t>(config_.hc.usbId >> 16);
    id.product = static_cast<uint16_t>(config_.hc.usbId);
    id.description = config_.hc.description;
    id.serial = config_.hc.serial;
    function_ = std::make_unique<UsbFunction>(id, config_.cbus, hc_->chip());
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedFt230x::onIoctl), this);
    g_signal_connect(handler_, "client-connected", G_CALLBACK(&EmulatedFt230x::onConnected), this);
    plug();
}

EmulatedFt230x::~EmulatedFt230x() {
    unplug();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        clients_.clear();
    }
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

std::string EmulatedFt230x::devNode() const {
    return "/dev/bus/usb/" + threeDigits(config_.bus) + "/" + threeDigits(config_.address);
}

std::string EmulatedFt230x::sysPath() const {
    return "/sys/devices/usb" + std::to_string(config_.bus) + "/" + std::to_string(config_.bus) +
           "-" + config_.port;
}

std::string EmulatedFt230x::interfacePath() const {
    return sysPath() + "/" + std::to_string(config_.bus) + "-" + config_.port + ":1.0";
}

std::string EmulatedFt230x::devNodeFile() const {
    return testbed_.root() + devNode();
}

void EmulatedFt230x::plug() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (plugged_) return;
    const UsbIdentity& id = function_->identity();
    char vendor[8], product[8];
    std::snprintf(vendor, sizeof vendor, "%04x", id.vendor);
    std::snprintf(product, sizeof product, "%04x", id.product);
    std::string name = std::to_string(config_.bus) + "-" + config_.port;
    std::string parent = "/sys/devices/usb" + std::to_string(config_.bus);
    std::string busnum = std::to_string(config_.bus), devnum = std::to_string(config_.address);
    std::string dev = "189:" + std::to_string((config_.bus - 1) * 128 + config_.address - 1);
    std::string productProp =
        std::string(vendor + (vendor[0] == '0')) + "/" + (product + (product[0] == '0')) + "/1000";
    UMockdevTestbed* tb = testbed_.get();
    if (!std::filesystem::exists(testbed_.root() + parent)) {
        gchar* hub = umockdev_testbed_add_device(
            tb, "usb", ("usb" + busnum).c_str(), nullptr, "idVendor", "1d6b", "idProduct", "0002",
            "busnum", (busnum + "\n").c_str(), "devnum", "1\n", "speed", "480\n", nullptr,
            "DEVTYPE", "usb_device", nullptr);
        g_free(hub);
    }
    gchar* path = umockdev_testbed_add_device(
        tb, "usb", name.c_str(), parent.c_str(), "idVendor", vendor, "idProduct", product,
        "bcdDevice", "1000", "manufacturer", id.manufacturer.c_str(), "product",
        id.description.c_str(), "serial", id.serial.c_str(), "busnum", (busnum + "\n").c_str(),
        "devnum", (devnum + "\n").c_str(), "speed", "12\n", "bConfigurationValue", "1",
        "bNumConfigurations", "1", "bNumInterfaces", " 1", "bMaxPacketSize0", "8", "devpath",
        config_.port.c_str(), "dev", dev.c_str(), nullptr, "DEVTYPE", "usb_device", "DEVNAME",
        devNode().c_str(), "BUSNUM", threeDigits(config_.bus).c_str(), "DEVNUM",
        threeDigits(config_.address).c_str(), "PRODUCT", productProp.c_str(), "DRIVER", "usb",
        nullptr);
    Bytes descriptors = function_->descriptors();
    umockdev_testbed_set_attribute_binary(tb, path, "descriptors", descriptors.data(),
                                          static_cast<gint>(descriptors.size()));
    gchar* iface = umockdev_testbed_add_device(tb, "usb", (name + ":1.0").c_str(), path,
                                               "bInterfaceNumber", "00", "bInterfaceClass", "ff",
                                               "bAlternateSetting", " 0", "bNumEndpoints", "02",
                                               nullptr, "DEVTYPE", "usb_interface", nullptr);
    g_free(iface);
    g_free(path);
    // The device file: an empty file in the sandbox, as umockdev makes for USB devices; the
    // preload library sends its ioctls to the handler.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(devNodeFile()).parent_path(), ec);
    std::ofstream(devNodeFile()).flush();
    ::chmod(devNodeFile().c_str(), 0664);
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(tb, devNode().c_str(), handler_, &error);
    if (error) g_error_free(error);
    plugged_ = true;
    setDriverLink(kernelDriver_ ? "ftdi_sio" : claimedBy_ ? "usbfs" : nullptr);
}

void EmulatedFt230x::unplug() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!plugged_) return;
        plugged_ = false;
        claimedBy_ = nullptr;
        kernelDriver_ = config_.kernelDriver;
        // Every URB still under way ends as the kernel ends it when the device goes.
        for (auto& [client, c] : clients_)
            for (auto& urb : c->urbs)
                if (!urb->done) {
                    urb->done = true;
                    urb->status = -ESHUTDOWN;
                    urb->actual = 0;
                }
    }
    UMockdevTestbed* tb = testbed_.get();
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(tb, devNode().c_str(), &error);
    if (error) g_error_free(error);
    umockdev_testbed_uevent(tb, interfacePath().c_str(), "remove");
    umockdev_testbed_uevent(tb, sysPath().c_str(), "remove");
    umockdev_testbed_remove_device(tb, interfacePath().c_str());
    umockdev_testbed_remove_device(tb, sysPath().c_str());
    std::error_code ec;
    std::filesystem::remove(devNodeFile(), ec);
}

void EmulatedFt230x::letOtherUsersIn() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // umockdev makes its folder for its own user only; programs also bind their udev monitor
    // sockets in it.
    fs::permissions(testbed_.root(), fs::perms::all | fs::perms::sticky_bit, ec);
    // The preload connects to the handler's socket on every open of the device file, also one
    // the file's mode refuses, and ends the program when it cannot: connecting takes write
    // permission on the socket.
    const fs::perms readWrite = fs::perms::owner_read | fs::perms::owner_write |
                                fs::perms::group_read | fs::perms::group_write |
                                fs::perms::others_read | fs::perms::others_write;
    for (const std::string& socket :
         {testbed_.root() + "/ioctl/_default", testbed_.root() + "/ioctl" + devNode()})
        fs::permissions(socket, readWrite, ec);
}

bool EmulatedFt230x::plugged() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return plugged_;
}

bool EmulatedFt230x::claimed() {
    std::lock_guard<std::mutex> guard(mutex_);
    sweep();
    return claimedBy_ != nullptr;
}

uint64_t EmulatedFt230x::urbsReaped() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return reaped_;
}

// The interface's driver link in sysfs: what `lsusb -t` and our listing read.
void EmulatedFt230x::setDriverLink(const char* driver) {
    namespace fs = std::filesystem;
    fs::path link = testbed_.root() + interfacePath() + "/driver";
    std::error_code ec;
    fs::remove(link, ec);
    if (driver) fs::create_symlink(fs::path("../../../../bus/usb/drivers") / driver, link, ec);
}

void EmulatedFt230x::onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    auto* me = static_cast<EmulatedFt230x*>(self);
    {
        std::lock_guard<std::mutex> guard(me->mutex_);
        me->sweep();
        me->clients_[client] = std::make_unique<Client>(client);
    }
}

// Programs that closed the device (or ended) lose their claim and URBs. umockdev tells of a
// closed connection only through the client's state, so it is looked at whenever it matters.
void EmulatedFt230x::sweep() {
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (umockdev_ioctl_client_get_connected(it->first)) {
            ++it;
            continue;
        }
        if (claimedBy_ == it->first) {
            claimedBy_ = nullptr;
            if (plugged_) setDriverLink(nullptr);
        }
        it = clients_.erase(it);
    }
}

int EmulatedFt230x::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    return static_cast<EmulatedFt230x*>(self)->handle(client) ? TRUE : FALSE;
}

bool EmulatedFt230x::handle(UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = clients_.find(client);
    if (found == clients_.end()) {
        sweep();
        found = clients_.emplace(client, std::make_unique<Client>(client)).first;
    }
    Client& c = *found->second;
    unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    auto fail = [&](int err) { umockdev_ioctl_client_complete(client, -1, err); };
    auto resolve = [&](size_t len) -> UMockdevIoctlData* {
        GError* error = nullptr;
        UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, len, &error);
        if (error) g_error_free(error);
        return d;
    };

    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
        reap(client, c);
        return true;
    }
    if (!plugged_) {
        fail(ENODEV);
        return true;
    }
    switch (request) {
        case USBDEVFS_SUBMITURB:
            submit(client, c);
            return true;
        case USBDEVFS_DISCARDURB:
            discard(client, c);
            return true;
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* d = resolve(sizeof(uint32_t));
            if (!d) return fail(EFAULT), true;
            *reinterpret_cast<uint32_t*>(d->data) = kCapabilities;
            g_object_unref(d);
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_GET_SPEED:
            umockdev_ioctl_client_complete(client, kUsbSpeedFull, 0);
            return true;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            UMockdevIoctlData* d = resolve(sizeof(unsigned));
            if (!d) return fail(EFAULT), true;
            unsigned iface = *reinterpret_cast<unsigned*>(d->data);
            g_object_unref(d);
            if (iface != 0) return fail(EINVAL), true;
            if (request == USBDEVFS_CLAIMINTERFACE) {
                if (claimedBy_ && claimedBy_ != client) sweep();
                if (kernelDriver_ || (claimedBy_ && claimedBy_ != client)) return fail(EBUSY), true;
                claimedBy_ = client;
                setDriverLink("usbfs");
            } else {
                if (claimedBy_ != client) return fail(EINVAL), true;
                claimedBy_ = nullptr;
                setDriverLink(nullptr);
            }
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* d = resolve(sizeof(usbdevfs_getdriver));
            if (!d) return fail(EFAULT), true;
            auto* g = reinterpret_cast<usbdevfs_getdriver*>(d->data);
            const char* driver = g->interface != 0 ? nullptr
                                 : kernelDriver_   ? "ftdi_sio"
                                 : claimedBy_      ? "usbfs"
                                                   : nullptr;
            if (driver) std::snprintf(g->driver, sizeof g->driver, "%s", driver);
            g_object_unref(d);
            if (!driver) return fail(ENODATA), true;
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData* d = resolve(sizeof(usbdevfs_ioctl));
            if (!d) return fail(EFAULT), true;
            auto* io = reinterpret_cast<usbdevfs_ioctl*>(d->data);
            int ifno = io->ifno;
            unsigned long code = static_cast<unsigned long>(io->ioctl_code);
            g_object_unref(d);
            if (ifno != 0) return fail(EINVAL), true;
            if (code == USBDEVFS_DISCONNECT) {
                if (config_.detachError) return fail(config_.detachError), true;
                if (!kernelDriver_) return fail(ENODATA), true;
                kernelDriver_ = false;
                setDriverLink(nullptr);
            } else if (code == USBDEVFS_CONNECT) {
                if (claimedBy_) return fail(EBUSY), true;
                kernelDriver_ = true;
                setDriverLink("ftdi_sio");
            } else {
                return fail(ENOTTY), true;
            }
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESET:
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        default:
            fail(ENOTTY);
            return true;
    }
}

void EmulatedFt230x::submit(UMockdevIoctlClient* client, Client& c) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    GError* error = nullptr;
    auto urb = std::make_unique<Urb>();
    urb->urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
    if (!urb->urb || error) {
        if (error) g_error_free(error);
        urb->urb = nullptr;
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    urb->clientAddr = urb->urb->client_addr;
    usbdevfs_urb& u = urb->fields();
    urb->type = u.type;
    urb->endpoint = u.endpoint;
    if (u.buffer_length > 0) {
        urb->buffer = umockdev_ioctl_data_resolve(urb->urb, offsetof(usbdevfs_urb, buffer),
                                                  static_cast<gsize>(u.buffer_length), &error);
        if (error) {
            g_error_free(error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
    }
    int length = u.buffer_length;
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        if (length < 8) return umockdev_ioctl_client_complete(client, -1, EINVAL);
        finishControl(*urb);
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == kBulkOut) {
        if (length > 0) function_->bulkOut(urb->buffer->data, static_cast<size_t>(length));
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == kBulkIn) {
        urb->in.capacity = static_cast<size_t>(std::max(length, 0));
    } else {
        return umockdev_ioctl_client_complete(client, -1, EINVAL);
    }
    c.urbs.push_back(std::move(urb));
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedFt230x::finishControl(Urb& urb) {
    const uint8_t* setup = urb.buffer->data;
    uint8_t requestType = setup[0], request = setup[1];
    uint16_t value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
    uint16_t index = static_cast<uint16_t>(setup[4] | setup[5] << 8);
    uint16_t length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
    size_t room = static_cast<size_t>(urb.buffer->data_len) - 8;
    length = static_cast<uint16_t>(std::min<size_t>(length, room));
    Bytes out;
    if (!(requestType & 0x80)) out.assign(setup + 8, setup + 8 + length);
    ControlReply reply = function_->control(requestType, request, value, index, length, out);
    urb.done = true;
    if (reply.stall) {
        urb.status = -EPIPE;
        return;
    }
    if (requestType & 0x80) {
        std::memcpy(urb.buffer->data + 8, reply.data.data(), reply.data.size());
        urb.actual = static_cast<int>(reply.data.size());
    } else {
        urb.actual = length;
    }
}

// Completes what the chip has finished by now, in order per endpoint.
void EmulatedFt230x::pump(Client& c) {
    platform::TimePoint now = platform::clock().now();
    bool inWaiting = false, outWaiting = false;
    for (auto& urb : c.urbs) {
        if (urb->done) continue;
        if (urb->endpoint == kBulkOut) {
            if (outWaiting || !function_->bulkOutDone()) {
                outWaiting = true;
                continue;
            }
            urb->done = true;
            urb->actual = urb->fields().buffer_length;
        } else if (urb->endpoint == kBulkIn) {
            if (inWaiting) continue;
            std::optional<Bytes> packets = function_->bulkIn(urb->in, now);
            if (!packets) {
                inWaiting = true;
                continue;
            }
            std::memcpy(urb->buffer->data, packets->data(), packets->size());
            urb->done = true;
            urb->actual = static_cast<int>(packets->size());
        }
    }
}

void EmulatedFt230x::reap(UMockdevIoctlClient* client, Client& c) {
    if (plugged_) pump(c);
    auto it = c.urbs.begin();
    while (it != c.urbs.end() && !(*it)->done)
        ++it;
    if (it == c.urbs.end()) {
        umockdev_ioctl_client_complete(client, -1, plugged_ ? EAGAIN : ENODEV);
        return;
    }
    std::unique_ptr<Urb> urb = std::move(*it);
    c.urbs.erase(it);
    usbdevfs_urb& u = urb->fields();
    u.status = urb->status;
    u.actual_length = urb->actual;
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    GError* error = nullptr;
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &error);
    if (!slot || error) {
        if (error) g_error_free(error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    // The caller gets back its own URB, with its buffer filled in.
    umockdev_ioctl_data_set_ptr(slot, 0, urb->urb);
    g_object_unref(slot);
    ++reaped_;
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedFt230x::discard(UMockdevIoctlClient* client, Client& c) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    unsigned long target = *reinterpret_cast<unsigned long*>(arg->data);
    for (auto& urb : c.urbs) {
        if (urb->clientAddr != target || urb->done) continue;
        urb->done = true;
        urb->status = -ENOENT;
        urb->actual = 0;
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

}  // namespace hcsim::ft230x

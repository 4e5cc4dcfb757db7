#include "vt5api/options/free_devices.h"

std::vector<std::string> ListFreeSerials(CVT5Api& api) {
    std::vector<std::string> serials;
    int32_t count = 0;
    VT5DeviceListEntry* entries = nullptr;
    if (VT5_ListDevices(&api, &count, &entries) != VT5_OK) return serials;
    for (int32_t i = 0; i < count; ++i)
        serials.emplace_back(entries[i].serial);
    VT5_FreeDeviceList(entries);
    return serials;
}

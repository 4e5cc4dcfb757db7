#include "vt5api/api/vt5server.h"

int32_t VT5_StartServer(CVT5Api* api, VT5ServerStart* start) {
    if (!start || start->size != 20) return VT5_E_BAD_ARGUMENT;
    if (!api || !api->link) return VT5_E_NO_LINK;
    CVT5Link& link = *api->link;
    if (link.Mode() == VT5_MODE_CLIENT) return VT5_E_WRONG_MODE;
    if (link.IsOpen()) return VT5_E_CANT_CREATE_SERVER;
    return link.StartServer(start->port, start->servedSerial);
}

int32_t VT5_PollServer(CVT5Api* api) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    return api->link->PollServer();
}

int32_t VT5_GetServerClients(CVT5Api* api, VT5ServerClient* entries) {
    if (!api || !api->link) return 0;
    return api->link->GetServerClients(entries);
}

int32_t VT5_StopServer(CVT5Api* api) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    return api->link->StopServer();
}

#include "vt5api/options/connection_target.h"

VT5ConnectionTarget TargetFromOptions(const VT5ConnectionOptions& options) {
    VT5ConnectionTarget target;
    if (options.connectToServer) {
        target.host = options.serverAddress;
        target.port = options.serverPort;
    } else {
        target.serial = options.directAccessId;
    }
    return target;
}

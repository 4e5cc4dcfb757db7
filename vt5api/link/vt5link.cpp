#include "vt5api/link/vt5link.h"

#include "vt5api/link/vt5link_server.h"

#include <cstdio>
#include <cstring>

CVT5Link::CVT5Link() = default;

CVT5Link::~CVT5Link() {
    Close();
}

void CVT5Link::SetPlainError(const char* text) {
    std::snprintf(errorText_, sizeof errorText_, "%s", text);
}

void CVT5Link::SetFormattedError(const char* text) {
    std::snprintf(errorText_, sizeof errorText_, "%s (code %d ($%x))", text,
                  static_cast<int>(lastStatus_), static_cast<unsigned>(lastStatus_));
    lastErrorCode_ = static_cast<int32_t>(lastStatus_);
    timedOut_ =
        std::strcmp(text, "FT_Write timed out") == 0 || std::strcmp(text, "FT_Read timed out") == 0;
}

bool CVT5Link::CheckOpen(const char* operation) {
    if (handle_) return true;
    char text[128];
    std::snprintf(text, sizeof text, "Device not open in %s", operation);
    SetPlainError(text);
    return false;
}

void CVT5Link::SetHandshakeCopy(int32_t bootFlag, int32_t protocolVersion, int32_t secondWord,
                                std::vector<uint8_t> commandTable) {
    bootFlag_ = bootFlag;
    protocolVersion_ = protocolVersion;
    secondWord_ = secondWord;
    commandTable_ = std::move(commandTable);
}

void CVT5Link::ClearHandshakeCopy() {
    commandTable_.clear();
    commandTable_.shrink_to_fit();
    bootFlag_ = 0;
    protocolVersion_ = 0;
    secondWord_ = 0;
}

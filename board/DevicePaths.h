#pragma once
// The one place that names each driver's character device, so every user
// opens the same path (placed under $SERVER_ROOT when that is set).

const char* GetVoiceDevName();
const char* GetMixerDevName();
const char* GetDTMFDevName();
const char* GetDSPDevName();
const char* GetRtpDevName();
const char* GetModemDevName();
const char* GetMaintenance();
const char* GetHalDevName();
const char* GetMccDevName();
const char* GetE1CasDevName();
const char* GetDspDataDevName();
const char* GetWatchdogDevName();
const char* GetConsoleDevName();

namespace RTPSignalling {

// "/dev/rtp_ext": the radio controllers know it by this name.
const char* GetRtpExtDevName();

}  // namespace RTPSignalling

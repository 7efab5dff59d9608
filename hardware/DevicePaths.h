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

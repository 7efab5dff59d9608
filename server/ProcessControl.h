#pragma once
// Process control of the daemon: the signal handlers, the deferred call that
// acts on the two signal flags on the main loop, the status dump and the
// switch to daemon mode.

#include <atomic>
#include <iosfwd>

// Set in signal context, read and cleared by CheckSignals on the main loop.
extern std::atomic<bool> doDumpStatus;
extern std::atomic<bool> updateResources;

// SIGPIPE ignored, SIGTERM and SIGINT stop the main loop (interrupting its
// poll), SIGUSR2 asks for a status dump, SIGHUP for a resource update.
void InstallSignalHandlers();

// The deferred call's work: CheckDumpStatus, then CheckUpdateResources.
void CheckSignals();
void CheckDumpStatus();
void CheckUpdateResources();

// The status dump: title, version and the main loop's own dump.
void WriteStatusDump(std::ostream& out);

// Detaches the process; its output goes to syslog under the daemon identity.
void RunDaemon();

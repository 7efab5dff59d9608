#pragma once
// Finding a process by its command name in the process table.

// The pid of a process whose command name (between the first '(' and the
// last ')' of its stat file) equals name: the hint first when above 0, then
// every process in directory order. -1 when none matches.
int find_proc_by_name(const char* name, int hint);

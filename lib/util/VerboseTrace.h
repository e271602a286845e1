// ShowVerboseTrace: the library's network clients announce each operation
// through it; with the verbose mode switch on, the user sees the operation in
// the "Network Verbose Mode" dialog before it runs.
#pragma once

// Does nothing when the switch is off. Otherwise shows the dialog modally,
// without a parent, and returns when the user closes it. enableOpen non-zero
// enables "&Open". Called from a thread other than the GUI thread, it shows
// the dialog in the GUI thread and blocks until it closes. Without a
// QApplication (a console program) it prints the action and details on
// stderr instead. Null texts count as empty.
void ShowVerboseTrace(const char* action, const char* details, int enableOpen);

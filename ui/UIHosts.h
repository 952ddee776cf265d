#pragma once
// The user interface's answers to what the tools, commands and actions ask of it: the
// tool host, its extras, the command host and the action hooks, forwarding to the main
// view and the main window.

// Installs them (the main window does when it is built).
void InstallUIHosts();
// Restores the do-nothing defaults.
void RemoveUIHosts();

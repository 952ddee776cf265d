#pragma once
// The user interface's answers to what the document model, the tools and the commands ask
// of it (the editor UI, forwarding to the main view, the panels and the main window) and the
// project commands' hooks.

// Installs them (the main window does when it is built).
void InstallUIHosts();
// Restores the do-nothing defaults.
void RemoveUIHosts();

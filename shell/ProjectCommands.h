#pragma once
// The File commands on whole projects.
class CProject;

// Null after the error box "Project creation failed".
CProject* CreateProject();

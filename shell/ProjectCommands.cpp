#include "shell/ProjectCommands.h"
#include <new>
#include "document/Project.h"
#include "shell/Errors.h"

CProject* CreateProject() {
  CProject* project = nullptr;
  try {
    project = new (std::nothrow) CProject;
  } catch (...) {
    project = nullptr;
  }
  if (!project)
    ErrorBox("Project creation failed");
  return project;
}

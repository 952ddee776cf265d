#pragma once
// The project format as a file type of the plug-in interface: the file-type record of the
// built-in format and the probe that describes a project file and pictures it for the open
// dialog. Only what the picture needs is read; every problem ends the probe quietly.
#include "plugins/sdk/VCXRecords.h"

// A new record {id 1, "Vellumcraft project", extension "vcj"}; null when it cannot be made.
VCXFileType* __cdecl GetProjectFileType();
// Null: the project format has one type.
VCXFileType* __cdecl GetNextProjectFileType();
// 1, with nothing lost (outFlags 0).
int __cdecl CanExportProject(int type, VCXMultiImage* document, int* outFlags);
// 1 when path is a readable project file: outType (when given) becomes 1, picture (when
// asked for) the embedded thumbnail or the only layer of the first image, or null, and
// description (when given) "Vellumcraft project\n<n> image(s)". 0 for anything else.
int __cdecl CanImportProject(const char* path, int* outType, VCXLayeredImage** picture, char* description,
                             int size);

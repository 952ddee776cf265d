#ifndef VCX_ABOUT_RESOURCES_H
#define VCX_ABOUT_RESOURCES_H
/* Resources of the About box of the JPEG, TGA and PSD plug-ins (used by .rc and C++). */
#define VCX_IDB_ABOUT_PICTURE 101
#define VCX_IDC_LINK_HAND 102
#endif

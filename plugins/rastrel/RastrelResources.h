#ifndef RASTREL_RESOURCES_H
#define RASTREL_RESOURCES_H
/* Resources of the Rastrel plug-in's About box (used by .rc and C++). */
#define RASTREL_IDB_ABOUT_PICTURE 300
#define RASTREL_IDC_LINK_HAND 200
#endif

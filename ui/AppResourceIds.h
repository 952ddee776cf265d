#pragma once
// Resource numbers of the program's icons and cursors; included by the .rc files and C++.

// Icons, in the order the shell counts them (index 0 to 3).
#define IDI_APPLICATION_ICON 101
#define IDI_PLUGIN_FILE 102
#define IDI_PROJECT_FILE 103
#define IDI_COLORS_FILE 104

// Cursors.
#define IDC_TOOL_DEFAULT 200
#define IDC_LINK 201
#define IDC_COLOR_FIELD 202
#define IDC_PAN 203
#define IDC_PREVIEW 204
#define IDC_TEXT 210
#define IDC_GRADIENT 211
#define IDC_SHAPE 212
#define IDC_SELECT_ADD 213
#define IDC_SELECT_SUBTRACT 214
#define IDC_SELECT_INTERSECT 215
#define IDC_WAND_REPLACE 216
#define IDC_WAND_ADD 217
#define IDC_WAND_SUBTRACT 218
#define IDC_WAND_INTERSECT 219
#define IDC_MOVE 220
#define IDC_PICKER 221
#define IDC_BRUSH_LARGE 222
#define IDC_BRUSH_ODD 223
#define IDC_BRUSH_EVEN 224
#define IDC_FLOOD_FILL 225

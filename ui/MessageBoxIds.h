#pragma once
// Bitmap resources of the message box pictures, one per kind (usable from .rc files).
#define IDB_MESSAGE_ERROR 400
#define IDB_MESSAGE_QUESTION 401
#define IDB_MESSAGE_WARNING 402
#define IDB_MESSAGE_INFORMATION 403

#pragma once
// Shared by the program and its version resource.
#define QOR_TOOL_REVISION 241
#define QOR_PRODUCT_VERSION 4203
#define QOR_FILE_VERSION_TEXT "2.0.241.0"
#define QOR_PRODUCT_VERSION_TEXT "4203"

// Identifiers of the program's resources: the browser dialog's controls, the
// viewer's menu commands (Convert/Save and Tools from core/command_ids.h) and
// the named resources. Included by resources.rc.
#pragma once

#include "core/command_ids.h"

#define IDD_BROWSER 1536

#define IDC_CONFIRM 1
#define IDC_EXIT 2
#define IDC_FILE_NAME_LABEL 1090
#define IDC_FILE_NAME 1152
#define IDC_FILE_LIST 1120
#define IDC_DIR_LIST 1121
#define IDC_TYPE_LABEL 1089
#define IDC_TYPE_LIST 1136
#define IDC_DRIVE_LABEL 1091
#define IDC_DRIVE_LIST 1137
#define IDC_CENTER 1010
#define IDC_TILE 1009
#define IDC_FULL_SCREEN 1013
#define IDC_READ_ONLY 1040
#define IDC_PREVIEW 1008
#define IDC_HELP_BUTTON 1015

// The About box's line on what the program views, filled in when it opens.
#define IDC_ABOUT_VIEWS 1200

#define CM_CLOSE_FILE 102
#define CM_PRINT_NORMAL 103
#define CM_PRINT_LARGE 104
#define CM_FULL_SCREEN 105
#define CM_CENTER_TILE 106
#define CM_PRINT_TILED 108
#define CM_ABOUT 109
#define CM_FILE_INFO 110
#define CM_DELETE_FILE 111
#define CM_SLIDESHOW 114
#define CM_NEXT_FILE 115
#define CM_LAST_FILE 116
#define CM_HELP 180

#define HELP_CONTEXT_BROWSER 102

/* Identifiers of the wizard window's resources and controls: one definition, read by the
 * resource script (windres understands only the preprocessor) and by the code. */
#ifndef VELTRANE_CONTROL_IDS_H
#define VELTRANE_CONTROL_IDS_H

/* Dialogs, icon, strings. */
#define IDD_WIZARD 102
#define IDD_PASSWORD 210
#define IDI_VELTRANE 217
#define IDS_SOCKETS_FAILED 103

/* Controls of the wizard's template. */
#define IDC_NEXT 1
#define IDC_CEFS_DELETE 2
#define IDC_DEVICE_TEXT 1001
#define IDC_DOWNLOADING 1002
#define IDC_CEFS_ERASED 1003
#define IDC_READ_NV 1004
#define IDC_STATUS_TEXT 1006
#define IDC_PIC 1008
#define IDC_PROGRESS_BAR 1009
#define IDC_ERASED_NO_FUNCTION 1011
#define IDC_ERASED 1012
#define IDC_AMSS 1013
#define IDC_WIN 1014
#define IDC_CEFS 1015
#define IDC_FOTA 1016
#define IDC_QCSBL 1017
#define IDC_ACCEPT 1018
#define IDC_WMBOOT 1021
#define IDC_OEMSBL 1029

/* The password dialog's field. */
#define IDC_PASSWORD_TEXT 1002

/* Statics the window creates itself. */
#define IDC_BADGE 3000
#define IDC_PICTURE 3001
#define IDC_CLOSE 3002
#define IDC_CLOSE_HOT 3003
#define IDC_SEPARATOR 3004
#define IDC_SMALL_ICON 3005
#define IDC_NEXT_IMAGE 3006
#define IDC_NEXT_IMAGE_HOT 3007
#define IDC_ACCEPT_BOX 3008
#define IDC_ACCEPT_BOX_TICKED 3009
#define IDC_ACCEPT_TEXT 3010
#define IDC_NOTICE_TEXT 3011
#define IDC_CAPTION_TEXT 3012
#define IDC_PROGRESS_UNDERLAY 3015
#define IDC_FIRST_STEP_LABEL 3017
#define IDC_LAST_STEP_LABEL 3026
#define IDC_FIRST_CHECKING 2000
#define IDC_CHECKING_FAILURE_BOX 2008

/* PNG images (resource type "PNG"). */
#define IDP_BACKGROUND 177
#define IDP_BADGE 179
#define IDP_PICTURE 180
#define IDP_CLOSE 181
#define IDP_CLOSE_HOT 182
#define IDP_SEPARATOR 183
#define IDP_SMALL_ICON 184
#define IDP_NEXT 185
#define IDP_NEXT_HOT 186
#define IDP_PASSED 190
#define IDP_FAILED 191
#define IDP_ACCEPT 206
#define IDP_ACCEPT_TICKED 207
#define IDP_PROGRESS_UNDERLAY 209

#endif

/* Identifiers of the resource library's strings, dialogs and controls.
   Shared by the plug-in code and the resource script, so it stays plain C
   preprocessor text that the resource compiler reads too. */
#ifndef ZEDUZ_RESOURCE_IDS_H
#define ZEDUZ_RESOURCE_IDS_H

/* Dialog templates (by name) */
#define IDD_DETAILS_NAME "DETAILS"
#define IDD_ABOUT_NAME "ABOUT"

/* Controls of "DETAILS" */
#define IDC_BYTE_ORDER_INTEL 1001
#define IDC_BYTE_ORDER_MOTOROLA 1002
#define IDC_COMPRESSION_LIST 1003
#define IDC_COLOR_COMPRESSION_LIST 1004
#define IDC_JPEG_QUALITY_LIST 1005
#define IDC_BIGTIFF 1006

/* Compression list: 2000 holds the entry count, 2001.. one "value,label" each */
#define IDS_COMPRESSION_COUNT 2000
#define IDS_COMPRESSION_FIRST 2001

/* Texts given to the host */
#define IDS_MESSAGE_CAPTION 2501
#define IDS_FILE_EXTENSION 2502
#define IDS_FORMAT_NAME 2503
#define IDS_FORMAT_COMMENT 2504
#define IDS_SETTINGS_INTEL 2505
#define IDS_SETTINGS_MOTOROLA 2506
#define IDS_SETTINGS_UNCOMPRESSED 2507
#define IDS_SETTINGS_GROUP4 2508
#define IDS_SETTINGS_COLOR_LZW 2509
#define IDS_SETTINGS_COLOR_DEFLATE 2510
#define IDS_SETTINGS_COLOR_JPEG 2511
#define IDS_SETTINGS_GROUP3_1D 2520
#define IDS_SETTINGS_GROUP3_2D 2521
#define IDS_SETTINGS_PACKBITS 2522
#define IDS_SETTINGS_COLOR_PACKBITS 2523

/* Colour and grey compression list: 2600 holds the entry count, 2601.. one
   "value,label" each */
#define IDS_COLOR_COMPRESSION_COUNT 2600
#define IDS_COLOR_COMPRESSION_FIRST 2601

/* JPEG quality list: 2700 holds the entry count, 2701.. one "value,label" each */
#define IDS_JPEG_QUALITY_COUNT 2700
#define IDS_JPEG_QUALITY_FIRST 2701

/* Message texts */
#define IDS_MESSAGE_NO_MEMORY 3000
#define IDS_MESSAGE_DISK_FULL 3001
#define IDS_MESSAGE_FILE_ERROR 3002
#define IDS_MESSAGE_NOT_APPENDABLE 3003
#define IDS_MESSAGE_STATE_UNAVAILABLE 3004
#define IDS_MESSAGE_EMPTY_PAGE 3005
#define IDS_MESSAGE_TEMP_FULL 3006
#define IDS_MESSAGE_JOB_IN_USE 3007
#define IDS_MESSAGE_CLASSIC_FULL 3008
#define IDS_MESSAGE_FILE_IS_CLASSIC 3009
#define IDS_MESSAGE_FILE_IS_BIGTIFF 3010

#endif

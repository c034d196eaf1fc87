/* Ids of the configuration dialog and its controls, shared by the template and the code. */
#pragma once

#define IDD_TAVELIN_SETUP 2003
#define IDC_FONT 1000
#define IDC_SHOW_STRINGS_LABEL 1002
#define IDC_SHOW_STRINGS 1003
#define IDC_LOG_FILE 1004
#define IDC_VERSION_LABEL 1005
#define IDC_VERSION 1006
#define IDC_GRAMMAR 1007
#define IDC_SHOW_LOGO 1008

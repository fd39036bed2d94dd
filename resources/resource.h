// Resource identifiers of the Updater, shared by updater.rc and the code.
#pragma once

#define IDS_TITLE 1
#define IDS_CLASS_NAME 2
#define IDI_UPDATER 101
#define IDR_ACCELERATORS 2
#define IDM_CTRL_Q 1
#define IDM_CTRL_A 40002

/* Identifiers and texts of the Updater's resources. Included by updater.rc
   for the Windows build and by the code that loads them on every build, so
   the two can never disagree. Plain macros only: the resource compiler reads
   this file too. */
#ifndef UPDATER_RESOURCES_H
#define UPDATER_RESOURCES_H

#define IDS_UPDATER_TITLE 1
#define IDS_UPDATER_CLASS 2
#define UPDATER_TITLE_TEXT "Update"
#define UPDATER_CLASS_TEXT "UPDATE"

#define IDI_UPDATER 101

/* Both shortcuts are inherited from the panel's other programs; the window
   gives their commands to default processing, so they have no effect. */
#define IDR_UPDATER_ACCELERATORS 2
#define ACCELERATOR_KEY_A 0x41 /* virtual key 'A', with Control */
#define ACCELERATOR_COMMAND_A 40002
#define ACCELERATOR_KEY_Q 0x51 /* virtual key 'Q', with Control */
#define ACCELERATOR_COMMAND_Q 1

#endif

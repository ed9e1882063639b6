// The desktop programs that would hold the handset's port: ended by name with the system's
// command-line tools (taskkill.exe, tskill.exe) before a run, and the synchronisation
// programs started again after a successful one. Every command goes through the shell
// launch seam; none is waited for and no result is looked at.
#pragma once

class WindowSeam;

// The wizard's clean-up on Next (called three times in a row): sets the status text
// (control 1006); on Vista and 7 ends the Device Center programs with the window as owner
// of the shell calls, then in every environment the window's ActiveSync list. Returns 1.
int KillApplications(WindowSeam& window);

// The worker's clean-up: the Device Center list on Vista and 7, the worker's ActiveSync
// list on XP, with no owner. Returns 1.
int CloseHostPrograms();

// After a successful run: wmdc.exe on Vista and 7; wcescomm.exe, then WCESMgr.exe on XP.
void RestartHostPrograms();

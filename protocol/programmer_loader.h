// The first download stage: the flash programmer goes into the handset's RAM from
// 0x00A00000 in 4,096-byte write packets, then GO starts it.
#pragma once

// 1 when every packet was acknowledged, 0 when the stage's 30 tolerated failures were
// spent (or the program carries no programmer).
int SendProgrammer();
// 1 when the GO frame was written (the reply is read once and not judged), 0 when the
// write failed.
int SendGo();

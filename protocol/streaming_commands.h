// The streaming download protocol's control commands, spoken to the flash programmer
// once it runs in handset RAM: hello, security mode, the partition table and reset.
#pragma once

// Each returns 1 on success and 0 when it gave up.
int SendHello();
int SendSecurityMode();
// Sends the partition table from the package. A handset whose stored table differs asks
// for the override (status 1): every image stage is then switched on and the table goes
// again with override 1 — unless the package cannot supply every image that would need,
// in which case the step fails and the handset keeps its old table.
int SendPartitionTable();
// Traces nothing; closes the port once the handset acknowledged.
int SendReset();

#pragma once
// --list-ports: the serial devices of this machine as a table on stdout. Returns the exit
// code.

int ListSerialPortsToStdout();
